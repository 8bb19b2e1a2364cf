#include "replacing_file_platform.h"

#include "path_parts.h"
#include "windows_text.h"

#include <cerrno>
#include <fcntl.h>
#include <io.h>
#include <system_error>
#include <vector>

namespace ReplacingFilePlatform {
namespace {

HANDLE handleOf(std::FILE* file) {
    return reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(file)));
}

[[noreturn]] void fail(std::FILE* temporary, const std::string& temporaryPath, DWORD error,
                       const std::string& what) {
    std::fclose(temporary);
    DeleteFileW(WindowsText::filePath(temporaryPath).c_str());
    WindowsText::throwWin32Error(error, what);
}

} // namespace

// A save keeps its temporary open, shared with no one, until it has renamed it: deleting a
// temporary fails while its save lives, and succeeds for one a killed save left.
void removeStaleTemporaries(const std::string& prefix) {
    WIN32_FIND_DATAW found;
    const HANDLE search = FindFirstFileW(WindowsText::filePath(prefix + "*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return;
    const std::string folder = PathParts::of(prefix).folder + '\\';
    do {
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            DeleteFileW(
                WindowsText::filePath(folder + WindowsText::narrow(found.cFileName)).c_str());
    } while (FindNextFileW(search, &found));
    FindClose(search);
}

std::FILE* createTemporary(const std::string& path) {
    // DELETE access lets the save rename the file through its own handle.
    const HANDLE handle = CreateFileW(WindowsText::filePath(path).c_str(), GENERIC_WRITE | DELETE,
                                      0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        if (error == ERROR_FILE_EXISTS)
            return nullptr;
        WindowsText::throwWin32Error(error, path);
    }
    const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_WRONLY | _O_BINARY);
    if (fd < 0) {
        CloseHandle(handle);
        DeleteFileW(WindowsText::filePath(path).c_str());
        throw std::system_error(errno != 0 ? errno : EIO, std::generic_category(), path);
    }
    if (std::FILE* file = _fdopen(fd, "wb"))
        return file;
    const int error = errno;
    _close(fd);
    DeleteFileW(WindowsText::filePath(path).c_str());
    throw std::system_error(error != 0 ? error : EIO, std::generic_category(), path);
}

// A new file takes its access rights from its folder, as the file it replaces did.
void takeOverAttributes(const std::string&, std::FILE*) {}

// Renamed through the handle the save still holds, never closed and reopened by name: in that
// gap another clock's clean-up could take the temporary for a stale one.
void replace(std::FILE* temporary, const std::string& temporaryPath, const std::string& target) {
    const HANDLE handle = handleOf(temporary);
    if (!FlushFileBuffers(handle))
        fail(temporary, temporaryPath, GetLastError(), temporaryPath);
    const std::wstring name = WindowsText::filePath(target);
    std::vector<char> buffer(sizeof(FILE_RENAME_INFO) + name.size() * sizeof(wchar_t));
    auto* rename = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
    rename->ReplaceIfExists = TRUE;
    rename->RootDirectory = nullptr;
    rename->FileNameLength = static_cast<DWORD>(name.size() * sizeof(wchar_t));
    std::copy(name.begin(), name.end(), rename->FileName);
    rename->FileName[name.size()] = L'\0';
    if (!SetFileInformationByHandle(handle, FileRenameInfo, rename,
                                    static_cast<DWORD>(buffer.size())))
        fail(temporary, temporaryPath, GetLastError(), target);
    std::fclose(temporary);
}

} // namespace ReplacingFilePlatform
