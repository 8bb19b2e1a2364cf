#pragma once

#include <cstdio>
#include <string>
#include <string_view>

// Writes the new content of a file beside it and puts it in place with one rename, so the
// target always holds either its old content or all of the new: a kill, a crash or a full
// disk half way never leaves it empty or cut short.
class ReplacingFile {
public:
    explicit ReplacingFile(std::string target);
    ~ReplacingFile(); // without commit(): the temporary goes, the target stays untouched
    ReplacingFile(const ReplacingFile&) = delete;
    ReplacingFile& operator=(const ReplacingFile&) = delete;

    void write(std::string_view bytes);
    // Flushes to disk and renames over the target. Throws std::system_error on any failure.
    void commit();

    // The fixed name of the temporary: a stale one left by a kill is overwritten next time.
    static std::string temporaryPathFor(const std::string& target);

private:
    std::string m_target;
    std::string m_temporary;
    std::FILE* m_file = nullptr;
};
