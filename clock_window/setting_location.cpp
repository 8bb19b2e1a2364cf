#include "setting_location.h"

#include "my_function_lv01.h"
#include "position_file.h"

#include <QDir>
#include <QStandardPaths>
#include <QTemporaryFile>

#include <exception>

namespace SettingLocation {
namespace {

std::string fileIn(const std::string& folder) {
    return MyFunction_Lv01::JoinPath(folder, PositionFile::kFileName);
}

} // namespace

std::string PathToRead(const Places& places) {
    const std::string beside = fileIn(places.programFolder);
    if (places.perUserFolder.empty())
        return beside;
    try {
        if (MyFunction_Lv01::CheckFileExists(beside, "OFF") == "OK")
            return beside;
    } catch (const std::exception&) {
        // A program folder that cannot be searched: the read of the file beside the program
        // meets the same failure and reports it, as it did before there was a per-user file.
        return beside;
    }
    return fileIn(places.perUserFolder);
}

std::string PathToWrite(const Places& places) {
    if (places.perUserFolder.empty() || places.canCreateFileIn(places.programFolder))
        return fileIn(places.programFolder);
    places.makeFolder(places.perUserFolder);
    return fileIn(places.perUserFolder);
}

std::string PerUserFolder() {
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation);
    return folder.isEmpty() ? std::string() : QDir::toNativeSeparators(folder).toStdString();
}

// Permission bits alone do not tell: root ignores them, a read-only mount or an access list
// overrides them. Only creating a file answers, and it must be a name no one else uses.
bool CanCreateFileIn(const std::string& folder) {
    QTemporaryFile probe(QDir(QString::fromStdString(folder)).filePath(".setting.probe-XXXXXX"));
    return probe.open();
}

void MakeFolder(const std::string& folder) {
    QDir().mkpath(QString::fromStdString(folder));
}

} // namespace SettingLocation
