#pragma once

#include "ui_hooks.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>

#include <string>

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
