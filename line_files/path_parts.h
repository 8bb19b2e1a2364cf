#pragma once

#include "path_separator.h"

#include <string>

// A path taken apart at its last separator, the way the file system reads it: a bare name lies
// in the current folder, and a name right under the root keeps the root as its folder.
struct PathParts {
    std::string folder;
    std::string name;

    static PathParts of(const std::string& path, char separator = kPathSeparator) {
        const auto pos = path.find_last_of(separator);
        if (pos == std::string::npos)
            return {".", path};
        return {pos == 0 ? std::string(1, separator) : path.substr(0, pos), path.substr(pos + 1)};
    }
};
