#pragma once

#include "ui/frm_help.h"

#include <QDir>
#include <QFile>

// The help file beside the test program, where the help window looks;
// removed when the test is done with it.
struct HelpFile {
    HelpFile() = default;
    HelpFile(const HelpFile &) = delete;
    ~HelpFile() { remove(); }
    void write(const QByteArray &bytes) const
    {
        QFile file(frm_help::helpFilePath());
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
            qFatal("cannot write the help file");
    }
    // A folder of that name exists but cannot be read as a file.
    void makeUnreadable() const
    {
        remove();
        QDir().mkpath(frm_help::helpFilePath());
    }
    static void remove()
    {
        QFile::remove(frm_help::helpFilePath());
        QDir().rmdir(frm_help::helpFilePath());
    }
};
