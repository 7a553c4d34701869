// zenolith convert: a cs2cs-like converter between the library's datums and
// grids, one coordinate per line, through Position objects created by ProgID.
#include <cmath>
#include <cstdio>
#include <iostream>
#include <string_view>

#include "platform/com/Runtime.h"
#include "tools/zenolith/Automation.h"
#include "tools/zenolith/Commands.h"
#include "tools/zenolith/ConvertLine.h"
#include "tools/zenolith/Input.h"
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

void List() {
  std::cout << "datums:\n";
  for (const NamedId& d : DatumNames()) std::cout << "  " << d.id << " " << d.name << "\n";
  std::cout << "grids:\n";
  for (const NamedId& g : GridNames()) std::cout << "  " << g.id << " " << g.name << "\n";
}

std::string Fixed(double v, int decimals) {
  char text[64];
  std::snprintf(text, sizeof text, "%.*f", decimals, v);
  return text;
}

class Converter {
 public:
  Converter(const CoordinateSystem& from, const CoordinateSystem& to) : from_(from), to_(to) {}

  // Builds the template position every line starts from; false when the
  // library cannot give one.
  bool Prepare(std::string* error) {
    if (!prototype_.Create("ZenolithCE.Position")) {
      *error = prototype_.error();
      return false;
    }
    // The position is still empty, so these only label it.
    if (!prototype_.Put("Datum", com::Variant::I2(from_.datum)) ||
        (from_.grid && !prototype_.Put("Grid", com::Variant::I2(from_.grid))) ||
        (from_.hasZone && !prototype_.Put("Zone", com::Variant::I2(from_.zone)))) {
      *error = prototype_.error();
      return false;
    }
    return true;
  }

  // The converted line, or "error: line N: MESSAGE" (and *failed set).
  std::string Line(std::string_view line, long number, bool* failed) {
    std::string out;
    if (Convert(line, &out)) return out;
    *failed = true;
    return "error: line " + std::to_string(number) + ": " + Printable(out);
  }

 private:
  static bool Fail(std::string* out, std::string message) {
    *out = std::move(message);
    return false;
  }

  // False with the raw message in *out when the line does not convert.
  bool Convert(std::string_view line, std::string* out) {
    const CoordinateLine input = ParseCoordinateLine(line, from_.grid != 0);
    if (!input.error.empty()) return Fail(out, input.error);
    const double* values = input.values;
    const int count = input.count;
    com::Variant copy;
    if (!prototype_.Call("Copy", {}, &copy)) return Fail(out, prototype_.error());
    com::ComPtr<com::IDispatch> object;
    copy.ToDispatch(&object);
    Automation p(object);
    const bool ok = from_.grid ? p.Put("Easting", com::Variant::R8(values[0])) && p.Put("Northing", com::Variant::R8(values[1]))
                               : p.Put("Latitude", com::Variant::R8(values[0])) &&
                                     p.Put("Longitude", com::Variant::R8(values[1]));
    if (!ok || (count == 3 && !p.Call("SetAltitude", {com::Variant::I2(1), com::Variant::R8(values[2])})))
      return Fail(out, p.error());
    if (to_.datum != from_.datum && !p.Put("Datum", com::Variant::I2(to_.datum))) return Fail(out, p.error());
    if (to_.grid != from_.grid && !p.Put("Grid", com::Variant::I2(to_.grid))) return Fail(out, p.error());
    if (to_.hasZone && !p.Put("Zone", com::Variant::I2(to_.zone))) return Fail(out, p.error());

    com::Variant a, b, altitude, zone;
    if (to_.grid) {
      if (!p.Get("Easting", &a) || !p.Get("Northing", &b) || !p.Get("Zone", &zone)) return Fail(out, p.error());
    } else if (!p.Get("Latitude", &a) || !p.Get("Longitude", &b)) {
      return Fail(out, p.error());
    }
    if (count == 3 && !p.Call("Altitude", {com::Variant::I2(1)}, &altitude)) return Fail(out, p.error());
    const double x = a.AsR8(), y = b.AsR8(), z = altitude.AsR8();
    if (!std::isfinite(x) || !std::isfinite(y) || (count == 3 && !std::isfinite(z)))
      return Fail(out, "the conversion gives no finite result");
    if (!to_.grid && std::abs(x) > 90) return Fail(out, "the conversion gives a latitude outside -90 to 90");
    *out = to_.grid ? Fixed(x, 3) + " " + Fixed(y, 3) : Fixed(x, 9) + " " + Fixed(y, 9);
    if (count == 3) *out += " " + Fixed(z, 3);
    if (to_.grid && !zone.AsBstr().empty()) *out += " " + zone.AsBstr();
    return true;
  }

  CoordinateSystem from_, to_;
  Automation prototype_;
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
      for (std::string line; std::getline(input.stream(), line);) {
        ++number;
        if (line.find_first_not_of(" \t\r") == std::string::npos) continue;
        std::cout << converter.Line(line, number, &failed) << "\n";
      }
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
