#include "setting_location.h"
#include "test_support.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

using SettingLocation::Places;

namespace {

// A program folder and a per-user folder of our own; whether a file can be created beside the
// program is the test's to say, since as root every folder would answer yes.
struct Folders {
    QTemporaryDir program;
    QTemporaryDir home;
    QStringList probed;

    QString perUser() const { return home.filePath("config/Velomire -KORUVA!-"); }
    Places places(bool programWritable, bool perUserKnown) {
        return {native(program.path()), perUserKnown ? native(perUser()) : std::string(),
                [this, programWritable](const std::string& folder) {
                    probed << QString::fromStdString(folder);
                    return programWritable;
                },
                SettingLocation::MakeFolder};
    }
};

} // namespace

class TestSettingLocation : public QObject {
    Q_OBJECT
private slots:
    void choice_data();
    void choice();
    void perUserFolderFollowsTheConfigurationHome();
    void probeLeavesNothingBehind_data();
    void probeLeavesNothingBehind();
};

void TestSettingLocation::choice_data() {
    QTest::addColumn<QString>("beside");  // what stands beside the program: file, none, folder
    QTest::addColumn<QString>("perUser"); // file, none, unknown (the platform names no folder)
    QTest::addColumn<bool>("programWritable");
    QTest::addColumn<QString>("read");  // beside or per-user
    QTest::addColumn<QString>("write"); // beside or per-user

    QTest::newRow("writable program folder, as before") << "none"
                                                        << "none" << true << "per-user"
                                                        << "beside";
    QTest::newRow("writable, file beside") << "file"
                                           << "none" << true << "beside"
                                           << "beside";
    QTest::newRow("read-only program folder, first start") << "none"
                                                           << "none" << false << "per-user"
                                                           << "per-user";
    QTest::newRow("read-only program folder, saved before") << "none"
                                                            << "file" << false << "per-user"
                                                            << "per-user";
    QTest::newRow("file beside wins over per-user one") << "file"
                                                        << "file" << false << "beside"
                                                        << "per-user";
    QTest::newRow("file beside wins, writable") << "file"
                                                << "file" << true << "beside"
                                                << "beside";
    QTest::newRow("folder named like the file beside") << "folder"
                                                       << "file" << false << "per-user"
                                                       << "per-user";
    QTest::newRow("no per-user folder known, read-only") << "none"
                                                         << "unknown" << false << "beside"
                                                         << "beside";
}

void TestSettingLocation::choice() {
    QFETCH(QString, beside);
    QFETCH(QString, perUser);
    QFETCH(bool, programWritable);
    QFETCH(QString, read);
    QFETCH(QString, write);
    Folders f;
    const QString besidePath = f.program.filePath("setting.dat");
    const QString perUserPath = f.perUser() + "/setting.dat";
    if (beside == "file")
        writeBytes(besidePath, "1\r\n2\r\n");
    if (beside == "folder")
        QVERIFY(QDir(f.program.path()).mkdir("setting.dat"));
    if (perUser == "file") {
        QVERIFY(QDir().mkpath(f.perUser()));
        writeBytes(perUserPath, "3\r\n4\r\n");
    }
    const Places places = f.places(programWritable, perUser != "unknown");

    const auto expected = [&](const QString& which) {
        return native(which == "beside" ? besidePath : perUserPath);
    };
    QCOMPARE(SettingLocation::PathToRead(places), expected(read));
    // Choosing where to read creates nothing.
    QCOMPARE(QFileInfo::exists(f.perUser()), perUser == "file");

    QCOMPARE(SettingLocation::PathToWrite(places), expected(write));
    if (perUser != "unknown")
        QCOMPARE(f.probed, QStringList{QString::fromStdString(native(f.program.path()))});
    // The per-user folder is made, parents and all, only when the save goes there.
    QCOMPARE(QFileInfo(f.perUser()).isDir(), write == "per-user" || perUser == "file");
    QVERIFY(QDir(f.program.path()).entryList(QDir::Files | QDir::Hidden).size() <=
            (beside == "file" ? 1 : 0));
}

void TestSettingLocation::perUserFolderFollowsTheConfigurationHome() {
    QTemporaryDir home;
    qputenv("XDG_CONFIG_HOME", home.path().toLocal8Bit());
    QCoreApplication::setApplicationName(QStringLiteral("Velomire -KORUVA!-"));
#ifdef Q_OS_WIN
    QVERIFY(!SettingLocation::PerUserFolder().empty());
#else
    QCOMPARE(SettingLocation::PerUserFolder(), native(home.filePath("Velomire -KORUVA!-")));
#endif
    // Only a save makes the folder.
    QVERIFY(QDir(home.path()).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot));
}

void TestSettingLocation::probeLeavesNothingBehind_data() {
    QTest::addColumn<QString>("folder"); // relative to a fresh folder
    QTest::addColumn<bool>("creatable");
    QTest::newRow("plain folder") << "." << true;
    QTest::newRow("missing folder") << "missing" << false;
    QTest::newRow("a file, not a folder") << "file" << false;
    QTest::newRow("below a file") << "file/below" << false;
}

void TestSettingLocation::probeLeavesNothingBehind() {
    QFETCH(QString, folder);
    QFETCH(bool, creatable);
    QTemporaryDir dir;
    writeBytes(dir.filePath("file"), "x");
    QCOMPARE(SettingLocation::CanCreateFileIn(native(dir.filePath(folder))), creatable);
    QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
             QStringList{"file"});
}

QTEST_GUILESS_MAIN(TestSettingLocation)
#include "tst_setting_location.moc"
