#pragma once

#include <cstdio>
#include <string>

#ifdef _WIN32
#include "windows_text.h"
#endif

// Opening and removing files by the program's paths. On Windows the narrow C calls would pass
// a path through the ANSI code page and lose what it cannot hold; the wide ones keep it whole.
namespace FileApi {

inline std::FILE* open(const std::string& path, const char* mode) {
#ifdef _WIN32
    const std::wstring wideMode(mode, mode + std::char_traits<char>::length(mode));
    return _wfopen(WindowsText::widen(path).c_str(), wideMode.c_str());
#else
    return std::fopen(path.c_str(), mode);
#endif
}

inline int remove(const std::string& path) {
#ifdef _WIN32
    return _wremove(WindowsText::widen(path).c_str());
#else
    return std::remove(path.c_str());
#endif
}

} // namespace FileApi
