#include "ui/frm_main.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    frm_main window;
    window.show();
    return app.exec();
}
