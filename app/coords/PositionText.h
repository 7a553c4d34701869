// Position texts: the five display modes of a latitude or longitude, the
// British grid's 100-km square letters, and reading what the user typed.
//
// Angles come in radians; texts use the C locale whatever the process locale
// is, and the degree sign is U+00B0. Values are rounded to the precision they
// are printed with before minutes and seconds are carried, so a text never
// reads "60.00" seconds or "60.000" minutes.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace rovana {

class LanguageTable;

// The display modes (setting locatorTab) and the pages of the position-entry
// dialog, in that order.
enum class DisplayMode : int {
  Degrees = 0,    // "51.50000000N"
  DegMin = 1,     // "51°30.000'N"
  DegMinSec = 2,  // "51°30'00.00\"N"
  Grid = 3,       // northing and easting "%.2f" (British grid: square letters)
  Signed = 4,     // "-0.11666667"
};
inline constexpr int kDisplayModes = 5;
// The mode a setting value selects: values outside 0 to 4 select DegMin, the
// setting's default.
DisplayMode DisplayModeOf(int locatorTab);

inline constexpr std::string_view kDegreeSign = "\u00B0";

// The hemisphere letters of the language file (N, S, E, W in English).
struct HemisphereLetters {
  std::string north = "N", south = "S", east = "E", west = "W";
};
HemisphereLetters HemisphereLettersOf(const LanguageTable& language);

// One angle as the dialog's fields hold it. Modes 0 and 4 use `degrees`
// alone (decimal degrees, unsigned in mode 0, signed in mode 4); mode 1
// whole degrees and decimal minutes; mode 2 whole degrees, whole minutes and
// decimal seconds. `negative` is the southern or western hemisphere (always
// false in mode 4, where the sign is in the text).
struct AngleFields {
  std::string degrees, minutes, seconds;
  bool negative = false;
};

// The fields of `radians` in `mode` (Grid counts as Degrees): "%.8f" decimal
// degrees; "%d" and "%06.3f" minutes; "%d", "%02d" and "%05.2f" seconds.
AngleFields AngleFieldsOf(double radians, DisplayMode mode);
// The locator box text of an angle: the fields joined with the degree sign,
// the minute and second marks and the hemisphere letter (`positive` for
// north or east, `negative` for south or west).
std::string FormatAngle(double radians, DisplayMode mode, std::string_view positive, std::string_view negative);
// What the fields mean, in radians: degrees + minutes/60 + seconds/3600,
// negated for the southern or western hemisphere. Degrees and whole minutes
// are read as "%d", decimal values as "%lf" (at most 40 characters); a field
// that does not read counts 0.
double AngleOfFields(const AngleFields& fields, DisplayMode mode);

// What "%d" reads from the start of `text` (leading blanks, a sign, digits;
// clamped to the int range); 0 when nothing reads.
int ReadInteger(std::string_view text);
// ReadNumber of at most the first 40 characters, as the dialog's "%lf".
double ReadDecimal(std::string_view text);

// The British National Grid's square texts for easting E and northing N
// (metres on BRITISH_GRID): `letters` are the two 100-km square letters, "?"
// for a letter outside the table (E or N negative, or beyond 2500 km);
// `northing` is "BNG %.2f" and `easting` "%s %.2f" with the letters, each of
// the coordinate's remainder by 100 km (fractional metres included).
struct BritishGridText {
  std::string letters, northing, easting;
};
BritishGridText BritishGridTexts(double easting, double northing);

// The south-west corner (metres) of a 100-km square: the inverse of the
// letters BritishGridTexts writes, read in either case. Empty for letters it
// never writes ("I", a first letter west or south of the grid such as "V",
// "?").
struct GridCorner {
  double easting = 0, northing = 0;
};
std::optional<GridCorner> BritishSquareCorner(std::string_view letters);

// The full easting and northing (metres on BRITISH_GRID) of the grid page's
// two fields, as the British grid shows them or as the user types them:
// - easting field: "TQ 30000.00" (square letters and metres east inside the
//   square; "TQ" alone is the square's west edge), a whole reference "TQ
//   30000 80000" that gives both coordinates, or a bare full easting;
// - northing field: "BNG 80000.00" (metres north inside the square), a whole
//   reference as above, or a bare full northing.
// Letters and "BNG" in either case, blanks anywhere between the parts, and
// the letters may touch their number. Numbers inside a square are metres
// from 0 to under 100 km, digits with at most one decimal point; a whole
// reference of two whole numbers with the same count of digits (1 to 5) is a
// grid reference of that precision ("TQ 30 80" is 530000, 180000). The
// 100-km row of a "BNG" northing comes from the easting field's letters,
// without letters there from `shownNorthing` (the northing the page showed;
// row 0 when it is negative or not finite). A text that begins with a digit,
// a sign or a point is a bare number, read as ReadDecimal reads it.
// A text with letters that does not read (unknown letters, "BNG" in the
// easting field, letters without "BNG" in the northing field, a number
// outside its square, a third number, anything after the numbers) gives 0
// for its coordinate and false in northingRead / eastingRead.
// A whole reference in the field being typed in (`edited`; `Other` for an
// edit elsewhere, which lets a reference in either field decide) gives both
// coordinates; one in the other field gives only its own axis. `reference`
// says that a field held one, so the caller shows the other field again.
enum class GridField { Other, Northing, Easting };
struct BritishGridInput {
  double northing = 0, easting = 0;
  bool northingRead = false, eastingRead = false;
  bool reference = false;
};
BritishGridInput ReadBritishGridFields(std::string_view northingField, std::string_view eastingField,
                                       double shownNorthing, GridField edited);

// "%.2f" of a grid coordinate in the C locale.
std::string FormatGridCoordinate(double metres);

}  // namespace rovana
