#!/usr/bin/env bash
# Installs the build into a temporary prefix and runs the installed programs
# as a new user would: from another folder, with a fresh HOME and nothing of
# the build tree in the environment.
#
#   install_test.sh BUILD_DIR
set -euo pipefail
build="$1"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
prefix="$work/prefix"
home="$work/home"
mkdir -p "$home" "$work/elsewhere"

fail() { echo "FAIL: $*" >&2; exit 1; }

cmake --install "$build" --prefix "$prefix" >"$work/install.log" || { cat "$work/install.log"; fail "cmake --install"; }

for file in bin/rovana bin/zenolith lib/libZenolithCE.so lib/libzenolith-com.so lib/ZenolithCE.tlb \
            share/rovana/Language/English.txt share/rovana/Language/German.txt \
            share/rovana/samples/English/Arrive.wav share/rovana/samples/German/Arrive.wav \
            share/applications/rovana.desktop share/icons/hicolor/scalable/apps/rovana.svg; do
  [ -e "$prefix/$file" ] || fail "$file is not installed"
done
# A voice prompt arrives unchanged, in the build tree as in the installation.
source_data="$(cd "$(dirname "$0")/../../data" && pwd)"
for copy in "$prefix/share/rovana" "$build/share/rovana"; do
  cmp -s "$source_data/samples/German/Arrive.wav" "$copy/samples/German/Arrive.wav" \
    || fail "$copy/samples/German/Arrive.wav differs from the committed prompt"
done
for program in bin/rovana bin/zenolith; do
  readelf -d "$prefix/$program" | grep -q 'R\(UN\)\?PATH.*\[\$ORIGIN/\.\./lib\]' || fail "$program: RPATH is not \$ORIGIN/../lib"
done
desktop-file-validate "$prefix/share/applications/rovana.desktop" || fail "the desktop entry is not valid"
if readelf -d "$prefix/bin/rovana" "$prefix/bin/zenolith" | grep -q "$build"; then fail "an installed program refers to the build tree"; fi

# A clean environment: no ROVANA_*, ZENOLITH_*, XDG_* or display variables.
clean=(env -i PATH=/usr/bin:/bin HOME="$home" LANG=C.UTF-8)
[ -n "${ASAN_OPTIONS:-}" ] && clean+=(ASAN_OPTIONS="$ASAN_OPTIONS")
[ -n "${UBSAN_OPTIONS:-}" ] && clean+=(UBSAN_OPTIONS="$UBSAN_OPTIONS")
cd "$work/elsewhere"

"${clean[@]}" "$prefix/bin/rovana" --screenshot "$work/shot.png" --quit-after 1500 >"$work/out" 2>"$work/err" \
  || { cat "$work/err"; fail "installed rovana exited with $?"; }
grep -qx "$work/shot.png" "$work/out" || fail "rovana did not print the screenshot path"
[ -s "$work/shot.png" ] || fail "no screenshot"
log="$home/.local/share/rovana/log.txt"
[ -f "$log" ] || fail "no log in \$HOME/.local/share/rovana"
for piece in "Program folder $home/.local/share/rovana" "Resource folder $prefix/share/rovana" \
             "Registered DLL '$prefix/lib/libZenolithCE.so'" "Language table created (English)" \
             "Locator: ZenolithCE.Position created" "Quitting Rovana!" "Settings saved" "Log closed"; do
  grep -qF "$piece" "$log" || { cat "$log"; fail "log lacks: $piece"; }
done
[ -z "$(ls -A "$work/elsewhere")" ] || fail "rovana wrote into the current folder: $(ls -A "$work/elsewhere")"
[ -f "$home/.config/zenolithce/registry" ] || fail "no registry in \$HOME/.config/zenolithce"

"${clean[@]}" "$prefix/bin/zenolith" register >"$work/out" 2>&1 || { cat "$work/out"; fail "zenolith register"; }
"${clean[@]}" "$prefix/bin/zenolith" classes >"$work/out" 2>&1 || { cat "$work/out"; fail "zenolith classes"; }
grep -q "ZenolithCE.Position" "$work/out" || { cat "$work/out"; fail "classes lacks ZenolithCE.Position"; }
grep -qF "$prefix/lib/libZenolithCE.so" "$work/out" || { cat "$work/out"; fail "classes do not name the installed library"; }
echo "install_test: passed"
