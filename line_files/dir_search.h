#pragma once

#include <string>
#include <string_view>
#include <vector>

// The platform's directory search as the line-file routines need it: ordinary files only
// (no folders, no hidden or system files), `*` and `?` in the last component, names compared
// without regard to case, results in name order so every run sees the same sequence.
namespace DirSearch {

// Names (without folder) of the files matching the pattern. A folder that does not exist
// matches nothing; a folder that cannot be listed throws std::filesystem::filesystem_error
// (std::system_error on Windows, where a malformed pattern throws too).
std::vector<std::string> FindOrdinaryFiles(const std::string& pattern);

// ASCII case-insensitive match of `*` (any run) and `?` (any one character).
bool MatchesWildcard(std::string_view pattern, std::string_view name);

// Clears the read-only state of a file: FILE_ATTRIBUTE_NORMAL on Windows, the owner's write
// permission elsewhere, where another user's file or one on a read-only file system is left as
// it is. Throws std::system_error on failure.
void SetAttributesNormal(const std::string& path);

} // namespace DirSearch
