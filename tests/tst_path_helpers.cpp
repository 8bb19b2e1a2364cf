#include "my_function_lv01.h"
#include "test_support.h"

#include <QTemporaryDir>
#include <QTest>

#include <filesystem>
#include <stdexcept>
#include <system_error>

#ifndef _WIN32
#include <unistd.h>
#endif

using namespace MyFunction_Lv01;
using Strings = std::vector<std::string>;
Q_DECLARE_METATYPE(Strings)
Q_DECLARE_METATYPE(std::string)

class TestPathHelpers : public QObject {
    Q_OBJECT
private slots:
    void joinPath_data();
    void joinPath();
    void parentFolder_data();
    void parentFolder();
    void parentFolderWithoutSeparatorFails();
    void longPathsOverflow();
    void resetList();
    void compactList_data();
    void compactList();
    void compactListYieldsAfterEveryEntry();
    void compactListOnListWithoutEntriesFails();
    void checkFileExists_data();
    void checkFileExists();
    void searchErrorsReachTheCaller();
    void checkFileExistsMessageOnlyForOn_data();
    void checkFileExistsMessageOnlyForOn();
};

void TestPathHelpers::joinPath_data() {
    QTest::addColumn<char>("separator");
    QTest::addColumn<std::string>("folder");
    QTest::addColumn<std::string>("name");
    QTest::addColumn<std::string>("joined");

    QTest::newRow("windows: folder and name")
        << '\\' << std::string("C:\\app") << std::string("setting.dat")
        << std::string("C:\\app\\setting.dat");
    QTest::newRow("windows: drive root")
        << '\\' << std::string("C:\\") << std::string("a.txt") << std::string("C:\\a.txt");
    QTest::newRow("windows: both carry one")
        << '\\' << std::string("C:\\app\\") << std::string("\\a.txt")
        << std::string("C:\\app\\a.txt");
    QTest::newRow("windows: empty name")
        << '\\' << std::string("C:\\app") << std::string() << std::string("C:\\app\\");
    QTest::newRow("windows: empty name, folder ends in one")
        << '\\' << std::string("C:\\app\\") << std::string() << std::string("C:\\app\\");
    QTest::newRow("windows: empty folder")
        << '\\' << std::string() << std::string("a.txt") << std::string("\\a.txt");
    QTest::newRow("windows: run of three")
        << '\\' << std::string("C:\\\\\\app") << std::string("a") << std::string("C:\\app\\a");
    QTest::newRow("windows: leading pair") << '\\' << std::string("\\\\server\\share")
                                           << std::string("a") << std::string("\\server\\share\\a");
    QTest::newRow("windows: slash is ordinary")
        << '\\' << std::string("C:/app") << std::string("a") << std::string("C:/app\\a");
    QTest::newRow("posix: folder and name")
        << '/' << std::string("/opt/koruva") << std::string("setting.dat")
        << std::string("/opt/koruva/setting.dat");
    QTest::newRow("posix: root") << '/' << std::string("/") << std::string("a")
                                 << std::string("/a");
    QTest::newRow("posix: runs collapse anywhere")
        << '/' << std::string("//a///b/") << std::string("//c") << std::string("/a/b/c");
    QTest::newRow("posix: backslash is ordinary")
        << '/' << std::string("a\\\\b") << std::string("c") << std::string("a\\\\b/c");
}

void TestPathHelpers::joinPath() {
    QFETCH(char, separator);
    QFETCH(std::string, folder);
    QFETCH(std::string, name);
    QFETCH(std::string, joined);
    QCOMPARE(JoinPath(folder, name, separator), joined);
}

void TestPathHelpers::parentFolder_data() {
    QTest::addColumn<char>("separator");
    QTest::addColumn<std::string>("path");
    QTest::addColumn<std::string>("folder");

    QTest::newRow("windows: file in folder")
        << '\\' << std::string("C:\\app\\setting.dat") << std::string("C:\\app");
    QTest::newRow("windows: file at drive root")
        << '\\' << std::string("C:\\setting.dat") << std::string("C:");
    QTest::newRow("windows: nested")
        << '\\' << std::string("C:\\app\\data\\setting.dat") << std::string("C:\\app\\data");
    QTest::newRow("windows: folder kept whole")
        << '\\' << std::string("C:\\app\\") << std::string("C:\\app\\");
    QTest::newRow("windows: only leading separator")
        << '\\' << std::string("\\setting.dat") << std::string();
    QTest::newRow("posix: file in folder")
        << '/' << std::string("/opt/koruva/setting.dat") << std::string("/opt/koruva");
    QTest::newRow("posix: file at root") << '/' << std::string("/setting.dat") << std::string();
    QTest::newRow("posix: folder kept whole")
        << '/' << std::string("/opt/") << std::string("/opt/");
}

void TestPathHelpers::parentFolder() {
    QFETCH(char, separator);
    QFETCH(std::string, path);
    QFETCH(std::string, folder);
    QCOMPARE(ParentFolder(path, separator), folder);
}

void TestPathHelpers::parentFolderWithoutSeparatorFails() {
    QVERIFY_THROWS_EXCEPTION(std::invalid_argument, ParentFolder("setting.dat", '\\'));
    QVERIFY_THROWS_EXCEPTION(std::invalid_argument, ParentFolder("", '\\'));
    QVERIFY_THROWS_EXCEPTION(std::invalid_argument, ParentFolder("C:/app/a", '\\'));
}

void TestPathHelpers::longPathsOverflow() {
    const std::string longFolder(32766, 'a');
    // The last addressable character may hold the separator; one further may not.
    QCOMPARE(ParentFolder(std::string(32765, 'a') + "\\x", '\\'), std::string(32765, 'a'));
    QVERIFY_THROWS_EXCEPTION(std::overflow_error, ParentFolder(longFolder + "\\x", '\\'));
    QCOMPARE(JoinPath(std::string(32765, 'a'), "\\x", '\\').size(), std::size_t(32767));
    QVERIFY_THROWS_EXCEPTION(std::overflow_error, JoinPath(longFolder, "\\x", '\\'));
    // A long path with no pair to collapse is not refused.
    QCOMPARE(JoinPath(longFolder, "x", '\\').size(), std::size_t(32768));
}

void TestPathHelpers::resetList() {
    LineList list{"a", "b", "c", "d", "e"};
    ResetList(list);
    QCOMPARE(list, LineList{""});
    LineList never;
    ResetList(never);
    QCOMPARE(never, LineList{""});
}

void TestPathHelpers::compactList_data() {
    QTest::addColumn<Strings>("before");
    QTest::addColumn<Strings>("after");
    QTest::newRow("gaps close up") << Strings{"a", "", "b", ""} << Strings{"a", "b"};
    QTest::newRow("the exit's list") << Strings{"120", "345", ""} << Strings{"120", "345"};
    QTest::newRow("all empty keeps its length") << Strings{"", "", ""} << Strings{"", "", ""};
    QTest::newRow("one empty entry") << Strings{""} << Strings{""};
    QTest::newRow("blanks are not empty") << Strings{"", " ", ""} << Strings{" "};
    QTest::newRow("nothing to drop") << Strings{"x", "y"} << Strings{"x", "y"};
}

void TestPathHelpers::compactList() {
    QFETCH(Strings, before);
    QFETCH(Strings, after);
    HookRecorder hooks;
    CompactList(before);
    QCOMPARE(before, after);
}

void TestPathHelpers::compactListYieldsAfterEveryEntry() {
    HookRecorder hooks;
    LineList list{"a", "", "b", "", ""};
    CompactList(list);
    // Five entries visited, two rebuilt.
    QCOMPARE(hooks.yields, 7);
}

void TestPathHelpers::compactListOnListWithoutEntriesFails() {
    LineList list;
    QVERIFY_THROWS_EXCEPTION(std::out_of_range, CompactList(list));
}

void TestPathHelpers::checkFileExists_data() {
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<QString>("answer");
    QTest::newRow("ordinary file") << "setting.dat"
                                   << "OK";
    QTest::newRow("case does not matter") << "SETTING.DAT"
                                          << "OK";
    QTest::newRow("missing file") << "missing.dat"
                                  << "ERROR";
    QTest::newRow("hidden file") << ".hidden"
                                 << "ERROR";
#ifdef _WIN32
    QTest::newRow("system file") << ".system"
                                 << "ERROR";
    QTest::newRow("wildcard over system only") << ".sys*"
                                               << "ERROR";
    QTest::newRow("case of a non-ASCII letter does not matter") << "ÉTÉ.TXT"
                                                                << "OK";
#endif
    QTest::newRow("folder without trailing separator") << "folder"
                                                       << "ERROR";
    QTest::newRow("star matches") << "*.dat"
                                  << "OK";
    QTest::newRow("question mark matches") << "setting.da?"
                                           << "OK";
    QTest::newRow("wildcard over folders only") << "fold*"
                                                << "ERROR";
    QTest::newRow("wildcard over hidden only") << ".hid*"
                                               << "ERROR";
    QTest::newRow("missing folder") << "nowhere/setting.dat"
                                    << "ERROR";
    QTest::newRow("non-ASCII folder") << "時計/setting.dat"
                                      << "OK";
    QTest::newRow("non-ASCII name by wildcard") << "時計/名*"
                                                << "OK";
    QTest::newRow("missing non-ASCII name") << "時計/名前.txt"
                                            << "ERROR";
#ifndef _WIN32
    QTest::newRow("dangling link") << "dangling"
                                   << "ERROR";
    QTest::newRow("link to a file") << "link.dat"
                                    << "OK";
#endif
}

void TestPathHelpers::checkFileExists() {
    QFETCH(QString, pattern);
    QFETCH(QString, answer);
    QTemporaryDir dir;
    writeBytes(dir.filePath("setting.dat"), "1\r\n");
    writeHiddenFile(dir.filePath(".hidden"));
    QVERIFY(QDir(dir.path()).mkdir("folder"));
    QVERIFY(QDir(dir.path()).mkdir("時計"));
    writeBytes(dir.filePath("時計/setting.dat"), "1\r\n");
    writeBytes(dir.filePath("時計/名前.dat"), "1\r\n");
#ifdef _WIN32
    writeHiddenFile(dir.filePath(".system"), true);
    writeBytes(dir.filePath("été.txt"), "1\r\n");
#else
    QVERIFY(QFile::link(dir.filePath("nothing-here"), dir.filePath("dangling")));
    QVERIFY(QFile::link(dir.filePath("setting.dat"), dir.filePath("link.dat")));
#endif
    HookRecorder hooks;
    QCOMPARE(QString::fromStdString(CheckFileExists(native(dir.filePath(pattern)), "OFF")), answer);
    QCOMPARE(hooks.messages, 0);
}

// Only a missing file or folder counts as "no file"; any other failure of the search is the
// caller's to handle.
void TestPathHelpers::searchErrorsReachTheCaller() {
    QTemporaryDir dir;
    writeBytes(dir.filePath("setting.dat"), "1\r\n");
    HookRecorder hooks;
#ifdef _WIN32
    // Wildcards belong in the last component only: the search refuses the name.
    QVERIFY_THROWS_EXCEPTION(std::system_error,
                             CheckFileExists(native(dir.filePath("*/setting.dat")), "ON"));
#else
    if (geteuid() == 0)
        QSKIP("the superuser lists every folder");
    QVERIFY(QFile::setPermissions(dir.path(), QFileDevice::WriteOwner | QFileDevice::ExeOwner));
    QVERIFY_THROWS_EXCEPTION(std::filesystem::filesystem_error,
                             CheckFileExists(native(dir.filePath("setting.dat")), "ON"));
    QFile::setPermissions(dir.path(),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
#endif
    QCOMPARE(hooks.messages, 0);
}

void TestPathHelpers::checkFileExistsMessageOnlyForOn_data() {
    QTest::addColumn<QString>("flag");
    QTest::addColumn<int>("messages");
    QTest::newRow("ON") << "ON" << 1;
    QTest::newRow("OFF") << "OFF" << 0;
    QTest::newRow("lower-case on") << "on" << 0;
    QTest::newRow("empty") << "" << 0;
}

void TestPathHelpers::checkFileExistsMessageOnlyForOn() {
    QFETCH(QString, flag);
    QFETCH(int, messages);
    QTemporaryDir dir;
    writeBytes(dir.filePath("there.txt"), "x");
    HookRecorder hooks;
    QCOMPARE(CheckFileExists(native(dir.filePath("missing.txt")), flag.toStdString()),
             std::string("ERROR"));
    QCOMPARE(hooks.messages, messages);
    if (messages) {
        QCOMPARE(hooks.lastText, std::string("ファイルが存在しません。"));
        QCOMPARE(hooks.lastTitle, std::string("ディスクエラー"));
    }
    QCOMPARE(CheckFileExists(native(dir.filePath("there.txt")), flag.toStdString()),
             std::string("OK"));
    QCOMPARE(hooks.messages, messages);
}

QTEST_APPLESS_MAIN(TestPathHelpers)
#include "tst_path_helpers.moc"
