#include "regional_clock.h"

#include <array>
#include <set>
#include <unordered_set>
#include <utility>

RegionalClock::~RegionalClock() = default;

bool RegionalClock::hasRequestedLocale() const {
    return m_requested;
}

RegionalClock::FaceTexts RegionalClock::format(std::chrono::system_clock::time_point when) const {
    // One reading of the clock serves both texts and the weekday, so they never disagree.
    const std::tm local = localTime(when);
    return {dateText(local), timeText(local), local.tm_wday};
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

RegionalClock::Moments RegionalClock::sampleMoments() {
    using namespace std::chrono;
    Moments moments;
    // Noon in UTC is the same date from UTC-11 to UTC+11, and the next or the previous one
    // further out: still seven days running, every weekday.
    for (unsigned m = 1; m <= 12; ++m) {
        const year_month month = year{2026} / m;
        const unsigned last = static_cast<unsigned>((month / std::chrono::last).day());
        for (unsigned d = 1; d <= last; ++d) {
            if (d <= 7 || d == 11 || d == 18 || d + 7 > last)
                moments.days.push_back(sys_days{month / d} + hours{12});
        }
    }
    // Tens and units of every kind, 0-9, 10-19 ... 50-59; moved by a zone's half or quarter
    // hour, still.
    constexpr int kMinutes[] = {0, 6, 11, 17, 22, 28, 33, 39, 44, 49, 55, 59};
    for (const auto day : {sys_days{year{2026} / January / 14}, sys_days{year{2026} / July / 15}})
        for (int hour = 0; hour < 24; ++hour)
            for (const int minute : kMinutes)
                moments.times.push_back(day + hours{hour} + minutes{minute} + seconds{minute});
    return moments;
}

RegionalClock::Samples RegionalClock::samples() const {
    const Moments moments = sampleMoments();
    Samples texts;
    // The zone is read once for all of them.
    bool readZone = true;
    const auto local = [&](std::chrono::system_clock::time_point when) {
        const std::tm fields = localTime(when, readZone);
        readZone = false;
        return fields;
    };
    std::unordered_set<std::string> seen;
    for (const auto when : moments.days) {
        const std::tm fields = local(when);
        std::string date = dateText(fields);
        if (seen.insert(date + static_cast<char>('0' + fields.tm_wday)).second)
            texts.dates.push_back({std::move(date), {}, fields.tm_wday});
    }
    seen.clear();
    // Where winter and summer keep one offset, their times read alike.
    std::set<std::array<int, 4>> wall;
    for (const auto when : moments.times) {
        const std::tm fields = local(when);
        if (!wall.insert({fields.tm_hour, fields.tm_min, fields.tm_sec, fields.tm_isdst}).second)
            continue;
        std::string time = timeText(fields);
        if (seen.insert(time).second)
            texts.times.push_back(std::move(time));
    }
    return texts;
}
