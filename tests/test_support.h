#pragma once

#include "ui_hooks.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <utility>

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/wait.h>
#include <unistd.h>
#endif

// Counts the line-file routines' yields and messages for the length of a test.
class HookRecorder {
public:
    HookRecorder() {
        UiHooks::install({[this] {
                              ++yields;
                              if (onYield)
                                  onYield(yields);
                          },
                          [this](const std::string& text, const std::string& title) {
                              ++messages;
                              lastText = text;
                              lastTitle = title;
                          }});
    }
    ~HookRecorder() { UiHooks::install({}); }
    HookRecorder(const HookRecorder&) = delete;
    HookRecorder& operator=(const HookRecorder&) = delete;

    int yields = 0;
    int messages = 0;
    std::string lastText;
    std::string lastTitle;
    std::function<void(int)> onYield;
};

// A moment given in UTC, which is also the local time: the tests run with TZ=UTC.
inline std::chrono::system_clock::time_point at(int y, unsigned m, unsigned d, int hh, int mm,
                                                int ss, int ms = 0) {
    using namespace std::chrono;
    return sys_days{year{y} / month{m} / day{d}} + hours{hh} + minutes{mm} + seconds{ss} +
           milliseconds{ms};
}

inline void writeBytes(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        qFatal("cannot write %s", qPrintable(path));
    file.write(bytes);
}

inline QByteArray readBytes(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray("<missing>");
    return file.readAll();
}

inline std::string native(const QString& path) {
    return QDir::toNativeSeparators(path).toStdString();
}

#ifdef _WIN32
inline void setAttributes(const QString& path, DWORD attributes) {
    if (!SetFileAttributesW(
            reinterpret_cast<const wchar_t*>(QDir::toNativeSeparators(path).utf16()), attributes))
        qFatal("cannot set the attributes of %s", qPrintable(path));
}

inline DWORD attributesOf(const QString& path) {
    return GetFileAttributesW(
        reinterpret_cast<const wchar_t*>(QDir::toNativeSeparators(path).utf16()));
}
#endif

// Writes a file the directory search must pass over: on Windows one with the hidden (or, with
// `system` set, the system) attribute; elsewhere, where a leading dot is what hides a file,
// the file's name is expected to start with one.
inline void writeHiddenFile(const QString& path, bool system = false) {
    writeBytes(path, "hidden\r\n");
#ifdef _WIN32
    setAttributes(path, system ? FILE_ATTRIBUTE_SYSTEM : FILE_ATTRIBUTE_HIDDEN);
#else
    Q_UNUSED(system);
#endif
}

#ifndef _WIN32
// The uid of an ordinary user who owns nothing here.
inline constexpr uid_t kNobody = 65534;

// Runs `body` as another user in a child process and gives back what it wrote to `out` and
// its exit status. Needs root, which CI is.
inline std::pair<int, QByteArray> runAsUser(uid_t user,
                                            const std::function<int(std::string& out)>& body) {
    int fds[2];
    if (::pipe(fds) != 0)
        qFatal("pipe");
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::close(fds[0]);
        if (::setgid(user) != 0 || ::setuid(user) != 0)
            ::_exit(90);
        std::string out;
        int status = 91;
        try {
            status = body(out);
        } catch (const std::exception& error) {
            out += std::string("error: ") + error.what();
        }
        (void)!::write(fds[1], out.data(), out.size());
        ::_exit(status);
    }
    ::close(fds[1]);
    QByteArray seen;
    char buffer[256];
    for (ssize_t n; (n = ::read(fds[0], buffer, sizeof buffer)) > 0;)
        seen.append(buffer, n);
    ::close(fds[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status), seen};
}
#endif
