#pragma once

#include "ui/frm_help.h"

#include <QDir>
#include <QFile>

// The help file beside the test program, where the help window looks; gone
// again when the test is done with it.
struct HelpFile {
    ~HelpFile() { remove(); }
    static void write(const QByteArray &bytes)
    {
        remove(); // also what a test that crashed left
        QFile file(frm_help::helpFilePath());
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
            qFatal("cannot write the help file");
    }
    // A folder of that name, which cannot be read as a file.
    static void makeUnreadable()
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
