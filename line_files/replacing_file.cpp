#include "replacing_file.h"

#include "file_api.h"
#include "replacing_file_platform.h"

#include <cerrno>
#include <chrono>
#include <random>
#include <system_error>
#include <utility>

namespace {

[[noreturn]] void throwErrno(const std::string& what) {
    throw std::system_error(errno != 0 ? errno : EIO, std::generic_category(), what);
}

// A temporary of a name no other save uses.
std::FILE* openOwnTemporary(const std::string& prefix, std::string& path) {
    static std::mt19937_64 random(
        std::random_device{}() ^
        static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count()));
    static constexpr char kDigits[] = "0123456789abcdefghijklmnopqrstuvwxyz";
    for (int attempt = 0; attempt < 100; ++attempt) {
        path = prefix;
        for (int i = 0; i < 8; ++i)
            path.push_back(kDigits[random() % (sizeof kDigits - 1)]);
        if (std::FILE* file = ReplacingFilePlatform::createTemporary(path))
            return file;
    }
    errno = EEXIST;
    throwErrno(prefix);
}

} // namespace

ReplacingFile::ReplacingFile(std::string target) : m_target(std::move(target)) {
    const std::string prefix = temporaryPrefixFor(m_target);
    ReplacingFilePlatform::removeStaleTemporaries(prefix);
    m_file = openOwnTemporary(prefix, m_temporary);
    ReplacingFilePlatform::takeOverAttributes(m_target, m_file);
}

ReplacingFile::~ReplacingFile() {
    if (m_file) {
        std::fclose(m_file);
        FileApi::remove(m_temporary);
    }
}

std::string ReplacingFile::temporaryPrefixFor(const std::string& target) {
    return target + ".tmp-";
}

void ReplacingFile::write(std::string_view bytes) {
    errno = 0;
    if (std::fwrite(bytes.data(), 1, bytes.size(), m_file) != bytes.size())
        throwErrno(m_temporary);
}

void ReplacingFile::commit() {
    errno = 0;
    if (std::fflush(m_file) != 0)
        throwErrno(m_temporary);
    ReplacingFilePlatform::replace(std::exchange(m_file, nullptr), m_temporary, m_target);
}
