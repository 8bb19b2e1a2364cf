#pragma once

#ifdef _WIN32
#include <string>
#include <string_view>
#include <system_error>
#include <windows.h>

// The program's own text, paths included, is UTF-8; the file API gets UTF-16, so a folder
// name that the ANSI code page cannot hold still loads and saves. Only what a line file holds
// is kept in the ANSI code page, the system's default for text files.
namespace WindowsText {

inline std::wstring convertToWide(UINT codePage, std::string_view text) {
    if (text.empty())
        return {};
    const int size = static_cast<int>(text.size());
    const int n = MultiByteToWideChar(codePage, 0, text.data(), size, nullptr, 0);
    std::wstring out(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(codePage, 0, text.data(), size, out.data(), n);
    return out;
}

inline std::string convertFromWide(UINT codePage, std::wstring_view text) {
    if (text.empty())
        return {};
    const int size = static_cast<int>(text.size());
    const int n = WideCharToMultiByte(codePage, 0, text.data(), size, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(codePage, 0, text.data(), size, out.data(), n, nullptr, nullptr);
    return out;
}

inline std::wstring widen(std::string_view utf8) {
    return convertToWide(CP_UTF8, utf8);
}

inline std::string narrow(std::wstring_view utf16) {
    return convertFromWide(CP_UTF8, utf16);
}

// A path for the wide file API. Past the classic limit of 260 characters an absolute path
// goes in the \\?\ form, which the file API takes up to 32,767 characters long; shorter ones
// keep the form every Windows version reads the same way.
inline std::wstring filePath(std::string_view utf8) {
    std::wstring wide = widen(utf8);
    constexpr std::size_t kClassicLimit = MAX_PATH - 12; // what CreateDirectoryW takes
    if (wide.size() < kClassicLimit || wide.rfind(L"\\\\?\\", 0) == 0)
        return wide;
    const bool drive = wide.size() > 2 && wide[1] == L':' && wide[2] == L'\\';
    const bool share = wide.rfind(L"\\\\", 0) == 0;
    if (drive)
        return L"\\\\?\\" + wide;
    if (share)
        return L"\\\\?\\UNC\\" + wide.substr(2);
    return wide;
}

// A line of a file, from the ANSI code page to the program's text and back. A character the
// code page cannot hold is written as the code page's default character, as Windows does.
inline std::string fromCodePage(std::string_view ansi) {
    return narrow(convertToWide(CP_ACP, ansi));
}

inline std::string toCodePage(std::string_view utf8) {
    return convertFromWide(CP_ACP, widen(utf8));
}

// Win32 error codes with the system's own message, in UTF-8 like the path put before it.
class Win32Category : public std::error_category {
public:
    const char* name() const noexcept override { return "win32"; }
    std::string message(int code) const override {
        wchar_t* buffer = nullptr;
        const DWORD n = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                           FORMAT_MESSAGE_IGNORE_INSERTS,
                                       nullptr, static_cast<DWORD>(code), 0,
                                       reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
        std::wstring text(buffer ? buffer : L"", n);
        LocalFree(buffer);
        while (!text.empty() &&
               (text.back() == L'\n' || text.back() == L'\r' || text.back() == L' '))
            text.pop_back();
        return text.empty() ? "Win32 error " + std::to_string(code) : narrow(text);
    }
};

inline const std::error_category& win32Category() {
    static const Win32Category category;
    return category;
}

[[noreturn]] inline void throwWin32Error(DWORD code, const std::string& what) {
    throw std::system_error(static_cast<int>(code), win32Category(), what);
}

} // namespace WindowsText
#endif
