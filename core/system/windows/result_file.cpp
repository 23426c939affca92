#include "core/system/result_file.h"

#include "core/system/windows/folder_state.h"
#include "core/system/windows/interrupt_cleanup.h"

#include <QRandomGenerator>

namespace morvane {

namespace {

constexpr int kNameAttempts = 100;

// Short, so that it fits beside any name the folder can hold.
NativeName temporaryName()
{
    static constexpr char16_t kLetters[] = u"abcdefghijklmnopqrstuvwxyz0123456789";
    NativeName name = QStringLiteral(".morvane-");
    for (int i = 0; i < 8; ++i)
        name += kLetters[QRandomGenerator::system()->bounded(int(std::size(kLetters) - 1))];
    return name;
}

// Marks the file to go when its last handle closes, however the process
// ends, or takes the mark off.
bool markForDeletion(HANDLE file, bool marked)
{
    FILE_DISPOSITION_INFO disposition{};
    disposition.DeleteFile = marked;
    return ::SetFileInformationByHandle(file, FileDispositionInfo, &disposition, sizeof disposition);
}

// What the new file is to show once in place: the earlier result's own
// attributes, the read-only one aside (such a file is refused), and the
// archive one any changed file gets; never the hidden and temporary ones
// it was made with.
DWORD attributesInPlace(const std::wstring &earlier, bool replacing)
{
    constexpr DWORD kCarried = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;
    const DWORD attributes = replacing ? ::GetFileAttributesW(earlier.c_str()) : INVALID_FILE_ATTRIBUTES;
    return FILE_ATTRIBUTE_ARCHIVE | (attributes == INVALID_FILE_ATTRIBUTES ? 0 : attributes & kCarried);
}

} // namespace

struct ResultFile::State {
    Handle file;
    std::wstring folder;
    std::wstring temporaryPath;
    std::wstring path; // the name it takes
    bool replacing = false;
    SystemError writeError = 0;
    FileIdentity identity;
};

ResultFile::ResultFile() : m_state(std::make_unique<State>()) {}

ResultFile::~ResultFile()
{
    // Still marked: closing it removes it. Unmarked and not yet in place
    // after a failed commit: it goes by name.
    if (m_state->file.valid())
        m_state->file.close();
    else if (!m_state->temporaryPath.empty())
        ::DeleteFileW(m_state->temporaryPath.c_str());
    QIODevice::close();
}

// A first result gets what the folder gives new files, as a copy made by
// Explorer does; one that replaces an earlier file keeps that file's
// security, which ReplaceFileW carries over, and its attributes.
SystemError ResultFile::create(const Destination &destination, const SourceFile &)
{
    State &result = *m_state;
    result.folder = pathOf(destination.folder);
    result.path = inFolder(result.folder, destination.name);
    result.replacing = destination.earlier.has_value();
    for (int attempt = 0; attempt < kNameAttempts && !result.file.valid(); ++attempt) {
        result.temporaryPath = inFolder(result.folder, temporaryName());
        // A leading dot hides nothing on Windows: the attribute does.
        result.file = Handle(::CreateFileW(result.temporaryPath.c_str(), GENERIC_WRITE | DELETE, 0, nullptr, CREATE_NEW,
                                           FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_TEMPORARY, nullptr));
        if (!result.file.valid() && ::GetLastError() != ERROR_FILE_EXISTS) {
            result.temporaryPath.clear();
            return lastError();
        }
    }
    if (!result.file.valid() || !markForDeletion(result.file.get(), true)) {
        const SystemError error = result.file.valid() ? lastError() : ERROR_FILE_EXISTS;
        result.file.close();
        if (!result.temporaryPath.empty())
            ::DeleteFileW(result.temporaryPath.c_str());
        result.temporaryPath.clear();
        return error;
    }
    QIODevice::open(QIODevice::WriteOnly | QIODevice::Unbuffered);
    return 0;
}

qint64 ResultFile::writeData(const char *data, qint64 size)
{
    State &result = *m_state;
    DWORD written = 0;
    if (!::WriteFile(result.file.get(), data, static_cast<DWORD>(std::min<qint64>(size, 1 << 30)), &written, nullptr)) {
        result.writeError = lastError();
        setErrorString(errorText(result.writeError));
        return -1;
    }
    return written;
}

SystemError ResultFile::writeError() const { return m_state->writeError; }

FileIdentity ResultFile::identity() const { return m_state->identity; }

SystemError ResultFile::commit()
{
    State &result = *m_state;
    FILE_BASIC_INFO basic{}; // times left as they are
    basic.FileAttributes = attributesInPlace(result.path, result.replacing);
    if (!::SetFileInformationByHandle(result.file.get(), FileBasicInfo, &basic, sizeof basic))
        return lastError();
    // Only the flush may report that the data never reached the disk.
    if (!::FlushFileBuffers(result.file.get()))
        return lastError();
    const CommitInProgress committing;
    if (!markForDeletion(result.file.get(), false))
        return lastError();
    // Network drives may report a failed write only here; the file is
    // unmarked, so the destructor removes it by name.
    if (!result.file.close())
        return lastError();
    const auto moveInPlace = [&] {
        return ::MoveFileExW(result.temporaryPath.c_str(), result.path.c_str(), MOVEFILE_WRITE_THROUGH);
    };
    if (result.replacing
        && !::ReplaceFileW(result.path.c_str(), result.temporaryPath.c_str(), nullptr, REPLACEFILE_IGNORE_MERGE_ERRORS,
                           nullptr, nullptr)) {
        // Where the earlier file went away meanwhile, or was taken away
        // without the new one taking its name, the name is free.
        const DWORD error = ::GetLastError();
        if ((error != ERROR_FILE_NOT_FOUND && error != ERROR_UNABLE_TO_MOVE_REPLACEMENT) || !moveInPlace())
            return lastError();
    } else if (!result.replacing && !moveInPlace()) {
        return lastError();
    }
    result.temporaryPath.clear();
    QIODevice::close();
    const Handle made = openForLooking(result.path);
    if (made.valid())
        result.identity = entryOf(made.get()).identity;
    return 0;
}

} // namespace morvane
