#include "line_reader.h"

#include <cerrno>
#include <system_error>

namespace LineReader {
namespace {

[[noreturn]] void throwReadError() {
    throw std::system_error(errno != 0 ? errno : EIO, std::generic_category(), "read");
}

} // namespace

bool AtEnd(std::FILE* file) {
    const int c = std::getc(file);
    if (c == EOF) {
        if (std::ferror(file))
            throwReadError();
        return true;
    }
    std::ungetc(c, file);
    return false;
}

std::string ReadLine(std::FILE* file, std::uintmax_t* left) {
    const auto take = [file, left] {
        const int c = std::getc(file);
        if (c != EOF && left) {
            if (*left == 0)
                throw std::system_error(std::make_error_code(std::errc::file_too_large), "read");
            --*left;
        }
        return c;
    };
    std::string line;
    char buffer[4096];
    std::size_t used = 0;
    for (;;) {
        const int c = take();
        if (c == EOF) {
            if (std::ferror(file))
                throwReadError();
            break;
        }
        if (c == '\r') {
            const int next = take();
            if (next != '\n' && next != EOF) {
                std::ungetc(next, file);
                if (left)
                    ++*left;
            }
            break;
        }
        buffer[used++] = static_cast<char>(c);
        if (used == sizeof buffer) {
            line.append(buffer, used);
            used = 0;
        }
    }
    line.append(buffer, used);
    return line;
}

} // namespace LineReader
