#pragma once

#include "core/part_file_names.h"
#include "core/resize_run.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cstdio>
#include <filesystem>

// A byte string literal that may hold NUL bytes.
template <std::size_t N>
QByteArray bytes(const char (&text)[N])
{
    return QByteArray(text, N - 1);
}

// A temporary folder of part files.
struct PartFolder {
    PartFolder() = default;
    PartFolder(const PartFolder &) = delete;
    // QTemporaryDir cannot remove names that are not UTF-8.
    ~PartFolder() { std::filesystem::remove_all(QFile::encodeName(dir.path()).toStdString()); }

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
    // Names as bytes, which need not be UTF-8.
    void writeRaw(const QByteArray &name, const QByteArray &data) const
    {
        const QByteArray path = QFile::encodeName(dir.path()) + '/' + name;
        std::FILE *out = std::fopen(path.constData(), "wb");
        if (!out || std::fwrite(data.constData(), 1, size_t(data.size()), out) != size_t(data.size())
            || std::fclose(out))
            qFatal("cannot write %s", path.constData());
    }
    QByteArray readRaw(const QByteArray &name) const
    {
        const QByteArray path = QFile::encodeName(dir.path()) + '/' + name;
        QByteArray data;
        if (std::FILE *in = std::fopen(path.constData(), "rb")) {
            char buffer[4096];
            for (size_t got; (got = std::fread(buffer, 1, sizeof buffer, in)) > 0;)
                data.append(buffer, qsizetype(got));
            std::fclose(in);
            return data;
        }
        return "<missing>";
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
        folder.write(resultName(), kEarlier);
    }
    QString resultName() const { return QFile::decodeName(morvane::newFileNameFor(QFile::encodeName(name))); }
    // Both files as they were.
    bool kept() const { return folder.read(name) == source && folder.read(resultName()) == kEarlier; }
    // What is there besides the two.
    QStringList leftOver() const
    {
        QStringList rest = folder.entries();
        rest.removeAll(name);
        rest.removeAll(resultName());
        return rest;
    }

    PartFolder folder;
    QString name;
    QByteArray source;
};
