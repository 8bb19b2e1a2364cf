#include "file_api.h"

#include "windows_text.h"

namespace FileApi {

std::FILE* open(const std::string& path, const char* mode) {
    const std::wstring wideMode(mode, mode + std::char_traits<char>::length(mode));
    return _wfopen(WindowsText::filePath(path).c_str(), wideMode.c_str());
}

int remove(const std::string& path) {
    return _wremove(WindowsText::filePath(path).c_str());
}

std::string textFromLine(std::string_view line) {
    return WindowsText::fromCodePage(line);
}

std::string lineFromText(std::string_view text) {
    return WindowsText::toCodePage(text);
}

} // namespace FileApi
