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

std::string ReadLine(std::FILE* file) {
    std::string line;
    char buffer[4096];
    std::size_t used = 0;
    for (;;) {
        const int c = std::getc(file);
        if (c == EOF) {
            if (std::ferror(file))
                throwReadError();
            break;
        }
        if (c == '\r') {
            const int next = std::getc(file);
            if (next != '\n' && next != EOF)
                std::ungetc(next, file);
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
