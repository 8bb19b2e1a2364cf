#include "dir_search.h"

#include "dir_search_platform.h"
#include "path_separator.h"
#include "windows_text.h"

namespace DirSearch {

std::vector<std::string> Platform::ListOrdinaryFiles(const std::string& pattern) {
    std::vector<std::string> names;
    WIN32_FIND_DATAW data;
    // A pattern ending in a separator lists the folder, as the POSIX search does.
    const std::string search =
        !pattern.empty() && pattern.back() == kPathSeparator ? pattern + '*' : pattern;
    HANDLE handle = FindFirstFileW(WindowsText::filePath(search).c_str(), &data);
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
    return names;
}

void SetAttributesNormal(const std::string& path) {
    if (SetFileAttributesW(WindowsText::filePath(path).c_str(), FILE_ATTRIBUTE_NORMAL))
        return;
    // An administrator's file under Program Files, or one on write-protected media: the user
    // may not change it, and may still read it.
    const DWORD error = GetLastError();
    if (error == ERROR_ACCESS_DENIED || error == ERROR_WRITE_PROTECT)
        return;
    WindowsText::throwWin32Error(error, path);
}

} // namespace DirSearch
