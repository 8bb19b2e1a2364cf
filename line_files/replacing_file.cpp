#include "replacing_file.h"

#include "file_api.h"

#include <cerrno>
#include <cstdio>
#include <system_error>
#include <utility>

#ifdef _WIN32
#include "windows_text.h"
#include <io.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

namespace {

[[noreturn]] void throwErrno(const std::string& what) {
    throw std::system_error(errno != 0 ? errno : EIO, std::generic_category(), what);
}

#ifndef _WIN32
// The rename itself lives in the folder's entry; flush that too so it survives a power cut.
void syncFolderOf(const std::string& path) {
    const auto pos = path.find_last_of('/');
    const std::string folder =
        pos == std::string::npos ? "." : (pos == 0 ? "/" : path.substr(0, pos));
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}
#endif

} // namespace

ReplacingFile::ReplacingFile(std::string target)
    : m_target(std::move(target)), m_temporary(temporaryPathFor(m_target)) {
    errno = 0;
    m_file = FileApi::open(m_temporary, "wb");
    if (!m_file)
        throwErrno(m_temporary);
}

ReplacingFile::~ReplacingFile() {
    if (m_file) {
        std::fclose(m_file);
        FileApi::remove(m_temporary);
    }
}

std::string ReplacingFile::temporaryPathFor(const std::string& target) {
    return target + ".tmp";
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
#endif
    std::FILE* file = std::exchange(m_file, nullptr);
    if (std::fclose(file) != 0) {
        FileApi::remove(m_temporary);
        throwErrno(m_temporary);
    }
#ifdef _WIN32
    if (!MoveFileExW(WindowsText::widen(m_temporary).c_str(), WindowsText::widen(m_target).c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        const auto error = GetLastError();
        FileApi::remove(m_temporary);
        WindowsText::throwWin32Error(error, m_target);
    }
#else
    if (std::rename(m_temporary.c_str(), m_target.c_str()) != 0) {
        const int error = errno;
        FileApi::remove(m_temporary);
        throw std::system_error(error, std::generic_category(), m_target);
    }
    syncFolderOf(m_target);
#endif
}
