#pragma once

#include <QScreen>
#include <QStyle>
#include <QWidget>

// Places a window's client area in the middle of its screen.
inline void centreOnScreen(QWidget *window)
{
    if (const QScreen *screen = window->screen())
        window->setGeometry(
            QStyle::alignedRect(Qt::LeftToRight, Qt::AlignCenter, window->size(), screen->availableGeometry()));
}
