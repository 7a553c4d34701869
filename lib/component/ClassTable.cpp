#include "lib/component/ClassTable.h"

#include "lib/component/Identifiers.h"
#include "lib/geodesy/CustomDatum.h"
#include "lib/geodesy/CustomGrid.h"
#include "lib/geodesy/Position.h"

namespace zenolith {
namespace {

// Classes with a null create function are registered (so clients see the
// whole library) but their class object is not available yet.
constexpr ClassEntry kClasses[] = {
    {"NmeaParser", CLSID_NmeaParser, {}, nullptr},
    {"NmeaSentence", CLSID_NmeaSentence, {}, nullptr},
    {"NmeaGGA", CLSID_NmeaGGA, {}, nullptr},
    {"NmeaGLL", CLSID_NmeaGLL, {}, nullptr},
    {"NmeaRMC", CLSID_NmeaRMC, {}, nullptr},
    {"Position", CLSID_Position, {}, &Position::Create},
    {"Satellites", CLSID_Satellites, {}, nullptr},
    {"Satellite", CLSID_Satellite, {}, nullptr},
    {"Movement", CLSID_Movement, {}, nullptr},
    {"Quality", CLSID_Quality, {}, nullptr},
    {"GpsFix", CLSID_GpsFix, {}, nullptr},
    {"ComStatus", CLSID_ComStatus, {}, nullptr},
    {"CustomGrid", CLSID_CustomGrid, "Free", &CustomGrid::Create},
    {"CustomDatum", CLSID_CustomDatum, "Free", &CustomDatum::Create},
};

}  // namespace

std::span<const ClassEntry> Classes() { return kClasses; }

const ClassEntry* FindClass(const com::CLSID& clsid) {
  for (const ClassEntry& entry : kClasses)
    if (entry.clsid == clsid) return &entry;
  return nullptr;
}

}  // namespace zenolith
