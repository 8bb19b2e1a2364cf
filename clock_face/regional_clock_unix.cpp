#include "regional_clock.h"

#include <unicode/locid.h>
#include <unicode/udat.h>
#include <unicode/udatpg.h>
#include <unicode/ures.h>
#include <unicode/ustring.h>

#include <array>
#include <cstdlib>
#include <cwchar>
#include <locale.h>
#include <sys/stat.h>
#include <utility>

namespace {

// A formatter of the locale's own pattern for `skeleton`, on the local wall time given as UTC:
// the zone has been applied already, and no pattern here shows one.
UDateFormat* openFormat(UDateTimePatternGenerator* generator, const std::string& locale,
                        const char16_t* skeleton) {
    UErrorCode status = U_ZERO_ERROR;
    UChar pattern[64];
    const int32_t length = udatpg_getBestPattern(generator, skeleton, -1, pattern,
                                                 static_cast<int32_t>(std::size(pattern)), &status);
    if (U_FAILURE(status))
        return nullptr;
    UDateFormat* format =
        udat_open(UDAT_PATTERN, UDAT_PATTERN, locale.c_str(), u"UTC", -1, pattern, length, &status);
    if (U_FAILURE(status)) {
        udat_close(format);
        return nullptr;
    }
    return format;
}

// The locale a POSIX name such as "sr_RS.UTF-8@latin" means to ICU: "sr_Latn_RS".
std::string icuName(std::string name) {
    std::string modifier;
    if (const auto at = name.find('@'); at != std::string::npos) {
        modifier = name.substr(at + 1);
        name.erase(at);
    }
    if (const auto dot = name.find('.'); dot != std::string::npos)
        name.erase(dot);
    const auto script = [&]() -> std::string {
        if (modifier == "latin")
            return "Latn";
        if (modifier == "cyrillic")
            return "Cyrl";
        if (modifier == "devanagari")
            return "Deva";
        return {};
    }();
    if (!script.empty()) {
        const auto underscore = name.find('_');
        name.insert(underscore == std::string::npos ? name.size() : underscore, "_" + script);
    } else if (modifier == "valencia") {
        name += "_VALENCIA";
    }
    return name;
}

// Which locale the C library takes for LC_TIME when given "", by the same precedence.
std::string userTimeLocale() {
    for (const char* variable : {"LC_ALL", "LC_TIME", "LANG"}) {
        const char* value = std::getenv(variable);
        if (value && *value)
            return value;
    }
    return "C";
}

// The language and script a locale is written in: "az_IR" is Azerbaijani in Arabic script,
// "tl_PH" Filipino in Latin.
std::pair<std::string, std::string> writtenIn(const std::string& locale) {
    icu::Locale full = icu::Locale::createCanonical(locale.c_str());
    UErrorCode status = U_ZERO_ERROR;
    full.addLikelySubtags(status);
    return {full.getLanguage(), full.getScript()};
}

// Whether ICU has data of the locale's own language in its own script. Where it has none it
// still opens the locale, from another: its generic root (az_IR, with a Persian calendar in
// Latin digits), or a language it puts in the place of this one (fr_HT for ht_HT).
bool knownToIcu(const std::string& locale) {
    UErrorCode status = U_ZERO_ERROR;
    UResourceBundle* bundle = ures_open(nullptr, locale.c_str(), &status);
    std::string found;
    if (U_SUCCESS(status) && status != U_USING_DEFAULT_WARNING) {
        const char* actual = ures_getLocaleByType(bundle, ULOC_ACTUAL_LOCALE, &status);
        if (U_SUCCESS(status) && actual)
            found = actual;
    }
    ures_close(bundle);
    if (found.empty() || found == "root")
        return false;
    return writtenIn(locale) == writtenIn(found);
}

// What tells one zone file from another at a path, as the C library tells them when it reads
// /etc/localtime again: the file the path leads to, and when it was last written.
struct FileStamp {
    dev_t device = 0;
    ino_t inode = 0;
    timespec written{};
    off_t size = -1;

    bool operator==(const FileStamp& other) const {
        return device == other.device && inode == other.inode &&
               written.tv_sec == other.written.tv_sec && written.tv_nsec == other.written.tv_nsec &&
               size == other.size;
    }
};

FileStamp stampOf(const char* path) {
    struct stat st {};
    if (stat(path, &st) != 0)
        return {};
    return {st.st_dev, st.st_ino, st.st_mtim, st.st_size};
}

// Where TZ names a file by its path (":/etc/localtime", "/path"), tzset() reads it once and
// never again while TZ reads the same. The file is watched here as the C library watches
// /etc/localtime when TZ is unset; where it has changed, TZ is read once as another zone so
// that the next tzset() reads the file afresh, and is given back exactly as it was.
class ZoneFile {
public:
    void follow() {
        const char* variable = std::getenv("TZ");
        const char* path = variable && *variable == ':' ? variable + 1 : variable;
        if (!path || *path != '/') {
            m_variable.clear();
            return;
        }
        const FileStamp file = stampOf(path);
        if (m_variable == variable && m_file == file)
            return;
        const bool changed = m_variable == variable;
        m_variable = variable;
        m_file = file;
        if (changed) {
            setenv("TZ", "UTC0", 1);
            tzset();
            setenv("TZ", m_variable.c_str(), 1);
        }
    }

private:
    std::string m_variable; // TZ as last seen, where it names a file
    FileStamp m_file;
};

bool namesNoRegion(const std::string& name) {
    return name == "C" || name == "POSIX" || name.rfind("C.", 0) == 0;
}

// The local wall time as if it were UTC, in ICU's milliseconds.
UDate wallClock(const std::tm& local) {
    using namespace std::chrono;
    const sys_days day{year{local.tm_year + 1900} / month{static_cast<unsigned>(local.tm_mon + 1)} /
                       static_cast<unsigned>(local.tm_mday)};
    const auto at = day + hours{local.tm_hour} + minutes{local.tm_min} + seconds{local.tm_sec};
    return static_cast<UDate>(duration_cast<milliseconds>(at.time_since_epoch()).count());
}

std::string utf8(const UChar* text, int32_t length) {
    std::string out(static_cast<std::size_t>(length) * 3, '\0');
    int32_t written = 0;
    UErrorCode status = U_ZERO_ERROR;
    u_strToUTF8(out.data(), static_cast<int32_t>(out.size()), &written, text, length, &status);
    out.resize(U_SUCCESS(status) ? static_cast<std::size_t>(written) : 0);
    return out;
}

std::string formatted(UDateFormat* format, UDate when) {
    UChar text[128];
    UErrorCode status = U_ZERO_ERROR;
    const int32_t length =
        udat_format(format, when, text, static_cast<int32_t>(std::size(text)), nullptr, &status);
    return U_SUCCESS(status) ? utf8(text, length) : std::string();
}

// The text of `when`, cut where its seconds stand: before them, the seconds, after them. No
// seconds: all of it before.
std::array<std::string, 3> aroundSeconds(UDateFormat* format, UDate when) {
    UChar text[128];
    UErrorCode status = U_ZERO_ERROR;
    UFieldPosition seconds{UDAT_SECOND_FIELD, 0, 0};
    const int32_t length =
        udat_format(format, when, text, static_cast<int32_t>(std::size(text)), &seconds, &status);
    if (U_FAILURE(status))
        return {};
    int32_t begin = seconds.beginIndex, end = seconds.endIndex;
    if (begin >= end)
        begin = end = length;
    return {utf8(text, begin), utf8(text + begin, end - begin), utf8(text + end, length - end)};
}

// Wide output is the locale's text whatever its own encoding (UTF-8, Latin-1, EUC-JP ...),
// and UTF-8 from there is plain arithmetic.
std::string utf8(std::wstring_view text) {
    std::string out;
    for (const wchar_t wide : text) {
        const auto c = static_cast<char32_t>(wide);
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (c >> 18));
            out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

std::string formatted(const wchar_t* format, const std::tm& local, locale_t locale) {
    wchar_t text[128] = {};
    const std::size_t length = wcsftime_l(text, std::size(text), format, &local, locale);
    return utf8(std::wstring_view(text, length));
}

} // namespace

// A region's texts are its own CLDR patterns for a numeric date with a four-digit year and for
// the time with seconds, in the hours it counts by: what Windows shows for the same region
// (2026/12/09 and 1:15:35 in Japan, 09.12.2026 and 01:15:35 in Germany, 12/09/2026 and
// 1:15:35 AM in the US), where the C library's %x and %X write 2026年12月09日 and 01時15分35秒
// for Japan, and some regions' %X has no seconds at all. C and POSIX name no region: theirs are
// the C library's own.
struct RegionalClock::Locale {
    locale_t handle = static_cast<locale_t>(0);
    UDateFormat* date = nullptr;
    UDateFormat* time = nullptr;
    // The date changes once a day and the time but its seconds once a minute; the clock asks
    // for them every second. ICU's seconds are the same two digits in every minute.
    long day = -1;
    std::string dateText;
    long minute = -1;
    std::array<std::string, 3> timeText; // before the seconds, the seconds, after them
    std::array<std::string, 60> seconds;
    ZoneFile zone;
    ~Locale() {
        udat_close(date);
        udat_close(time);
        if (handle)
            freelocale(handle);
    }
};

void RegionalClock::DropLocale::operator()(Locale* locale) const {
    delete locale;
}

RegionalClock::RegionalClock(const std::string& localeName) : m_locale(new Locale) {
    const std::string name = localeName.empty() ? userTimeLocale() : localeName;
    if (!namesNoRegion(name)) {
        const std::string icu = icuName(name);
        // A region ICU has no data for would get another locale's patterns.
        if (knownToIcu(icu)) {
            UErrorCode status = U_ZERO_ERROR;
            UDateTimePatternGenerator* generator = udatpg_open(icu.c_str(), &status);
            if (U_SUCCESS(status)) {
                m_locale->date = openFormat(generator, icu, u"yyyyMMdd");
                m_locale->time = openFormat(generator, icu, u"jmmss");
            }
            udatpg_close(generator);
            if (!m_locale->date || !m_locale->time) {
                udat_close(m_locale->date);
                udat_close(m_locale->time);
                m_locale->date = m_locale->time = nullptr;
            }
        }
    }
    m_locale->handle =
        newlocale(LC_TIME_MASK | LC_CTYPE_MASK, localeName.c_str(), static_cast<locale_t>(0));
    if (!m_locale->handle) {
        m_requested = m_locale->date != nullptr;
        m_locale->handle = newlocale(LC_TIME_MASK | LC_CTYPE_MASK, "C", static_cast<locale_t>(0));
    }
}

std::tm RegionalClock::localTime(std::chrono::system_clock::time_point when, bool readZone) const {
    const std::time_t seconds = std::chrono::system_clock::to_time_t(when);
    std::tm local{};
    // The C library reads the time zone once per process; tzset() reads it again (one stat()
    // of /etc/localtime when nothing changed), so a laptop that switches zones shows the new
    // one at the next second.
    if (readZone) {
        m_locale->zone.follow();
        tzset();
    }
    if (!localtime_r(&seconds, &local))
        return RegionalClock::civilUtc(when);
    return local;
}

std::string RegionalClock::dateText(const std::tm& local) const {
    const long day = (local.tm_year + 1900L) * 1000 + local.tm_yday;
    if (day != m_locale->day) {
        m_locale->day = day;
        m_locale->dateText = m_locale->date ? formatted(m_locale->date, wallClock(local))
                                            : formatted(L"%x", local, m_locale->handle);
    }
    return m_locale->dateText;
}

std::string RegionalClock::timeText(const std::tm& local) const {
    if (!m_locale->time)
        return formatted(L"%X", local, m_locale->handle);
    const UDate wall = wallClock(local);
    const long day = (local.tm_year + 1900L) * 1000 + local.tm_yday;
    const long minute = day * 1440 + local.tm_hour * 60 + local.tm_min;
    if (minute != m_locale->minute || local.tm_sec >= 60) {
        m_locale->minute = local.tm_sec < 60 ? minute : -1;
        m_locale->timeText = aroundSeconds(m_locale->time, wall);
        if (local.tm_sec < 60)
            m_locale->seconds[static_cast<std::size_t>(local.tm_sec)] = m_locale->timeText[1];
    } else if (!m_locale->timeText[1].empty()) {
        std::string& second = m_locale->seconds[static_cast<std::size_t>(local.tm_sec)];
        if (second.empty())
            second = aroundSeconds(m_locale->time, wall)[1];
        m_locale->timeText[1] = second;
    } else {
        m_locale->timeText = aroundSeconds(m_locale->time, wall);
    }
    const auto& [before, secondsText, after] = m_locale->timeText;
    return before + secondsText + after;
}
