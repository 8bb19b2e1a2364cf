#include "my_function_lv02.h"

#include "dir_search.h"
#include "file_api.h"
#include "line_reader.h"
#include "my_function_lv01.h"
#include "replacing_file.h"
#include "ui_hooks.h"

#include <cstdio>
#include <memory>
#include <system_error>

namespace MyFunction_Lv02 {
namespace {

using MyFunction_Lv01::JoinPath;
using MyFunction_Lv01::ParentFolder;

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using InputFile = std::unique_ptr<std::FILE, FileCloser>;

std::string foundPath(const std::string& pattern, const std::string& name) {
    return JoinPath(ParentFolder(pattern), std::string(1, kPathSeparator) + name);
}

// The file the search found, as it is when opened: what is checked is what is read. `left` is
// set to the bytes it may give.
InputFile openForInput(const std::string& path, std::uintmax_t largestFile, std::uintmax_t& left) {
    std::uintmax_t size = 0;
    InputFile file(FileApi::openOrdinaryForInput(path, size));
    if (size > largestFile)
        throw std::system_error(std::make_error_code(std::errc::file_too_large), path);
    left = largestFile;
    return file;
}

void readAll(const std::string& pattern, LineList& list, std::uintmax_t largestFile) {
    MyFunction_Lv01::ResetList(list);
    std::size_t counter = 0;
    for (const std::string& name : DirSearch::FindOrdinaryFiles(pattern)) {
        std::uintmax_t left = 0;
        InputFile file = openForInput(foundPath(pattern, name), largestFile, left);
        while (!LineReader::AtEnd(file.get())) {
            UiHooks::yieldToUserInterface();
            std::string line = FileApi::textFromLine(LineReader::ReadLine(file.get(), &left));
            list.resize(counter + 1);
            list[counter] = std::move(line);
            ++counter;
        }
    }
}

void readFirst(const std::string& pattern, LineList& list, std::uintmax_t largestFile) {
    const auto names = DirSearch::FindOrdinaryFiles(pattern);
    if (names.empty()) {
        list.resize(1);
        return;
    }
    MyFunction_Lv01::ResetList(list);
    std::uintmax_t left = 0;
    InputFile file = openForInput(foundPath(pattern, names.front()), largestFile, left);
    UiHooks::yieldToUserInterface();
    // An empty file gives the empty line, as a full read of it does.
    list[0] = FileApi::textFromLine(LineReader::ReadLine(file.get(), &left));
}

void writeAll(const std::string& path, LineList& list) {
    MyFunction_Lv01::CompactList(list);
    const std::size_t last = list.size() - 1;
    ReplacingFile file(path);
    for (std::size_t i = 0; i <= last; ++i) {
        UiHooks::yieldToUserInterface();
        file.write(FileApi::lineFromText(list[i]));
        file.write("\r\n");
    }
    file.commit();
}

} // namespace

void AccessLineFile(const std::string& path, LineList& list, const std::string& mode,
                    const std::string& kind, std::uintmax_t largestFile) {
    (void)kind; // "normal" is the only storage kind: an entry is its line's plain text.

    // Every call, reads included, first clears the read-only state of the first match.
    const auto matches = DirSearch::FindOrdinaryFiles(path);
    if (!matches.empty())
        DirSearch::SetAttributesNormal(foundPath(path, matches.front()));

    if (mode == "S_Read")
        readAll(path, list, largestFile);
    else if (mode == "S_Read_First")
        readFirst(path, list, largestFile);
    else if (mode == "S_Write")
        writeAll(path, list);
}

} // namespace MyFunction_Lv02
