#pragma once
// INI files with the semantics of the Windows private-profile calls, so that
// files written by the original Windows tool load here and files written here
// load there.
//
// - Section and key names compare case-insensitively (ASCII); the first
//   matching section, and within it the first matching key, wins.
// - Blanks (spaces and tabs) around section names, key names and values are
//   not part of them.
// - A write to a missing key appends it at the end of its section; a missing
//   section is appended at the end of the file; a missing file is created.
// - Every other byte of an existing file is kept as it was, line ends
//   included: new lines take the line end the file already uses (CRLF for a
//   file written on Windows, else LF).
// - Each write replaces the file atomically: a temporary file in the same
//   folder is written, flushed to disk and renamed over the old one. A
//   failure leaves the old file untouched and is reported by the result.
//
// Text is handled as bytes; names are matched by ASCII case folding only.
// Functions here may be called from any thread, but two writers of the same
// file at the same time may lose one of the two updates (as on Windows).
#include "platform/RegularFile.h"
#include "platform/Result.h"

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace qav {

// Only regular files of at most this size are read; a write to an existing
// file that is not one is refused (the file is read before it is replaced).
inline constexpr std::size_t kMaxIniFileSize = std::size_t{1} << 20;
// A read or write failure's errno in words, the two refusals above included.
std::string IniReadErrorText(int error);

// Every write below returns a Result: `code` holds the errno of the first failing call, or
// EINVAL for a section, key or value that cannot be represented in an INI
// line (line breaks, a ']' in a section name, a '=' in a key, empty names);
// `message` the same in words.

// The value of `key` in `section`, or `defaultValue` when the file, the
// section or the key is missing or the file cannot be read.
std::string GetPrivateProfileString(std::string_view section, std::string_view key,
                                    std::string_view defaultValue, const std::string& path);

// Sets `key` in `section` to `value`, creating what is missing.
Result WritePrivateProfileString(std::string_view section, std::string_view key, std::string_view value,
                                 const std::string& path);

// A number stored in an INI file: the value (default "0") read by the atol
// rules, so a missing file or key, or a text without digits, gives 0.
std::int64_t GetPrivateProfileInt(std::string_view section, std::string_view key, const std::string& path);

// Whether two section or key names are the same name to the calls above.
bool SameIniName(std::string_view a, std::string_view b);

struct IniEntry
{
    std::string section;
    std::string key;
    std::string value;
};

// Many writes in one atomic replacement: the file ends up exactly as after
// the same single writes in the same order, but is renamed into place once.
// When any entry is invalid nothing is written.
Result WritePrivateProfileStrings(const std::vector<IniEntry>& entries, const std::string& path);

// A parsed INI file held in memory, for callers that read many keys of one
// file (one read of the file instead of one per key) or write many at once.
class IniDocument
{
public:
    // Reads `path`. A missing file gives an empty document and true; any other
    // failure, a path that is not a regular file or a file larger than
    // kMaxIniFileSize included, gives false with errno set, and leaves the
    // document empty.
    bool Load(const std::string& path);
    // Same parsing, from text in memory.
    void Parse(std::string text);

    // Whether a section of that name is there (names compare as in Find).
    bool HasSection(std::string_view section) const;
    // nullptr-free lookup: false when the section or key is missing.
    bool Find(std::string_view section, std::string_view key, std::string& value) const;
    std::string Get(std::string_view section, std::string_view key, std::string_view defaultValue) const;
    // The key names of the first section of that name, in file order, as
    // written (a key given twice is listed twice).
    std::vector<std::string> Keys(std::string_view section) const;
    // Rejects (false) names and values that cannot be written as one line.
    bool Set(std::string_view section, std::string_view key, std::string_view value);

    const std::string& Text() const { return text_; }
    // Atomic replacement of `path` by Text().
    Result Save(const std::string& path) const;

private:
    std::string text_;
};

} // namespace qav
