#include "file_api.h"

#include "windows_text.h"

#include <cerrno>
#include <io.h>
#include <system_error>

namespace FileApi {

int remove(const std::string& path) {
    return _wremove(WindowsText::filePath(path).c_str());
}

std::FILE* openOrdinaryForInput(const std::string& path, std::uintmax_t& size) {
    std::FILE* file = _wfopen(WindowsText::filePath(path).c_str(), L"rb");
    if (!file)
        throw std::system_error(errno != 0 ? errno : EIO, std::generic_category(), path);
    const auto handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(file)));
    LARGE_INTEGER bytes{};
    if (GetFileType(handle) != FILE_TYPE_DISK || !GetFileSizeEx(handle, &bytes)) {
        std::fclose(file);
        throw std::system_error(std::make_error_code(std::errc::invalid_argument),
                                path + " is no ordinary file");
    }
    size = static_cast<std::uintmax_t>(bytes.QuadPart);
    return file;
}

std::string textFromLine(std::string_view line) {
    return WindowsText::fromCodePage(line);
}

std::string lineFromText(std::string_view text) {
    return WindowsText::toCodePage(text);
}

} // namespace FileApi
