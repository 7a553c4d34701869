#!/usr/bin/env python3
"""Generates lib/geodesy/StatePlane.cpp, the State Plane zone tables of 1927 and
1983, from the EPSG dataset that PROJ ships (proj.db, read with sqlite3).

Every zone code is mapped to its EPSG conversion (1XXYY for SPCS27 zone XXYY,
1XXYY + 30 for the SPCS83 metre definition; a few codes follow EPSG's
replacement of a deprecated record), the conversion's name is checked against
the zone, parameter units are taken from the database (sexagesimal DDD.MMSS
angles, US survey feet) and converted to decimal degrees and metres, and the
records are written in the tables' published order. A report of every zone
whose record deviates from the EPSG definition is printed; the script exits
non-zero when a name does not match its code, a unit or method is unknown, or
a reference row comes out different.

Needs only the Python standard library (sqlite3). Usage:

    python3 tools/spcs/make_state_plane.py                 # write the file
    python3 tools/spcs/make_state_plane.py --check         # compare only
"""

import argparse
import math
import os
import shutil
import sqlite3
import subprocess
import sys
from fractions import Fraction

REPO = os.path.normpath(os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", ".."))
DEFAULT_DB = "/usr/share/proj/proj.db"
DEFAULT_OUT = os.path.join(REPO, "lib", "geodesy", "StatePlane.cpp")

# Zone codes in the order of the two tables.
CODES_1927 = [
    101, 102, 5001, 5002, 5003, 5004, 5005, 5006, 5007, 5008, 5009, 5010, 201, 202, 203, 301, 302,
    401, 402, 403, 404, 405, 406, 407, 501, 502, 503, 600, 700, 901, 902, 903, 1001, 1002, 5101,
    5102, 5103, 5104, 5105, 1101, 1102, 1103, 1201, 1202, 1301, 1302, 1401, 1402, 1501, 1502, 1601,
    1602, 1701, 1702, 1703, 1801, 1802, 1900, 2001, 2002, 2101, 2102, 2103, 2111, 2112, 2113, 2201,
    2202, 2203, 2301, 2302, 2401, 2402, 2403, 2501, 2502, 2503, 2601, 2602, 2701, 2702, 2703, 2800,
    2900, 3001, 3002, 3003, 3101, 3102, 3103, 3104, 3200, 3301, 3302, 3401, 3402, 3501, 3502, 3601,
    3602, 3701, 3702, 3800, 3901, 3902, 4001, 4002, 4100, 4201, 4202, 4203, 4204, 4205, 4301, 4302,
    4303, 4400, 4501, 4502, 4601, 4602, 4701, 4702, 4801, 4802, 4803, 4901, 4902, 4903, 4904, 5201,
    5202,
]
CODES_1983 = [
    101, 102, 5001, 5002, 5003, 5004, 5005, 5006, 5007, 5008, 5009, 5010, 201, 202, 203, 301, 302,
    401, 402, 403, 404, 405, 406, 501, 502, 503, 600, 700, 901, 902, 903, 1001, 1002, 5101, 5102,
    5103, 5104, 5105, 1101, 1102, 1103, 1201, 1202, 1301, 1302, 1401, 1402, 1501, 1502, 1600, 1601,
    1602, 1701, 1702, 1703, 1801, 1802, 1900, 2001, 2002, 2111, 2112, 2113, 2201, 2202, 2203, 2300,
    2301, 2302, 2401, 2402, 2403, 2500, 2600, 2701, 2702, 2703, 2800, 2900, 3001, 3002, 3003, 3101,
    3102, 3103, 3104, 3200, 3301, 3302, 3401, 3402, 3501, 3502, 3601, 3602, 3701, 3702, 3800, 3900,
    4001, 4002, 4100, 4201, 4202, 4203, 4204, 4205, 4301, 4302, 4303, 4400, 4501, 4502, 4601, 4602,
    4701, 4702, 4801, 4802, 4803, 4901, 4902, 4903, 4904, 5200,
]

# State (or territory) of each two-digit code prefix.
STATES = {
    1: "Alabama", 2: "Arizona", 3: "Arkansas", 4: "California", 5: "Colorado", 6: "Connecticut",
    7: "Delaware", 9: "Florida", 10: "Georgia", 11: "Idaho", 12: "Illinois", 13: "Indiana",
    14: "Iowa", 15: "Kansas", 16: "Kentucky", 17: "Louisiana", 18: "Maine", 19: "Maryland",
    20: "Massachusetts", 21: "Michigan", 22: "Minnesota", 23: "Mississippi", 24: "Missouri",
    25: "Montana", 26: "Nebraska", 27: "Nevada", 28: "New Hampshire", 29: "New Jersey",
    30: "New Mexico", 31: "New York", 32: "North Carolina", 33: "North Dakota", 34: "Ohio",
    35: "Oklahoma", 36: "Oregon", 37: "Pennsylvania", 38: "Rhode Island", 39: "South Carolina",
    40: "South Dakota", 41: "Tennessee", 42: "Texas", 43: "Utah", 44: "Vermont", 45: "Virginia",
    46: "Washington", 47: "West Virginia", 48: "Wisconsin", 49: "Wyoming", 50: "Alaska",
    51: "Hawaii", 52: "Puerto Rico",
}
# Zone word of each two-digit zone number where it is a direction; numbered
# zones (Alaska, California, Hawaii) and single-zone states have none here.
ZONE_WORDS = {
    101: "East", 102: "West", 201: "East", 202: "Central", 203: "West", 301: "North",
    302: "South", 501: "North", 502: "Central", 503: "South", 901: "East", 902: "West",
    903: "North", 1001: "East", 1002: "West", 1101: "East", 1102: "Central", 1103: "West",
    1201: "East", 1202: "West", 1301: "East", 1302: "West", 1401: "North", 1402: "South",
    1501: "North", 1502: "South", 1600: "Single", 1601: "North", 1602: "South", 1701: "North",
    1702: "South", 1703: "Offshore", 1801: "East", 1802: "West", 2001: "Mainland", 2002: "Island",
    2101: "East", 2102: "Old Central", 2103: "West", 2111: "North", 2112: "Central", 2113: "South",
    2201: "North", 2202: "Central", 2203: "South", 2300: "Transverse Mercator", 2301: "East",
    2302: "West", 2401: "East", 2402: "Central", 2403: "West", 2501: "North", 2502: "Central",
    2503: "South", 2601: "North", 2602: "South", 2701: "East", 2702: "Central", 2703: "West",
    3001: "East", 3002: "Central", 3003: "West", 3101: "East", 3102: "Central", 3103: "West",
    3104: "Long Island", 3301: "North", 3302: "South", 3401: "North", 3402: "South",
    3501: "North", 3502: "South", 3601: "North", 3602: "South", 3701: "North", 3702: "South",
    3901: "North", 3902: "South", 4001: "North", 4002: "South", 4201: "North",
    4202: "North Central", 4203: "Central", 4204: "South Central", 4205: "South", 4301: "North",
    4302: "Central", 4303: "South", 4501: "North", 4502: "South", 4601: "North", 4602: "South",
    4701: "North", 4702: "South", 4801: "North", 4802: "Central", 4803: "South", 4901: "East",
    4902: "East Central", 4903: "West Central", 4904: "West",
}
# Where EPSG names the area of a zone other than by its state.
REGION_NAMES = {(1927, 5201): "Puerto Rico", (1927, 5202): "St. Croix",
                (1983, 5200): "Puerto Rico & Virgin Islands"}

# EPSG conversions that stand for a zone instead of the 1XXYY (+30) record:
# EPSG deprecated the record at that code and published a corrected one
# elsewhere, or the code has no record of its own.
REPLACEMENTS = {
    (1927, 407): (10408, "EPSG 10407 is deprecated"),
    (1927, 2111): (6965, "EPSG 12111 is deprecated"),
    (1927, 2112): (6198, "EPSG 12112 is deprecated"),
    (1927, 2113): (6199, "EPSG 12113 is deprecated"),
    (1927, 3104): (4454, "EPSG 13104 is deprecated"),
    (1927, 3702): (4436, "EPSG 13702 is deprecated"),
    (1927, 4100): (15302, "EPSG 14100 is deprecated"),
    (1983, 1601): (15303, "EPSG 11631 is deprecated"),
    (1983, 2300): (3813, "SPCS83 has no zone 2300 (EPSG 12330 does not exist); Mississippi's "
                         "statewide NAD 83 system, Mississippi Transverse Mercator, stands for it"),
}

# Datum of each 1927 zone by state prefix. The four NAD 27 datums of the
# catalogue carry the regional shifts of NIMA TR 8350.2 (Appendix B), and the
# states are split as that publication splits them: "Eastern US" for the
# states east of the Mississippi plus Louisiana, Minnesota and Missouri,
# "Western US" for the other conterminous states, Alaska for Alaska. Hawaii
# and Puerto Rico/St. Croix were never on NAD 27 (Old Hawaiian and Puerto
# Rico datums, both on Clarke 1866) and have no regional value: they take the
# CONUS mean.
NAD27_ALASKA, NAD27_EAST, NAD27_CONUS, NAD27_WEST, NAD83 = 20, 21, 22, 23, 19
DATUM_NAMES = {19: "kNad83", 20: "kNad27Alaska", 21: "kNad27East", 22: "kNad27Conus", 23: "kNad27West"}
EAST_STATES = {1, 6, 7, 9, 10, 12, 13, 16, 17, 18, 19, 20, 21, 22, 23, 24, 28, 29, 31, 32, 34, 37,
               38, 39, 41, 44, 45, 47, 48}
WEST_STATES = {2, 3, 4, 5, 11, 14, 15, 25, 26, 27, 30, 33, 35, 36, 40, 42, 43, 46, 49}
OTHER_STATES = {50: NAD27_ALASKA, 51: NAD27_CONUS, 52: NAD27_CONUS}

ALG_OBLIQUE, ALG_TM, ALG_LAMBERT = 2, 3, 5
# Alaska zone 1 is a Hotine oblique Mercator; the tables carry it as the
# oblique conformal cylindrical projection (algorithm 2) about the projection
# centre, with these false origins.
ALASKA1_FALSE_ORIGIN = {1927: (Fraction(0), Fraction(0)), 1983: (Fraction(5000000), Fraction(-5000000))}

# EPSG method and parameter codes.
M_TM, M_LCC2SP, M_LCC2SP_MICHIGAN, M_HOM_A = 9807, 9802, 1051, 9812
P_LAT_NAT, P_LON_NAT, P_K_NAT, P_FE, P_FN = 8801, 8802, 8805, 8806, 8807
P_LAT_FO, P_LON_FO, P_SP1, P_SP2, P_E_FO, P_N_FO = 8821, 8822, 8823, 8824, 8826, 8827
P_LAT_C, P_LON_C, P_K_C, P_ELLIPSOID_FACTOR = 8811, 8812, 8815, 1038
UNIT_SEXAGESIMAL_DMS, UNIT_US_FOOT = 9110, 9003
CLARKE_1866 = 7008

# Rows whose values are fixed beforehand; lengths to 4 decimals, angles to
# 1e-10 degrees: (table, code, datum, algorithm, FE, FN, lon0, lat0, k, sp1, sp2).
REFERENCE_ROWS = [
    (1927, 101, 21, 3, 152400.3048, 0, -85.8333333333, 30.5, 0.99996, 0, 0),
    (1927, 5001, 20, 2, 0, 0, -133.6666666667, 57, 0.9999, 0, 0),
    (1927, 405, 23, 5, 609601.2192, 0, -118, 33.5, 1, 34.0333333333, 35.4666666667),
    (1927, 407, 23, 5, 1276106.4506, 1268253.0069, -118.3333333333, 34.1333333333, 1,
     33.8666666667, 34.4166666667),
    (1983, 101, 19, 3, 200000, 0, -85.8333333333, 30.5, 0.99996, 0, 0),
    (1983, 5001, 19, 2, 5000000, -5000000, -133.6666666667, 57, 0.9999, 0, 0),
    (1983, 4203, 19, 5, 700000, 3000000, -100.3333333333, 29.6666666667, 1, 30.1166666667,
     31.8833333333),
]


class Fail(Exception):
    pass


def zone_label(table, code):
    """'Alabama East', 'California Zone 7', 'Connecticut'."""
    if (table, code) in REGION_NAMES:
        return REGION_NAMES[(table, code)]
    state = STATES[code // 100]
    if code in ZONE_WORDS:
        return f"{state} {ZONE_WORDS[code]}"
    if code % 100 == 0:
        return state
    return f"{state} Zone {code % 100}"


ROMAN = {"I": "1", "II": "2", "III": "3", "IV": "4", "V": "5", "VI": "6", "VII": "7", "VIII": "8",
         "IX": "9", "X": "10"}


def name_matches(table, code, epsg_name):
    """Whether an EPSG conversion name ('Alabama CS27 East zone', 'SPCS83
    California zone 1 (meters)', 'Michigan State Plane Old Central zone')
    names this zone."""
    name = epsg_name
    for prefix in ("SPCS83 ",):
        if name.startswith(prefix):
            name = name[len(prefix):]
    for suffix in (" (meters)",):
        if name.endswith(suffix):
            name = name[: -len(suffix)]
    region = REGION_NAMES.get((table, code), STATES[code // 100])
    if not name.startswith(region + " ") and name != region:
        return False
    words = [w for w in name[len(region):].split()
             if w not in ("CS27", "CS83", "zone", "Zone", "Coordinate", "System", "State", "Plane")]
    words = [ROMAN.get(w, w) for w in words]
    residual = " ".join(words)
    if (table, code) in REGION_NAMES:
        expected = ""
    elif code in ZONE_WORDS:
        expected = ZONE_WORDS[code]
    elif code % 100 == 0:
        expected = ""
    else:
        expected = str(code % 100)
    return residual == expected


def epsg_code(table, code):
    if (table, code) in REPLACEMENTS:
        return REPLACEMENTS[(table, code)][0]
    return 10000 + code + (30 if table == 1983 else 0)


def sexagesimal_to_degrees(value):
    """EPSG unit 9110: sign, degrees, then two digits of minutes and the
    seconds with their decimals (30.3 is 30°30', 323.07483685 is
    323°07'48.3685"). Exact, as a Fraction."""
    sign = -1 if value < 0 else 1
    text = f"{abs(value):.12f}".rstrip("0")
    whole, _, frac = text.partition(".")
    frac = frac.ljust(4, "0")
    minutes = int(frac[0:2])
    seconds = Fraction(frac[2:4] + "." + (frac[4:] or "0"))
    if minutes >= 60 or seconds >= 60:
        raise Fail(f"{value} is not a DDD.MMSS value")
    return sign * (int(whole) + Fraction(minutes, 60) + seconds / 3600)


class Database:
    def __init__(self, path):
        if not os.path.exists(path):
            raise Fail(f"{path} not found (Debian: apt-get install proj-data)")
        self.db = sqlite3.connect(f"file:{path}?mode=ro", uri=True)
        self.units = {}
        for code, name, kind, factor in self.db.execute(
                "SELECT code, name, type, conv_factor FROM unit_of_measure WHERE auth_name='EPSG'"):
            self.units[int(code)] = (name, kind, factor)

    def version(self):
        rows = dict(self.db.execute("SELECT key, value FROM metadata"))
        return rows.get("EPSG.VERSION", "?"), rows.get("PROJ.VERSION", "?")

    def conversion(self, code):
        cols = ["name", "method_code", "deprecated"]
        for i in range(1, 8):
            cols += [f"param{i}_code", f"param{i}_value", f"param{i}_uom_code"]
        row = self.db.execute(
            f"SELECT {', '.join(cols)} FROM conversion_table WHERE auth_name='EPSG' AND code=?",
            (code,)).fetchone()
        if row is None:
            return None
        params = {}
        for i in range(7):
            pcode, value, uom = row[3 + 3 * i: 6 + 3 * i]
            if pcode is not None:
                params[int(pcode)] = (value, int(uom))
        return {"name": row[0], "method": int(row[1]), "deprecated": bool(row[2]), "params": params}

    def parameter_changes(self, old, new):
        """'Northing at false origin 416926.74 -> 4160926.74, ...' (values in
        the records' own units), or a change of method."""
        names = dict(self.db.execute("SELECT code, name FROM conversion_param WHERE auth_name='EPSG'"))
        changes = []
        if old["method"] != new["method"]:
            changes.append(f"method {old['method']} -> {new['method']}")
        for pcode in sorted(set(old["params"]) | set(new["params"])):
            before = old["params"].get(pcode, ("(absent)",))[0]
            after = new["params"].get(pcode, ("(absent)",))[0]
            if before != after:
                changes.append(f"{names.get(str(pcode), names.get(pcode, pcode))} {before} -> {after}")
        return ", ".join(changes)

    def datums_using(self, conversion_code):
        return sorted({r[0] for r in self.db.execute(
            "SELECT d.name FROM projected_crs p JOIN geodetic_crs g "
            "ON g.auth_name = p.geodetic_crs_auth_name AND g.code = p.geodetic_crs_code "
            "JOIN geodetic_datum d ON d.auth_name = g.datum_auth_name AND d.code = g.datum_code "
            "WHERE p.conversion_auth_name='EPSG' AND p.conversion_code=? AND p.deprecated=0",
            (conversion_code,))})

    def ellipsoid(self, code):
        a, b, inv_f = self.db.execute(
            "SELECT semi_major_axis, semi_minor_axis, inv_flattening FROM ellipsoid "
            "WHERE auth_name='EPSG' AND code=?", (code,)).fetchone()
        e2 = 1 - (b / a) ** 2 if b else (2 - 1 / inv_f) / inv_f
        return a, e2

    def angle_degrees(self, value, uom):
        name, kind, factor = self.units[uom]
        if kind != "angle":
            raise Fail(f"unit {uom} ({name}) is not an angle")
        if uom == UNIT_SEXAGESIMAL_DMS:
            return sexagesimal_to_degrees(value)
        if factor is None:
            raise Fail(f"angle unit {uom} ({name}) has no factor")
        # Degrees per unit; the database rounds the factors to 15 digits, so
        # snap to the simple ratio it stands for (1 for the degree).
        per_unit = (Fraction(str(factor)) / Fraction(math.pi / 180)).limit_denominator(1000)
        if abs(float(per_unit) * math.pi / 180 - factor) > 1e-15:
            raise Fail(f"angle unit {uom} ({name}) is no simple part of a degree")
        return Fraction(str(value)) * per_unit

    def length_metres(self, value, uom):
        name, kind, factor = self.units[uom]
        if kind != "length" or factor is None:
            raise Fail(f"unit {uom} ({name}) is not a length")
        if uom == UNIT_US_FOOT:
            # The database rounds the factor; the survey foot is 1200/3937 m.
            if abs(factor - 1200 / 3937) > 1e-15:
                raise Fail(f"US survey foot factor {factor} disagrees with 1200/3937")
            return Fraction(str(value)) * Fraction(1200, 3937)
        return Fraction(str(value)) * Fraction(str(factor))

    def scale(self, value, uom):
        name, kind, factor = self.units[uom]
        if kind != "scale":
            raise Fail(f"unit {uom} ({name}) is not a scale")
        return Fraction(str(value)) * Fraction(str(factor))


# --- Lambert conformal conic on the ellipsoid (Snyder 15-1 to 15-9), used to
# fold Michigan's enlarged ellipsoid into the standard parallels. ---

def lcc_m(phi, e2):
    return math.cos(phi) / math.sqrt(1 - e2 * math.sin(phi) ** 2)


def lcc_t(phi, e2):
    e = math.sqrt(e2)
    s = e * math.sin(phi)
    return math.tan(math.pi / 4 - phi / 2) / ((1 - s) / (1 + s)) ** (e / 2)


def lcc_cone(sp1, sp2, e2):
    m1, m2, t1, t2 = lcc_m(sp1, e2), lcc_m(sp2, e2), lcc_t(sp1, e2), lcc_t(sp2, e2)
    n = (math.log(m1) - math.log(m2)) / (math.log(t1) - math.log(t2))
    return n, m1 / (n * t1 ** n)


def lcc_forward(lat, lon, lat0, lon0, sp1, sp2, a, e2, fe, fn):
    n, f = lcc_cone(sp1, sp2, e2)
    rho, rho0 = a * f * lcc_t(lat, e2) ** n, a * f * lcc_t(lat0, e2) ** n
    theta = n * (lon - lon0)
    return fe + rho * math.sin(theta), fn + rho0 - rho * math.cos(theta)


def michigan_parallels(sp1, sp2, factor, e2):
    """The parallels of an ordinary two-parallel Lambert that equals the one
    on an ellipsoid enlarged by `factor`: enlarging multiplies the cone's
    constant F by the factor, so its scale on the old parallels becomes the
    factor; the new parallels are where the scale is 1 again. Their cone
    constant n is the old one (equal scale at both), so the projections are
    the same. Radians in and out."""
    n, f = lcc_cone(sp1, sp2, e2)

    def scale(phi):
        return factor * f * n * lcc_t(phi, e2) ** n / lcc_m(phi, e2)

    lo, hi = sp1, sp2
    for _ in range(200):  # golden-section search for the minimum of the scale
        m1, m2 = lo + (hi - lo) * 0.382, lo + (hi - lo) * 0.618
        if scale(m1) < scale(m2):
            hi = m2
        else:
            lo = m1
    middle = (lo + hi) / 2
    if scale(middle) >= 1:
        raise Fail("ellipsoid factor too large to fold into the parallels")

    def root(lo, hi):  # scale(lo) > 1 > scale(hi) or the reverse
        sign_lo = scale(lo) > 1
        for _ in range(200):
            mid = (lo + hi) / 2
            if (scale(mid) > 1) == sign_lo:
                lo = mid
            else:
                hi = mid
        return (lo + hi) / 2

    return root(sp1, middle), root(middle, sp2)


def add_note(report, table, code, label, text):
    """One line per zone in the report of departures from EPSG."""
    key = f"{table} {code:04d} {label}"
    notes = report["deviations"]
    if notes and notes[-1].startswith(key + ":"):
        notes[-1] += f"; {text}"
    else:
        notes.append(f"{key}: {text}")


def build_record(db, table, code, report):
    epsg = epsg_code(table, code)
    conv = db.conversion(epsg)
    label = zone_label(table, code)
    if conv is None:
        raise Fail(f"{table} {code:04d} {label}: EPSG {epsg} not in the database")
    if conv["deprecated"]:
        raise Fail(f"{table} {code:04d} {label}: EPSG {epsg} ({conv['name']}) is deprecated "
                   "and no replacement is listed")
    if not name_matches(table, code, conv["name"]):
        report["name_mismatches"].append(f"{table} {code:04d} {label}: EPSG {epsg} is '{conv['name']}'")
    if (table, code) in REPLACEMENTS:
        note = f"{REPLACEMENTS[(table, code)][1]}; taken from EPSG {epsg}"
        plain = db.conversion(10000 + code + (30 if table == 1983 else 0))
        if plain is not None:
            changes = db.parameter_changes(plain, conv)
            note += f" ({changes})" if changes else ""
        add_note(report, table, code, label, note)
    p = conv["params"]

    def angle(pc):
        return db.angle_degrees(*p[pc])

    def length(pc):
        return db.length_metres(*p[pc])

    if table == 1983:
        datum = NAD83
    else:
        prefix = code // 100
        datum = OTHER_STATES.get(prefix) or (NAD27_EAST if prefix in EAST_STATES else
                                             NAD27_WEST if prefix in WEST_STATES else None)
        if datum is None:
            raise Fail(f"no datum region for state prefix {prefix}")
    expected_datum = "North American Datum 1983" if table == 1983 else "North American Datum 1927"
    datums = db.datums_using(epsg)
    if datums and expected_datum not in datums:
        report["datum_notes"].append((f"{', '.join(datums)} datum", f"{code:04d} {label}",
                                      DATUM_NAMES[datum]))

    rec = {"table": table, "code": code, "epsg": epsg, "label": label, "datum": datum,
           "name": conv["name"], "sp1": Fraction(0), "sp2": Fraction(0)}
    method = conv["method"]
    if method == M_TM:
        rec.update(alg=ALG_TM, lat0=angle(P_LAT_NAT), lon0=angle(P_LON_NAT),
                   k=db.scale(*p[P_K_NAT]), fe=length(P_FE), fn=length(P_FN))
    elif method in (M_LCC2SP, M_LCC2SP_MICHIGAN):
        low, high = sorted((angle(P_SP1), angle(P_SP2)))
        rec.update(alg=ALG_LAMBERT, lat0=angle(P_LAT_FO), lon0=angle(P_LON_FO), k=Fraction(1),
                   fe=length(P_E_FO), fn=length(P_N_FO), sp1=low, sp2=high)
        if method == M_LCC2SP_MICHIGAN:
            factor = float(db.scale(*p[P_ELLIPSOID_FACTOR]))
            a, e2 = db.ellipsoid(CLARKE_1866)
            r1, r2 = michigan_parallels(math.radians(low), math.radians(high), factor, e2)
            rec["sp1"], rec["sp2"] = Fraction(math.degrees(r1)), Fraction(math.degrees(r2))
            worst = michigan_check(rec, low, high, factor, a, e2)
            add_note(report, table, code, label,
                     f"its Lambert is on Clarke 1866 enlarged by {factor}, folded exactly into the "
                     f"parallels: {float(low):.10f}, {float(high):.10f} -> {float(rec['sp1']):.10f}, "
                     f"{float(rec['sp2']):.10f} deg (coordinates agree to {worst * 1000:.6f} mm)")
    elif method == M_HOM_A and code == 5001:
        fe, fn = ALASKA1_FALSE_ORIGIN[table]
        rec.update(alg=ALG_OBLIQUE, lat0=angle(P_LAT_C), lon0=angle(P_LON_C),
                   k=db.scale(*p[P_K_C]), fe=fe, fn=fn)
        add_note(
            report, table, code, label, f"EPSG {epsg} is Hotine oblique Mercator (azimuth "
            f"{float(angle(8813)):.6f} deg, FE/FN {float(length(P_FE)):.4f}/{float(length(P_FN)):.4f} m); "
            f"stored as algorithm 2 about the centre with FE/FN {float(fe)}/{float(fn)} m "
            "(about the same centre and grid north: the coordinates differ from published "
            "zone 1 values by the false origin and, over the panhandle, by up to about 110 m "
            "more, as the generator's report shows)")
    else:
        raise Fail(f"{table} {code:04d} {label}: EPSG {epsg} uses method {method}, not handled")
    return rec


def michigan_check(rec, sp1, sp2, factor, a, e2):
    """Largest distance between the enlarged-ellipsoid definition and the
    folded record over a 3 x 3 degree patch around the zone's origin."""
    lat0, lon0 = math.radians(float(rec["lat0"])), math.radians(float(rec["lon0"]))
    worst = 0.0
    for dlat in (-0.5, 0.0, 0.5, 1.0, 1.5, 2.0, 2.5):
        for dlon in (-1.5, -0.75, 0.0, 0.75, 1.5):
            lat, lon = lat0 + math.radians(dlat), lon0 + math.radians(dlon)
            x1, y1 = lcc_forward(lat, lon, lat0, lon0, math.radians(float(sp1)),
                                 math.radians(float(sp2)), a * factor, e2, 0, 0)
            x2, y2 = lcc_forward(lat, lon, lat0, lon0, math.radians(float(rec["sp1"])),
                                 math.radians(float(rec["sp2"])), a, e2, 0, 0)
            worst = max(worst, math.hypot(x1 - x2, y1 - y2))
    if worst > 1e-4:
        raise Fail(f"Michigan fold for {rec['code']} is off by {worst} m")
    return worst


def check_reference_rows(records, report):
    fields = ("datum", "alg", "fe", "fn", "lon0", "lat0", "k", "sp1", "sp2")
    tolerances = (0, 0, 5e-5, 5e-5, 1e-10, 1e-10, 1e-12, 1e-10, 1e-10)
    for row in REFERENCE_ROWS:
        table, code, expected = row[0], row[1], row[2:]
        rec = records[(table, code)]
        for field, want, tol in zip(fields, expected, tolerances):
            got = float(rec[field])
            if abs(got - want) > tol:
                report["reference_failures"].append(
                    f"{table} {code:04d} {field}: {got!r}, expected {want!r}")


def alaska1_comparison(records):
    """How the algorithm-2 stand-in for Alaska zone 1 compares with the
    published oblique Mercator, through PROJ's `proj` when it is installed."""
    if not shutil.which("proj"):
        return ["(proj not on PATH: Alaska zone 1 comparison skipped)"]
    lines = []
    points = [(57.0, -133.6666666667, "centre"), (58.3019, -134.4197, "Juneau"),
              (55.3422, -131.6461, "Ketchikan"), (59.4583, -135.3139, "Skagway")]
    for table, ellps in ((1927, "clrk66"), (1983, "GRS80")):
        rec = records[(table, 5001)]
        a, e2 = (6378206.4, 1 - (6356583.8 / 6378206.4) ** 2) if table == 1927 else (
            6378137.0, 0.00669438002290)
        for lat, lon, where in points:
            x, y = oblique_conformal(math.radians(lat), math.radians(lon), rec, a, e2)
            cmd = ["proj", "-f", "%.3f", "+proj=omerc", "+no_uoff", "+lat_0=57",
                   "+lonc=-133.666666666667", "+alpha=323.130102361111",
                   "+gamma=323.130102361111", "+k=0.9999", "+x_0=5000000", "+y_0=-5000000",
                   f"+ellps={ellps}"]
            out = subprocess.run(cmd, input=f"{lon} {lat}\n", capture_output=True, text=True).stdout
            ex, ey = (float(v) for v in out.split()[:2])
            if where == "centre":
                x0, y0, ex0, ey0 = x, y, ex, ey
            lines.append(f"  {table} {where:9s}: record E {x:12.3f} N {y:13.3f}; EPSG E {ex:11.3f} "
                         f"N {ey:11.3f}; from the centre the two differ by "
                         f"{math.hypot((x - x0) - (ex - ex0), (y - y0) - (ey - ey0)):.1f} m")
    return lines


def oblique_conformal(lat, lon, rec, a, e2):
    """Algorithm 2 of the library (double projection through a conformal
    sphere about the record's origin), to show what the stand-in gives."""
    e = math.sqrt(e2)
    phi0, lam0 = math.radians(float(rec["lat0"])), math.radians(float(rec["lon0"]))
    r = a * math.sqrt(1 - e2) / (1 - e2 * math.sin(phi0) ** 2)
    alpha = math.sqrt(1 + e2 / (1 - e2) * math.cos(phi0) ** 4)
    b0 = math.asin(math.sin(phi0) / alpha)
    k = (math.log(math.tan(math.pi / 4 + b0 / 2)) - alpha * math.log(math.tan(math.pi / 4 + phi0 / 2))
         + alpha * e / 2 * math.log((1 + e * math.sin(phi0)) / (1 - e * math.sin(phi0))))
    s = (alpha * math.log(math.tan(math.pi / 4 + lat / 2))
         - alpha * e / 2 * math.log((1 + e * math.sin(lat)) / (1 - e * math.sin(lat))) + k)
    b = 2 * (math.atan(math.exp(s)) - math.pi / 4)
    l = alpha * (lon - lam0)
    lbar = math.atan(math.sin(l) / (math.sin(b0) * math.tan(b) + math.cos(b0) * math.cos(l)))
    bbar = math.asin(math.cos(b0) * math.sin(b) - math.sin(b0) * math.cos(b) * math.cos(l))
    return (r * lbar + float(rec["fe"]),
            r / 2 * math.log((1 + math.sin(bbar)) / (1 - math.sin(bbar))) + float(rec["fn"]))


def number(value):
    """Shortest text that reads back as the same double."""
    text = repr(float(value))
    return text[:-2] if text.endswith(".0") else text


def record_line(rec):
    d = DATUM_NAMES[rec["datum"]]
    head = f"{d}, {rec['code']}, {number(rec['fe'])}, {number(rec['fn'])}, " \
           f"{number(rec['lat0'])}, {number(rec['lon0'])}"
    if rec["alg"] == ALG_TM:
        return f"Tm({head}, {number(rec['k'])})"
    if rec["alg"] == ALG_LAMBERT:
        return f"Lambert({head}, {number(rec['sp1'])}, {number(rec['sp2'])})"
    return f"Oblique({head}, {number(rec['k'])})"


def render(records, report, versions):
    epsg_version, proj_version = versions
    out = []
    w = out.append
    w("// GENERATED FILE, do not edit: written by tools/spcs/make_state_plane.py from the EPSG")
    w(f"// dataset {epsg_version} (proj.db of PROJ {proj_version}). To regenerate, from the repository root:")
    w("//   apt-get install proj-data && python3 tools/spcs/make_state_plane.py")
    w("//")
    w("// The State Plane Coordinate System zones of 1927 and 1983, in the tables' order. Each")
    w("// record: datum, algorithm (3 transverse Mercator, 5 Lambert conformal conic with two")
    w("// parallels, 2 for Alaska zone 1), false easting and northing in metres, latitude and")
    w("// longitude of origin, scale, standard parallels (the southern one first; degrees here,")
    w("// radians in the record) and the zone code. Sources: EPSG conversion 1XXYY for SPCS27")
    w("// zone XXYY and 1XXYY + 30 for the SPCS83 metre definition; each was checked against its")
    w("// zone by name. SPCS27 lengths are US survey feet times 1200/3937; the latitude of a")
    w("// Lambert record is EPSG's latitude of false origin, its scale 1.")
    w("//")
    w("// Datums of the 1927 zones follow the regions of NIMA TR 8350.2, whose regional shifts the")
    w("// four NAD 27 datums carry: NAD_27_US_EAST for the states east of the Mississippi and")
    w("// Louisiana, Minnesota, Missouri; NAD_27_US_WEST for the other conterminous states;")
    w("// NAD_27_US_ALASKA for Alaska; NAD_27_US_CONUS for Hawaii, Puerto Rico and St. Croix,")
    w("// which were never on NAD 27 and have no regional value. The 1983 zones are on NAD_83.")
    w("//")
    w("// Where a record departs from the plain EPSG record at its code:")
    for line in report["deviations"]:
        for i, part in enumerate(wrap(line, 92)):
            w(("//   - " if i == 0 else "//     ") + part)
    for line in datum_note_lines(report):
        for i, part in enumerate(wrap(line, 92)):
            w(("//   - " if i == 0 else "//     ") + part)
    w("")
    w('#include <cstdint>')
    w('#include <numbers>')
    w('#include <span>')
    w('')
    w('#include "lib/geodesy/Grids.h"')
    w('')
    w('namespace zenolith {')
    w('namespace {')
    w('')
    w('constexpr std::int16_t kNad83 = 19;')
    w('constexpr std::int16_t kNad27Alaska = 20;')
    w('constexpr std::int16_t kNad27East = 21;')
    w('constexpr std::int16_t kNad27Conus = 22;')
    w('constexpr std::int16_t kNad27West = 23;')
    w('')
    w('constexpr std::int16_t kObliqueConformal = 2;')
    w('constexpr std::int16_t kTransverseMercator = 3;')
    w('constexpr std::int16_t kLambert = 5;')
    w('')
    w('constexpr double Deg(double degrees) { return degrees * (std::numbers::pi / 180.0); }')
    w('')
    w('// Origins and parallels in decimal degrees, latitude first.')
    w('constexpr GridRecord Tm(std::int16_t datum, std::int16_t code, double fe, double fn, double lat0,')
    w('                        double lon0, double k) {')
    w('  return {datum, kTransverseMercator, fe, fn, Deg(lon0), Deg(lat0), k, 0, 0, code};')
    w('}')
    w('constexpr GridRecord Lambert(std::int16_t datum, std::int16_t code, double fe, double fn,')
    w('                             double lat0, double lon0, double sp1, double sp2) {')
    w('  return {datum, kLambert, fe, fn, Deg(lon0), Deg(lat0), 1, Deg(sp1), Deg(sp2), code};')
    w('}')
    w('constexpr GridRecord Oblique(std::int16_t datum, std::int16_t code, double fe, double fn,')
    w('                             double lat0, double lon0, double k) {')
    w('  return {datum, kObliqueConformal, fe, fn, Deg(lon0), Deg(lat0), k, 0, 0, code};')
    w('}')
    w('')
    for table, codes, name in ((1927, CODES_1927, "kZones1927"), (1983, CODES_1983, "kZones1983")):
        w(f"// {len(codes)} zones of {table}.")
        w(f"constexpr GridRecord {name}[] = {{")
        for code in codes:
            rec = records[(table, code)]
            w(f"    // {code:04d} {rec['label']} (EPSG {rec['epsg']})")
            w(f"    {record_line(rec)},")
        w("};")
        w("")
    w('}  // namespace')
    w('')
    w('std::span<const GridRecord> StatePlane27() { return kZones1927; }')
    w('std::span<const GridRecord> StatePlane83() { return kZones1983; }')
    w('')
    w('const GridRecord* FindStatePlaneZone(std::int16_t grid, std::int16_t code) {')
    w('  std::span<const GridRecord> zones;')
    w('  if (grid == kGridSpcs27) {')
    w('    zones = kZones1927;')
    w('  } else if (grid == kGridSpcs83) {')
    w('    zones = kZones1983;')
    w('  } else {')
    w('    return nullptr;')
    w('  }')
    w('  for (const GridRecord& zone : zones) {')
    w('    if (zone.zoneCode == code) return &zone;')
    w('  }')
    w('  return nullptr;')
    w('}')
    w('')
    w('}  // namespace zenolith')
    return "\n".join(out) + "\n"


def datum_note_lines(report):
    """'1927 5101 Hawaii Zone 1, ...: EPSG defines them on Old Hawaiian datum;
    the records name kNad27Conus', one line per EPSG datum."""
    groups = {}
    for datum, zone, ours in report["datum_notes"]:
        groups.setdefault((datum, ours), []).append(zone)
    return [f"1927 {', '.join(zones)}: EPSG defines {'them' if len(zones) > 1 else 'it'} on the "
            f"{datum}; the record{'s name' if len(zones) > 1 else ' names'} {ours}"
            for (datum, ours), zones in groups.items()]


def wrap(text, width):
    lines, line = [], ""
    for word in text.split():
        if line and len(line) + 1 + len(word) > width:
            lines.append(line)
            line = word
        else:
            line = f"{line} {word}" if line else word
    if line:
        lines.append(line)
    return lines


def main():
    parser = argparse.ArgumentParser(
        description="Generate lib/geodesy/StatePlane.cpp (State Plane zone tables of 1927 and "
                    "1983) from the EPSG dataset in PROJ's proj.db, printing a report of the "
                    "name checks and of every record that departs from EPSG.")
    parser.add_argument("--db", default=DEFAULT_DB, help=f"path of proj.db (default {DEFAULT_DB})")
    parser.add_argument("--output", default=DEFAULT_OUT,
                        help="file to write (default lib/geodesy/StatePlane.cpp of this checkout)")
    parser.add_argument("--check", action="store_true",
                        help="write nothing; exit 1 when the output file differs from what "
                             "would be generated")
    args = parser.parse_args()

    report = {"name_mismatches": [], "deviations": [], "datum_notes": [], "reference_failures": []}
    try:
        db = Database(args.db)
        records = {}
        for table, codes in ((1927, CODES_1927), (1983, CODES_1983)):
            if len(set(codes)) != len(codes):
                raise Fail(f"duplicate code in the {table} list")
            for code in codes:
                records[(table, code)] = build_record(db, table, code, report)
        check_reference_rows(records, report)
        text = render(records, report, db.version())
    except Fail as error:
        print(f"error: {error}", file=sys.stderr)
        return 2

    epsg_version, proj_version = db.version()
    print(f"EPSG {epsg_version} (PROJ {proj_version}): {len(CODES_1927)} zones of 1927, "
          f"{len(CODES_1983)} of 1983")
    print(f"name check: {len(report['name_mismatches'])} mismatches")
    for line in report["name_mismatches"]:
        print(f"  MISMATCH {line}")
    print(f"records departing from the EPSG record at their code: {len(report['deviations'])}")
    for line in report["deviations"]:
        print(f"  {line}")
    print(f"zones EPSG defines on another datum than NAD 27 / NAD 83: {len(report['datum_notes'])}")
    for line in datum_note_lines(report):
        print(f"  {line}")
    print("Alaska zone 1, stand-in against the published oblique Mercator:")
    for line in alaska1_comparison(records):
        print(line)
    print(f"reference rows: {len(report['reference_failures'])} failures")
    for line in report["reference_failures"]:
        print(f"  FAIL {line}")
    if report["name_mismatches"] or report["reference_failures"]:
        return 1

    if args.check:
        try:
            with open(args.output, encoding="utf-8") as f:
                current = f.read()
        except OSError:
            current = None
        if current != text:
            print(f"{args.output} is out of date")
            return 1
        print(f"{args.output} is up to date")
        return 0
    with open(args.output, "w", encoding="utf-8") as f:
        f.write(text)
    print(f"wrote {args.output}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
