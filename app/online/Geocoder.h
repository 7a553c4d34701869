// The geocoder: an address text in, a position out, through the relay action
// "gc" (kind 4). The reply is XML:
//
//   <reply><result id="0"/><Placemark><address>Hotel Atlantic, An der Alster 72,
//   20099 Hamburg</address><Point><coordinates>10.0062,53.5573,0</coordinates>
//   </Point></Placemark></reply>
//
// "coordinates" is longitude, latitude and altitude (degrees, degrees,
// metres); it makes the search a success. "address" becomes the point's name
// after two fixes (FixGeocodedAddress).
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "app/online/ReplyStream.h"
#include "app/online/WebServiceQueries.h"
#include "app/waypoints/GeoPoint.h"

namespace rovana {

class LanguageTable;

// "street, city, country", leaving out the empty fields.
std::string GeocoderAddress(std::string_view country, std::string_view city, std::string_view street);

struct GeocodeFind {
  bool found = false;  // the reply held coordinates
  GeoPoint point;      // radians and metres; named after the address
};

// Reads an opened reply; a reply that breaks off keeps what it had.
GeocodeFind ReadGeocodeReply(ReplyStream& reply);

// Characters U+FF80..U+FFFF (Latin-1 bytes the service widened with their
// sign) become U+0080..U+00FF again; genuine full-width text below U+FF80
// stays. Every ", " becomes a line break.
std::string FixGeocodedAddress(std::string_view utf8);

struct GeocodeResult {
  bool success = false;  // coordinates were found
  GeoPoint point;
  std::string text;      // what to show: the point's display name, not found, offline or failed
};

// Sends the "gc" request through `service` (blocks: call it off the
// user-interface thread) and reads the reply. `online` tells, after a
// failure, whether the device is online.
GeocodeResult Geocode(std::string_view address, const std::function<std::optional<std::string>(const ServiceAction&)>& service,
                      const LanguageTable& language, const std::function<bool()>& online);

}  // namespace rovana
