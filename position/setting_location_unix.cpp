#include "setting_location.h"

#include "my_function_lv01.h"

#include <cerrno>
#include <cstdlib>
#include <exception>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace SettingLocation {
namespace {

bool absolute(const std::optional<std::string>& path) {
    return path && !path->empty() && path->front() == '/';
}

// The home folder the system records for a user, whatever the environment says.
std::optional<std::string> recordedHome(uid_t user) {
    std::vector<char> buffer(16384);
    passwd entry{};
    passwd* found = nullptr;
    if (::getpwuid_r(user, &entry, buffer.data(), buffer.size(), &found) != 0 || !found ||
        !found->pw_dir)
        return std::nullopt;
    return std::string(found->pw_dir);
}

bool ownedByEffectiveUser(const std::string& folder) {
    std::string path = folder;
    for (;;) {
        struct stat info {};
        if (::stat(path.c_str(), &info) == 0)
            return info.st_uid == ::geteuid();
        // Below a file that stands where a folder should be, the file is the nearest thing.
        if (errno != ENOENT && errno != ENOTDIR)
            return false;
        while (path.size() > 1 && path.back() == '/')
            path.pop_back();
        const auto separator = path.find_last_of('/');
        if (separator == std::string::npos || path == "/")
            return false;
        path.resize(separator == 0 ? 1 : separator);
    }
}

} // namespace

// The kernel's own record of the executable, in the bytes the file system holds: a folder
// name in an old Latin-1 encoding must reach the file calls unchanged, where a text decoding
// of it would be empty or wrong.
std::string ProgramFolder() {
    std::vector<char> buffer(4096);
    for (;;) {
        const ssize_t length = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
        if (length < 0)
            return {};
        if (static_cast<std::size_t>(length) < buffer.size()) {
            const std::string executable(buffer.data(), static_cast<std::size_t>(length));
            try {
                return MyFunction_Lv01::ParentFolder(executable);
            } catch (const std::exception&) {
                return {};
            }
        }
        buffer.resize(buffer.size() * 2);
    }
}

std::optional<std::string> ProcessEnvironment(const char* name) {
    if (const char* value = std::getenv(name))
        return std::string(value);
    if (std::string_view(name) == "HOME")
        return recordedHome(::getuid());
    return std::nullopt;
}

Account EffectiveAccount() {
    return {::geteuid() == 0, recordedHome(::geteuid()), ownedByEffectiveUser};
}

std::string PerUserFolder(const std::string& applicationName, const Environment& environment,
                          const Account& account) {
    // The base directories must be absolute; a relative one is to be ignored.
    try {
        std::string base;
        if (const auto config = environment("XDG_CONFIG_HOME");
            absolute(config) && (!account.root || account.owns(*config)))
            base = *config;
        else if (const auto home = account.root ? account.home : environment("HOME");
                 absolute(home))
            base = MyFunction_Lv01::JoinPath(*home, ".config");
        else
            return {};
        return MyFunction_Lv01::JoinPath(base, applicationName);
    } catch (const std::exception&) {
        // The environment is the user's to set; a path the routines cannot address is no folder.
        return {};
    }
}

bool PerUserFolderAllowed(const std::string& folder) {
    return ::geteuid() != 0 || ownedByEffectiveUser(folder);
}

bool SameFolder(const std::string& a, const std::string& b) {
    struct stat first {};
    struct stat second {};
    return ::stat(a.c_str(), &first) == 0 && ::stat(b.c_str(), &second) == 0 &&
           S_ISDIR(first.st_mode) && first.st_dev == second.st_dev && first.st_ino == second.st_ino;
}

// Folder by folder from the top, each made 0700; the ones already there are left as they are.
void MakeFolder(const std::string& folder) {
    for (std::size_t end = folder.find('/', 1);; end = folder.find('/', end + 1)) {
        const std::string part = folder.substr(0, end);
        if (!part.empty() && part.back() != '/')
            ::mkdir(part.c_str(), 0700);
        if (end == std::string::npos)
            return;
    }
}

} // namespace SettingLocation
