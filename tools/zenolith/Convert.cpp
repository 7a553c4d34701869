// zenolith convert: a cs2cs-like converter between the library's datums and
// grids, one coordinate per line, through Position objects created by ProgID.
#include <charconv>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <sstream>

#include "platform/com/Runtime.h"
#include "tools/zenolith/Automation.h"
#include "tools/zenolith/Commands.h"
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
    "datum. A line that fails prints 'error: MESSAGE' and the conversion goes on.\n"
    "--list prints the datums and grids with their numbers.\n";

void List() {
  std::cout << "datums:\n";
  for (const NamedId& d : DatumNames()) std::cout << "  " << d.id << " " << d.name << "\n";
  std::cout << "grids:\n";
  for (const NamedId& g : GridNames()) std::cout << "  " << g.id << " " << g.name << "\n";
}

// Reads two or three numbers; false when the line holds anything else.
bool ReadNumbers(const std::string& line, double values[3], int* count) {
  std::istringstream in(line);
  std::string word;
  *count = 0;
  while (in >> word) {
    if (*count == 3) return false;
    double v = 0;
    const char* first = word.data() + (word[0] == '+' ? 1 : 0);
    auto [end, ec] = std::from_chars(first, word.data() + word.size(), v);
    if (ec != std::errc() || end != word.data() + word.size()) return false;
    values[(*count)++] = v;
  }
  return *count >= 2;
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

  std::string Line(const std::string& line) {
    double values[3] = {};
    int count = 0;
    if (!ReadNumbers(line, values, &count))
      return "error: expected two or three numbers: " + std::string(from_.grid ? "easting northing" : "latitude longitude") +
             " [altitude]";
    com::Variant copy;
    if (!prototype_.Call("Copy", {}, &copy)) return "error: " + prototype_.error();
    com::ComPtr<com::IDispatch> object;
    copy.ToDispatch(&object);
    Automation p(object);
    const bool ok = from_.grid ? p.Put("Easting", com::Variant::R8(values[0])) && p.Put("Northing", com::Variant::R8(values[1]))
                               : p.Put("Latitude", com::Variant::R8(values[0])) &&
                                     p.Put("Longitude", com::Variant::R8(values[1]));
    if (!ok || (count == 3 && !p.Call("SetAltitude", {com::Variant::I2(1), com::Variant::R8(values[2])})))
      return "error: " + p.error();
    if (to_.datum != from_.datum && !p.Put("Datum", com::Variant::I2(to_.datum))) return "error: " + p.error();
    if (to_.grid != from_.grid && !p.Put("Grid", com::Variant::I2(to_.grid))) return "error: " + p.error();
    if (to_.hasZone && !p.Put("Zone", com::Variant::I2(to_.zone))) return "error: " + p.error();

    com::Variant a, b, altitude, zone;
    std::string out;
    if (to_.grid) {
      if (!p.Get("Easting", &a) || !p.Get("Northing", &b) || !p.Get("Zone", &zone)) return "error: " + p.error();
      out = Fixed(a.AsR8(), 3) + " " + Fixed(b.AsR8(), 3);
    } else {
      if (!p.Get("Latitude", &a) || !p.Get("Longitude", &b)) return "error: " + p.error();
      out = Fixed(a.AsR8(), 9) + " " + Fixed(b.AsR8(), 9);
    }
    if (count == 3) {
      if (!p.Call("Altitude", {com::Variant::I2(1)}, &altitude)) return "error: " + p.error();
      out += " " + Fixed(altitude.AsR8(), 3);
    }
    if (to_.grid && !zone.AsBstr().empty()) out += " " + zone.AsBstr();
    return out;
  }

 private:
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
        std::cerr << "zenolith convert: " << error << "\n";
        return 2;
      }
      (a == "--from" ? from : to) = system;
    } else if (file.empty() && (a.empty() || a[0] != '-')) {
      file = a;
    } else {
      std::cerr << "zenolith convert: unexpected argument '" << a << "'\n";
      return 2;
    }
  }
  if (!from || !to) {
    std::cerr << "zenolith convert: give --from and --to (see --help)\n";
    return 2;
  }

  std::ifstream fileStream;
  if (!file.empty()) {
    fileStream.open(file);
    if (!fileStream) {
      std::cerr << "zenolith convert: cannot open " << file << "\n";
      return 1;
    }
  }
  std::istream& in = file.empty() ? std::cin : fileStream;

  com::CoInitializeEx();
  int status = 0;
  {
    Converter converter(*from, *to);
    std::string error;
    if (!converter.Prepare(&error)) {
      std::cerr << "zenolith convert: " << error << "\n";
      status = 1;
    } else {
      for (std::string line; std::getline(in, line);) {
        if (line.find_first_not_of(" \t\r") == std::string::npos) continue;
        std::cout << converter.Line(line) << "\n";
      }
    }
  }
  com::CoFreeUnusedLibraries();
  com::CoUninitialize();
  return status;
}

}  // namespace zenolith::tools
