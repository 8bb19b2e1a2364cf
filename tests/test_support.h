#pragma once

#include "ticker.h"
#include "ui_hooks.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>

#include <memory>
#include <string>

#ifdef _WIN32
#include <windows.h>
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

// A timer on time the test hands out, so nothing ticks behind a test's back however loaded the
// machine is. Like QTimer, starting it while it runs begins its interval afresh.
class SteppedTicker : public Ticker {
public:
    explicit SteppedTicker(int intervalMs) : m_interval(intervalMs) {}

    void start() override {
        m_active = true;
        m_due = m_interval;
    }
    void stop() override { m_active = false; }
    bool isActive() const override { return m_active; }

    // Lets `ms` milliseconds pass, ticking wherever an interval ends.
    void advance(int ms) {
        for (; ms > 0 && m_active; --ms) {
            if (--m_due == 0) {
                m_due = m_interval;
                emit tick();
            }
        }
    }

    // Hands out a factory for Form1's seams, remembering the ticker it makes in `made`.
    static std::function<std::unique_ptr<Ticker>()> factory(int intervalMs, SteppedTicker*& made) {
        return [intervalMs, &made] {
            auto ticker = std::make_unique<SteppedTicker>(intervalMs);
            made = ticker.get();
            return ticker;
        };
    }

private:
    int m_interval;
    int m_due = 0;
    bool m_active = false;
};

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
