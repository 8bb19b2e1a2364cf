#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

// The few file calls the line-file routines make by the program's paths, and the text of a
// line file. Paths are UTF-8 on Windows and reach the wide API whole, however long; elsewhere
// they are the file system's own bytes.
namespace FileApi {

int remove(const std::string& path);

// Opens a file for reading, never waiting on it, and gives its size as the open file tells it:
// whatever took the place of the ordinary file a search found (a FIFO, a device, a folder) is
// refused with std::errc::invalid_argument. Throws std::system_error when it cannot be opened.
std::FILE* openOrdinaryForInput(const std::string& path, std::uintmax_t& size);

// A line of a file and the program's text: the same bytes on POSIX; on Windows the ANSI code
// page, the system's default for text files, on the file's side.
std::string textFromLine(std::string_view line);
std::string lineFromText(std::string_view text);

} // namespace FileApi
