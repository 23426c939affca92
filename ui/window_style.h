#pragma once

#include <QColor>
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
