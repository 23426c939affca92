#include "core/system/standard_streams.h"
#include "ui/frm_main.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    // Before Qt opens anything: a closed standard stream must not lend its
    // number to a part file, where Qt's warnings would then be written.
    morvane::claimStandardStreams();
    QApplication app(argc, argv);
    frm_main window;
    window.show();
    return app.exec();
}
