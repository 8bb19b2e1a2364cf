#pragma once

// The one character the path routines treat as a separator: the platform's own.
#ifdef _WIN32
inline constexpr char kPathSeparator = '\\';
#else
inline constexpr char kPathSeparator = '/';
#endif
