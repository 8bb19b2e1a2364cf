#include "replacing_file.h"

#include "file_api.h"
#include "path_separator.h"

#include <cerrno>
#include <cstdio>
#include <system_error>
#include <utility>

#ifdef _WIN32
#include "windows_text.h"
#include <fcntl.h>
#include <io.h>
#include <random>
#else
#include <fcntl.h>
#include <filesystem>
#include <random>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

[[noreturn]] void throwErrno(const std::string& what) {
    throw std::system_error(errno != 0 ? errno : EIO, std::generic_category(), what);
}

std::string folderOf(const std::string& path) {
    const auto pos = path.find_last_of(kPathSeparator);
    if (pos == std::string::npos)
        return ".";
    return pos == 0 ? std::string(1, kPathSeparator) : path.substr(0, pos);
}

#ifndef _WIN32

// The rename itself lives in the folder's entry; flush that too so it survives a power cut.
void syncFolderOf(const std::string& path) {
    const int fd = ::open(folderOf(path).c_str(), O_RDONLY | O_DIRECTORY);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

// A save holds a lock on its temporary from creation to rename, and the kernel drops it when
// the process dies: a temporary nobody holds is a killed save's and can go.
void removeStaleTemporaries(const std::string& prefix) {
    const std::string start = std::filesystem::path(prefix).filename().string();
    std::error_code ec;
    std::filesystem::directory_iterator entries(folderOf(prefix), ec);
    for (; !ec && entries != std::filesystem::directory_iterator(); entries.increment(ec)) {
        if (entries->path().filename().string().rfind(start, 0) != 0)
            continue;
        const std::string path = entries->path().string();
        const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
        if (fd < 0)
            continue;
        struct stat held {};
        struct stat named {};
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0 && ::fstat(fd, &held) == 0 &&
            ::lstat(path.c_str(), &named) == 0 && held.st_dev == named.st_dev &&
            held.st_ino == named.st_ino)
            ::unlink(path.c_str());
        ::close(fd);
    }
}

// Creates and locks a temporary of a name no other save uses.
std::FILE* openOwnTemporary(const std::string& prefix, std::string& path) {
    static std::mt19937_64 random(std::random_device{}() ^ static_cast<unsigned>(::getpid()));
    static constexpr char kDigits[] = "0123456789abcdefghijklmnopqrstuvwxyz";
    for (int attempt = 0; attempt < 100; ++attempt) {
        path = prefix;
        for (int i = 0; i < 8; ++i)
            path.push_back(kDigits[random() % (sizeof kDigits - 1)]);
        errno = 0;
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0) {
            if (errno == EEXIST)
                continue;
            throwErrno(path);
        }
        // A cleaning save may have taken it for a stale one between the open and the lock.
        // Where the file system has no locks the save goes on unlocked, and then no cleaning
        // save ever takes a temporary.
        struct stat info {};
        if (::flock(fd, LOCK_EX) == 0 && ::fstat(fd, &info) == 0 && info.st_nlink == 0) {
            ::close(fd);
            continue;
        }
        if (std::FILE* file = ::fdopen(fd, "wb"))
            return file;
        const int error = errno;
        ::close(fd);
        ::unlink(path.c_str());
        errno = error;
        throwErrno(path);
    }
    errno = EEXIST;
    throwErrno(prefix);
}
#else
// A save keeps its temporary open, without leave to delete it, until the rename: deleting a
// temporary fails while its save lives, and succeeds for one a killed save left.
void removeStaleTemporaries(const std::string& prefix) {
    WIN32_FIND_DATAW found;
    const HANDLE search = FindFirstFileW(WindowsText::widen(prefix + "*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return;
    const std::wstring folder = WindowsText::widen(folderOf(prefix)) + L"\\";
    do {
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            DeleteFileW((folder + found.cFileName).c_str());
    } while (FindNextFileW(search, &found));
    FindClose(search);
}

// Creates a temporary of a name no other save uses, shared with no one until it is closed.
std::FILE* openOwnTemporary(const std::string& prefix, std::string& path) {
    static std::mt19937_64 random(std::random_device{}() ^ GetCurrentProcessId());
    static constexpr char kDigits[] = "0123456789abcdefghijklmnopqrstuvwxyz";
    for (int attempt = 0; attempt < 100; ++attempt) {
        path = prefix;
        for (int i = 0; i < 8; ++i)
            path.push_back(kDigits[random() % (sizeof kDigits - 1)]);
        const HANDLE handle = CreateFileW(WindowsText::widen(path).c_str(), GENERIC_WRITE, 0,
                                          nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (handle == INVALID_HANDLE_VALUE) {
            const DWORD error = GetLastError();
            if (error == ERROR_FILE_EXISTS)
                continue;
            WindowsText::throwWin32Error(error, path);
        }
        const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_WRONLY | _O_BINARY);
        if (fd < 0) {
            CloseHandle(handle);
            DeleteFileW(WindowsText::widen(path).c_str());
            throwErrno(path);
        }
        if (std::FILE* file = _fdopen(fd, "wb"))
            return file;
        _close(fd);
        DeleteFileW(WindowsText::widen(path).c_str());
        throwErrno(path);
    }
    errno = EEXIST;
    throwErrno(prefix);
}
#endif

} // namespace

ReplacingFile::ReplacingFile(std::string target) : m_target(std::move(target)) {
    const std::string prefix = temporaryPrefixFor(m_target);
    removeStaleTemporaries(prefix);
    m_file = openOwnTemporary(prefix, m_temporary);
}

ReplacingFile::~ReplacingFile() {
    if (m_file) {
        std::fclose(m_file);
        FileApi::remove(m_temporary);
    }
}

std::string ReplacingFile::temporaryPrefixFor(const std::string& target) {
    return target + ".tmp-";
}

void ReplacingFile::write(std::string_view bytes) {
    errno = 0;
    if (std::fwrite(bytes.data(), 1, bytes.size(), m_file) != bytes.size())
        throwErrno(m_temporary);
}

void ReplacingFile::commit() {
    errno = 0;
    if (std::fflush(m_file) != 0)
        throwErrno(m_temporary);
#ifdef _WIN32
    if (_commit(_fileno(m_file)) != 0)
        throwErrno(m_temporary);
#else
    if (::fsync(fileno(m_file)) != 0)
        throwErrno(m_temporary);
    // Renamed while still open and locked: closed first, a cleaning save could take it.
    if (std::rename(m_temporary.c_str(), m_target.c_str()) != 0) {
        const int error = errno;
        std::remove(m_temporary.c_str());
        std::fclose(std::exchange(m_file, nullptr));
        throw std::system_error(error, std::generic_category(), m_target);
    }
    std::fclose(std::exchange(m_file, nullptr));
    syncFolderOf(m_target);
#endif
#ifdef _WIN32
    std::FILE* file = std::exchange(m_file, nullptr);
    if (std::fclose(file) != 0) {
        FileApi::remove(m_temporary);
        throwErrno(m_temporary);
    }
    if (!MoveFileExW(WindowsText::widen(m_temporary).c_str(), WindowsText::widen(m_target).c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        const auto error = GetLastError();
        FileApi::remove(m_temporary);
        WindowsText::throwWin32Error(error, m_target);
    }
#endif
}
