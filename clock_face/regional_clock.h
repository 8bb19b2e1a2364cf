#pragma once

#include <array>
#include <chrono>
#include <ctime>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

// The date and time texts of the clock face, in the user's regional settings, and the
// weekday of the same moment. Nothing is reformatted here: the texts are the platform's own,
// handed out as UTF-8 on every platform.
class RegionalClock {
public:
    struct FaceTexts {
        std::string date;
        std::string time;
        int weekday; // 0 Sunday .. 6 Saturday
    };

    // An empty locale name means the user's own settings; tests pass names such as
    // "de_DE.UTF-8" (on Windows "de-DE").
    explicit RegionalClock(const std::string& localeName = {});
    ~RegionalClock();
    RegionalClock(const RegionalClock&) = delete;
    RegionalClock& operator=(const RegionalClock&) = delete;

    // True when the named locale exists here (the user's own always does).
    bool hasRequestedLocale() const;

    FaceTexts format(std::chrono::system_clock::time_point when) const;

    // Instants whose local times, in any zone, show between them every form the face's texts
    // take in a year. Days: every month with every weekday, at both ends of the month (where
    // zones change between summer and winter time, so that both of their names and offsets are
    // seen), and each digit of a day of the month. Times: every hour of the day in winter and in
    // summer, with minutes and seconds that reach every numeral a region writes for them,
    // digits or words (十一, 廿二, 卅九, and digits above), whatever the zone's offset.
    struct Moments {
        std::vector<std::chrono::system_clock::time_point> days, times;
    };
    static Moments sampleMoments();

    // The texts of sampleMoments() in the zone as it stands, each once: the dates of the days,
    // with their weekdays, and the times. With their digits at their widest, no text of the
    // year is wider.
    struct Samples {
        std::vector<FaceTexts> dates; // no time
        std::vector<std::string> times;
    };
    Samples samples() const;

    // The calendar fields of a moment in UTC, for any moment the clock can hold: what the face
    // shows where the C library cannot tell the local time.
    static std::tm civilUtc(std::chrono::system_clock::time_point when);

private:
    // The platform's parts: the local time of a moment, in the zone as it stands now or, for a
    // run of moments, as it was last read; and the texts of a local time.
    std::tm localTime(std::chrono::system_clock::time_point when, bool readZone = true) const;
    std::string dateText(const std::tm& local) const;
    std::string timeText(const std::tm& local) const;

    struct Locale;
    // Where Locale is whole, in the platform's file.
    struct DropLocale {
        void operator()(Locale* locale) const;
    };
    std::unique_ptr<Locale, DropLocale> m_locale;
    bool m_requested = true;
};

inline constexpr std::array<std::string_view, 7> WeekdayNames{"Sun", "Mon", "Tue", "Wed",
                                                              "Thu", "Fri", "Sat"};
