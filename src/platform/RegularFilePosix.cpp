// Whole files on POSIX: open, fstat and read; a temporary file, fsync and
// rename.
#include "platform/RegularFile.h"

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qav {

const int kNotRegularFile = EMEDIUMTYPE;
namespace {


// The file a write lands in: a symbolic link's target, so the link stays.
std::string ResolveTarget(const std::string& path)
{
    struct stat st
    {
    };
    if (lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
        char resolved[PATH_MAX];
        if (realpath(path.c_str(), resolved) != nullptr)
            return resolved;
    }
    return path;
}

std::string DirectoryOf(const std::string& path)
{
    const auto slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    if (slash == 0)
        return "/";
    return path.substr(0, slash);
}

// A fresh temporary file beside `target`, with mode 0666 less the umask like
// any new file.
int CreateTemporary(const std::string& target, std::string& tmpPath)
{
    static std::atomic<unsigned> counter{0};
    for (int attempt = 0; attempt < 100; ++attempt) {
        tmpPath = target + ".tmp" + std::to_string(getpid()) + "." + std::to_string(counter++);
        const int fd = open(tmpPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    errno = EEXIST;
    return -1;
}

bool WriteAll(int fd, std::string_view bytes)
{
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

} // namespace

Result ReadRegularFile(const std::string& path, std::size_t maxBytes, std::string& out)
{
    out.clear();
    // Non-blocking, so that opening a FIFO does not wait for a writer; it is
    // refused below anyway.
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return FileFailure(errno);
    auto refuse = [&](int error) {
        close(fd);
        out.clear();
        return FileFailure(error, maxBytes);
    };
    struct stat st
    {
    };
    if (fstat(fd, &st) != 0)
        return refuse(errno);
    if (S_ISDIR(st.st_mode))
        return refuse(EISDIR);
    if (!S_ISREG(st.st_mode))
        return refuse(kNotRegularFile);
    if (static_cast<std::uintmax_t>(st.st_size) > maxBytes)
        return refuse(EFBIG);
    out.reserve(static_cast<std::size_t>(st.st_size));
    char buf[65536];
    for (;;) {
        const ssize_t n = read(fd, buf, sizeof buf);
        if (n == 0)
            break;
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return refuse(errno);
        }
        out.append(buf, static_cast<std::size_t>(n));
        if (out.size() > maxBytes) // grew while being read
            return refuse(EFBIG);
    }
    close(fd);
    return {};
}


Result CheckWritable(const std::string& path)
{
    struct stat st
    {
    };
    if (stat(path.c_str(), &st) != 0)
        return {};
    // The rename would replace a file its folder lets go even when the
    // file itself may not be written, and give it a new owner.
    if (access(path.c_str(), W_OK) != 0)
        return FileFailure(errno);
    if (S_ISREG(st.st_mode) && (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0)
        return FileFailure(EACCES);
    return {};
}

Result ReplaceFile(const std::string& path, std::string_view bytes)
{
    const std::string target = ResolveTarget(path);
    struct stat old
    {
    };
    const bool existed = stat(target.c_str(), &old) == 0;
    if (existed && S_ISDIR(old.st_mode))
        return FileFailure(EISDIR);
    if (existed && !S_ISREG(old.st_mode))
        return FileFailure(kNotRegularFile);
    if (const Result writable = CheckWritable(target); !writable)
        return writable;

    std::string tmp;
    const int fd = CreateTemporary(target, tmp);
    if (fd < 0)
        return FileFailure(errno);
    auto fail = [&](int error) {
        close(fd);
        unlink(tmp.c_str());
        return FileFailure(error);
    };
    // Keep the permissions of the file being replaced.
    if (existed && fchmod(fd, old.st_mode & 07777) != 0)
        return fail(errno);
    if (!WriteAll(fd, bytes) || fsync(fd) != 0)
        return fail(errno);
    if (close(fd) != 0) {
        const int error = errno;
        unlink(tmp.c_str());
        return FileFailure(error);
    }
    if (rename(tmp.c_str(), target.c_str()) != 0) {
        const int error = errno;
        unlink(tmp.c_str());
        return FileFailure(error);
    }
    // Make the rename itself durable; the new content is in place either way.
    const int dir = open(DirectoryOf(target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        fsync(dir);
        close(dir);
    }
    return {};
}

} // namespace qav
