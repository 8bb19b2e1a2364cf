#pragma once

#include <cstdio>
#include <string>

// What replacing a file by rename needs of each platform; the naming and writing are shared.
namespace ReplacingFilePlatform {

// Removes the temporaries starting with `prefix` that no live save holds.
void removeStaleTemporaries(const std::string& prefix);

// Creates the file at `path` for writing, held so that no other save's clean-up can take it.
// nullptr when a file of that name exists already; throws std::system_error on other failures.
std::FILE* createTemporary(const std::string& path);

// Gives the new content the permissions (and owner, where this process may) of the file it
// replaces, so a private file stays private.
void takeOverAttributes(const std::string& target, std::FILE* temporary);

// Flushes the temporary to the disk and puts it in place of the target while it is still
// held; closes it either way. Throws std::system_error when it cannot.
void replace(std::FILE* temporary, const std::string& temporaryPath, const std::string& target);

} // namespace ReplacingFilePlatform
