#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The platform's directory search as the line-file routines need it: ordinary files only
// (no folders, no hidden or system files), `*` and `?` in the last component, names compared
// without regard to case, results in name order so every run sees the same sequence.
namespace DirSearch {

// Names (without folder) of the files matching the pattern. A last component without
// wildcards names one file, as it does where names ignore case: the file of exactly that name
// when there is one, else its first case variant. A folder that does not exist matches
// nothing; a folder that cannot be listed throws std::filesystem::filesystem_error
// (std::system_error on Windows, where a malformed pattern throws too).
std::vector<std::string> FindOrdinaryFiles(const std::string& pattern);

// The size in bytes of the first file the pattern matches, or nothing when none matches.
// Throws std::system_error when the file cannot be looked at.
std::optional<std::uintmax_t> SizeOfFirstMatch(const std::string& pattern);

// ASCII case-insensitive match of `*` (any run) and `?` (any one character).
bool MatchesWildcard(std::string_view pattern, std::string_view name);

// Clears the read-only state of a file: FILE_ATTRIBUTE_NORMAL on Windows, the owner's write
// permission elsewhere. A symbolic link is left alone (its target is some other file), and so
// is a file whose state this user may not change (another user's, one on a read-only disk): it
// can still be read, and a save renames a new file over it. Throws std::system_error on any
// other failure.
void SetAttributesNormal(const std::string& path);

} // namespace DirSearch
