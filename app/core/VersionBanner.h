// The version banner: three lines shown at the top of the loading dialog and
// written to the log at start-up.
//
//   line 1: "Rovana 3.4.6 (Jul  9 2011)" with the build date as the compiler's
//           __DATE__ gives it ("Mmm dd yyyy", day padded with a space);
//   line 2: a fixed description of the program;
//   line 3: the name of the sales channel the build is meant for, "?" when
//           the build names none.
//
// The lines are joined by "\n" with no newline after the last one.
#pragma once

#include <string>
#include <string_view>

namespace rovana {

// The program version, also sent to the web service at log-in.
inline constexpr int kVersionMajor = 3;
inline constexpr int kVersionMinor = 4;
inline constexpr int kVersionPatch = 6;

inline constexpr std::string_view kBannerDescription = "GPS navigation and track recording";

// Sales channels, by number; a build selects one with the compile definition
// ROVANA_SALES_CHANNEL=<number>. One row per channel.
inline constexpr std::string_view kSalesChannels[] = {
    "Direct download",     // 0
    "Linux distribution",  // 1
    "Handheld store",      // 2
};

// The channel's name, "?" for a number outside the table (none set).
std::string_view SalesChannelName(int channel);

// The channel this build was compiled for; -1 when none.
int BuildSalesChannel();

// The compiler's date of this build, in the form "Jul  9 2011".
std::string_view BuildDate();

// The banner as a pure function of the build date text and the channel.
std::string VersionBanner(std::string_view buildDate, int channel);

// The banner of this build.
std::string VersionBanner();

}  // namespace rovana
