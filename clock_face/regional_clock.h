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

    // The texts of moments that between them show every form the face takes in a year: each
    // hour of the day (with its AM or PM word) and each month; with their digits at their
    // widest, no text of the year is wider.
    std::vector<FaceTexts> samples() const;

    // The calendar fields of a moment in UTC, for any moment the clock can hold: what the face
    // shows where the C library cannot tell the local time.
    static std::tm civilUtc(std::chrono::system_clock::time_point when);

private:
    // The platform's parts: the local time of a moment, with the zone as it stands now, and
    // the texts of a local time.
    std::tm localTime(std::chrono::system_clock::time_point when) const;
    FaceTexts formatLocal(const std::tm& local) const;

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
