#pragma once

#include <functional>
#include <string>

// Where setting.dat lives. Beside the program whenever a file can be created there (the build
// tree, a portable copy, a per-user install); where it cannot (a system install), in the
// user's own configuration folder instead, as the home platform quietly did for programs
// under its protected folders. Plain logic: the file system is reached through the seams.
namespace SettingLocation {

struct Places {
    std::string programFolder;
    // Empty when the platform knows no per-user folder: then only the program folder is used.
    std::string perUserFolder;
    std::function<bool(const std::string& folder)> canCreateFileIn;
    // Creates the folder and its parents; the save that follows reports any failure.
    std::function<void(const std::string& folder)> makeFolder;
};

// Start-up: the file beside the program when there is one, else the per-user one.
std::string PathToRead(const Places& places);

// Double-click: beside the program when a file can be created there, else the per-user file,
// its folder made first.
std::string PathToWrite(const Places& places);

// The real seams.
std::string PerUserFolder(); // QStandardPaths::AppConfigLocation
bool CanCreateFileIn(const std::string& folder);
void MakeFolder(const std::string& folder);

} // namespace SettingLocation
