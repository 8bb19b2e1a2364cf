#include "file_api.h"

namespace FileApi {

std::FILE* open(const std::string& path, const char* mode) {
    return std::fopen(path.c_str(), mode);
}

int remove(const std::string& path) {
    return std::remove(path.c_str());
}

std::string textFromLine(std::string_view line) {
    return std::string(line);
}

std::string lineFromText(std::string_view text) {
    return std::string(text);
}

} // namespace FileApi
