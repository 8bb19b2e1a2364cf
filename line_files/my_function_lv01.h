#pragma once

#include "line_list.h"
#include "path_separator.h"

#include <string>

// The path and list helpers the line-file routine and the start-up code build on.
// Paths are text; `separator` is the one character taken as a separator (the platform's
// own unless a caller, such as a test of the Windows forms, asks for another).
namespace MyFunction_Lv01 {

// "OK" when an ordinary file matches the path (wildcards allowed in the last component),
// else "ERROR"; with the flag exactly "ON" a missing file is also reported to the user.
std::string CheckFileExists(const std::string& path, const std::string& flag);

// folder + separator + name, with every run of separators collapsed to one.
// Throws std::overflow_error for a doubled separator past character 32,766.
std::string JoinPath(const std::string& folder, const std::string& name,
                     char separator = kPathSeparator);

// The folder part of a path; a path ending in a separator is returned unchanged.
// Throws std::invalid_argument for a path without a separator and std::overflow_error when
// its last separator lies past character 32,766.
std::string ParentFolder(const std::string& path, char separator = kPathSeparator);

// One empty entry, nothing else.
void ResetList(LineList& list);

// Drops the empty entries, keeping the order; a list of only empty entries keeps its length.
// Yields to the user interface after every entry of both passes. Throws std::out_of_range on a
// list that holds no entry.
void CompactList(LineList& list);

} // namespace MyFunction_Lv01
