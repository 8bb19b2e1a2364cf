#include "setting_location.h"

#include "dir_search.h"
#include "file_api.h"
#include "my_function_lv01.h"
#include "my_function_lv02.h"
#include "position_file.h"

#include <cerrno>
#include <exception>

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

// A per-user copy left by an earlier save would hide this one at the next start. Where it
// cannot go, it gets the same position instead.
void retireCopy(const std::string& path, const LineList& lines) {
    if (FileApi::remove(path) == 0 || errno == ENOENT)
        return;
    write(path, lines);
}

} // namespace

std::optional<std::string> PathToRead(const Places& places) {
    if (!places.perUserFolder.empty()) {
        try {
            const std::string perUser = fileIn(places.perUserFolder);
            if (exists(perUser) || places.programFolder.empty())
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
    const auto saveIn = [&](const std::string& folder, bool makeFolder) {
        SaveAttempt attempt{folder, {}};
        try {
            attempt.path = fileIn(folder);
            if (makeFolder)
                places.makeFolder(folder);
            attempt.error = write(attempt.path, lines);
        } catch (const std::exception& error) {
            attempt.error = error.what();
        }
        attempts.push_back(attempt);
        return attempt.error.empty();
    };
    if (!places.programFolder.empty() && saveIn(places.programFolder, false)) {
        if (!places.perUserFolder.empty()) {
            try {
                retireCopy(fileIn(places.perUserFolder), lines);
            } catch (const std::exception&) {
                // A per-user folder whose path cannot even be formed holds no copy either.
            }
        }
        return attempts;
    }
    if (!places.perUserFolder.empty())
        saveIn(places.perUserFolder, true);
    return attempts;
}

bool Saved(const std::vector<SaveAttempt>& attempts) {
    return !attempts.empty() && attempts.back().error.empty();
}

std::string SaveFailureText(const std::vector<SaveAttempt>& attempts) {
    if (attempts.empty())
        return "The window position could not be saved: neither the program's folder nor a "
               "configuration folder of yours is known.";
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
        if (!SmallEnoughToRead(path))
            return {std::nullopt, path + " is larger than any position file"};
        LineList lines;
        MyFunction_Lv02::AccessLineFile(path, lines, "S_Read", "normal");
        const auto position = PositionFile::ReadPosition(lines);
        if (!position)
            return {std::nullopt, path + " holds no usable position"};
        return {position, {}};
    } catch (const std::exception& error) {
        return {std::nullopt, "cannot read " + path + ": " + error.what()};
    }
}

bool SmallEnoughToRead(const std::string& path) {
    const auto size = DirSearch::SizeOfFirstMatch(path);
    return size && *size <= kLargestFileRead;
}

} // namespace SettingLocation
