#include "files/Backups.h"

#include "files/ConfigFile.h"
#include "platform/UserFolders.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <vector>

namespace qav {
namespace {

namespace fs = std::filesystem;

// "2026-12-08_11-25-00.123_": the part every backup name starts with.
constexpr std::size_t kStampLength = 24;

std::string Stamp(std::chrono::system_clock::time_point now)
{
    const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    const auto ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
    const std::tm local = LocalTime(seconds);
    char text[96];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d_%02d-%02d-%02d.%03d_", local.tm_year + 1900,
                  local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec,
                  static_cast<int>(ms));
    return text;
}

bool IsBackupName(const std::string& name, std::string_view extension)
{
    if (name.size() <= kStampLength + extension.size() || !name.ends_with(extension))
        return false;
    // Digits where the stamp has digits.
    static constexpr std::string_view kPattern = "dddd-dd-dd_dd-dd-dd.ddd_";
    for (std::size_t i = 0; i < kPattern.size(); ++i) {
        const bool digit = std::isdigit(static_cast<unsigned char>(name[i])) != 0;
        if ((kPattern[i] == 'd') != digit || (!digit && name[i] != kPattern[i]))
            return false;
    }
    return true;
}

// A port name or device path as a file name part: "/dev/ttyUSB0" gives
// "dev-ttyUSB0".
std::string NamePart(std::string_view port)
{
    std::string out;
    for (char c : port) {
        const bool keep = std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '_';
        if (keep)
            out += c;
        else if (!out.empty() && out.back() != '-')
            out += '-';
    }
    while (!out.empty() && out.back() == '-')
        out.pop_back();
    return out.empty() ? "device" : out;
}

} // namespace

std::string DefaultBackupFolder()
{
    const std::string data = UserDataFolder();
    if (data.empty())
        return {};
    return (fs::path(data) / "qav-nuva" / "backups").string();
}

Result WriteBackup(const std::string& folder, std::string_view extension, std::string_view port,
                   const std::function<Result(const std::string& path)>& write, std::string& path,
                   std::chrono::system_clock::time_point now)
{
    if (folder.empty())
        return Result::Failed(ENOENT, "No folder for backups: " + UserDataFolderMissing() + ".");
    std::error_code ec;
    fs::create_directories(folder, ec);
    if (ec)
        return Result::Failed(ec.value(),
                              "Cannot create the backup folder " + folder + ": " + ec.message() + ".");
    fs::permissions(folder, fs::perms::owner_all, fs::perm_options::replace, ec);
    // A backup never merges into an older file: a name already taken (two
    // backups within a millisecond) gets a number.
    const std::string base = (fs::path(folder) / (Stamp(now) + NamePart(port))).string();
    path = base + std::string(extension);
    for (int n = 2; fs::exists(path, ec); ++n)
        path = base + "-" + std::to_string(n) + std::string(extension);
    if (const Result r = write(path); !r)
        return Result::Failed(r.code, "Cannot write the backup " + path + ": " + r.message + ".");
    PruneBackups(folder, extension, kBackupsKept);
    return {};
}

void PruneBackups(const std::string& folder, std::string_view extension, int keep)
{
    std::error_code ec;
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder, ec)) {
        const std::string name = entry.path().filename().string();
        if (entry.is_regular_file(ec) && IsBackupName(name, extension))
            names.push_back(name);
    }
    if (static_cast<int>(names.size()) <= keep)
        return;
    std::sort(names.begin(), names.end());
    for (std::size_t i = 0; i + static_cast<std::size_t>(keep) < names.size(); ++i)
        fs::remove(folder + "/" + names[i], ec);
}

std::string ShortenHome(const std::string& path)
{
    const char* home = std::getenv("HOME");
    if (!home || home[0] == '\0')
        return path;
    const std::string h = home;
    if (path.size() > h.size() && path.compare(0, h.size(), h) == 0 && path[h.size()] == '/')
        return "~" + path.substr(h.size());
    return path;
}

} // namespace qav
