#include "test_support.h"

#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <random>
#include <sys/wait.h>
#include <unistd.h>

namespace {

struct Child {
    pid_t pid = -1;
    int ready = -1; // read end: one byte arrives just before the save starts
};

Child startSave(const QString& folder, int left, int top) {
    int fds[2];
    if (::pipe(fds) != 0)
        qFatal("pipe");
    const QByteArray dir = folder.toLocal8Bit(), l = QByteArray::number(left),
                     t = QByteArray::number(top);
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(fds[1], STDOUT_FILENO);
        ::close(fds[0]);
        ::execl(SAVE_CHILD, SAVE_CHILD, dir.constData(), l.constData(), t.constData(), nullptr);
        ::_exit(127);
    }
    ::close(fds[1]);
    return {pid, fds[0]};
}

bool waitReady(const Child& child) {
    char byte = 0;
    const bool ok = ::read(child.ready, &byte, 1) == 1;
    ::close(child.ready);
    return ok;
}

int reap(const Child& child) {
    int status = 0;
    ::waitpid(child.pid, &status, 0);
    return status;
}

QByteArray positionFile(int left, int top) {
    return QByteArray::number(left) + "\r\n" + QByteArray::number(top) + "\r\n";
}

} // namespace

class TestKillDuringSave : public QObject {
    Q_OBJECT
private slots:
    void fileIsAlwaysOldOrNew();
};

void TestKillDuringSave::fileIsAlwaysOldOrNew() {
    QTemporaryDir dir;
    const QString setting = dir.filePath("setting.dat");
    writeBytes(setting, positionFile(1, 1));

    // How long an unhindered save takes, so the kills spread over all of it.
    qint64 longestNs = 0;
    for (int i = 0; i < 5; ++i) {
        const Child child = startSave(dir.path(), 1500 + 15 * i, 3000 + 15 * i);
        QVERIFY(waitReady(child));
        QElapsedTimer timer;
        timer.start();
        const int status = reap(child);
        longestNs = std::max(longestNs, timer.nsecsElapsed());
        QVERIFY(WIFEXITED(status) && WEXITSTATUS(status) == 0);
        QCOMPARE(readBytes(setting), positionFile(1500 + 15 * i, 3000 + 15 * i));
    }

    std::mt19937 random(20261208);
    std::uniform_int_distribution<qint64> delayNs(0, longestNs + longestNs / 2);
    QByteArray old = readBytes(setting);
    int killedMidway = 0;
    int landedAfter = 0;
    for (int round = 0; round < 300; ++round) {
        // Window positions are whole pixels, 15 twips each.
        const int left = 15 * (-333 + round * 3), top = 15 * (600 - round);
        const QByteArray fresh = positionFile(left, top);
        const Child child = startSave(dir.path(), left, top);
        QVERIFY(waitReady(child));
        const qint64 delay = delayNs(random);
        timespec pause{0, long(delay)};
        ::nanosleep(&pause, nullptr);
        ::kill(child.pid, SIGKILL);
        const int status = reap(child);
        const QByteArray now = readBytes(setting);
        QVERIFY2(now == old || now == fresh,
                 qPrintable(QStringLiteral("round %1: %2")
                                .arg(round)
                                .arg(QString::fromLatin1(now.toPercentEncoding()))));
        killedMidway += WIFSIGNALED(status) && now == old;
        landedAfter += now == fresh;
        // Only the killed save's own temporary may be left behind: each save clears the
        // earlier ones.
        QStringList files = QDir(dir.path()).entryList(QDir::Files | QDir::Hidden);
        QVERIFY(files.removeAll("setting.dat") == 1);
        QVERIFY2(files.size() <= 1 && (files.isEmpty() || files[0].startsWith("setting.dat.tmp-")),
                 qPrintable(files.join(' ')));
        old = now;
    }
    qInfo("%d of 300 kills landed before the new file was in place, %d after", killedMidway,
          landedAfter);
    // Both sides of the rename were hit, or the test proved nothing about a kill part way.
    QVERIFY(killedMidway > 0);
    QVERIFY(landedAfter > 0);

    // The next save after all that cleans up.
    const Child child = startSave(dir.path(), 630, 645);
    QVERIFY(waitReady(child));
    QVERIFY(WIFEXITED(reap(child)));
    QCOMPARE(readBytes(setting), positionFile(630, 645));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"setting.dat"});
}

QTEST_APPLESS_MAIN(TestKillDuringSave)
#include "tst_kill_during_save.moc"
