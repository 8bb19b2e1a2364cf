#include "my_function_lv01.h"

#include "dir_search.h"
#include "ui_hooks.h"

#include <stdexcept>

namespace MyFunction_Lv01 {
namespace {

// Character positions are 16-bit signed counts from 1 in these routines' contract, so a
// separator beyond this point cannot be addressed.
constexpr std::size_t kLastAddressablePosition = 32766;

void checkPosition(std::size_t oneBasedPosition, const char* routine) {
    if (oneBasedPosition > kLastAddressablePosition)
        throw std::overflow_error(std::string(routine) + ": path longer than 32766 characters");
}

} // namespace

std::string CheckFileExists(const std::string& path, const std::string& flag) {
    if (!DirSearch::FindOrdinaryFiles(path).empty())
        return "OK";
    if (flag == "ON")
        UiHooks::showCriticalMessage("ファイルが存在しません。", "ディスクエラー");
    return "ERROR";
}

std::string JoinPath(const std::string& folder, const std::string& name, char separator) {
    const std::string joined = folder + separator + name;
    std::string result;
    result.reserve(joined.size());
    for (const char c : joined) {
        if (c == separator && !result.empty() && result.back() == separator) {
            // The pair starts at the separator already kept.
            checkPosition(result.size(), "JoinPath");
            continue;
        }
        result.push_back(c);
    }
    return result;
}

std::string ParentFolder(const std::string& path, char separator) {
    if (!path.empty() && path.back() == separator)
        return path;
    const auto pos = path.find_last_of(separator);
    if (pos == std::string::npos)
        throw std::invalid_argument("ParentFolder: no folder in \"" + path + "\"");
    checkPosition(pos + 1, "ParentFolder");
    return path.substr(0, pos);
}

void ResetList(LineList& list) {
    list.assign(1, std::string());
}

void CompactList(LineList& list) {
    if (list.empty())
        throw std::out_of_range("CompactList: the list holds no entry");

    LineList working(list.size());
    std::size_t copied = 0;
    for (const std::string& entry : list) {
        if (!entry.empty())
            working[copied++] = entry;
        UiHooks::yieldToUserInterface();
    }
    if (copied > 0)
        working.resize(copied);

    for (std::size_t i = 0; i < working.size(); ++i) {
        list.resize(i + 1);
        list[i] = std::move(working[i]);
        UiHooks::yieldToUserInterface();
    }
}

} // namespace MyFunction_Lv01
