// Whole files on Windows: CreateFileW and GetFileType; a temporary file,
// FlushFileBuffers and MoveFileExW over the target.
#include "platform/RegularFile.h"

#include "platform/TextWin32.h"

#include <atomic>
#include <cerrno>
#include <memory>

namespace qav {

// Windows has no EMEDIUMTYPE; no file call here gives ENOTSUP otherwise.
const int kNotRegularFile = ENOTSUP;

namespace {

using win32::ErrnoFromError;
using win32::Widen;

struct HandleCloser
{
    void operator()(HANDLE h) const { ::CloseHandle(h); }
};
using Handle = std::unique_ptr<void, HandleCloser>;

Handle OpenHandle(const std::wstring& path, DWORD access, DWORD creation)
{
    HANDLE h = ::CreateFileW(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                             creation, FILE_ATTRIBUTE_NORMAL, nullptr);
    return Handle(h == INVALID_HANDLE_VALUE ? nullptr : h);
}

Result LastFailure()
{
    return FileFailure(ErrnoFromError(::GetLastError()));
}

bool WriteAll(HANDLE h, std::string_view bytes)
{
    while (!bytes.empty()) {
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 1u << 30));
        DWORD written = 0;
        if (!::WriteFile(h, bytes.data(), chunk, &written, nullptr))
            return false;
        bytes.remove_prefix(written);
    }
    return true;
}

} // namespace

Result ReadRegularFile(const std::string& path, std::size_t maxBytes, std::string& out)
{
    out.clear();
    const std::wstring wide = Widen(path);
    const DWORD attributes = ::GetFileAttributesW(wide.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
        return FileFailure(EISDIR);
    const Handle h = OpenHandle(wide, GENERIC_READ, OPEN_EXISTING);
    if (!h)
        return LastFailure();
    // A console, a pipe or a device (COM1, NUL) is no file to read whole.
    if (::GetFileType(h.get()) != FILE_TYPE_DISK)
        return FileFailure(kNotRegularFile);
    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(h.get(), &size))
        return LastFailure();
    if (static_cast<unsigned long long>(size.QuadPart) > maxBytes)
        return FileFailure(EFBIG, maxBytes);
    out.reserve(static_cast<std::size_t>(size.QuadPart));
    char buf[65536];
    for (;;) {
        DWORD n = 0;
        if (!::ReadFile(h.get(), buf, sizeof buf, &n, nullptr)) {
            out.clear();
            return LastFailure();
        }
        if (n == 0)
            break;
        out.append(buf, n);
        if (out.size() > maxBytes) { // grew while being read
            out.clear();
            return FileFailure(EFBIG, maxBytes);
        }
    }
    return {};
}

Result CheckWritable(const std::string& path)
{
    const DWORD attributes = ::GetFileAttributesW(Widen(path).c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) &&
        !(attributes & FILE_ATTRIBUTE_DIRECTORY))
        return FileFailure(EACCES);
    return {};
}

Result ReplaceFile(const std::string& path, std::string_view bytes)
{
    const std::wstring target = Widen(path);
    const DWORD old = ::GetFileAttributesW(target.c_str());
    const bool existed = old != INVALID_FILE_ATTRIBUTES;
    if (existed && (old & FILE_ATTRIBUTE_DIRECTORY))
        return FileFailure(EISDIR);
    if (const Result writable = CheckWritable(path); !writable)
        return writable;
    if (existed) {
        const Handle probe = OpenHandle(target, 0, OPEN_EXISTING);
        if (probe && ::GetFileType(probe.get()) != FILE_TYPE_DISK)
            return FileFailure(kNotRegularFile);
    }

    static std::atomic<unsigned> counter{0};
    std::wstring tmp;
    Handle h;
    for (int attempt = 0; attempt < 100 && !h; ++attempt) {
        tmp = target + L".tmp" + std::to_wstring(::GetCurrentProcessId()) + L"." + std::to_wstring(counter++);
        h = OpenHandle(tmp, GENERIC_WRITE, CREATE_NEW);
        if (!h && ::GetLastError() != ERROR_FILE_EXISTS)
            break;
    }
    if (!h)
        return LastFailure();
    auto fail = [&] {
        const Result r = LastFailure();
        h.reset();
        ::DeleteFileW(tmp.c_str());
        return r;
    };
    if (!WriteAll(h.get(), bytes) || !::FlushFileBuffers(h.get()))
        return fail();
    h.reset();
    // Keep what the old file was (hidden, say), less what a fresh file gets.
    if (existed)
        ::SetFileAttributesW(tmp.c_str(), old & ~static_cast<DWORD>(FILE_ATTRIBUTE_NORMAL));
    if (!::MoveFileExW(tmp.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        const Result r = LastFailure();
        ::DeleteFileW(tmp.c_str());
        return r;
    }
    return {};
}

} // namespace qav
