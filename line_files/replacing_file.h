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

    // Where the temporaries of a target start. Each save has its own, named by this and a
    // unique ending, so two saving at once never write into each other's; the next save
    // removes the ones killed saves left, never one a live save still holds.
    static std::string temporaryPrefixFor(const std::string& target);

private:
    std::string m_target;
    std::string m_temporary;
    std::FILE* m_file = nullptr;
};
