#pragma once

#include <array>
#include <chrono>
#include <string>
#include <string_view>

// The date and time texts of the clock face, in the user's regional settings, and the
// weekday of the same moment. Nothing is reformatted here: the texts are the platform's own.
class RegionalClock {
public:
    // Windows formats in UTF-16, and the labels take it as it comes; POSIX in the locale's
    // own narrow encoding.
#ifdef _WIN32
    using FaceText = std::wstring;
#else
    using FaceText = std::string;
#endif
    struct FaceTexts {
        FaceText date;
        FaceText time;
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

private:
    void* m_locale = nullptr; // locale_t on POSIX
    bool m_requestedLocale = true;
#ifdef _WIN32
    std::wstring m_localeName; // empty: the user's default
#endif
};

inline constexpr std::array<std::string_view, 7> WeekdayNames{"Sun", "Mon", "Tue", "Wed",
                                                              "Thu", "Fri", "Sat"};
