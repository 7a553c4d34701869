// The dispatch identifiers of the parser's event interface
// (_INmeaParserEvents), named after its members. The type library
// (ZenolithCE.tlb) carries the same values; a test keeps the two in step.
#pragma once

#include "platform/com/Types.h"

namespace zenolith {

enum NmeaParserEvent : com::DispId {
  kEventIdGeneric = 1,       // Generic(objSentence)
  kEventIdGGA = 2,           // GGA(objGGA, objSentence)
  kEventIdGLL = 3,           // GLL(objGLL, objSentence)
  kEventIdRMC = 4,           // RMC(objRMC, objSentence)
  kEventIdOnSatellites = 5,  // OnSatellites(objSatellites)
  kEventIdOnGpsFix = 6,      // OnGpsFix(objGpsFix)
  kEventIdOnMovement = 7,    // OnMovement(objMovement)
  kEventIdOnQuality = 8,     // OnQuality(objQuality)
  kEventIdOnComStatus = 9,   // OnComStatus(objComStatus)
};

}  // namespace zenolith
