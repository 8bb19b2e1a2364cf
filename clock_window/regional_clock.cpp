#include "regional_clock.h"

#include <ctime>

#ifdef _WIN32
#include "windows_text.h"
#else
#include <clocale>
#include <locale.h>
#endif

namespace {

std::tm localTime(std::chrono::system_clock::time_point when) {
    const std::time_t seconds = std::chrono::system_clock::to_time_t(when);
    std::tm local{};
    // The C library reads the time zone once per process; tzset() reads it again (on Linux one
    // stat() of /etc/localtime when nothing changed, on Windows the system's zone), so a
    // laptop that switches zones shows the new one at the next second.
#ifdef _WIN32
    _tzset();
    localtime_s(&local, &seconds);
#else
    tzset();
    localtime_r(&seconds, &local);
#endif
    return local;
}

} // namespace

#ifdef _WIN32

RegionalClock::RegionalClock(const std::string& localeName) {
    const std::wstring name = WindowsText::widen(localeName);
    m_requestedLocale = name.empty() || IsValidLocaleName(name.c_str());
    if (m_requestedLocale)
        m_localeName = name;
}

RegionalClock::~RegionalClock() = default;

bool RegionalClock::hasRequestedLocale() const {
    return m_requestedLocale;
}

RegionalClock::FaceTexts RegionalClock::format(std::chrono::system_clock::time_point when) const {
    const std::tm local = localTime(when);
    SYSTEMTIME st{};
    st.wYear = static_cast<WORD>(local.tm_year + 1900);
    st.wMonth = static_cast<WORD>(local.tm_mon + 1);
    st.wDay = static_cast<WORD>(local.tm_mday);
    st.wDayOfWeek = static_cast<WORD>(local.tm_wday);
    st.wHour = static_cast<WORD>(local.tm_hour);
    st.wMinute = static_cast<WORD>(local.tm_min);
    st.wSecond = static_cast<WORD>(local.tm_sec);
    const wchar_t* locale = m_localeName.empty() ? LOCALE_NAME_USER_DEFAULT : m_localeName.c_str();
    wchar_t date[80] = {}, time[80] = {};
    GetDateFormatEx(locale, DATE_SHORTDATE, &st, nullptr, date, 80, nullptr);
    GetTimeFormatEx(locale, 0, &st, nullptr, time, 80);
    return {date, time, local.tm_wday};
}

#else

RegionalClock::RegionalClock(const std::string& localeName) {
    locale_t locale = newlocale(LC_TIME_MASK, localeName.c_str(), static_cast<locale_t>(0));
    if (!locale) {
        m_requestedLocale = false;
        locale = newlocale(LC_TIME_MASK, "C", static_cast<locale_t>(0));
    }
    m_locale = locale;
}

RegionalClock::~RegionalClock() {
    if (m_locale)
        freelocale(static_cast<locale_t>(m_locale));
}

bool RegionalClock::hasRequestedLocale() const {
    return m_requestedLocale;
}

RegionalClock::FaceTexts RegionalClock::format(std::chrono::system_clock::time_point when) const {
    // One reading of the clock serves both texts and the weekday, so they never disagree.
    const std::tm local = localTime(when);
    const auto locale = static_cast<locale_t>(m_locale);
    char date[128] = {}, time[128] = {};
    strftime_l(date, sizeof date, "%x", &local, locale);
    strftime_l(time, sizeof time, "%X", &local, locale);
    return {date, time, local.tm_wday};
}

#endif
