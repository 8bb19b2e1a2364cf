#include "file_api.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace FileApi {

int remove(const std::string& path) {
    return std::remove(path.c_str());
}

// Without O_NONBLOCK the open of a FIFO waits for a writer that may never come; on the ordinary
// file it lets through, the flag changes nothing.
std::FILE* openOrdinaryForInput(const std::string& path, std::uintmax_t& size) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        throw std::system_error(errno, std::generic_category(), path);
    struct stat info {};
    int error = ::fstat(fd, &info) == 0 ? 0 : errno;
    if (error == 0 && !S_ISREG(info.st_mode)) {
        ::close(fd);
        throw std::system_error(std::make_error_code(std::errc::invalid_argument),
                                path + " is no ordinary file");
    }
    std::FILE* file = error == 0 ? ::fdopen(fd, "rb") : nullptr;
    if (!file) {
        error = error != 0 ? error : errno;
        ::close(fd);
        throw std::system_error(error, std::generic_category(), path);
    }
    size = static_cast<std::uintmax_t>(info.st_size);
    return file;
}

std::string textFromLine(std::string_view line) {
    return std::string(line);
}

std::string lineFromText(std::string_view text) {
    return std::string(text);
}

} // namespace FileApi
