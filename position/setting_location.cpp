#include "setting_location.h"

#include "dir_search.h"
#include "file_api.h"
#include "my_function_lv01.h"
#include "my_function_lv02.h"
#include "position_file.h"

#include <cerrno>
#include <cstring>
#include <exception>
#include <system_error>

namespace SettingLocation {
namespace {

std::string fileIn(const std::string& folder) {
    return MyFunction_Lv01::JoinPath(folder, PositionFile::kFileName);
}

// The failure's text, or nothing when the file was written.
std::string write(const std::string& path, LineList lines) {
    try {
        MyFunction_Lv02::AccessLineFile(path, lines, "S_Write", "normal");
        return {};
    } catch (const std::exception& error) {
        return error.what();
    }
}

bool exists(const std::string& path) {
    return MyFunction_Lv01::CheckFileExists(path, "OFF") == "OK";
}

// The per-user folder where it is a place of its own that this process may use: not the
// program's folder under another name, and, for root, root's own.
std::string separatePerUserFolder(const Places& places) {
    if (places.perUserFolder.empty())
        return {};
    if (!places.programFolder.empty() && SameFolder(places.programFolder, places.perUserFolder))
        return {};
    return places.perUserFolder;
}

// Per-user copies left by earlier saves (every case variant of the name: a start finds any of
// them) would hide this save at the next start. What cannot be removed gets the same position
// under the exact name, which a start prefers. The reason, when neither could be done.
std::string retireCopies(const std::string& folder, const LineList& lines) {
    if (!PerUserFolderAllowed(folder))
        return {}; // not read either
    const std::string path = fileIn(folder);
    std::string removeError;
    for (const std::string& name : DirSearch::FindCaseVariants(path)) {
        const std::string copy = MyFunction_Lv01::JoinPath(folder, name);
        if (FileApi::remove(copy) != 0 && errno != ENOENT && removeError.empty())
            removeError = copy + ": " + std::strerror(errno);
    }
    if (!exists(path))
        return {};
    const std::string writeError = write(path, lines);
    if (writeError.empty())
        return {};
    return "cannot remove " + removeError + "\ncannot replace it: " + writeError;
}

} // namespace

std::optional<std::string> PathToRead(const Places& places) {
    const std::string perUserFolder = separatePerUserFolder(places);
    if (!perUserFolder.empty()) {
        try {
            const std::string perUser = fileIn(perUserFolder);
            if (PerUserFolderAllowed(perUserFolder) &&
                (exists(perUser) || places.programFolder.empty()))
                return perUser;
        } catch (const std::exception&) {
            // A per-user folder that cannot be named or searched holds no save to read.
            if (places.programFolder.empty())
                throw;
        }
    }
    if (places.programFolder.empty())
        return std::nullopt;
    return fileIn(places.programFolder);
}

std::vector<SaveAttempt> Save(const Places& places, const LineList& lines) {
    std::vector<SaveAttempt> attempts;
    const std::string perUserFolder = separatePerUserFolder(places);
    const auto saveIn = [&](const std::string& folder, bool perUser) {
        SaveAttempt attempt{folder, {}};
        try {
            attempt.path = fileIn(folder);
            if (perUser && !PerUserFolderAllowed(folder)) {
                attempt.error = "it belongs to another user, and root writes nothing there";
            } else {
                if (perUser)
                    places.makeFolder(folder);
                attempt.error = write(attempt.path, lines);
            }
        } catch (const std::exception& error) {
            attempt.error = error.what();
        }
        attempts.push_back(attempt);
        return attempt.error.empty();
    };
    if (!places.programFolder.empty() && saveIn(places.programFolder, false)) {
        if (!perUserFolder.empty()) {
            try {
                if (std::string error = retireCopies(perUserFolder, lines); !error.empty())
                    attempts.push_back({fileIn(perUserFolder), error, true});
            } catch (const std::exception&) {
                // A per-user folder whose path cannot even be formed or searched holds no copy.
            }
        }
        return attempts;
    }
    if (!perUserFolder.empty())
        saveIn(perUserFolder, true);
    return attempts;
}

bool Saved(const std::vector<SaveAttempt>& attempts) {
    return !attempts.empty() && attempts.back().error.empty();
}

std::string SaveFailureText(const std::vector<SaveAttempt>& attempts) {
    if (attempts.empty())
        return "The window position could not be saved: neither the program's folder nor a "
               "configuration folder of yours is known.";
    if (attempts.back().olderCopyKept)
        return "The window position was saved in\n" + attempts.front().path +
               "\nbut the next start will read the older copy in\n" + attempts.back().path +
               "\nwhich could be neither removed nor replaced:\n" + attempts.back().error +
               "\n\nRemove that file, or let its folder be written, to have the new position "
               "read.";
    std::string text = "The window position could not be saved.\n";
    for (const SaveAttempt& attempt : attempts)
        text += "\n" + attempt.path + ":\n" + attempt.error + "\n";
    return text;
}

Found ReadSavedPosition(const Places& places) {
    std::string path;
    try {
        const auto toRead = PathToRead(places);
        if (!toRead)
            return {};
        path = *toRead;
        if (!exists(path))
            return {};
        LineList lines;
        MyFunction_Lv02::AccessLineFile(path, lines, "S_Read", "normal", kLargestFileRead);
        const auto position = PositionFile::ReadPosition(lines);
        if (!position)
            return {std::nullopt, path + " holds no usable position"};
        return {position, {}};
    } catch (const std::system_error& error) {
        if (error.code() == std::errc::file_too_large)
            return {std::nullopt, path + " is larger than any position file"};
        return {std::nullopt, "cannot read " + path + ": " + error.what()};
    } catch (const std::exception& error) {
        return {std::nullopt, "cannot read " + path + ": " + error.what()};
    }
}

} // namespace SettingLocation
