// British grid texts typed back: square letters to the square's corner, the
// page's own texts round-tripped for squares across the grid, the forms a
// user types (case, blanks, whole references, grid references of lower
// precision) and texts that must not read.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>

#include "app/coords/PositionText.h"

namespace {

using namespace rovana;

constexpr double kCentimetre = 0.005;  // the texts' precision: half a printed hundredth

TEST(BritishGridInput, SquareLettersGiveTheSquaresCorner) {
  struct Case {
    const char* letters;
    double easting, northing;
  } cases[] = {
      {"SV", 0, 0},          {"TQ", 500000, 100000}, {"tq", 500000, 100000}, {"Tq", 500000, 100000},
      {"NN", 200000, 700000}, {"HU", 400000, 1100000}, {"TG", 600000, 300000}, {"SE", 400000, 400000},
      {"OV", 500000, 500000}, {"JA", 500000, 1400000}, {"SZ", 400000, 0},       {"SA", 0, 400000},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.letters);
    const auto corner = BritishSquareCorner(c.letters);
    ASSERT_TRUE(corner.has_value());
    EXPECT_EQ(corner->easting, c.easting);
    EXPECT_EQ(corner->northing, c.northing);
  }
}

TEST(BritishGridInput, LettersTheTextsNeverShowHaveNoSquare) {
  const char* cases[] = {"TI", "IT", "VV", "QA", "RZ", "??", "?V", "T", "TQX", "", "T1", "Ä"};
  for (const char* letters : cases) {
    SCOPED_TRACE(letters);
    EXPECT_FALSE(BritishSquareCorner(letters).has_value());
  }
}

// What BritishGridTexts writes reads back as the coordinates it was written
// from, in every square it names, whatever northing the page showed before.
TEST(BritishGridInput, TheShownTextsRoundTrip) {
  struct Case {
    const char* name;
    double easting, northing;
  } cases[] = {
      {"London, TQ", 530000, 180000},
      {"Norwich, TG", 651409.903, 313177.270},
      {"Ben Nevis, NN", 216666, 771288},
      {"origin, SV", 0, 0},
      {"Shetland, HU", 446000, 1141000},
      {"Land's End, SW", 134250.5, 25100.75},
      {"Dover, TR", 632150.12, 141530.99},
      {"last centimetre of a square", 499999.99, 399999.99},
      {"first letter N, block north of S", 300000, 500000},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const BritishGridText t = BritishGridTexts(c.easting, c.northing);
    for (double shown : {0.0, 5e6, c.northing, -1.0}) {
      const BritishGridInput in = ReadBritishGridFields(t.northing, t.easting, shown, GridField::Other);
      EXPECT_TRUE(in.eastingRead && in.northingRead);
      EXPECT_NEAR(in.easting, c.easting, kCentimetre);
      EXPECT_NEAR(in.northing, c.northing, kCentimetre);
      EXPECT_FALSE(in.reference);
    }
  }
}

TEST(BritishGridInput, TypedForms) {
  struct Case {
    const char* name;
    const char* northing;
    const char* easting;
    double shown;  // the northing the page showed
    GridField edited;
    double expectEasting, expectNorthing;
    bool reference;
  } cases[] = {
      {"the page's texts", "BNG 80000.00", "TQ 30000.00", 0, GridField::Other, 530000, 180000, false},
      {"lower case and blanks", "  bng   80000.5 ", "\ttq  30000.25  ", 0, GridField::Easting, 530000.25, 180000.5,
       false},
      {"letters touching the numbers", "BNG80000", "TQ30000", 0, GridField::Northing, 530000, 180000, false},
      {"bare full numbers", "180000", "530000", 0, GridField::Other, 530000, 180000, false},
      {"letters alone: the square's corner", "BNG", "TQ", 0, GridField::Easting, 500000, 100000, false},
      {"BNG row from the shown northing", "BNG 80000", "530000", 150000.4, GridField::Northing, 530000, 180000,
       false},
      {"BNG row without letters or a shown northing", "BNG 80000", "530000", -5, GridField::Northing, 530000, 80000,
       false},
      {"whole reference in the easting field", "BNG 12345.00", "TQ 30000 80000", 0, GridField::Easting, 530000,
       180000, true},
      {"whole reference, decimals", "", "tq 30000.5  80000.25", 0, GridField::Other, 530000.5, 180000.25, true},
      {"whole reference, 1 km", "", "TQ 30 80", 0, GridField::Easting, 530000, 180000, true},
      {"whole reference, 10 m", "", "NN 1666 7128", 0, GridField::Easting, 216660, 771280, true},
      {"whole reference, unequal digits are metres", "", "TQ 30000 800", 0, GridField::Easting, 530000, 100800,
       true},
      {"whole reference, the northing typed wins", "BNG 70000", "TQ 30000 80000", 0, GridField::Northing, 530000,
       170000, true},
      {"whole reference in the northing field", "TQ 30000 80000", "1", 0, GridField::Northing, 530000, 180000,
       true},
      {"reference in the northing field, the easting typed wins", "TQ 30000 80000", "TQ 40000", 0,
       GridField::Easting, 540000, 180000, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const BritishGridInput in = ReadBritishGridFields(c.northing, c.easting, c.shown, c.edited);
    EXPECT_TRUE(in.eastingRead);
    EXPECT_TRUE(in.northingRead);
    EXPECT_NEAR(in.easting, c.expectEasting, 1e-6);
    EXPECT_NEAR(in.northing, c.expectNorthing, 1e-6);
    EXPECT_EQ(in.reference, c.reference);
  }
}

// An easting field that does not read is 0 and says so; the northing still
// reads (its row from the shown northing).
TEST(BritishGridInput, EastingTextsThatDoNotRead) {
  const char* cases[] = {"TI 30000",   "VV 100",     "?? 30000.00", "TQ 100000", "TQ 1 2 3", "TQ 30000m",
                         "TQ 3.0.0",   "TQ -5",      "BNG 30000",   "T 30000",   "TQX 3",    "TQ 30000 100000",
                         "TQ ,5",      "TQ 1e3",     "TQ 30000,5"};
  for (const char* text : cases) {
    SCOPED_TRACE(text);
    const BritishGridInput in = ReadBritishGridFields("BNG 80000", text, 120000, GridField::Easting);
    EXPECT_FALSE(in.eastingRead);
    EXPECT_EQ(in.easting, 0);
    EXPECT_TRUE(in.northingRead);
    EXPECT_EQ(in.northing, 180000);
    EXPECT_FALSE(in.reference);
  }
}

TEST(BritishGridInput, NorthingTextsThatDoNotRead) {
  const char* cases[] = {"TQ 80000", "BN 80000", "BNG 100000", "BNG 1 2", "BNGX 5", "BNG -3", "BNG 80000 m"};
  for (const char* text : cases) {
    SCOPED_TRACE(text);
    const BritishGridInput in = ReadBritishGridFields(text, "TQ 30000", 0, GridField::Northing);
    EXPECT_FALSE(in.northingRead);
    EXPECT_EQ(in.northing, 0);
    EXPECT_TRUE(in.eastingRead);
    EXPECT_EQ(in.easting, 530000);
  }
}

// Whatever is typed, the reading ends with finite coordinates and an unread
// field counts 0.
TEST(BritishGridInput, RandomTextsNeverBreakTheReading) {
  std::mt19937 random(20240611);
  const std::string alphabet = "TQBNGIV?tqbng0123456789. .\t-e,x\xC3\xA4";
  std::uniform_int_distribution<std::size_t> pick(0, alphabet.size() - 1), length(0, 24);
  for (int i = 0; i < 20000; ++i) {
    std::string texts[2];
    for (std::string& t : texts)
      for (std::size_t n = length(random); n > 0; --n) t += alphabet[pick(random)];
    const BritishGridInput in =
        ReadBritishGridFields(texts[0], texts[1], i % 2 ? 250000.0 : NAN, static_cast<GridField>(i % 3));
    SCOPED_TRACE("'" + texts[0] + "' '" + texts[1] + "'");
    ASSERT_TRUE(std::isfinite(in.easting) && std::isfinite(in.northing));
    if (!in.eastingRead) {
      ASSERT_EQ(in.easting, 0);
    }
    if (!in.northingRead) {
      ASSERT_EQ(in.northing, 0);
    }
  }
}

}  // namespace
