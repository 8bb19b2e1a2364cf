#include "regional_clock.h"

RegionalClock::~RegionalClock() = default;

bool RegionalClock::hasRequestedLocale() const {
    return m_requested;
}

RegionalClock::FaceTexts RegionalClock::format(std::chrono::system_clock::time_point when) const {
    // One reading of the clock serves both texts and the weekday, so they never disagree.
    return formatLocal(localTime(when));
}

std::tm RegionalClock::civilUtc(std::chrono::system_clock::time_point when) {
    using namespace std::chrono;
    const auto day = floor<days>(when);
    const year_month_day date{day};
    const hh_mm_ss time{floor<seconds>(when - day)};
    std::tm civil{};
    civil.tm_year = static_cast<int>(date.year()) - 1900;
    civil.tm_mon = static_cast<int>(static_cast<unsigned>(date.month())) - 1;
    civil.tm_mday = static_cast<int>(static_cast<unsigned>(date.day()));
    civil.tm_wday = static_cast<int>(weekday{day}.c_encoding());
    civil.tm_yday = static_cast<int>((day - sys_days{date.year() / January / 1}).count());
    civil.tm_hour = static_cast<int>(time.hours().count());
    civil.tm_min = static_cast<int>(time.minutes().count());
    civil.tm_sec = static_cast<int>(time.seconds().count());
    return civil;
}

std::vector<RegionalClock::FaceTexts> RegionalClock::samples() const {
    using namespace std::chrono;
    std::vector<FaceTexts> texts;
    for (int hour = 0; hour < 24; ++hour) {
        const auto day = sys_days{year{2026} / month{static_cast<unsigned>(hour % 12 + 1)} / 28};
        texts.push_back(formatLocal(civilUtc(day + hours{hour})));
    }
    return texts;
}
