#pragma once

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

// Every ordinary file whose name is the path's last component but for the case of its letters,
// the exact name included: where names keep their case, a folder may hold several.
std::vector<std::string> FindCaseVariants(const std::string& path);

// ASCII case-insensitive match of `*` (any run) and `?` (any one character).
bool MatchesWildcard(std::string_view pattern, std::string_view name);

// Clears the read-only state of a file: FILE_ATTRIBUTE_NORMAL on Windows, the owner's write
// permission elsewhere. A symbolic link is left alone (its target is some other file), and so
// is a file whose state this user may not change (another user's, one on a read-only disk): it
// can still be read, and a save renames a new file over it. Throws std::system_error on any
// other failure.
void SetAttributesNormal(const std::string& path);

} // namespace DirSearch
