#include "my_function_lv02.h"
#include "replacing_file.h"
#include "test_support.h"

#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <stdexcept>
#include <system_error>

#ifndef _WIN32
#include <atomic>
#include <chrono>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#endif

using MyFunction_Lv02::AccessLineFile;
using Strings = std::vector<std::string>;
Q_DECLARE_METATYPE(Strings)

class TestLineFile : public QObject {
    Q_OBJECT
private slots:
    void read_data();
    void read();
    void readYieldsBeforeEveryLine();
    void readWildcardJoinsFilesInNameOrder();
    void readFirst_data();
    void readFirst();
    void plainNameNamesOneFile_data();
    void plainNameNamesOneFile();
    void readClearsReadOnly_data();
    void readClearsReadOnly();
#ifndef _WIN32
    void anotherUsersFile_data();
    void anotherUsersFile();
#endif
    void write_data();
    void write();
    void writeCompactsCallersList();
    void writeOverLongerAndReadOnlyFiles();
    void writeKeepsWhatTheOldFileWas_data();
    void writeKeepsWhatTheOldFileWas();
    void writeYieldsBeforeEveryEntry();
    void writeOnListWithoutEntriesOpensNothing();
    void writeFailingHalfWayKeepsOldFile();
    void writeIntoMissingFolderFails();
    void staleTemporariesGoLiveOnesStay();
    void entryWithCarriageReturnReadsBackAsTwo();
    void nonAsciiFolder_data();
    void nonAsciiFolder();
#ifdef _WIN32
    void contentsInTheCodePage_data();
    void contentsInTheCodePage();
#else
    void bytesPassThrough();
#endif
    void otherModesTouchNothing_data();
    void otherModesTouchNothing();
    void bareNameOfExistingFileFails();
};

void TestLineFile::read_data() {
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<Strings>("entries");
    QTest::newRow("CR LF lines") << QByteArray("120\r\n345\r\n") << Strings{"120", "345"};
    QTest::newRow("no final line end") << QByteArray("120\r\n345") << Strings{"120", "345"};
    QTest::newRow("LF alone is ordinary") << QByteArray("120\n345\n") << Strings{"120\n345\n"};
    QTest::newRow("CR alone ends a line") << QByteArray("120\r345\r") << Strings{"120", "345"};
    QTest::newRow("empty file") << QByteArray() << Strings{""};
    QTest::newRow("empty middle line") << QByteArray("a\r\n\r\nb\r\n") << Strings{"a", "", "b"};
    QTest::newRow("only a line end") << QByteArray("\r\n") << Strings{""};
    QTest::newRow("CR CR LF") << QByteArray("a\r\r\nb") << Strings{"a", "", "b"};
    QTest::newRow("blanks kept") << QByteArray("  7 \r\n") << Strings{"  7 "};
    QTest::newRow("NUL bytes kept")
        << QByteArray("1\0002\r\n", 5) << Strings{std::string("1\0002", 3)};
}

void TestLineFile::read() {
    QFETCH(QByteArray, content);
    QFETCH(Strings, entries);
    QTemporaryDir dir;
    writeBytes(dir.filePath("f.txt"), content);
    LineList list{"old", "stuff"};
    HookRecorder hooks;
    AccessLineFile(native(dir.filePath("f.txt")), list, "S_Read", "normal");
    QCOMPARE(list, entries);
}

void TestLineFile::readYieldsBeforeEveryLine() {
    QTemporaryDir dir;
    writeBytes(dir.filePath("f.txt"), "a\r\nb\r\nc");
    LineList list;
    HookRecorder hooks;
    AccessLineFile(native(dir.filePath("f.txt")), list, "S_Read", "normal");
    QCOMPARE(hooks.yields, 3);
    LineList missing{"x"};
    AccessLineFile(native(dir.filePath("none.txt")), missing, "S_Read", "normal");
    QCOMPARE(missing, LineList{""});
}

void TestLineFile::readWildcardJoinsFilesInNameOrder() {
    QTemporaryDir dir;
    writeBytes(dir.filePath("b.log"), "3\r\n4\r\n");
    writeBytes(dir.filePath("A.log"), "1\r\n2");
    writeHiddenFile(dir.filePath(".c.log"));
#ifdef _WIN32
    writeHiddenFile(dir.filePath("s.log"), true);
#endif
    writeBytes(dir.filePath("d.txt"), "other\r\n");
    QVERIFY(QDir(dir.path()).mkdir("e.log"));
    LineList list;
    HookRecorder hooks;
    AccessLineFile(native(dir.filePath("*.LOG")), list, "S_Read", "normal");
    QCOMPARE(list, (LineList{"1", "2", "3", "4"}));
}

void TestLineFile::readFirst_data() {
    QTest::addColumn<QByteArray>("content"); // empty: no file at all
    QTest::addColumn<Strings>("before");
    QTest::addColumn<Strings>("after");
    QTest::newRow("three lines") << QByteArray("one\r\ntwo\r\nthree\r\n") << Strings{"x"}
                                 << Strings{"one"};
    QTest::newRow("missing file keeps first entry")
        << QByteArray() << Strings{"a", "b", "c"} << Strings{"a"};
    QTest::newRow("missing file, list never sized") << QByteArray() << Strings{} << Strings{""};
    QTest::newRow("empty file gives empty entry")
        << QByteArray("<empty>") << Strings{"a", "b"} << Strings{""};
}

void TestLineFile::readFirst() {
    QFETCH(QByteArray, content);
    QFETCH(Strings, before);
    QFETCH(Strings, after);
    QTemporaryDir dir;
    if (!content.isEmpty())
        writeBytes(dir.filePath("f.txt"), content == "<empty>" ? QByteArray() : content);
    HookRecorder hooks;
    AccessLineFile(native(dir.filePath("f.txt")), before, "S_Read_First", "normal");
    QCOMPARE(before, after);
}

void TestLineFile::plainNameNamesOneFile_data() {
    QTest::addColumn<QStringList>("files"); // name=content, in the folder
    QTest::addColumn<QString>("name");
    QTest::addColumn<Strings>("entries");
    // A file system that keeps the case of names may hold both: the exact name wins.
    QTest::newRow("the exact name beside a case variant")
        << QStringList{"SETTING.DAT=1", "setting.dat=2"} << "setting.dat" << Strings{"2"};
    QTest::newRow("the exact name, upper case")
        << QStringList{"SETTING.DAT=1", "setting.dat=2"} << "SETTING.DAT" << Strings{"1"};
    QTest::newRow("only a case variant")
        << QStringList{"Setting.Dat=3"} << "setting.dat" << Strings{"3"};
    QTest::newRow("a wildcard reads every match")
        << QStringList{"SETTING.DAT=1", "setting.dat=2"} << "setting.da?" << Strings{"1", "2"};
#ifndef _WIN32
    // ">fifo": a FIFO takes the file's place while the first match is read. What is opened is
    // looked at before it is read, and nothing waits for a writer that never comes.
    QTest::newRow("a match that turned into a FIFO is refused")
        << QStringList{"a.dat=1", "b.dat=2>fifo"} << "*.dat" << Strings{"<refused>"};
#endif
}

void TestLineFile::plainNameNamesOneFile() {
    QFETCH(QStringList, files);
    QFETCH(QString, name);
    QFETCH(Strings, entries);
    QTemporaryDir dir;
    QStringList fifos;
    for (const QString& file : files) {
        QStringList parts = file.split('=');
        if (parts[1].endsWith(">fifo")) {
            parts[1].chop(5);
            fifos << dir.filePath(parts[0]);
        }
        writeBytes(dir.filePath(parts[0]), parts[1].toLatin1() + "\r\n");
    }
    if (QDir(dir.path()).entryList(QDir::Files).size() < files.size())
        QSKIP("this file system ignores the case of names: it holds one of them only");
    HookRecorder hooks;
#ifndef _WIN32
    hooks.onYield = [&](int yield) {
        for (const QString& fifo : fifos) {
            if (yield == 1 && QFile::remove(fifo))
                QVERIFY(::mkfifo(QFile::encodeName(fifo).constData(), 0600) == 0);
        }
    };
    // Should a read wait on one, a writer that comes and goes at once ends the wait, so the
    // test fails rather than hangs.
    std::atomic<bool> done = false;
    std::thread unblock([&] {
        while (!done) {
            for (const QString& fifo : fifos) {
                const int fd = ::open(QFile::encodeName(fifo).constData(), O_WRONLY | O_NONBLOCK);
                if (fd >= 0)
                    ::close(fd);
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    });
#endif
    LineList list;
    try {
        AccessLineFile(native(dir.filePath(name)), list, "S_Read", "normal");
    } catch (const std::system_error& error) {
        list = {"<refused>"};
        QVERIFY2(QString::fromLocal8Bit(error.what()).contains("b.dat"), error.what());
    }
#ifndef _WIN32
    done = true;
    unblock.join();
#endif
    QCOMPARE(list, entries);
}

void TestLineFile::readClearsReadOnly_data() {
    QTest::addColumn<bool>("throughLink");
    QTest::newRow("the file itself") << false;
#ifndef _WIN32
    // The link's target is another file of the user's, which a read must leave as it is.
    QTest::newRow("a link to another file") << true;
#endif
}

void TestLineFile::readClearsReadOnly() {
    QFETCH(bool, throughLink);
    QTemporaryDir dir;
    const QString file = dir.filePath(throughLink ? "elsewhere.txt" : "f.txt");
    writeBytes(file, "1\r\n");
    QVERIFY(QFile::setPermissions(file, QFileDevice::ReadOwner));
#ifdef _WIN32
    setAttributes(file, FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE);
#endif
    const QString path = dir.filePath("f.txt");
    if (throughLink)
        QVERIFY(QFile::link(file, path));
    LineList list;
    AccessLineFile(native(path), list, "S_Read", "normal");
    QCOMPARE(list, LineList{"1"});
    QCOMPARE(bool(QFile::permissions(file) & QFileDevice::WriteOwner), !throughLink);
#ifdef _WIN32
    // Windows reports FILE_ATTRIBUTE_NORMAL here; Wine keeps no archive bit and always
    // reports it set, so only the read-only bit can be checked in both.
    QCOMPARE(attributesOf(path) & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN), DWORD(0));
#endif
}

#ifndef _WIN32
void TestLineFile::anotherUsersFile_data() {
    QTest::addColumn<QString>("mode");
    QTest::addColumn<Strings>("entries"); // after the call, as the other user sees them
    QTest::addColumn<QByteArray>("content");
    QTest::newRow("read") << "S_Read" << Strings{"1500", "3000"} << QByteArray("1500\r\n3000\r\n");
    QTest::newRow("read first") << "S_Read_First" << Strings{"1500"}
                                << QByteArray("1500\r\n3000\r\n");
    QTest::newRow("write replaces it")
        << "S_Write" << Strings{"7", "8"} << QByteArray("7\r\n8\r\n");
}

// A setting.dat root left beside a system install, read by an ordinary user: its mode cannot
// be changed, and the saved position must not be dropped for that.
void TestLineFile::anotherUsersFile() {
    QFETCH(QString, mode);
    QFETCH(Strings, entries);
    QFETCH(QByteArray, content);
    if (::geteuid() != 0)
        QSKIP("making a file of another user needs root (CI runs as root)");
    QTemporaryDir dir;
    QVERIFY(QFile::setPermissions(dir.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                  QFileDevice::ExeOwner | QFileDevice::ReadOther |
                                                  QFileDevice::WriteOther | QFileDevice::ExeOther));
    const QString path = dir.filePath("setting.dat");
    writeBytes(path, "1500\r\n3000\r\n");
    QVERIFY(QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::ReadOther));

    const auto [status, seen] = runAsUser(kNobody, [&](std::string& out) {
        LineList list{"x"};
        if (mode == "S_Write")
            list = {"7", "8"};
        AccessLineFile(native(path), list, mode.toStdString(), "normal");
        for (const std::string& entry : list)
            out += entry + "\n";
        return 0;
    });
    QVERIFY2(status == 0, seen.constData());
    Strings got;
    for (const QByteArray& line : seen.split('\n'))
        if (!line.isEmpty())
            got.push_back(line.toStdString());
    QCOMPARE(got, entries);
    QCOMPARE(readBytes(path), content);
}
#endif

void TestLineFile::write_data() {
    QTest::addColumn<Strings>("entries");
    QTest::addColumn<QByteArray>("content");
    QTest::newRow("the exit's list") << Strings{"120", "345", ""} << QByteArray("120\r\n345\r\n");
    QTest::newRow("one empty entry") << Strings{""} << QByteArray("\r\n");
    QTest::newRow("only empty entries") << Strings{"", ""} << QByteArray("\r\n\r\n");
    QTest::newRow("gaps dropped") << Strings{"", "a", "", "b"} << QByteArray("a\r\nb\r\n");
}

void TestLineFile::write() {
    QFETCH(Strings, entries);
    QFETCH(QByteArray, content);
    QTemporaryDir dir;
    const QString path = dir.filePath("out.dat");
    HookRecorder hooks;
    AccessLineFile(native(path), entries, "S_Write", "normal");
    QCOMPARE(readBytes(path), content);
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"out.dat"});
}

void TestLineFile::writeCompactsCallersList() {
    QTemporaryDir dir;
    LineList list{"120", "345", ""};
    AccessLineFile(native(dir.filePath("o")), list, "S_Write", "normal");
    QCOMPARE(list, (LineList{"120", "345"}));
    LineList back;
    AccessLineFile(native(dir.filePath("o")), back, "S_Read", "normal");
    QCOMPARE(back, list);
}

void TestLineFile::writeOverLongerAndReadOnlyFiles() {
    QTemporaryDir dir;
    const QString path = dir.filePath("setting.dat");
    writeBytes(path, "1\r\n2\r\n3\r\n4\r\n");
    QVERIFY(QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::ReadGroup));
#ifdef _WIN32
    QVERIFY(attributesOf(path) & FILE_ATTRIBUTE_READONLY);
#endif
    LineList list{"7", "8"};
    AccessLineFile(native(path), list, "S_Write", "normal");
    QCOMPARE(readBytes(path), QByteArray("7\r\n8\r\n"));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"setting.dat"});
}

void TestLineFile::writeKeepsWhatTheOldFileWas_data() {
    QTest::addColumn<QString>("old"); // private, shared, link, users
    QTest::newRow("a private file stays private") << "private";
    QTest::newRow("a shared file stays shared") << "shared";
#ifndef _WIN32
    QTest::newRow("a link gives way to the file, its target untouched") << "link";
    QTest::newRow("a user's file saved by root stays the user's") << "users";
#endif
}

void TestLineFile::writeKeepsWhatTheOldFileWas() {
#ifdef _WIN32
    QSKIP("a new file takes its access rights from its folder on Windows");
#else
    QFETCH(QString, old);
    QTemporaryDir dir;
    const QString path = dir.filePath("setting.dat");
    const QString target = old == "link" ? dir.filePath("elsewhere.txt") : path;
    writeBytes(target, "1\r\n2\r\n");
    const mode_t mode = old == "private" ? 0600 : old == "shared" ? 0664 : 0640;
    QVERIFY(::chmod(QFile::encodeName(target).constData(), mode) == 0);
    if (old == "link")
        QVERIFY(QFile::link(target, path));
    if (old == "users") {
        if (::geteuid() != 0)
            QSKIP("giving a file to another user needs root (CI runs as root)");
        QVERIFY(::chown(QFile::encodeName(path).constData(), kNobody, kNobody) == 0);
    }
    LineList list{"7", "8"};
    AccessLineFile(native(path), list, "S_Write", "normal");
    QCOMPARE(readBytes(path), QByteArray("7\r\n8\r\n"));
    struct stat info {};
    QVERIFY(::lstat(QFile::encodeName(path).constData(), &info) == 0);
    QVERIFY(S_ISREG(info.st_mode));
    if (old == "link") {
        QCOMPARE(readBytes(target), QByteArray("1\r\n2\r\n"));
        struct stat targetInfo {};
        QVERIFY(::stat(QFile::encodeName(target).constData(), &targetInfo) == 0);
        QCOMPARE(targetInfo.st_mode & 0777, mode);
        return;
    }
    QCOMPARE(info.st_mode & 0777, mode);
    if (old == "users") {
        QCOMPARE(info.st_uid, kNobody);
        QCOMPARE(info.st_gid, gid_t(kNobody));
    }
#endif
}

void TestLineFile::writeYieldsBeforeEveryEntry() {
    QTemporaryDir dir;
    LineList list{"a", "b", ""};
    HookRecorder hooks;
    AccessLineFile(native(dir.filePath("o")), list, "S_Write", "normal");
    // Compaction: three visited, two rebuilt; then two written.
    QCOMPARE(hooks.yields, 3 + 2 + 2);
}

void TestLineFile::writeOnListWithoutEntriesOpensNothing() {
    QTemporaryDir dir;
    LineList list;
    QVERIFY_THROWS_EXCEPTION(std::out_of_range,
                             AccessLineFile(native(dir.filePath("o")), list, "S_Write", "normal"));
    QVERIFY(QDir(dir.path()).isEmpty(QDir::Files | QDir::Hidden));
}

void TestLineFile::writeFailingHalfWayKeepsOldFile() {
    QTemporaryDir dir;
    const QString path = dir.filePath("setting.dat");
    writeBytes(path, "111\r\n222\r\n");
    LineList list{"333", "444", "555"};
    HookRecorder hooks;
    // The yield before the third line: the first two are already in the new content.
    hooks.onYield = [](int yield) {
        if (yield == 3 + 3 + 3)
            throw std::runtime_error("interrupted");
    };
    QVERIFY_THROWS_EXCEPTION(std::runtime_error,
                             AccessLineFile(native(path), list, "S_Write", "normal"));
    QCOMPARE(readBytes(path), QByteArray("111\r\n222\r\n"));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"setting.dat"});
}

void TestLineFile::writeIntoMissingFolderFails() {
    QTemporaryDir dir;
    LineList list{"1"};
    QVERIFY_THROWS_EXCEPTION(std::system_error, AccessLineFile(native(dir.filePath("no/such/o")),
                                                               list, "S_Write", "normal"));
    // A folder standing where the file should go.
    QVERIFY(QDir(dir.path()).mkdir("setting.dat"));
    QVERIFY_THROWS_EXCEPTION(std::system_error, AccessLineFile(native(dir.filePath("setting.dat")),
                                                               list, "S_Write", "normal"));
    QVERIFY(QFileInfo(dir.filePath("setting.dat")).isDir());
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{});
}

void TestLineFile::staleTemporariesGoLiveOnesStay() {
    QTemporaryDir dir;
    const std::string path = native(dir.filePath("setting.dat"));
    const QString prefix = QString::fromStdString(ReplacingFile::temporaryPrefixFor(path));
    // Two left by killed saves, one a save in another clock still holds, and one of another
    // file's saves.
    writeBytes(prefix + "killed01", "left by a kill\r\n");
    writeBytes(prefix + "killed02", "");
    writeBytes(prefix + "running1", "half");
    writeBytes(dir.filePath("other.dat.tmp-killed03"), "x");
    {
        // Held as a live save holds it: locked here, open without leave to delete on Windows.
        QFile live(prefix + "running1");
        QVERIFY(live.open(QIODevice::ReadOnly));
#ifndef _WIN32
        QVERIFY(::flock(live.handle(), LOCK_EX) == 0);
#endif
        LineList list{"5", "6"};
        AccessLineFile(path, list, "S_Write", "normal");
        QCOMPARE(readBytes(dir.filePath("setting.dat")), QByteArray("5\r\n6\r\n"));
        QCOMPARE(readBytes(prefix + "running1"), QByteArray("half"));
    }
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden),
             (QStringList{"other.dat.tmp-killed03", "setting.dat", "setting.dat.tmp-running1"}));
}

void TestLineFile::entryWithCarriageReturnReadsBackAsTwo() {
    QTemporaryDir dir;
    LineList list{"a\rb"};
    AccessLineFile(native(dir.filePath("o")), list, "S_Write", "normal");
    QCOMPARE(readBytes(dir.filePath("o")), QByteArray("a\rb\r\n"));
    AccessLineFile(native(dir.filePath("o")), list, "S_Read", "normal");
    QCOMPARE(list, (LineList{"a", "b"}));
}

void TestLineFile::nonAsciiFolder_data() {
    QTest::addColumn<QString>("folder");
    QTest::newRow("Japanese") << "時計";
    QTest::newRow("Latin-1 letters") << "Café Übersicht";
    QTest::newRow("Greek and Cyrillic") << "Ωρα Часы";
    QTest::newRow("outside the BMP") << "clock 🕒";
    // Past the 260 characters of Windows' classic paths.
    QTest::newRow("a long path") << QString(100, 'a') + "/" + QString(100, 'b') + "/" +
                                        QString(100, 'c');
}

// A program folder whose name the ANSI code page cannot hold must still load and save.
void TestLineFile::nonAsciiFolder() {
    QFETCH(QString, folder);
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkpath(folder));
    const QString path = dir.filePath(folder + "/setting.dat");
    const std::string setting = native(path);
    writeBytes(path, "1\r\n2\r\n3\r\n");
    QVERIFY(QFile::setPermissions(path, QFileDevice::ReadOwner));
    LineList list{"120", "345", ""};
    AccessLineFile(setting, list, "S_Write", "normal");
    QCOMPARE(readBytes(path), QByteArray("120\r\n345\r\n"));
    QCOMPARE(QDir(dir.filePath(folder)).entryList(QDir::Files | QDir::Hidden),
             QStringList{"setting.dat"});
    LineList back;
    AccessLineFile(setting, back, "S_Read", "normal");
    QCOMPARE(back, (LineList{"120", "345"}));
    LineList wild;
    AccessLineFile(native(dir.filePath(folder + "/SETTING.*")), wild, "S_Read_First", "normal");
    QCOMPARE(wild, LineList{"120"});
}

#ifdef _WIN32
void TestLineFile::contentsInTheCodePage_data() {
    QTest::addColumn<QString>("entry");
    QTest::addColumn<QByteArray>("line"); // in code page 1252
    QTest::addColumn<QString>("readBack");
    QTest::newRow("ASCII") << "120" << QByteArray("120") << "120";
    QTest::newRow("Latin-1 letters") << "Café Übersicht"
                                     << QByteArray("Caf\xE9 \xDC"
                                                   "bersicht")
                                     << "Café Übersicht";
    QTest::newRow("Euro sign") << "5 €" << QByteArray("5 \x80") << "5 €";
    QTest::newRow("not in the code page") << "時計" << QByteArray("??") << "??";
}

// The files stay in the ANSI code page, as other programs of the system expect them.
void TestLineFile::contentsInTheCodePage() {
    QFETCH(QString, entry);
    QFETCH(QByteArray, line);
    QFETCH(QString, readBack);
    if (GetACP() != 1252)
        QSKIP("the expected bytes are those of code page 1252");
    QTemporaryDir dir;
    const QString path = dir.filePath("o");
    LineList list{entry.toStdString()};
    AccessLineFile(native(path), list, "S_Write", "normal");
    QCOMPARE(readBytes(path), line + "\r\n");
    LineList back;
    AccessLineFile(native(path), back, "S_Read", "normal");
    QCOMPARE(QString::fromStdString(back.front()), readBack);
}
#else
void TestLineFile::bytesPassThrough() {
    QTemporaryDir dir;
    std::string every;
    for (int c = 1; c < 256; ++c)
        if (c != '\r')
            every.push_back(static_cast<char>(c));
    LineList list{every, "\xE6\x99\x82\xE8\xA8\x88"};
    const LineList written = list;
    AccessLineFile(native(dir.filePath("o")), list, "S_Write", "normal");
    LineList back;
    AccessLineFile(native(dir.filePath("o")), back, "S_Read", "normal");
    QCOMPARE(back, written);
}
#endif

void TestLineFile::otherModesTouchNothing_data() {
    QTest::addColumn<QString>("mode");
    QTest::newRow("lower case") << "s_read";
    QTest::newRow("upper case") << "S_READ";
    QTest::newRow("write in other case") << "S_write";
    QTest::newRow("empty") << "";
    QTest::newRow("trailing blank") << "S_Read ";
}

void TestLineFile::otherModesTouchNothing() {
    QFETCH(QString, mode);
    QTemporaryDir dir;
    writeBytes(dir.filePath("f"), "1\r\n");
    LineList list{"keep", "me"};
    HookRecorder hooks;
    AccessLineFile(native(dir.filePath("f")), list, mode.toStdString(), "normal");
    AccessLineFile(native(dir.filePath("new")), list, mode.toStdString(), "normal");
    QCOMPARE(list, (LineList{"keep", "me"}));
    QCOMPARE(readBytes(dir.filePath("f")), QByteArray("1\r\n"));
    QVERIFY(!QFile::exists(dir.filePath("new")));
    QCOMPARE(hooks.yields, 0);
}

void TestLineFile::bareNameOfExistingFileFails() {
    QTemporaryDir dir;
    writeBytes(dir.filePath("bare.txt"), "1\r\n");
    const QString before = QDir::currentPath();
    QDir::setCurrent(dir.path());
    LineList list{"x"};
    QVERIFY_THROWS_EXCEPTION(std::invalid_argument,
                             AccessLineFile("bare.txt", list, "S_Read", "normal"));
    QDir::setCurrent(before);
    QCOMPARE(list, LineList{"x"});
}

QTEST_APPLESS_MAIN(TestLineFile)
#include "tst_line_file.moc"
