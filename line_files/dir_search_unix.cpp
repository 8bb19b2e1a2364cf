#include "dir_search.h"

#include "dir_search_platform.h"
#include "path_parts.h"

#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace DirSearch {

std::vector<std::string> Platform::ListOrdinaryFiles(const std::string& pattern) {
    namespace fs = std::filesystem;
    PathParts parts = PathParts::of(pattern);
    // Like the home platform's search, a pattern ending in a separator lists the folder.
    if (parts.name.empty())
        parts.name.push_back('*');
    std::vector<std::string> names;
    std::error_code ec;
    if (!fs::is_directory(parts.folder, ec))
        return names;
    for (const fs::directory_entry& entry : fs::directory_iterator(parts.folder)) {
        std::string name = entry.path().filename().string();
        // A leading dot is what hides a file here.
        if (name.empty() || name.front() == '.' || !MatchesWildcard(parts.name, name))
            continue;
        std::error_code typeError;
        if (entry.is_regular_file(typeError))
            names.push_back(std::move(name));
    }
    return names;
}

void SetAttributesNormal(const std::string& path) {
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0)
        throw std::system_error(errno, std::generic_category(), path);
    if (!S_ISREG(info.st_mode) || (info.st_mode & S_IWUSR) != 0)
        return;
    // Not following a link that took the file's place since it was looked at either.
    if (::fchmodat(AT_FDCWD, path.c_str(), (info.st_mode & 07777) | S_IWUSR, AT_SYMLINK_NOFOLLOW) ==
        0)
        return;
    if (errno == EOPNOTSUPP || errno == EROFS || (errno == EPERM && info.st_uid != ::geteuid()))
        return;
    throw std::system_error(errno, std::generic_category(), path);
}

} // namespace DirSearch
