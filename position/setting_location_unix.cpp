#include "setting_location.h"

#include "my_function_lv01.h"

#include <cstdlib>
#include <exception>
#include <filesystem>
#include <pwd.h>
#include <system_error>
#include <unistd.h>
#include <vector>

namespace SettingLocation {
namespace {

bool absolute(const std::optional<std::string>& path) {
    return path && !path->empty() && path->front() == '/';
}

// The home folder the system records for the user, where the environment names none.
std::optional<std::string> recordedHome() {
    std::vector<char> buffer(16384);
    passwd entry{};
    passwd* found = nullptr;
    if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) != 0 || !found ||
        !found->pw_dir)
        return std::nullopt;
    return std::string(found->pw_dir);
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
        return recordedHome();
    return std::nullopt;
}

std::string PerUserFolder(const std::string& applicationName, const Environment& environment) {
    // The base directories must be absolute; a relative one is to be ignored.
    try {
        std::string base;
        if (const auto config = environment("XDG_CONFIG_HOME"); absolute(config))
            base = *config;
        else if (const auto home = environment("HOME"); absolute(home))
            base = MyFunction_Lv01::JoinPath(*home, ".config");
        else
            return {};
        return MyFunction_Lv01::JoinPath(base, applicationName);
    } catch (const std::exception&) {
        // The environment is the user's to set; a path the routines cannot address is no folder.
        return {};
    }
}

void MakeFolder(const std::string& folder) {
    std::error_code ignored;
    std::filesystem::create_directories(folder, ignored);
}

} // namespace SettingLocation
