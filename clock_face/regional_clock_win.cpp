#include "regional_clock.h"

#include "windows_text.h"

#include <cstdio>

struct RegionalClock::Locale {
    std::wstring name; // empty: the user's default
};

void RegionalClock::DropLocale::operator()(Locale* locale) const {
    delete locale;
}

namespace {

SYSTEMTIME systemTime(const std::tm& local) {
    SYSTEMTIME st{};
    st.wYear = static_cast<WORD>(local.tm_year + 1900);
    st.wMonth = static_cast<WORD>(local.tm_mon + 1);
    st.wDay = static_cast<WORD>(local.tm_mday);
    st.wDayOfWeek = static_cast<WORD>(local.tm_wday);
    st.wHour = static_cast<WORD>(local.tm_hour);
    st.wMinute = static_cast<WORD>(local.tm_min);
    st.wSecond = static_cast<WORD>(local.tm_sec);
    return st;
}

// Windows' own text when it gives one; where it cannot (a year before 1601, say), the date or
// time in the one form every reader knows.
template <typename Format> std::string formatted(Format format, const std::string& fallback) {
    wchar_t text[80] = {};
    if (const int length = format(text, static_cast<int>(std::size(text))); length > 0)
        return WindowsText::narrow(std::wstring_view(text, static_cast<std::size_t>(length - 1)));
    return fallback;
}

std::string numbers(const char* format, int a, int b, int c) {
    char text[40] = {};
    std::snprintf(text, sizeof text, format, a, b, c);
    return text;
}

} // namespace

RegionalClock::RegionalClock(const std::string& localeName) : m_locale(new Locale) {
    const std::wstring name = WindowsText::widen(localeName);
    m_requested = name.empty() || IsValidLocaleName(name.c_str());
    if (m_requested)
        m_locale->name = name;
}

std::tm RegionalClock::localTime(std::chrono::system_clock::time_point when, bool readZone) const {
    const std::time_t seconds = std::chrono::system_clock::to_time_t(when);
    std::tm local{};
    // The CRT caches the time zone too; _tzset() reads the system's again.
    if (readZone)
        _tzset();
    // Before 1970 and after 3000 the CRT cannot say, and leaves every field at -1.
    if (localtime_s(&local, &seconds) != 0)
        return RegionalClock::civilUtc(when);
    return local;
}

namespace {

const wchar_t* localeOf(const std::wstring& name) {
    return name.empty() ? LOCALE_NAME_USER_DEFAULT : name.c_str();
}

} // namespace

std::string RegionalClock::dateText(const std::tm& local) const {
    const SYSTEMTIME st = systemTime(local);
    return formatted(
        [&](wchar_t* out, int size) {
            return GetDateFormatEx(localeOf(m_locale->name), DATE_SHORTDATE, &st, nullptr, out,
                                   size, nullptr);
        },
        numbers("%04d-%02d-%02d", local.tm_year + 1900, local.tm_mon + 1, local.tm_mday));
}

std::string RegionalClock::timeText(const std::tm& local) const {
    const SYSTEMTIME st = systemTime(local);
    return formatted(
        [&](wchar_t* out, int size) {
            return GetTimeFormatEx(localeOf(m_locale->name), 0, &st, nullptr, out, size);
        },
        numbers("%02d:%02d:%02d", local.tm_hour, local.tm_min, local.tm_sec));
}
