#include "regional_clock.h"

#include <cwchar>
#include <locale.h>

struct RegionalClock::Locale {
    locale_t handle = static_cast<locale_t>(0);
    bool requested = true;
    ~Locale() {
        if (handle)
            freelocale(handle);
    }
};

namespace {

std::tm localTime(std::chrono::system_clock::time_point when) {
    const std::time_t seconds = std::chrono::system_clock::to_time_t(when);
    std::tm local{};
    // The C library reads the time zone once per process; tzset() reads it again (one stat()
    // of /etc/localtime when nothing changed), so a laptop that switches zones shows the new
    // one at the next second.
    tzset();
    if (!localtime_r(&seconds, &local))
        return RegionalClock::civilUtc(when);
    return local;
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

RegionalClock::RegionalClock(const std::string& localeName) : m_locale(std::make_unique<Locale>()) {
    m_locale->handle =
        newlocale(LC_TIME_MASK | LC_CTYPE_MASK, localeName.c_str(), static_cast<locale_t>(0));
    if (!m_locale->handle) {
        m_locale->requested = false;
        m_locale->handle = newlocale(LC_TIME_MASK | LC_CTYPE_MASK, "C", static_cast<locale_t>(0));
    }
}

RegionalClock::~RegionalClock() = default;

bool RegionalClock::hasRequestedLocale() const {
    return m_locale->requested;
}

RegionalClock::FaceTexts RegionalClock::format(std::chrono::system_clock::time_point when) const {
    // One reading of the clock serves both texts and the weekday, so they never disagree.
    const std::tm local = localTime(when);
    return {formatted(L"%x", local, m_locale->handle), formatted(L"%X", local, m_locale->handle),
            local.tm_wday};
}
