#include "dir_search.h"

#include "path_separator.h"

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <system_error>

#ifdef _WIN32
#include "windows_text.h"
#else
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace DirSearch {
namespace {

char foldCase(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool lessByFoldedName(const std::string& a, const std::string& b) {
    const auto folded = [](const std::string& s) {
        std::string out(s);
        std::transform(out.begin(), out.end(), out.begin(), foldCase);
        return out;
    };
    const std::string fa = folded(a);
    const std::string fb = folded(b);
    return fa != fb ? fa < fb : a < b;
}

#ifndef _WIN32
struct SplitPattern {
    std::string folder;
    std::string lastComponent;
};

SplitPattern split(const std::string& pattern) {
    const auto pos = pattern.find_last_of(kPathSeparator);
    SplitPattern parts;
    if (pos == std::string::npos) {
        parts.folder = ".";
        parts.lastComponent = pattern;
    } else {
        parts.folder = pattern.substr(0, pos == 0 ? 1 : pos);
        parts.lastComponent = pattern.substr(pos + 1);
    }
    // Like the home platform's search, a pattern ending in a separator lists the folder.
    if (parts.lastComponent.empty())
        parts.lastComponent.push_back('*');
    return parts;
}
#endif

} // namespace

bool MatchesWildcard(std::string_view pattern, std::string_view name) {
    std::size_t p = 0, n = 0;
    std::size_t starP = std::string_view::npos, starN = 0;
    while (n < name.size()) {
        if (p < pattern.size() &&
            (pattern[p] == '?' || foldCase(pattern[p]) == foldCase(name[n]))) {
            ++p;
            ++n;
        } else if (p < pattern.size() && pattern[p] == '*') {
            starP = p++;
            starN = n;
        } else if (starP != std::string_view::npos) {
            p = starP + 1;
            n = ++starN;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*')
        ++p;
    return p == pattern.size();
}

#ifdef _WIN32

std::vector<std::string> FindOrdinaryFiles(const std::string& pattern) {
    std::vector<std::string> names;
    WIN32_FIND_DATAW data;
    // A pattern ending in a separator lists the folder, as the POSIX search does.
    const std::string search =
        !pattern.empty() && pattern.back() == kPathSeparator ? pattern + '*' : pattern;
    HANDLE handle = FindFirstFileW(WindowsText::widen(search).c_str(), &data);
    if (handle == INVALID_HANDLE_VALUE) {
        // Only a missing file or folder means "no match"; a denied folder or a malformed
        // name is an error of the search, and the caller must hear of it.
        const DWORD error = GetLastError();
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND)
            return names;
        WindowsText::throwWin32Error(error, pattern);
    }
    constexpr DWORD skipped =
        FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
    do {
        if ((data.dwFileAttributes & skipped) == 0)
            names.push_back(WindowsText::narrow(data.cFileName));
    } while (FindNextFileW(handle, &data));
    const DWORD ended = GetLastError();
    FindClose(handle);
    if (ended != ERROR_NO_MORE_FILES)
        WindowsText::throwWin32Error(ended, pattern);
    std::sort(names.begin(), names.end(), lessByFoldedName);
    return names;
}

void SetAttributesNormal(const std::string& path) {
    if (!SetFileAttributesW(WindowsText::widen(path).c_str(), FILE_ATTRIBUTE_NORMAL))
        WindowsText::throwWin32Error(GetLastError(), path);
}

#else

std::vector<std::string> FindOrdinaryFiles(const std::string& pattern) {
    namespace fs = std::filesystem;
    const SplitPattern parts = split(pattern);
    std::vector<std::string> names;

    std::error_code ec;
    if (!fs::is_directory(parts.folder, ec))
        return names;
    for (const fs::directory_entry& entry : fs::directory_iterator(parts.folder)) {
        std::string name = entry.path().filename().string();
        // A leading dot is what hides a file here.
        if (name.empty() || name.front() == '.' || !MatchesWildcard(parts.lastComponent, name))
            continue;
        std::error_code typeError;
        if (entry.is_regular_file(typeError))
            names.push_back(std::move(name));
    }
    std::sort(names.begin(), names.end(), lessByFoldedName);
    return names;
}

void SetAttributesNormal(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0)
        throw std::system_error(errno, std::generic_category(), path);
    if ((info.st_mode & S_IWUSR) != 0 || ::chmod(path.c_str(), info.st_mode | S_IWUSR) == 0)
        return;
    // Another user's file, such as one root left beside a system install, or one on a read-only
    // file system keeps its mode: it can still be read, and a save never writes into it but
    // renames a new file over it.
    if ((errno == EPERM && info.st_uid != ::geteuid()) || errno == EROFS)
        return;
    throw std::system_error(errno, std::generic_category(), path);
}

#endif

} // namespace DirSearch
