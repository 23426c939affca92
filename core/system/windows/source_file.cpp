#include "core/system/source_file.h"

#include "core/system/windows/folder_state.h"

namespace morvane {

struct SourceFile::State {
    Handle file;
    std::wstring path;
    BY_HANDLE_FILE_INFORMATION opened{};
    qint64 size = 0;
    qint64 read = 0;
};

namespace {

qint64 sizeOf(const BY_HANDLE_FILE_INFORMATION &info) { return (qint64(info.nFileSizeHigh) << 32) | info.nFileSizeLow; }

bool sameContentStamp(const BY_HANDLE_FILE_INFORMATION &a, const BY_HANDLE_FILE_INFORMATION &b)
{
    return sizeOf(a) == sizeOf(b) && a.ftLastWriteTime.dwLowDateTime == b.ftLastWriteTime.dwLowDateTime
        && a.ftLastWriteTime.dwHighDateTime == b.ftLastWriteTime.dwHighDateTime;
}

} // namespace

SourceFile::SourceFile() : m_state(std::make_unique<State>()) {}

SourceFile::~SourceFile() { close(); }

SystemError SourceFile::open(const OpenFolder &folder, const NativeName &name, const Entry &found)
{
    State &source = *m_state;
    source.path = inFolder(pathOf(folder), name);
    // Held first by what it is, with no access to its data: that has no
    // effect on the file, whatever took its name meanwhile (a locked file,
    // one that another program holds, a folder, a device).
    const Handle held = openForLooking(source.path);
    if (!held.valid())
        return lastError();
    const Entry opened = entryOf(held.get());
    if (opened.type != FileType::Regular || opened.identity != found.identity)
        return kTakenOver;
    // Then that very file is opened for reading, shared for reading only:
    // no one writes it while it is read. A file another program holds open
    // for writing fails here, saying so.
    source.file = Handle(::ReOpenFile(held.get(), GENERIC_READ, FILE_SHARE_READ, FILE_FLAG_SEQUENTIAL_SCAN));
    if (!source.file.valid())
        return lastError();
    if (!::GetFileInformationByHandle(source.file.get(), &source.opened)) {
        const SystemError error = lastError();
        source.file.close();
        return error;
    }
    source.size = sizeOf(source.opened);
    source.read = 0;
    QIODevice::open(QIODevice::ReadOnly | QIODevice::Unbuffered);
    return 0;
}

void SourceFile::close()
{
    m_state->file.close();
    QIODevice::close();
}

qint64 SourceFile::readData(char *data, qint64 maxSize)
{
    State &source = *m_state;
    const qint64 allowed = std::min<qint64>({maxSize, source.size + 1 - source.read, 1 << 30});
    if (allowed <= 0)
        return 0;
    DWORD got = 0;
    if (!::ReadFile(source.file.get(), data, static_cast<DWORD>(allowed), &got, nullptr)) {
        setErrorString(errorText(lastError()));
        return -1;
    }
    source.read += got;
    return got;
}

bool SourceFile::readWhole() const { return m_state->read == m_state->size; }

bool SourceFile::changedSinceOpen() const
{
    const State &source = *m_state;
    BY_HANDLE_FILE_INFORMATION now{};
    const Handle named = openForLooking(source.path);
    return !::GetFileInformationByHandle(source.file.get(), &now) || !sameContentStamp(now, source.opened)
        || !named.valid() || entryOf(named.get()).identity != entryOf(source.file.get()).identity;
}

} // namespace morvane
