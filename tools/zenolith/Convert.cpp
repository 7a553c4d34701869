// zenolith convert: a cs2cs-like converter between the library's datums and
// grids, one coordinate per line, through Position objects created by ProgID.
#include <array>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <string_view>
#include <vector>

#include "platform/com/Runtime.h"
#include "tools/zenolith/Automation.h"
#include "tools/zenolith/BoundMembers.h"
#include "tools/zenolith/Commands.h"
#include "tools/zenolith/ConvertLine.h"
#include "tools/zenolith/Input.h"
#include "tools/zenolith/OutputText.h"
#include "tools/zenolith/Printable.h"
#include "tools/zenolith/Systems.h"

namespace zenolith::tools {
namespace {

constexpr const char* kHelp =
    "usage: zenolith convert --from SYSTEM --to SYSTEM [FILE]\n"
    "       zenolith convert --list\n\n"
    "Converts one coordinate per line (standard input when no FILE) with the library's\n"
    "Position objects. SYSTEM is DATUM, DATUM/GRID or DATUM/GRID/ZONE, each by name or\n"
    "number: WGS_84, OSGB_36/BRITISH_GRID, WGS_84/UTM_NORTH/32, NAD_83/SPCS_83/0101.\n"
    "Geographic lines are 'latitude longitude [altitude]' in decimal degrees (printed with\n"
    "9 decimals, the altitude with 3); grid lines are 'easting northing [altitude]' in metres\n"
    "(printed with 3 decimals and followed by the zone). The altitude is the height on the\n"
    "datum. Numbers are read and printed with a decimal point whatever the locale; infinities\n"
    "and 'nan' are refused. A line that fails prints 'error: line N: MESSAGE' and the\n"
    "conversion goes on; the exit status is then 1.\n"
    "--list prints the datums and grids with their numbers.\n";

// Calls `line` for every line of the input, without its line feed; a last
// line without one counts too. Read in large blocks.
template <class LineFunction>
void ForEachLine(InputFile& input, LineFunction line) {
  std::streambuf* in = input.stream().rdbuf();
  std::vector<char> block(256 * 1024);
  std::size_t kept = 0;  // the start of an unfinished line, moved to the front
  for (;;) {
    if (kept == block.size()) block.resize(block.size() * 2);
    const std::streamsize n = in->sgetn(block.data() + kept, static_cast<std::streamsize>(block.size() - kept));
    if (n <= 0) break;
    const char* begin = block.data();
    const char* const end = begin + kept + n;
    for (const char* lf; (lf = static_cast<const char*>(std::memchr(begin, '\n', static_cast<std::size_t>(end - begin))));
         begin = lf + 1)
      line(std::string_view(begin, static_cast<std::size_t>(lf - begin)));
    kept = static_cast<std::size_t>(end - begin);
    std::memmove(block.data(), begin, kept);
  }
  if (kept) line(std::string_view(block.data(), kept));
}

void List() {
  std::cout << "datums:\n";
  for (const NamedId& d : DatumNames()) std::cout << "  " << d.id << " " << d.name << "\n";
  std::cout << "grids:\n";
  for (const NamedId& g : GridNames()) std::cout << "  " << g.id << " " << g.name << "\n";
}

// The position's members, by identifier.
enum Member { kCopy, kDatum, kGrid, kZone, kEasting, kNorthing, kLatitude, kLongitude, kSetAltitude, kAltitude };

class Converter {
 public:
  Converter(const CoordinateSystem& from, const CoordinateSystem& to)
      : from_(from), to_(to), reusable_(from.grid == 0 && from.datum == to.datum) {}

  // Builds the template position every line starts from; false when the
  // library cannot give one.
  bool Prepare(std::string* error) {
    if (!prototype_.Create("ZenolithCE.Position")) {
      *error = prototype_.error();
      return false;
    }
    ids_ = members_.For(prototype_.get());
    // The position is still empty, so these only label it.
    if (!Put(prototype_, kDatum, com::Variant::I2(from_.datum)) ||
        (from_.grid && !Put(prototype_, kGrid, com::Variant::I2(from_.grid))) ||
        (from_.hasZone && !Put(prototype_, kZone, com::Variant::I2(from_.zone)))) {
      *error = prototype_.error();
      return false;
    }
    return true;
  }

  // Appends the converted line, or "error: line N: MESSAGE" (and sets
  // *failed), to *out.
  void Line(std::string_view line, long number, bool* failed, std::string* out) {
    const std::size_t start = out->size();
    if (Convert(line, out)) return;
    out->resize(start);
    *failed = true;
    *out += "error: line ";
    *out += std::to_string(number);
    *out += ": ";
    *out += Printable(message_);
  }

 private:
  bool Fail(std::string message) {
    message_ = std::move(message);
    return false;
  }

  // A number has always been printed into 64 bytes: a longer one (an absurd
  // height such as 1e300) is cut after 63 characters.
  static void Fixed(std::string* out, double v, int decimals) {
    constexpr std::size_t kLongest = 63;
    const std::size_t start = out->size();
    AppendFixed(*out, v, decimals);
    if (out->size() - start > kLongest) out->resize(start + kLongest);
  }

  bool Put(Automation& p, Member member, com::Variant value) {
    one_[0] = std::move(value);
    return p.Invoke(ids_[member], com::kInvokePropertyPut, one_, nullptr);
  }
  bool Get(Automation& p, Member member, com::Variant* value) {
    return p.Invoke(ids_[member], com::kInvokePropertyGet, {}, value);
  }

  // False with the raw message in message_ when the line does not convert.
  bool Convert(std::string_view line, std::string* out) {
    const CoordinateLine input = ParseCoordinateLine(line, from_.grid != 0);
    if (!input.error.empty()) return Fail(input.error);
    const double* values = input.values;
    const int count = input.count;
    Automation& p = position_;
    if (!(reusable_ && atTarget_)) {
      com::Variant copy;
      if (!prototype_.Invoke(ids_[kCopy], com::kInvokeMethod, {}, &copy)) return Fail(prototype_.error());
      com::ComPtr<com::IDispatch> object;
      copy.ToDispatch(&object);
      copy.Clear();
      p.Reset(std::move(object));
      atTarget_ = altitudeSet_ = false;
    }
    const bool ok = from_.grid ? Put(p, kEasting, com::Variant::R8(values[0])) && Put(p, kNorthing, com::Variant::R8(values[1]))
                               : Put(p, kLatitude, com::Variant::R8(values[0])) &&
                                     Put(p, kLongitude, com::Variant::R8(values[1]));
    if (!ok) return Fail(p.error());
    // A kept position has its height from an earlier line: a line without
    // one starts from 0, as a fresh copy does.
    if (count == 3 || altitudeSet_) {
      two_[0] = com::Variant::I2(1);
      two_[1] = com::Variant::R8(count == 3 ? values[2] : 0);
      if (!p.Invoke(ids_[kSetAltitude], com::kInvokeMethod, two_, nullptr)) return Fail(p.error());
      altitudeSet_ = count == 3;
    }
    if (!atTarget_) {
      if (to_.datum != from_.datum && !Put(p, kDatum, com::Variant::I2(to_.datum))) return Fail(p.error());
      if (to_.grid != from_.grid && !Put(p, kGrid, com::Variant::I2(to_.grid))) return Fail(p.error());
      if (to_.hasZone && !Put(p, kZone, com::Variant::I2(to_.zone))) return Fail(p.error());
      atTarget_ = reusable_;
    }

    if (to_.grid) {
      if (!Get(p, kEasting, &a_) || !Get(p, kNorthing, &b_) || !Get(p, kZone, &zone_)) return Fail(p.error());
    } else if (!Get(p, kLatitude, &a_) || !Get(p, kLongitude, &b_)) {
      return Fail(p.error());
    }
    if (count == 3) {
      one_[0] = com::Variant::I2(1);
      if (!p.Invoke(ids_[kAltitude], com::kInvokeMethod, one_, &altitude_)) return Fail(p.error());
    }
    const double x = a_.AsR8(), y = b_.AsR8(), z = count == 3 ? altitude_.AsR8() : 0;
    if (!std::isfinite(x) || !std::isfinite(y) || (count == 3 && !std::isfinite(z)))
      return Fail("the conversion gives no finite result");
    if (!to_.grid && std::abs(x) > 90) return Fail("the conversion gives a latitude outside -90 to 90");
    const int decimals = to_.grid ? 3 : 9;
    Fixed(out, x, decimals);
    *out += ' ';
    Fixed(out, y, decimals);
    if (count == 3) {
      *out += ' ';
      Fixed(out, z, 3);
    }
    if (to_.grid && !zone_.AsBstr().empty()) {
      *out += ' ';
      *out += zone_.AsBstr();
    }
    return true;
  }

  CoordinateSystem from_, to_;
  // Latitude and longitude on the target's datum: a position that has been
  // put on the target grid and zone once can take every later line as it is
  // (putting the latitude and longitude is all a fresh copy would see
  // differently; the grid, zone and zone rule stay what the puts made them).
  // Other conversions start every line from a copy of the prototype.
  const bool reusable_;
  bool atTarget_ = false;     // position_ is on the target grid and zone
  bool altitudeSet_ = false;  // position_ holds a height from its last line
  Automation prototype_, position_;
  BoundMembers members_{"Copy", "Datum", "Grid", "Zone", "Easting", "Northing", "Latitude", "Longitude", "SetAltitude",
                        "Altitude"};
  const com::DispId* ids_ = nullptr;
  std::array<com::Variant, 1> one_;
  std::array<com::Variant, 2> two_;
  com::Variant a_, b_, zone_, altitude_;
  std::string message_;
};

}  // namespace

int ConvertCommand(const Args& args) {
  if (WantsHelp(args)) {
    std::cout << kHelp;
    return 0;
  }
  std::optional<CoordinateSystem> from, to;
  std::string file;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--list") {
      List();
      return 0;
    }
    if (a == "--from" || a == "--to") {
      if (i + 1 >= args.size()) {
        std::cerr << "zenolith convert: " << a << " needs a system\n";
        return 2;
      }
      std::string error;
      auto system = ParseSystem(args[++i], &error);
      if (!system) {
        std::cerr << "zenolith convert: " << Printable(error) << "\n";
        return 2;
      }
      (a == "--from" ? from : to) = system;
    } else if (file.empty() && (a.empty() || a[0] != '-')) {
      file = a;
    } else {
      std::cerr << "zenolith convert: unexpected argument '" << Printable(a) << "'\n";
      return 2;
    }
  }
  if (!from || !to) {
    std::cerr << "zenolith convert: give --from and --to (see --help)\n";
    return 2;
  }

  InputFile input(file);
  if (!input.ok()) {
    std::cerr << "zenolith convert: " << Printable(input.error()) << "\n";
    return 1;
  }

  com::CoInitializeEx();
  int status = 0;
  {
    Converter converter(*from, *to);
    std::string error;
    if (!converter.Prepare(&error)) {
      std::cerr << "zenolith convert: " << Printable(error) << "\n";
      status = 1;
    } else {
      bool failed = false;
      long number = 0;
      BlockWriter out(stdout);
      ForEachLine(input, [&](std::string_view line) {
        ++number;
        std::size_t i = 0;
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t' || line[i] == '\r')) ++i;
        if (i == line.size()) return;  // a blank line
        converter.Line(line, number, &failed, &out.text());
        out.text() += '\n';
        out.Done();
      });
      out.Flush();
      if (!input.ok()) {
        std::cerr << "zenolith convert: " << Printable(input.error()) << "\n";
        failed = true;
      }
      status = failed ? 1 : 0;
    }
  }
  com::CoFreeUnusedLibraries();
  com::CoUninitialize();
  return status;
}

}  // namespace zenolith::tools
