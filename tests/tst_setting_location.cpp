#include "my_function_lv02.h"
#include "setting_location.h"
#include "test_support.h"

#include <QDirIterator>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

using SettingLocation::Places;

namespace {

// A program folder and a per-user folder of our own, and the position a save writes.
struct Folders {
    QTemporaryDir program;
    QTemporaryDir home;
    const LineList saved{"7095", "4425", ""};

    QString perUser() const { return home.filePath("config/Velomire -KORUVA!-"); }
    QString beside(const QString& name = "setting.dat") const { return program.filePath(name); }
    QString perUserFile() const { return perUser() + "/setting.dat"; }
    Places places(bool programKnown = true, bool perUserKnown = true) const {
        return {programKnown ? native(program.path()) : std::string(),
                perUserKnown ? native(perUser()) : std::string(), SettingLocation::MakeFolder};
    }
};

// What a start would read: the lines of the file PathToRead names, or "<none>".
QByteArray startReads(const Places& places) {
    const auto path = SettingLocation::PathToRead(places);
    if (!path)
        return "<none>";
    LineList lines;
    MyFunction_Lv02::AccessLineFile(*path, lines, "S_Read", "normal");
    QByteArray text;
    for (const std::string& line : lines)
        text += QByteArray::fromStdString(line) + '|';
    return text;
}

QStringList filesIn(const QString& folder) {
    QStringList names =
        QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    names.sort();
    return names;
}

// The path with the letters of its last component in the other case.
QString inOtherCase(const QString& path) {
    const qsizetype last = path.lastIndexOf('/') + 1;
    QString changed = path;
    for (qsizetype i = last; i < changed.size(); ++i)
        changed[i] = changed[i].isUpper() ? changed[i].toLower() : changed[i].toUpper();
    return changed;
}

#ifndef _WIN32
// What the start of an ordinary user would read, where the test runs as root, who keeps out of
// other users' folders.
QByteArray startReadsAsOrdinaryUser(const Places& places) {
    if (::geteuid() != 0)
        return startReads(places);
    const auto [status, out] = runAsUser(kNobody, [&](std::string& text) {
        text = startReads(places).toStdString();
        return 0;
    });
    return status == 0 ? out : "<failed: " + out + ">";
}

void chownTree(const QString& root, uid_t user) {
    QVERIFY(::lchown(QFile::encodeName(root).constData(), user, user) == 0);
    QDirIterator it(root, QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        QVERIFY(::lchown(QFile::encodeName(it.next()).constData(), user, user) == 0);
}

// Saves as an ordinary user where the test runs as root, whom no folder's permissions stop.
std::vector<SettingLocation::SaveAttempt> saveAsOrdinaryUser(const Places& places,
                                                             const LineList& lines) {
    if (::geteuid() != 0)
        return SettingLocation::Save(places, lines);
    const auto [status, out] = runAsUser(kNobody, [&](std::string& text) {
        for (const auto& attempt : SettingLocation::Save(places, lines))
            text += attempt.path + '\x1f' + attempt.error + '\x1f' +
                    (attempt.olderCopyKept ? "1" : "0") + '\x1e';
        return 0;
    });
    std::vector<SettingLocation::SaveAttempt> attempts;
    if (status != 0)
        return attempts;
    for (const QByteArray& record : out.split('\x1e')) {
        const QList<QByteArray> fields = record.split('\x1f');
        if (fields.size() == 3)
            attempts.push_back(
                {fields[0].toStdString(), fields[1].toStdString(), fields[2] == "1"});
    }
    return attempts;
}
#endif

} // namespace

class TestSettingLocation : public QObject {
    Q_OBJECT
private slots:
    void startReadsWhatTheLastSaveWrote_data();
    void startReadsWhatTheLastSaveWrote();
    void programFolderWritableAgainAfterAPerUserSave();
    void nothingToSaveIn();
    void anotherUsersPlaces_data();
    void anotherUsersPlaces();
    void perUserFolder_data();
    void perUserFolder();
    void onlySmallFilesAreRead_data();
    void onlySmallFilesAreRead();
};

void TestSettingLocation::startReadsWhatTheLastSaveWrote_data() {
    QTest::addColumn<QString>("beside"); // none, file, variant (SETTING.DAT), folder
    // none, file, unknown (the platform names no folder), variant (SETTING.DAT), read-only (a
    // copy in a folder the one saving cannot change); program, link, case: the program's own
    // folder, directly, through a link, in the other letter case; foreign: another user's
    // folder with a copy, the clock run by root; foreign-home: another user's home without a
    // configuration folder yet, the clock run by root
    QTest::addColumn<QString>("perUser");
    QTest::addColumn<bool>("programKnown");
    QTest::addColumn<QByteArray>("readBefore");
    QTest::addColumn<QString>("savedTo"); // beside, per-user, or told (the user hears of it)

    const QByteArray none("<none>"), besideFile("1|2|"), perUserFile("3|4|");
    QTest::newRow("nothing around") << "none"
                                    << "none" << true << QByteArray("|") << "beside";
    QTest::newRow("a file beside") << "file"
                                   << "none" << true << besideFile << "beside";
    QTest::newRow("a per-user file: the save beside retires it")
        << "none"
        << "file" << true << perUserFile << "beside";
    QTest::newRow("both: the per-user one is the later save")
        << "file"
        << "file" << true << perUserFile << "beside";
    QTest::newRow("a folder named like the file: saved per user")
        << "folder"
        << "none" << true << QByteArray("|") << "per-user";
    QTest::newRow("a case variant beside") << "variant"
                                           << "none" << true << besideFile << "beside";
    QTest::newRow("program folder unknown") << "none"
                                            << "file" << false << perUserFile << "per-user";
    QTest::newRow("per-user folder unknown") << "file"
                                             << "unknown" << true << besideFile << "beside";
    QTest::newRow("the program in the per-user folder: one file")
        << "file"
        << "program" << true << besideFile << "beside";
    QTest::newRow("the program in the per-user folder, reached through a link")
        << "file"
        << "link" << true << besideFile << "beside";
    QTest::newRow("the program in the per-user folder, named in the other letter case")
        << "file"
        << "case" << true << besideFile << "beside";
    QTest::newRow("a case variant per user: the save beside retires it")
        << "none"
        << "variant" << true << perUserFile << "beside";
    QTest::newRow("a per-user copy that can be neither removed nor replaced: the user is told")
        << "none"
        << "read-only" << true << perUserFile << "told";
    QTest::newRow("root, another user's per-user folder: neither read nor touched")
        << "file"
        << "foreign" << true << besideFile << "beside";
    QTest::newRow("root, no save beside, another user's home: nothing written there")
        << "folder"
        << "foreign-home" << true << QByteArray("|") << "told";
}

// Whatever lies around, a start reads the position the last successful save wrote; where the
// program folder takes the save, nothing else is written. Where no save can make that so, the
// user is told.
void TestSettingLocation::startReadsWhatTheLastSaveWrote() {
    QFETCH(QString, beside);
    QFETCH(QString, perUser);
    QFETCH(bool, programKnown);
    QFETCH(QByteArray, readBefore);
    QFETCH(QString, savedTo);
    const bool onePlace = perUser == "program" || perUser == "link" || perUser == "case";
    const bool foreign = perUser.startsWith("foreign");
#ifdef _WIN32
    if (foreign || perUser == "link" || perUser == "read-only")
        QSKIP("the users, links and permissions of a POSIX system");
#else
    if (foreign && ::geteuid() != 0)
        QSKIP("the rule for root needs root (CI runs as root)");
#endif
    Folders f;
    if (beside == "file")
        writeBytes(f.beside(), "1\r\n2\r\n");
    if (beside == "variant")
        writeBytes(f.beside("SETTING.DAT"), "1\r\n2\r\n");
    // Where names ignore case, the save replaces the variant itself.
    const bool caseKept = !QFileInfo::exists(f.beside("setting.DAT"));
    if (beside == "folder")
        QVERIFY(QDir(f.program.path()).mkdir("setting.dat"));
    if (perUser == "file" || perUser == "read-only" || perUser == "foreign") {
        QVERIFY(QDir().mkpath(f.perUser()));
        writeBytes(f.perUserFile(), "3\r\n4\r\n");
    }
    if (perUser == "variant") {
        QVERIFY(QDir().mkpath(f.perUser()));
        writeBytes(f.perUser() + "/SETTING.DAT", "3\r\n4\r\n");
    }
    if (perUser == "link") {
        QVERIFY(QDir().mkpath(f.home.filePath("config")));
        QVERIFY(QFile::link(f.program.path(), f.perUser()));
    }
    Places places = f.places(programKnown, perUser != "unknown");
    if (perUser == "program")
        places.perUserFolder = native(f.program.path());
    if (perUser == "case") {
        const QString other = inOtherCase(f.program.path());
        if (!QFileInfo(other).isDir())
            QSKIP("this file system keeps the case of names: another case is another folder");
        places.perUserFolder = native(other);
    }
#ifndef _WIN32
    if (foreign)
        chownTree(f.home.path(), kNobody);
#endif
    const bool perUserThere = QFileInfo::exists(f.perUser());
    const QStringList besideBefore = filesIn(f.program.path());

    QCOMPARE(startReads(places), readBefore);
    // Choosing where to read creates nothing.
    QCOMPARE(QFileInfo::exists(f.perUser()), perUserThere);

    std::vector<SettingLocation::SaveAttempt> attempts;
#ifndef _WIN32
    if (perUser == "read-only") {
        if (::geteuid() == 0) {
            chownTree(f.program.path(), kNobody);
            chownTree(f.home.path(), kNobody);
        }
        QVERIFY(::chmod(QFile::encodeName(f.perUser()).constData(), 0555) == 0);
        attempts = saveAsOrdinaryUser(places, f.saved);
    } else
#endif
        attempts = SettingLocation::Save(places, f.saved);
    QVERIFY(!attempts.empty());

    const QByteArray written("7095\r\n4425\r\n");
    if (savedTo == "told") {
        QVERIFY(!SettingLocation::Saved(attempts));
        const QString text = QString::fromStdString(SettingLocation::SaveFailureText(attempts));
        QVERIFY2(text.contains(QDir::toNativeSeparators(f.perUserFile())), qPrintable(text));
        // What is read is what the user was told of.
#ifndef _WIN32
        if (perUser == "read-only")
            QCOMPARE(startReadsAsOrdinaryUser(places), readBefore);
        else
#endif
            QCOMPARE(startReads(places), readBefore);
        if (perUser == "read-only")
            QCOMPARE(readBytes(f.beside()), written);
        // Nothing of root's in another user's home.
        if (perUser == "foreign-home")
            QCOMPARE(filesIn(f.home.path()), QStringList{});
        return;
    }
    QCOMPARE(QString::fromStdString(attempts.back().error), QString());
    QCOMPARE(startReads(places), QByteArray("7095|4425|"));

    if (savedTo == "beside") {
        QCOMPARE(attempts.size(), std::size_t(1));
        QCOMPARE(readBytes(f.beside()), written);
        if (foreign) {
            QCOMPARE(readBytes(f.perUserFile()), QByteArray("3\r\n4\r\n"));
        } else if (!onePlace) {
            // Nothing else written: no per-user folder made, no copy left there.
            QCOMPARE(QFileInfo::exists(f.perUser()), perUserThere);
            QCOMPARE(perUserThere ? filesIn(f.perUser()) : QStringList{}, QStringList{});
        }
        QStringList expected = besideBefore;
        if (!expected.contains("setting.dat") && caseKept)
            expected.append("setting.dat");
        expected.sort();
        QCOMPARE(filesIn(f.program.path()).size(), expected.size());
    } else {
        QCOMPARE(readBytes(f.perUserFile()), written);
        QCOMPARE(filesIn(f.program.path()), besideBefore);
#ifndef _WIN32
        // The folders the save made are the user's alone.
        if (!perUserThere) {
            for (const QString& made : {f.home.filePath("config"), f.perUser()}) {
                struct stat info {};
                QVERIFY(::stat(QFile::encodeName(made).constData(), &info) == 0);
                QCOMPARE(info.st_mode & 07777, mode_t(0700));
            }
        }
#endif
    }
}

// The folder of a program that could not be written beside at one save and can at the next.
void TestSettingLocation::programFolderWritableAgainAfterAPerUserSave() {
    Folders f;
    QVERIFY(QDir(f.program.path()).mkdir("setting.dat"));
    auto attempts = SettingLocation::Save(f.places(), {"1", "2", ""});
    QCOMPARE(attempts.size(), std::size_t(2));
    QCOMPARE(startReads(f.places()), QByteArray("1|2|"));

    QVERIFY(QDir(f.program.path()).rmdir("setting.dat"));
    attempts = SettingLocation::Save(f.places(), f.saved);
    QCOMPARE(attempts.size(), std::size_t(1));
    QCOMPARE(startReads(f.places()), QByteArray("7095|4425|"));
    QCOMPARE(readBytes(f.beside()), QByteArray("7095\r\n4425\r\n"));
    QVERIFY(!QFileInfo::exists(f.perUserFile()));
}

void TestSettingLocation::nothingToSaveIn() {
    Folders f;
    QVERIFY(SettingLocation::Save(f.places(false, false), f.saved).empty());
    QCOMPARE(startReads(f.places(false, false)), QByteArray("<none>"));
    // A per-user folder that cannot be made: a file stands where its parent should be.
    writeBytes(f.home.filePath("config"), "not a folder");
    QVERIFY(QDir(f.program.path()).mkdir("setting.dat"));
    const auto attempts = SettingLocation::Save(f.places(), f.saved);
    QCOMPARE(attempts.size(), std::size_t(2));
    QVERIFY(!attempts.front().error.empty());
    QVERIFY(!attempts.back().error.empty());
    QCOMPARE(QString::fromStdString(attempts.back().path),
             QDir::toNativeSeparators(f.perUserFile()));
    QCOMPARE(readBytes(f.home.filePath("config")), QByteArray("not a folder"));
}

void TestSettingLocation::anotherUsersPlaces_data() {
    QTest::addColumn<int>("programMode");
    QTest::newRow("an admin's file beside a program folder the user cannot write") << 0755;
    QTest::newRow("another user's file in a shared sticky folder") << 01777;
}

// Root's setting.dat beside the program, the user an ordinary one: the user's save goes to
// their own folder, and from then on their start reads it, not root's.
void TestSettingLocation::anotherUsersPlaces() {
#ifdef _WIN32
    QSKIP("the users of a POSIX system");
#else
    QFETCH(int, programMode);
    if (::geteuid() != 0)
        QSKIP("making a file of another user needs root (CI runs as root)");
    Folders f;
    QVERIFY(::chmod(QFile::encodeName(f.program.path()).constData(), mode_t(programMode)) == 0);
    QVERIFY(::chmod(QFile::encodeName(f.home.path()).constData(), 0777) == 0);
    writeBytes(f.beside(), "1500\r\n3000\r\n");
    const Places places = f.places();
    QCOMPARE(startReads(places), QByteArray("1500|3000|"));

    const auto [status, out] = runAsUser(kNobody, [&](std::string& text) {
        for (const auto& attempt : SettingLocation::Save(places, f.saved))
            text += attempt.path + " " + (attempt.error.empty() ? "saved" : "failed") + "\n";
        return 0;
    });
    QCOMPARE(status, 0);
    QCOMPARE(out, QFile::encodeName(f.beside()) + " failed\n" + QFile::encodeName(f.perUserFile()) +
                      " saved\n");
    QCOMPARE(readBytes(f.beside()), QByteArray("1500\r\n3000\r\n"));
    QCOMPARE(QFileInfo(f.perUserFile()).ownerId(), uint(kNobody));
    QCOMPARE(startReadsAsOrdinaryUser(places), QByteArray("7095|4425|"));
#endif
}

void TestSettingLocation::perUserFolder_data() {
    QTest::addColumn<QString>("configHome"); // "<unset>" when not in the environment
    QTest::addColumn<QString>("home");
    QTest::addColumn<QString>("folder");
    // user; root: the system records /root as its home, and what lies under /home/u is the
    // user's
    QTest::addColumn<QString>("account");
    const QString app = "/Velomire -KORUVA!-";
    QTest::newRow("XDG_CONFIG_HOME") << "/cfg"
                                     << "/home/u"
                                     << "/cfg" + app << "user";
    QTest::newRow("unset: HOME/.config") << "<unset>"
                                         << "/home/u"
                                         << "/home/u/.config" + app << "user";
    QTest::newRow("empty: HOME/.config") << ""
                                         << "/home/u"
                                         << "/home/u/.config" + app << "user";
    QTest::newRow("relative: ignored") << "cfg"
                                       << "/home/u"
                                       << "/home/u/.config" + app << "user";
    QTest::newRow("trailing separator") << "/cfg/"
                                        << "/home/u"
                                        << "/cfg" + app << "user";
    QTest::newRow("no home at all") << "<unset>"
                                    << "<unset>"
                                    << ""
                                    << "user";
    QTest::newRow("relative home") << "<unset>"
                                   << "u"
                                   << ""
                                   << "user";
    // Beyond what the path routines address: no folder, rather than an error at start-up.
    QTest::newRow("past the routines' reach") << "/" + QString(40000, 'x') + "/"
                                              << "/home/u"
                                              << ""
                                              << "user";
    // sudo -E, or a root shell that kept the user's environment: root keeps to its own home.
    QTest::newRow("root with the user's HOME") << "<unset>"
                                               << "/home/u"
                                               << "/root/.config" + app << "root";
    QTest::newRow("root with the user's XDG_CONFIG_HOME") << "/home/u/.config"
                                                          << "/home/u"
                                                          << "/root/.config" + app << "root";
    QTest::newRow("root's own XDG_CONFIG_HOME") << "/cfg"
                                                << "/home/u"
                                                << "/cfg" + app << "root";
}

void TestSettingLocation::perUserFolder() {
#ifdef _WIN32
    // Windows names the folder itself, whatever the environment says: where Qt's application
    // configuration folder is, so saves made by earlier versions are found.
    QCOMPARE(QString::fromStdString(SettingLocation::PerUserFolder("Velomire -KORUVA!-")),
             QDir::toNativeSeparators(
                 QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
                 "/Velomire -KORUVA!-"));
#else
    QFETCH(QString, configHome);
    QFETCH(QString, home);
    QFETCH(QString, folder);
    QFETCH(QString, account);
    const auto environment = [&](const char* name) -> std::optional<std::string> {
        const QString& value = std::string_view(name) == "XDG_CONFIG_HOME" ? configHome : home;
        if (value == "<unset>")
            return std::nullopt;
        return value.toStdString();
    };
    const SettingLocation::Account user{
        account == "root", account == "root" ? "/root" : "/home/u",
        [](const std::string& path) { return path.rfind("/home/u", 0) != 0; }};
    QCOMPARE(QString::fromStdString(
                 SettingLocation::PerUserFolder("Velomire -KORUVA!-", environment, user)),
             folder);
#endif
}

void TestSettingLocation::onlySmallFilesAreRead_data() {
    QTest::addColumn<qint64>("size");
    QTest::addColumn<bool>("read");
    QTest::addColumn<qint64>("growsBy"); // bytes added while it is read
    QTest::newRow("a position") << qint64(12) << true << qint64(0);
    QTest::newRow("64 KiB") << qint64(64 * 1024) << true << qint64(0);
    QTest::newRow("a byte more") << qint64(64 * 1024 + 1) << false << qint64(0);
    QTest::newRow("48 MB") << qint64(48'000'000) << false << qint64(0);
    // Copied over it after it was found: the bound holds on what is read, not on what was seen.
    QTest::newRow("a position that grows by 48 MB while it is read")
        << qint64(12) << false << qint64(48'000'000);
}

void TestSettingLocation::onlySmallFilesAreRead() {
    QFETCH(qint64, size);
    QFETCH(bool, read);
    QFETCH(qint64, growsBy);
    Folders f;
    const QString path = f.beside("SETTING.DAT");
    writeBytes(path, "150\r\n300\r\n");
    QFile file(path);
    QVERIFY(file.resize(size));
    HookRecorder hooks;
    hooks.onYield = [&](int yield) {
        if (yield == 1 && growsBy > 0)
            QVERIFY(file.resize(size + growsBy));
    };
    // Found as a start finds it, in a case variant.
    const SettingLocation::Found found = SettingLocation::ReadSavedPosition(f.places(true, false));
    QCOMPARE(found.position.has_value(), read);
    if (read)
        QCOMPARE(found.position->left, 150);
    else
        QVERIFY2(QString::fromStdString(found.problem).contains("larger than any position file"),
                 found.problem.c_str());
    QCOMPARE(QFileInfo(path).size(), size + growsBy);
}

QTEST_APPLESS_MAIN(TestSettingLocation)
#include "tst_setting_location.moc"
