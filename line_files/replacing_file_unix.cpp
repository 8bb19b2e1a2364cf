#include "replacing_file_platform.h"

#include "path_parts.h"

#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <sys/file.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace ReplacingFilePlatform {
namespace {

// The rename itself lives in the folder's entry; flush that too so it survives a power cut.
void syncFolderOf(const std::string& path) {
    const int fd = ::open(PathParts::of(path).folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

[[noreturn]] void fail(std::FILE* temporary, const std::string& temporaryPath,
                       const std::string& what) {
    const int error = errno != 0 ? errno : EIO;
    std::remove(temporaryPath.c_str());
    std::fclose(temporary);
    throw std::system_error(error, std::generic_category(), what);
}

} // namespace

// A save holds a lock on its temporary from creation to rename, and the kernel drops it when
// the process dies: a temporary nobody holds is a killed save's and can go.
void removeStaleTemporaries(const std::string& prefix) {
    const PathParts parts = PathParts::of(prefix);
    std::error_code ec;
    std::filesystem::directory_iterator entries(parts.folder, ec);
    for (; !ec && entries != std::filesystem::directory_iterator(); entries.increment(ec)) {
        if (entries->path().filename().string().rfind(parts.name, 0) != 0)
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

std::FILE* createTemporary(const std::string& path) {
    for (;;) {
        errno = 0;
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0) {
            if (errno == EEXIST)
                return nullptr;
            throw std::system_error(errno != 0 ? errno : EIO, std::generic_category(), path);
        }
        // A cleaning save may have taken it for a stale one between the open and the lock:
        // then make it afresh. Where the file system has no locks the save goes on unlocked,
        // and then no cleaning save ever takes a temporary.
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
        throw std::system_error(error, std::generic_category(), path);
    }
}

void takeOverAttributes(const std::string& target, std::FILE* temporary) {
    struct stat old {};
    if (::lstat(target.c_str(), &old) != 0 || !S_ISREG(old.st_mode))
        return;
    const int fd = ::fileno(temporary);
    // Only root may give a file away. Anyone else saving over another user's file keeps the
    // new one as their own, with the usual permissions rather than a stranger's.
    if ((old.st_uid != ::geteuid() || old.st_gid != ::getegid()) &&
        ::fchown(fd, old.st_uid, old.st_gid) != 0)
        return;
    (void)::fchmod(fd, old.st_mode & 0777);
}

void replace(std::FILE* temporary, const std::string& temporaryPath, const std::string& target) {
    errno = 0;
    if (::fsync(::fileno(temporary)) != 0)
        fail(temporary, temporaryPath, temporaryPath);
    // Renamed while still open and locked: closed first, a cleaning save could take it.
    if (std::rename(temporaryPath.c_str(), target.c_str()) != 0)
        fail(temporary, temporaryPath, target);
    std::fclose(temporary);
    syncFolderOf(target);
}

} // namespace ReplacingFilePlatform
