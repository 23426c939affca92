#pragma once

#include <QApplication>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include <functional>

// What a modal message box showed before the test pressed its first button.
struct SeenMessageBox {
    bool shown = false;
    QString title;
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QStringList buttons;
};

// Runs `action`, watching a while for a modal message box, since a button
// pressed by its access key clicks a moment later.
inline SeenMessageBox catchMessageBox(const std::function<void()> &action)
{
    SeenMessageBox seen;
    QTimer watcher;
    QObject::connect(&watcher, &QTimer::timeout, [&seen] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!box || seen.shown)
            return;
        seen = {true, box->windowTitle(), box->text(), box->icon(), {}};
        for (QAbstractButton *button : box->buttons())
            seen.buttons << button->text();
        box->buttons().constFirst()->click();
    });
    watcher.start(5);
    action();
    QElapsedTimer waited;
    waited.start();
    while (!seen.shown && waited.elapsed() < 800)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    return seen;
}
