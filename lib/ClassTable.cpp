#include "lib/ClassTable.h"

#include "lib/component/Identifiers.h"
#include "lib/geodesy/CustomDatum.h"
#include "lib/geodesy/CustomGrid.h"
#include "lib/geodesy/Position.h"
#include "lib/nmea/Decoded.h"
#include "lib/nmea/NmeaParser.h"
#include "lib/nmea/NmeaSentence.h"

namespace zenolith {
namespace {

// A class with a null create function would be registered (so clients see
// the whole library) without a class object.
constexpr ClassEntry kClasses[] = {
    {"NmeaParser", CLSID_NmeaParser, {}, &NmeaParser::Create},
    {"NmeaSentence", CLSID_NmeaSentence, {}, &NmeaSentence::Create},
    {"NmeaGGA", CLSID_NmeaGGA, {}, &NmeaGGA::Create},
    {"NmeaGLL", CLSID_NmeaGLL, {}, &NmeaGLL::Create},
    {"NmeaRMC", CLSID_NmeaRMC, {}, &NmeaRMC::Create},
    {"Position", CLSID_Position, {}, &Position::Create},
    {"Satellites", CLSID_Satellites, {}, &Satellites::Create},
    {"Satellite", CLSID_Satellite, {}, &Satellite::Create},
    {"Movement", CLSID_Movement, {}, &Movement::Create},
    {"Quality", CLSID_Quality, {}, &Quality::Create},
    {"GpsFix", CLSID_GpsFix, {}, &GpsFix::Create},
    {"ComStatus", CLSID_ComStatus, {}, &ComStatus::Create},
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
