#include "dir_search.h"

#include "dir_search_platform.h"
#include "path_parts.h"

#include <algorithm>

namespace DirSearch {
namespace {

char foldCase(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

std::string folded(std::string_view s) {
    std::string out(s);
    std::transform(out.begin(), out.end(), out.begin(), foldCase);
    return out;
}

bool lessByFoldedName(const std::string& a, const std::string& b) {
    const std::string fa = folded(a);
    const std::string fb = folded(b);
    return fa != fb ? fa < fb : a < b;
}

bool hasWildcards(std::string_view name) {
    return name.find_first_of("*?") != std::string_view::npos;
}

} // namespace

bool MatchesWildcard(std::string_view pattern, std::string_view name) {
    std::size_t p = 0, n = 0;
    std::size_t starP = std::string_view::npos, starN = 0;
    while (n < name.size()) {
        if (p < pattern.size() &&
            (pattern[p] == '?' || foldCase(pattern[p]) == foldCase(name[n]))) {
            ++p;
            ++n;
        } else if (p < pattern.size() && pattern[p] == '*') {
            starP = p++;
            starN = n;
        } else if (starP != std::string_view::npos) {
            p = starP + 1;
            n = ++starN;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*')
        ++p;
    return p == pattern.size();
}

std::vector<std::string> FindOrdinaryFiles(const std::string& pattern) {
    std::vector<std::string> names = Platform::ListOrdinaryFiles(pattern);
    std::sort(names.begin(), names.end(), lessByFoldedName);
    const std::string last = PathParts::of(pattern).name;
    if (names.size() > 1 && !last.empty() && !hasWildcards(last)) {
        // Where names keep their case, a SETTING.DAT copied from a stick must not stand in for
        // the setting.dat every save writes.
        const auto exact = std::find(names.begin(), names.end(), last);
        names = {exact != names.end() ? *exact : names.front()};
    }
    return names;
}

std::vector<std::string> FindCaseVariants(const std::string& path) {
    const std::string last = PathParts::of(path).name;
    if (last.empty() || hasWildcards(last))
        return {};
    std::vector<std::string> names = Platform::ListOrdinaryFiles(path);
    std::sort(names.begin(), names.end(), lessByFoldedName);
    return names;
}

} // namespace DirSearch
