#include "platform/IniFile.h"

#include "platform/Atol.h"

#include <cerrno>
#include <string>

namespace qav {
namespace {

constexpr std::string_view kBlanks = " \t";
constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

std::string_view Trim(std::string_view s)
{
    const auto first = s.find_first_not_of(kBlanks);
    if (first == std::string_view::npos)
        return {};
    const auto last = s.find_last_not_of(kBlanks);
    return s.substr(first, last - first + 1);
}

char Fold(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool SameName(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (Fold(a[i]) != Fold(b[i]))
            return false;
    return true;
}

// One line of the file: [start, contentEnd) is its text without the line
// end, [contentEnd, end) the line end ("\n", "\r\n" or nothing at the end).
struct Line
{
    std::size_t start = 0, contentEnd = 0, end = 0;
};

enum class LineKind { Other, Section, Key };

struct Parsed
{
    LineKind kind = LineKind::Other;
    std::string_view name;  // section or key name, trimmed
    std::string_view value; // key value, trimmed
};

Parsed ParseLine(std::string_view content)
{
    std::string_view t = Trim(content);
    Parsed p;
    if (t.empty() || t.front() == ';')
        return p;
    if (t.front() == '[') {
        const auto close = t.find(']');
        p.kind = LineKind::Section;
        p.name = Trim(t.substr(1, close == std::string_view::npos ? std::string_view::npos : close - 1));
        return p;
    }
    const auto eq = t.find('=');
    if (eq == std::string_view::npos)
        return p;
    p.kind = LineKind::Key;
    p.name = Trim(t.substr(0, eq));
    p.value = Trim(t.substr(eq + 1));
    return p;
}

// Calls visit(line, parsed) for every line; stops when visit returns false.
template <class Visit> void ForEachLine(const std::string& text, Visit&& visit)
{
    std::size_t pos = 0;
    // A byte-order mark belongs to no line's text, so a first line "[X]"
    // written by an editor that adds one is still a section header.
    if (std::string_view(text).substr(0, kUtf8Bom.size()) == kUtf8Bom)
        pos = kUtf8Bom.size();
    while (pos < text.size()) {
        Line line;
        line.start = pos;
        const auto nl = text.find('\n', pos);
        line.end = nl == std::string::npos ? text.size() : nl + 1;
        line.contentEnd = nl == std::string::npos ? text.size() : nl;
        if (line.contentEnd > line.start && text[line.contentEnd - 1] == '\r')
            --line.contentEnd;
        const Parsed parsed =
            ParseLine(std::string_view(text).substr(line.start, line.contentEnd - line.start));
        if (!visit(line, parsed))
            return;
        pos = line.end;
    }
}

std::string_view LineEndOf(const std::string& text)
{
    const auto nl = text.find('\n');
    if (nl != std::string::npos && nl > 0 && text[nl - 1] == '\r')
        return "\r\n";
    return "\n";
}

// What must follow text[0, end) so that a new line can start at `end`: the
// last line there may have no line end at all, or only the carriage return
// of one (a file cut short, or written by a tool that ends lines with CR);
// a key written straight after either would be glued to that line.
std::string_view LineEndCompletion(const std::string& text, std::size_t end, std::string_view eol)
{
    if (end == 0 || text[end - 1] == '\n')
        return {};
    if (text[end - 1] == '\r')
        return "\n";
    return eol;
}

bool HasLineBreak(std::string_view s)
{
    return s.find_first_of("\r\n") != std::string_view::npos;
}

bool ValidNames(std::string_view section, std::string_view key, std::string_view value)
{
    if (section.empty() || key.empty())
        return false;
    if (HasLineBreak(section) || HasLineBreak(key) || HasLineBreak(value))
        return false;
    if (section.find(']') != std::string_view::npos || key.find('=') != std::string_view::npos)
        return false;
    // A key starting like a header or a comment would not read back as a key.
    return key.front() != '[' && key.front() != ';';
}

Result Failure(int error)
{
    return Result::Failed(error, IniReadErrorText(error));
}

} // namespace

bool IniDocument::Load(const std::string& path)
{
    text_.clear();
    const Result read = ReadRegularFile(path, kMaxIniFileSize, text_);
    if (read)
        return true;
    errno = read.code;
    return read.code == ENOENT;
}

std::string IniReadErrorText(int error)
{
    return FileErrorText(error, kMaxIniFileSize);
}

void IniDocument::Parse(std::string text)
{
    text_ = std::move(text);
}

bool IniDocument::HasSection(std::string_view section) const
{
    section = Trim(section);
    bool found = false;
    ForEachLine(text_, [&](const Line&, const Parsed& p) {
        found = p.kind == LineKind::Section && SameName(p.name, section);
        return !found;
    });
    return found;
}

bool IniDocument::Find(std::string_view section, std::string_view key, std::string& value) const
{
    section = Trim(section);
    key = Trim(key);
    enum { Before, Inside, After } where = Before;
    bool found = false;
    ForEachLine(text_, [&](const Line&, const Parsed& p) {
        if (p.kind == LineKind::Section) {
            if (where == Inside)
                where = After; // only the first matching section counts
            else if (where == Before && SameName(p.name, section))
                where = Inside;
            return where != After;
        }
        if (where == Inside && p.kind == LineKind::Key && SameName(p.name, key)) {
            value.assign(p.value);
            found = true;
            return false;
        }
        return true;
    });
    return found;
}

std::vector<std::string> IniDocument::Keys(std::string_view section) const
{
    section = Trim(section);
    enum { Before, Inside, After } where = Before;
    std::vector<std::string> keys;
    ForEachLine(text_, [&](const Line&, const Parsed& p) {
        if (p.kind == LineKind::Section) {
            if (where == Inside)
                where = After;
            else if (where == Before && SameName(p.name, section))
                where = Inside;
            return where != After;
        }
        if (where == Inside && p.kind == LineKind::Key)
            keys.emplace_back(p.name);
        return true;
    });
    return keys;
}

bool SameIniName(std::string_view a, std::string_view b)
{
    return SameName(Trim(a), Trim(b));
}

std::string IniDocument::Get(std::string_view section, std::string_view key,
                             std::string_view defaultValue) const
{
    std::string value;
    if (Find(section, key, value))
        return value;
    return std::string(defaultValue);
}

bool IniDocument::Set(std::string_view section, std::string_view key, std::string_view value)
{
    section = Trim(section);
    key = Trim(key);
    if (!ValidNames(section, key, value))
        return false;
    const std::string eol(LineEndOf(text_));

    bool inSection = false, sectionSeen = false, keyFound = false;
    Line keyLine, lastFilled; // lastFilled: last non-blank line of the section
    std::string_view keyAsWritten;
    ForEachLine(text_, [&](const Line& line, const Parsed& p) {
        if (p.kind == LineKind::Section) {
            if (inSection)
                return false;
            if (SameName(p.name, section)) {
                inSection = sectionSeen = true;
                lastFilled = line;
            }
            return true;
        }
        if (!inSection)
            return true;
        if (p.kind == LineKind::Key && SameName(p.name, key)) {
            keyLine = line;
            keyAsWritten = p.name;
            keyFound = true;
            return false;
        }
        if (!Trim(std::string_view(text_).substr(line.start, line.contentEnd - line.start)).empty())
            lastFilled = line;
        return true;
    });

    if (keyFound) {
        // The key keeps the spelling it has in the file.
        std::string replacement(keyAsWritten);
        replacement += '=';
        replacement += value;
        text_.replace(keyLine.start, keyLine.contentEnd - keyLine.start, replacement);
        return true;
    }
    std::string entry(key);
    entry += '=';
    entry += value;
    entry += eol;
    if (sectionSeen) {
        const std::size_t at = lastFilled.end;
        entry.insert(0, LineEndCompletion(text_, at, eol));
        text_.insert(at, entry);
        return true;
    }
    text_ += LineEndCompletion(text_, text_.size(), eol);
    text_ += '[';
    text_ += section;
    text_ += ']';
    text_ += eol;
    text_ += entry;
    return true;
}

Result IniDocument::Save(const std::string& path) const
{
    return ReplaceFile(path, text_);
}

std::string GetPrivateProfileString(std::string_view section, std::string_view key,
                                    std::string_view defaultValue, const std::string& path)
{
    IniDocument doc;
    if (!doc.Load(path))
        return std::string(defaultValue);
    return doc.Get(section, key, defaultValue);
}

Result WritePrivateProfileString(std::string_view section, std::string_view key, std::string_view value,
                                 const std::string& path)
{
    return WritePrivateProfileStrings({IniEntry{std::string(section), std::string(key), std::string(value)}},
                                      path);
}

std::int64_t GetPrivateProfileInt(std::string_view section, std::string_view key, const std::string& path)
{
    return ReadAtol(GetPrivateProfileString(section, key, "0", path));
}

Result WritePrivateProfileStrings(const std::vector<IniEntry>& entries, const std::string& path)
{
    IniDocument doc;
    // An existing file that cannot be read must not be replaced by one that
    // holds only the new keys.
    if (!doc.Load(path))
        return Failure(errno);
    for (const IniEntry& e : entries)
        if (!doc.Set(e.section, e.key, e.value))
            return Failure(EINVAL);
    return doc.Save(path);
}

} // namespace qav
