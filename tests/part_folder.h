#pragma once

#include "core/resize_run.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

// A byte string literal that may hold NUL bytes.
template <std::size_t N>
QByteArray bytes(const char (&text)[N])
{
    return QByteArray(text, N - 1);
}

// A temporary folder of part files.
struct PartFolder {
    QString path() const { return dir.path(); }
    QString file(const QString &name) const { return dir.filePath(name); }
    void write(const QString &name, const QByteArray &data) const
    {
        QFile out(file(name));
        if (!out.open(QIODevice::WriteOnly) || out.write(data) != data.size())
            qFatal("cannot write %s", qPrintable(name));
    }
    QByteArray read(const QString &name) const
    {
        QFile in(file(name));
        return in.open(QIODevice::ReadOnly) ? in.readAll() : QByteArray("<missing>");
    }
    // Hidden entries too, so that a left-over temporary file shows.
    QStringList entries() const
    {
        return QDir(path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    }

    QTemporaryDir dir;
};

// A folder holding a part and an earlier result beside it.
struct Scene {
    static inline const QByteArray kEarlier = "an earlier result, longer than some new ones\r\n";

    Scene(const QString &name, const QByteArray &source) : name(name), source(source)
    {
        folder.write(name, source);
        folder.write(morvane::newFileNameFor(name), kEarlier);
    }
    // Both files as they were.
    bool kept() const { return folder.read(name) == source && folder.read(morvane::newFileNameFor(name)) == kEarlier; }
    // What is there besides the two.
    QStringList leftOver() const
    {
        QStringList rest = folder.entries();
        rest.removeAll(name);
        rest.removeAll(morvane::newFileNameFor(name));
        return rest;
    }

    PartFolder folder;
    QString name;
    QByteArray source;
};
