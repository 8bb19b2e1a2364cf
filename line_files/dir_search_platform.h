#pragma once

#include <string>
#include <vector>

// What each platform's file system answers for the directory search; the rest is shared.
namespace DirSearch::Platform {

// The ordinary files of the pattern's folder whose names match its last component, in the
// order the file system gives them.
std::vector<std::string> ListOrdinaryFiles(const std::string& pattern);

} // namespace DirSearch::Platform
