#pragma once

#include <QApplication>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include <functional>

// What a modal message box showed before the test dismissed it.
struct SeenMessageBox {
    bool shown = false;
    QString title;
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QStringList buttons;
};

// Runs `action` and watches for a modal message box for a while after it,
// since a button pressed by its access key clicks a moment later. A box that
// shows is recorded and its first button pressed, as the user would.
inline SeenMessageBox catchMessageBox(const std::function<void()> &action, int watchMs = 400)
{
    SeenMessageBox seen;
    QTimer watcher;
    watcher.setInterval(5);
    QObject::connect(&watcher, &QTimer::timeout, [&seen] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!box || seen.shown)
            return;
        seen.shown = true;
        seen.title = box->windowTitle();
        seen.text = box->text();
        seen.icon = box->icon();
        for (QAbstractButton *button : box->buttons())
            seen.buttons << button->text();
        box->buttons().constFirst()->click();
    });
    watcher.start();
    action();
    QElapsedTimer waited;
    waited.start();
    while (!seen.shown && waited.elapsed() < watchMs)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    return seen;
}
