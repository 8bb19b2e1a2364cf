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
// the next start reads it, and exactly one file is the position: one folder reached by two
// names (the program unpacked into the per-user folder, through a link, in another letter
// case) is one place.
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
    // The save beside the program was made, but an older per-user copy, which the next start
    // would read instead, could be neither removed nor replaced: `error` says why.
    bool olderCopyKept = false;
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
// that cannot be read, holds no position, is no ordinary file or is larger than any position
// file can be gives nothing and is left untouched. What is checked is the open file that is
// read, so nothing that takes its place meanwhile can make a start wait or read it whole.
Found ReadSavedPosition(const Places& places);

// The largest setting.dat worth reading: two numbers and their line ends take a few dozen
// bytes, and a start must not stall on a big file copied over it by mistake.
inline constexpr std::uintmax_t kLargestFileRead = 64 * 1024;

// The real places, from the platform. The program's folder as the system names it, byte for
// byte, whatever its encoding; empty only when the system cannot tell.
std::string ProgramFolder();

// Who the program runs as, as far as the per-user folder depends on it.
struct Account {
    bool root = false;
    std::optional<std::string> home; // the system's record, whatever the environment says
    // Whether a folder, or where it does not exist yet its nearest existing parent, belongs to
    // the effective user.
    std::function<bool(const std::string& folder)> owns;
};
Account EffectiveAccount();

// The user's configuration folder for the application, by the XDG base directories on POSIX
// ($XDG_CONFIG_HOME when absolute, else $HOME/.config) and the local application data folder on
// Windows. Empty when there is none. Root keeps to its own: $XDG_CONFIG_HOME only where it is
// root's, else the home the password database records for root, never the $HOME that `sudo -E`
// or a root shell kept from a user.
using Environment = std::function<std::optional<std::string>(const char* name)>;
std::optional<std::string> ProcessEnvironment(const char* name);
std::string PerUserFolder(const std::string& applicationName,
                          const Environment& environment = ProcessEnvironment,
                          const Account& account = EffectiveAccount());

// Root never writes into another user's home: as root, the per-user folder is made, written,
// cleared of old copies and read only where it, or where it does not exist yet its nearest
// existing parent, belongs to root. Other users are kept out of foreign folders by the
// system's own permissions.
bool PerUserFolderAllowed(const std::string& folder);

// Whether two paths name one folder: the same folder reached directly, through a link or in
// another letter case. False when either cannot be looked at.
bool SameFolder(const std::string& a, const std::string& b);

// Creates the folder and the missing ones above it, each 0700 where permissions exist, as the
// XDG base directories ask.
void MakeFolder(const std::string& folder);

} // namespace SettingLocation
