#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

// Sequential line input over an open file, with the line ends of a line file: a CR, or a CR
// followed by LF, ends a line; a lone LF is an ordinary character.
namespace LineReader {

bool AtEnd(std::FILE* file);

// Reads one line without its line end. At the end of the file it gives the empty text.
// Throws std::system_error when the file cannot be read. With `left`, the bytes the file may
// still give: a byte past them throws std::errc::file_too_large, so a file that grows while it
// is read is never taken in whole.
std::string ReadLine(std::FILE* file, std::uintmax_t* left = nullptr);

} // namespace LineReader
