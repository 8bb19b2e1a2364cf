#pragma once

#include "line_list.h"
#include "position_file.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

// Where setting.dat lives. Beside the program, the place the home platform gave it; where a
// save cannot be made there (a system install, another user's file in a shared folder, a full
// disk), in the user's own configuration folder instead. Whichever place the last save took,
// the next start reads it.
namespace SettingLocation {

struct Places {
    std::string programFolder; // empty when the platform cannot name it
    std::string perUserFolder; // empty when the platform knows none
    // Creates a folder and its parents; the save that follows reports any failure.
    std::function<void(const std::string& folder)> makeFolder;
};

// The file a start reads: the per-user one when there is one, since a save beside the program
// removes it, else the one beside the program. Nothing when neither folder is known.
std::optional<std::string> PathToRead(const Places& places);

struct SaveAttempt {
    std::string path;
    std::string error; // empty when the save succeeded
};

// Saves the lines beside the program, and where that fails for any reason, in the per-user
// folder. The attempts in order; all failed when the last one did.
std::vector<SaveAttempt> Save(const Places& places, const LineList& lines);

// Whether the last save succeeded; when not, what the user is told, every place with its reason.
bool Saved(const std::vector<SaveAttempt>& attempts);
std::string SaveFailureText(const std::vector<SaveAttempt>& attempts);

// What a start finds: the position the last save wrote, or nothing. `problem` says why a file
// that is there gives none; it is empty when there simply is no file.
struct Found {
    std::optional<PositionFile::Position> position;
    std::string problem;
};

// Finds the file with CheckFileExists and reads it with AccessLineFile, never throwing: a file
// that cannot be read, holds no position or is larger than any position file can be gives
// nothing and is left untouched.
Found ReadSavedPosition(const Places& places);

// The largest setting.dat worth reading: two numbers and their line ends take a few dozen
// bytes, and a start must not stall on a big file copied over it by mistake.
inline constexpr std::uintmax_t kLargestFileRead = 64 * 1024;

// Whether the file a read of `path` would open is small enough to be a position file.
bool SmallEnoughToRead(const std::string& path);

// The real places, from the platform. The program's folder as the system names it, byte for
// byte, whatever its encoding; empty only when the system cannot tell.
std::string ProgramFolder();

// The user's configuration folder for the application, by the XDG base directories on POSIX
// ($XDG_CONFIG_HOME when absolute, else $HOME/.config) and the local application data folder on
// Windows. Empty when there is none.
using Environment = std::function<std::optional<std::string>(const char* name)>;
std::optional<std::string> ProcessEnvironment(const char* name);
std::string PerUserFolder(const std::string& applicationName,
                          const Environment& environment = ProcessEnvironment);

void MakeFolder(const std::string& folder);

} // namespace SettingLocation
