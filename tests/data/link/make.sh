#!/usr/bin/env bash
# Remakes the variable and flash files in this folder from their sources
# (see README.md): ld-tigcc's programs, then libtifiles' files. Needs the
# PedroM recipe's a68k and ld-tigcc (built into $OUT when missing, from
# ../shared/pedrom beside the repository), python3, gcc and libtifiles-dev.
set -euo pipefail
HERE=$(cd "$(dirname "$0")" && pwd)
PEDROM=${PEDROM:-$HERE/../../../../shared/pedrom}
OUT=${OUT:-/tmp/pedrom-build}
BIN=$OUT/build/bin

if [ ! -x "$BIN/ld-tigcc" ] || [ ! -x "$BIN/a68k" ]; then
  if [ ! -f "$PEDROM/recipe/build-pedrom.sh" ]; then
    echo "make.sh: no ld-tigcc in $BIN and no PedroM recipe at $PEDROM" >&2
    exit 1
  fi
  OUT=$OUT bash "$PEDROM/recipe/build-pedrom.sh" >/dev/null
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$HERE"
# The generated sources go with the written ones into the work folder.
python3 generate_sources.py "$work"
cp lcdfill.asm keyecho.asm greeting.asm tinyos.asm "$work/"

assemble() {
  "$BIN/a68k" -g -t "$1.asm" "-o$1.o" >"$1.log" 2>&1 || { cat "$1.log" >&2; exit 1; }
}
(
  cd "$work"
  for program in lcdfill keyecho tiles frames greeting tinyos; do assemble $program; done
  "$BIN/ld-tigcc" lcdfill.o -o lcdfill
  "$BIN/ld-tigcc" keyecho.o -o keyecho
  "$BIN/ld-tigcc" tiles.o -o tiles
  "$BIN/ld-tigcc" frames.o -o frames
  # The program is left behind: only its data variable is kept.
  "$BIN/ld-tigcc" greeting.o -o greeting -d 'main\pxdata' -output-data-var pxdata 2>/dev/null
  "$BIN/ld-tigcc" --flash-os --outputbin tinyos.o -o tinyos 2>/dev/null
)
cp "$work"/{lcdfill,keyecho,tiles,frames}.9xz "$work"/pxdata.9xy "$work"/tinyos-9x.tib "$HERE/"

gcc -O1 -o "$work/tifiles_maker" "$HERE/tifiles_maker.c" $(pkg-config --cflags --libs tifiles2) 2>"$work/gcc.log" ||
  { cat "$work/gcc.log" >&2; exit 1; }
"$work/tifiles_maker" "$HERE"
echo "made: $(cd "$HERE" && ls *.9x? *.tib | tr '\n' ' ')"
