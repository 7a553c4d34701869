// libFuzzer target: arbitrary bytes in arbitrary pieces through Rovana's
// NmeaScanner, with the GGA-only fill-in after each piece as the GPS thread
// runs it. Besides memory safety it checks the record's bounds: satellites in
// view within the table, waypoint identifiers within their 24 characters,
// counters that only grow, and the same record whether the bytes come in
// pieces or at once.
#include <cstdint>
#include <string>

#include <fuzzer/FuzzedDataProvider.h>

#include "app/gps/GpsFix.h"
#include "app/gps/NmeaScanner.h"
#include "fuzz/FuzzCheck.h"

namespace {

constexpr const char* kTarget = "nmea_scanner_fuzz";

void CheckBounds(const rovana::GpsData& d) {
  fuzz::Check(d.gsv.inView <= rovana::kMaxSatellites, kTarget, "satellites in view beyond the table");
  fuzz::Check(d.rmb.origin.size() <= 24 && d.rmb.destination.size() <= 24, kTarget, "waypoint identifier too long");
}

std::uint32_t Counted(const rovana::GpsData& d) {
  return d.gga.count + d.gsa.count + d.gsv.count + d.rmb.count + d.rmc.count + d.zda.count;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider input(data, size);
  std::string all;
  rovana::NmeaScanner pieces;
  std::uint32_t total = 0, counted = 0;
  while (input.remaining_bytes() > 0) {
    const std::string piece = input.ConsumeRandomLengthString(300);
    if (piece.empty() && input.remaining_bytes() == 0) break;
    all += piece;
    pieces.Feed(piece);
    const rovana::GpsData& d = pieces.data();
    CheckBounds(d);
    fuzz::Check(d.total >= total && Counted(d) >= counted, kTarget, "a counter went back");
    total = d.total;
    counted = Counted(d);
    rovana::GpsData copy = d;
    rovana::FillRmcFromGga(copy);
    (void)rovana::FixStamp(copy, 1'800'000'000);
  }
  rovana::NmeaScanner whole;
  whole.Feed(all);
  fuzz::Check(whole.data().total == pieces.data().total, kTarget, "pieces and the whole disagree");
  fuzz::Check(whole.data().rmc.count == pieces.data().rmc.count && whole.data().gsv.count == pieces.data().gsv.count,
              kTarget, "pieces and the whole decode differently");
  return 0;
}
