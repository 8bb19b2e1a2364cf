#include "my_function_lv02.h"
#include "setting_location.h"
#include "test_support.h"

#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#ifndef _WIN32
#include <sys/stat.h>
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
    QTest::addColumn<QString>("beside");  // none, file, variant (SETTING.DAT), folder
    QTest::addColumn<QString>("perUser"); // none, file, unknown (the platform names no folder)
    QTest::addColumn<bool>("programKnown");
    QTest::addColumn<QByteArray>("readBefore");
    QTest::addColumn<QString>("savedTo"); // beside or per-user

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
}

// Whatever lies around, a start reads the position the last successful save wrote; where the
// program folder takes the save, nothing else is written.
void TestSettingLocation::startReadsWhatTheLastSaveWrote() {
    QFETCH(QString, beside);
    QFETCH(QString, perUser);
    QFETCH(bool, programKnown);
    QFETCH(QByteArray, readBefore);
    QFETCH(QString, savedTo);
    Folders f;
    if (beside == "file")
        writeBytes(f.beside(), "1\r\n2\r\n");
    if (beside == "variant")
        writeBytes(f.beside("SETTING.DAT"), "1\r\n2\r\n");
    // Where names ignore case, the save replaces the variant itself.
    const bool caseKept = !QFileInfo::exists(f.beside("setting.DAT"));
    if (beside == "folder")
        QVERIFY(QDir(f.program.path()).mkdir("setting.dat"));
    if (perUser == "file") {
        QVERIFY(QDir().mkpath(f.perUser()));
        writeBytes(f.perUserFile(), "3\r\n4\r\n");
    }
    const Places places = f.places(programKnown, perUser != "unknown");
    const QStringList besideBefore = filesIn(f.program.path());

    QCOMPARE(startReads(places), readBefore);
    // Choosing where to read creates nothing.
    QCOMPARE(QFileInfo::exists(f.perUser()), perUser == "file");

    const auto attempts = SettingLocation::Save(places, f.saved);
    QVERIFY(!attempts.empty());
    QCOMPARE(QString::fromStdString(attempts.back().error), QString());
    QCOMPARE(startReads(places), QByteArray("7095|4425|"));

    const QByteArray written("7095\r\n4425\r\n");
    if (savedTo == "beside") {
        QCOMPARE(attempts.size(), std::size_t(1));
        QCOMPARE(readBytes(f.beside()), written);
        // Nothing else written: no per-user folder made, no copy left there.
        QCOMPARE(QFileInfo::exists(f.perUser()), perUser == "file");
        QVERIFY(!QFileInfo::exists(f.perUserFile()));
        QStringList expected = besideBefore;
        if (!expected.contains("setting.dat") && caseKept)
            expected.append("setting.dat");
        expected.sort();
        QCOMPARE(filesIn(f.program.path()).size(), expected.size());
    } else {
        QCOMPARE(readBytes(f.perUserFile()), written);
        QCOMPARE(filesIn(f.program.path()), besideBefore);
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
    QCOMPARE(startReads(places), QByteArray("7095|4425|"));
#endif
}

void TestSettingLocation::perUserFolder_data() {
    QTest::addColumn<QString>("configHome"); // "<unset>" when not in the environment
    QTest::addColumn<QString>("home");
    QTest::addColumn<QString>("folder");
    const QString app = "/Velomire -KORUVA!-";
    QTest::newRow("XDG_CONFIG_HOME") << "/cfg"
                                     << "/home/u"
                                     << "/cfg" + app;
    QTest::newRow("unset: HOME/.config") << "<unset>"
                                         << "/home/u"
                                         << "/home/u/.config" + app;
    QTest::newRow("empty: HOME/.config") << ""
                                         << "/home/u"
                                         << "/home/u/.config" + app;
    QTest::newRow("relative: ignored") << "cfg"
                                       << "/home/u"
                                       << "/home/u/.config" + app;
    QTest::newRow("trailing separator") << "/cfg/"
                                        << "/home/u"
                                        << "/cfg" + app;
    QTest::newRow("no home at all") << "<unset>"
                                    << "<unset>"
                                    << "";
    QTest::newRow("relative home") << "<unset>"
                                   << "u"
                                   << "";
    // Beyond what the path routines address: no folder, rather than an error at start-up.
    QTest::newRow("past the routines' reach") << "/" + QString(40000, 'x') + "/"
                                              << "/home/u"
                                              << "";
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
    const auto environment = [&](const char* name) -> std::optional<std::string> {
        const QString& value = std::string_view(name) == "XDG_CONFIG_HOME" ? configHome : home;
        if (value == "<unset>")
            return std::nullopt;
        return value.toStdString();
    };
    QCOMPARE(
        QString::fromStdString(SettingLocation::PerUserFolder("Velomire -KORUVA!-", environment)),
        folder);
#endif
}

void TestSettingLocation::onlySmallFilesAreRead_data() {
    QTest::addColumn<qint64>("size");
    QTest::addColumn<bool>("read");
    QTest::newRow("a position") << qint64(12) << true;
    QTest::newRow("64 KiB") << qint64(64 * 1024) << true;
    QTest::newRow("a byte more") << qint64(64 * 1024 + 1) << false;
    QTest::newRow("48 MB") << qint64(48'000'000) << false;
}

void TestSettingLocation::onlySmallFilesAreRead() {
    QFETCH(qint64, size);
    QFETCH(bool, read);
    QTemporaryDir dir;
    QFile file(dir.filePath("SETTING.DAT"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    QVERIFY(file.resize(size));
    file.close();
    // The size of the file the read would open, found as the read finds it.
    QCOMPARE(SettingLocation::SmallEnoughToRead(native(dir.filePath("setting.dat"))), read);
    QVERIFY(!SettingLocation::SmallEnoughToRead(native(dir.filePath("missing.dat"))));
}

QTEST_APPLESS_MAIN(TestSettingLocation)
#include "tst_setting_location.moc"
