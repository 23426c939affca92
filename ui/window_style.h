#pragma once

#include "ui/fixed_colours.h"

#include <QPalette>
#include <QWidget>

// The frame of every window: a title bar with a close box only.
inline constexpr Qt::WindowFlags kCloseBoxOnly =
    Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint;

// Gives one colour role of a widget's palette a colour of its own.
inline void setColour(QWidget *widget, QPalette::ColorRole role, const QColor &colour)
{
    QPalette palette = widget->palette();
    palette.setColor(role, colour);
    widget->setPalette(palette);
}

// A text box that stays white, and its text black, under any palette.
inline void makeWhiteBox(QWidget *box)
{
    setColour(box, QPalette::Base, colours::kWhite);
    setColour(box, QPalette::Text, colours::kBlack);
}

// The desktop's text colour where it stands out from `background`, else
// black or white, whichever does.
inline QColor readableOn(const QColor &background, const QColor &preferred)
{
    const int backgroundGrey = qGray(background.rgb());
    if (qAbs(qGray(preferred.rgb()) - backgroundGrey) >= 128)
        return preferred;
    return backgroundGrey >= 128 ? colours::kBlack : colours::kWhite;
}
