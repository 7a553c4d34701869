#!/usr/bin/env python3
"""Turn the Danish survey agency's region conversion data into C++ tables.

The input (danish_regions.txt beside this script by default) holds
`polynomial NAME degree g` blocks with the lines `north`, `north_centre`,
`east`, `east_centre`, and `polygon NAME vertices k` blocks followed by the k
vertex pairs (first coordinate, then second). Text after '#' is a comment.

The output is lib/geodesy/DanishRegionData.h and DanishRegionData.cpp: one
`Polynomial` per polynomial block and one `Polygon` per polygon block, named
kC_ttj, kP_tcj and so on after the published block names. The numbers are
copied digit for digit, so the C++ compiler rounds them exactly as it would
the published text.

Every block is checked (coefficient counts against the degree, vertex counts,
finite numbers, unique names) and any fault stops the run with the line number
before anything is written.
"""

import argparse
import math
import pathlib
import re
import sys

HERE = pathlib.Path(__file__).resolve().parent
DEFAULT_INPUT = HERE / "danish_regions.txt"
DEFAULT_OUTPUT_DIR = HERE.parent.parent / "lib" / "geodesy"
HEADER_NAME = "DanishRegionData.h"
SOURCE_NAME = "DanishRegionData.cpp"

# The data's licence asks for this notice to travel with every copy.
ISC_NOTICE = (
    "Copyright (c) 2011, National Survey and Cadastre, Denmark. Permission to use, copy, modify,\n"
    "and/or distribute this software for any purpose with or without fee is hereby granted,\n"
    "provided that the above copyright notice and this permission notice appear in all copies."
)

NAME_PATTERN = re.compile(r"^[A-Za-z][A-Za-z0-9_]*$")
# A decimal literal that C++ and Python read the same way.
NUMBER_PATTERN = re.compile(r"^[+-]?(\d+\.?\d*|\.\d+)([eE][+-]?\d+)?$")
POLYNOMIAL_KEYS = ("north", "north_centre", "east", "east_centre")
MAX_DEGREE = 20
NUMBERS_PER_LINE = 4


class DataError(Exception):
    pass


def parse_number(token, line_number):
    if not NUMBER_PATTERN.match(token):
        raise DataError(f"line {line_number}: '{token}' is not a decimal number")
    if not math.isfinite(float(token)):
        raise DataError(f"line {line_number}: '{token}' is not finite")
    return token


def parse(path):
    """Returns (polynomials, polygons), each a list of dicts in file order."""
    polynomials, polygons, names = [], [], set()
    current = None
    for line_number, raw in enumerate(path.read_text(encoding="utf-8").splitlines(), start=1):
        text, _, comment = raw.partition("#")
        words = text.split()
        if not words:
            continue
        head = words[0]
        if head in ("polynomial", "polygon"):
            expected_word = "degree" if head == "polynomial" else "vertices"
            if len(words) != 4 or words[2] != expected_word or not words[3].isdigit():
                raise DataError(f"line {line_number}: expected '{head} NAME {expected_word} COUNT'")
            name = words[1]
            if not NAME_PATTERN.match(name):
                raise DataError(f"line {line_number}: '{name}' is not a usable name")
            if name in names:
                raise DataError(f"line {line_number}: '{name}' appears twice")
            names.add(name)
            current = {"kind": head, "name": name, "count": int(words[3]),
                       "comment": comment.strip(), "line": line_number}
            (polynomials if head == "polynomial" else polygons).append(current)
            if head == "polygon":
                current["vertices"] = []
            continue
        if current is None:
            raise DataError(f"line {line_number}: data before the first block")
        if current["kind"] == "polynomial":
            if head not in POLYNOMIAL_KEYS:
                raise DataError(f"line {line_number}: unknown polynomial line '{head}'")
            if head in current:
                raise DataError(f"line {line_number}: '{head}' given twice for {current['name']}")
            current[head] = [parse_number(t, line_number) for t in words[1:]]
        else:
            current["vertices"].extend(parse_number(t, line_number) for t in words)
    for p in polynomials:
        check_polynomial(p)
    for p in polygons:
        check_polygon(p)
    if not polynomials and not polygons:
        raise DataError("no blocks found")
    return polynomials, polygons


def check_polynomial(p):
    where = f"polynomial {p['name']} (line {p['line']})"
    degree = p["count"]
    if not 1 <= degree <= MAX_DEGREE:
        raise DataError(f"{where}: degree {degree} outside 1..{MAX_DEGREE}")
    for key in POLYNOMIAL_KEYS:
        if key not in p:
            raise DataError(f"{where}: '{key}' is missing")
    expected = (degree + 1) * (degree + 2) // 2
    for key in ("north", "east"):
        if len(p[key]) != expected:
            raise DataError(f"{where}: {len(p[key])} '{key}' coefficients, degree {degree} needs {expected}")
    for key in ("north_centre", "east_centre"):
        if len(p[key]) != 1:
            raise DataError(f"{where}: '{key}' needs exactly one number")


def check_polygon(p):
    where = f"polygon {p['name']} (line {p['line']})"
    if p["count"] < 3:
        raise DataError(f"{where}: a boundary needs at least three vertices")
    if len(p["vertices"]) != 2 * p["count"]:
        raise DataError(f"{where}: {len(p['vertices'])} numbers, {p['count']} vertices need {2 * p['count']}")


def number_rows(numbers, indent="    "):
    rows = []
    for start in range(0, len(numbers), NUMBERS_PER_LINE):
        rows.append(indent + ", ".join(numbers[start:start + NUMBERS_PER_LINE]) + ",")
    return "\n".join(rows)


def banner(input_name):
    notice = "\n".join("//   " + line for line in ISC_NOTICE.splitlines())
    return (
        f"// GENERATED by tools/danish/generate_danish_regions.py from {input_name}.\n"
        "// Do not edit by hand: change the input or the generator and rerun it\n"
        "// (tools/danish/README.md says how).\n"
        "//\n"
        "// The conversion polynomials and region boundaries between transverse\n"
        "// Mercator zone 32 on the Danish ED 50 realisation and the Danish regional\n"
        "// systems, as published by the National Survey and Cadastre, Denmark (2011),\n"
        "// under the ISC licence:\n"
        "//\n"
        f"{notice}\n"
    )


def render_header(input_name, polynomials, polygons):
    declarations = []
    for p in polynomials:
        declarations.append(f"extern const Polynomial k{p['name']};  // {p['comment']}")
    for p in polygons:
        declarations.append(f"extern const Polygon k{p['name']};  // {p['comment']}")
    body = "\n".join(declarations)
    return f"""{banner(input_name)}#pragma once

#include <span>

namespace zenolith::danish_data {{

// One direction of a region's conversion, a polynomial of total degree
// `degree` in n = N - northCentre and e = E - eastCentre, where (N, E) is the
// input's (first, second) coordinate in metres and the centres are means of
// the input system. With a_(j,i) and b_(j,i) the coefficients in storage order
// (block j = 0..degree, inside a block i = 0..degree-j):
//   first output  = sum_j e^j * sum_i a_(j,i) * n^i   (coefficients `north`)
//   second output = sum_j n^j * sum_i b_(j,i) * e^i   (coefficients `east`)
// Each array holds (degree+1)(degree+2)/2 numbers; the first of each is the
// output at the centre. Outputs are in metres.
struct Polynomial {{
  int degree = 0;
  double northCentre = 0;
  double eastCentre = 0;
  std::span<const double> north;
  std::span<const double> east;
}};

// A boundary vertex, first coordinate then second as published: in zone 32
// the northing then the easting, in System 34 and 45 the coordinate growing
// northwards then the one growing westwards. Metres.
struct Vertex {{
  double north = 0;
  double east = 0;
}};

// A closed boundary (the last vertex joins the first), not self-crossing.
struct Polygon {{
  std::span<const Vertex> vertices;
}};

{body}

}}  // namespace zenolith::danish_data
"""


def render_source(input_name, polynomials, polygons):
    parts = [banner(input_name), f'#include "lib/geodesy/{HEADER_NAME}"\n\nnamespace zenolith::danish_data {{\nnamespace {{\n']
    for p in polynomials:
        name = p["name"]
        for key in ("north", "east"):
            parts.append(f"constexpr double k{name}_{key}[] = {{\n{number_rows(p[key])}\n}};\n")
    for p in polygons:
        pairs = [f"{{{p['vertices'][2 * i]}, {p['vertices'][2 * i + 1]}}}" for i in range(p["count"])]
        parts.append(f"constexpr Vertex k{p['name']}_vertices[] = {{\n{number_rows(pairs)}\n}};\n")
    parts.append("}  // namespace\n")
    for p in polynomials:
        name = p["name"]
        parts.append(
            f"\n// {p['comment']}\n"
            f"constinit const Polynomial k{name}{{{p['count']}, {p['north_centre'][0]}, {p['east_centre'][0]},"
            f" k{name}_north, k{name}_east}};\n")
    for p in polygons:
        parts.append(f"\n// {p['comment']}\nconstinit const Polygon k{p['name']}{{k{p['name']}_vertices}};\n")
    parts.append("\n}  // namespace zenolith::danish_data\n")
    return "".join(parts)


def main(argv):
    parser = argparse.ArgumentParser(
        description="Generate lib/geodesy/DanishRegionData.{h,cpp} from the published Danish "
                    "region conversion polynomials and boundary polygons.",
        epilog="Run from anywhere: python3 tools/danish/generate_danish_regions.py "
               "(then rebuild). --check exits 1 when the generated files are stale.")
    parser.add_argument("--input", type=pathlib.Path, default=DEFAULT_INPUT,
                        help=f"data file (default: {DEFAULT_INPUT.name} beside this script)")
    parser.add_argument("--output-dir", type=pathlib.Path, default=DEFAULT_OUTPUT_DIR,
                        help="where the two C++ files go (default: lib/geodesy of this checkout)")
    parser.add_argument("--check", action="store_true",
                        help="write nothing; exit 1 when the files on disk differ from what would be generated")
    args = parser.parse_args(argv)

    try:
        polynomials, polygons = parse(args.input)
    except (OSError, DataError) as error:
        print(f"{args.input}: {error}", file=sys.stderr)
        return 1

    outputs = {
        args.output_dir / HEADER_NAME: render_header(args.input.name, polynomials, polygons),
        args.output_dir / SOURCE_NAME: render_source(args.input.name, polynomials, polygons),
    }
    if args.check:
        stale = [str(path) for path, text in outputs.items()
                 if not path.exists() or path.read_text(encoding="utf-8") != text]
        for path in stale:
            print(f"stale: {path}", file=sys.stderr)
        return 1 if stale else 0
    for path, text in outputs.items():
        path.write_text(text, encoding="utf-8")
        print(f"wrote {path}")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
