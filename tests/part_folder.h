#pragma once

#include "core/rules/line_error.h"
#include "core/system/native_name.h"

#include <QDir>
#include <QFile>
#include <QMetaType>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <filesystem>
#include <fstream>
#include <optional>

// A row's outcome: failing with that kind, or not at all.
using Fails = std::optional<morvane::ErrorKind>;
Q_DECLARE_METATYPE(Fails)

// A byte string literal that may hold NUL bytes.
template <std::size_t N>
QByteArray bytes(const char (&text)[N])
{
    return QByteArray(text, N - 1);
}

// A name as the system holds it, as std::filesystem takes it: its bytes on
// POSIX, its UTF-16 on Windows.
inline std::filesystem::path systemPath(const morvane::NativeName &name)
{
#ifdef _WIN32
    return name.toStdWString();
#else
    return name.toStdString();
#endif
}

// A temporary folder of part files.
struct PartFolder {
    // QTemporaryDir cannot remove names that are not UTF-8.
    ~PartFolder()
    {
        std::error_code error;
        std::filesystem::remove_all(systemPath(morvane::nativeName(dir.path())), error);
    }

    QString path() const { return dir.path(); }
    QString file(const QString &name) const { return dir.filePath(name); }
    // Names as the system holds them, which need not be UTF-8 on POSIX.
    std::filesystem::path systemPath(const morvane::NativeName &name) const
    {
        return ::systemPath(morvane::nativeName(dir.path())) / ::systemPath(name);
    }
    void write(const morvane::NativeName &name, const QByteArray &data) const
    {
        std::ofstream out(systemPath(name), std::ios::binary);
        if (!out.write(data.constData(), data.size()).flush())
            qFatal("cannot write %s", qPrintable(QString(name)));
    }
    QByteArray read(const morvane::NativeName &name) const
    {
        if (std::error_code error; !std::filesystem::is_regular_file(systemPath(name), error))
            return "<missing>";
        std::ifstream in(systemPath(name), std::ios::binary);
        return QByteArray::fromStdString({std::istreambuf_iterator<char>(in), {}});
    }
    // Hidden entries too, so that a left-over temporary file shows.
    QStringList entries() const
    {
        return QDir(path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    }

    QTemporaryDir dir;
};

// A folder holding wing.afp and an earlier result, wing_new1.afp.
struct Scene {
    static inline const QByteArray kEarlier = "an earlier result, longer than some new ones\r\n";

    explicit Scene(const QByteArray &source) : source(source)
    {
        folder.write("wing.afp", source);
        folder.write("wing_new1.afp", kEarlier);
    }
    // Both files as they were.
    bool kept() const { return folder.read("wing.afp") == source && folder.read("wing_new1.afp") == kEarlier; }
    // What is there besides the two.
    QStringList leftOver() const { return folder.entries().filter(QRegularExpression("^(?!wing(_new1)?\\.afp$)")); }

    PartFolder folder;
    QByteArray source;
};
