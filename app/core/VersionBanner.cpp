#include "app/core/VersionBanner.h"

#include <cstdio>
#include <iterator>

#ifndef ROVANA_SALES_CHANNEL
#define ROVANA_SALES_CHANNEL (-1)
#endif

namespace rovana {

std::string_view SalesChannelName(int channel) {
  constexpr int count = static_cast<int>(std::size(kSalesChannels));
  return channel >= 0 && channel < count ? kSalesChannels[channel] : std::string_view("?");
}

int BuildSalesChannel() { return ROVANA_SALES_CHANNEL; }

std::string_view BuildDate() { return __DATE__; }

std::string VersionBanner(std::string_view buildDate, int channel) {
  char first[64];  // the numbers take at most 33 characters; the date is added after
  std::snprintf(first, sizeof first, "Rovana %d.%d.%d (", kVersionMajor, kVersionMinor, kVersionPatch);
  std::string banner = first;
  banner += buildDate;
  banner += ")\n";
  banner += kBannerDescription;
  banner += '\n';
  banner += SalesChannelName(channel);
  return banner;
}

std::string VersionBanner() { return VersionBanner(BuildDate(), BuildSalesChannel()); }

}  // namespace rovana
