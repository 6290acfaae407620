#pragma once
// Whole files read and replaced safely, for every kind of file the tools
// handle: only a regular file of bounded size is read (a FIFO, a device or
// a huge file is refused at once instead of hanging or filling memory), and
// a file is replaced through a temporary file beside it and a rename, so a
// reader never sees it half written.
//
// Any thread.
#include "platform/Result.h"

#include <cerrno>
#include <cstddef>
#include <string>
#include <string_view>

namespace qav {

// errno of a read or replacement refused because the path is a device, a
// FIFO or a socket (a folder gives EISDIR, a file over the limit EFBIG):
// EMEDIUMTYPE where the system has it, a value no file call gives
// otherwise where it has not.
extern const int kNotRegularFile;

// Reads the whole of `path` into `out`. A folder, anything that is not a
// regular file and a file larger than `maxBytes` (also one that grows past
// it while being read) are refused; opening never waits for a FIFO's
// writer. On failure `out` is empty and the result holds errno and
// FileErrorText.
Result ReadRegularFile(const std::string& path, std::size_t maxBytes, std::string& out);

// A failed read's or write's errno in words; EFBIG names `maxBytes`
// ("larger than 1 MiB").
std::string FileErrorText(int error, std::size_t maxBytes = 0);
// A failure with that text.
Result FileFailure(int error, std::size_t maxBytes = 0);

// Whether an existing `path` may be replaced: fails with the system's
// reason (EACCES, EROFS) when the user may not write it or it is marked
// read-only (no write permission for anyone; on Windows the read-only
// attribute), which even the administrator's tools leave alone. A missing
// path passes: it is created.
Result CheckWritable(const std::string& path);

// Replaces `path` by `bytes`: a temporary file in the same folder is
// written, flushed to disk and renamed over the target. A symbolic link is
// followed and an existing file's permissions are kept (on Windows: its
// attributes are kept and a link is replaced). A target that exists but is
// not a regular file, or that CheckWritable refuses, is refused and left
// alone. On failure nothing has changed.
Result ReplaceFile(const std::string& path, std::string_view bytes);

} // namespace qav
