#!/bin/sh
# Speed as a ratio to the peer emulator: runs bench_fps and the peer harness
# (mgba-fps) interleaved on each cartridge, a number of pairs each, and prints
# the median frames per second of both and the median of the pairs' ratios
# (Vandrel / peer).  Warns when the two end with a different counter (word
# at 0x03007F00) or ewram0 (word at 0x02000000), that is, did different work.
#
#   sh bench/peer.sh [-n PAIRS] [-f FRAMES] [-b BIOS] [-B BUILDDIR] [-m MGBAFPS]
#                    [CARTRIDGE[@FRAMES] ...]
#
# Without cartridges: our own benchmark cartridges (bench/guest) and every
# .gba under ../shared/roms/.  A cartridge may carry its own frame count
# (file.gba@60).  bench_fps is brought up to date in the build directory
# first; the peer harness is compiled to MGBAFPS (default /tmp/mgba-fps) when
# it is missing.  Both run in a scratch directory.
set -e
root=$(cd "$(dirname "$0")/.." && pwd)
pairs=7
frames=600
bios=
build="$root/build"
mgba=/tmp/mgba-fps
while getopts n:f:b:B:m: opt; do
  case $opt in
    n) pairs=$OPTARG ;;
    f) frames=$OPTARG ;;
    b) bios=$(cd "$(dirname "$OPTARG")" && pwd)/$(basename "$OPTARG") ;;
    B) build=$(cd "$OPTARG" && pwd) ;;
    m) mgba=$OPTARG ;;
    *) sed -n '8,9p' "$0" >&2; exit 2 ;;
  esac
done
shift $((OPTIND - 1))

shared="$root/../shared"
cmake --build "$build" --target bench_fps >/dev/null
vandrel="$build/bench/bench_fps"
if [ ! -x "$mgba" ]; then
  gcc -O2 "$shared/peer-bench/mgba-fps.c" -o "$mgba" -lmgba
fi

if [ $# -eq 0 ]; then
  for g in "$root"/bench/guest/*.s; do
    n=$(basename "$g" .s)
    case $n in scroll0|bitmap3|interwork|dmacopy|manyblocks|vblankwait) set -- "$@" "$build/guest/$n.gba" ;; esac
  done
  for c in $(find "$shared/roms" -name '*.gba' | sort); do set -- "$@" "$c"; done
fi

here=$(pwd)
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
cd "$scratch"

# field NAME LINE: the value of NAME=... in a harness's output line.
field() { echo "$2" | tr ' ' '\n' | sed -n "s/^$1=//p"; }
median() { tr ' ' '\n' | grep . | sort -g | awk '{v[NR] = $1} END {print NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2}'; }

echo "load average: $(cut -d' ' -f1-3 /proc/loadavg); $pairs pairs per cartridge${bios:+, BIOS $bios}"
printf '%-26s %7s %12s %12s %8s\n' cartridge frames "vandrel fps" "mgba fps" ratio
for arg in "$@"; do
  cart=${arg%@*}
  n=$frames
  [ "$cart" != "$arg" ] && n=${arg##*@}
  case $cart in /*) ;; *) cart="$here/$cart" ;; esac
  name=$(basename "$cart")
  vs= ms= rs= note=
  i=0
  while [ $i -lt "$pairs" ]; do
    # Alternate which goes first, so that neither always runs on a warmer machine.
    if [ $((i % 2)) -eq 0 ]; then
      v=$("$vandrel" "$cart" "$n" $bios 2>/dev/null | grep '^vandrel ' || true)
      m=$("$mgba" "$cart" "$n" $bios 2>/dev/null | grep '^mgba ' || true)
    else
      m=$("$mgba" "$cart" "$n" $bios 2>/dev/null | grep '^mgba ' || true)
      v=$("$vandrel" "$cart" "$n" $bios 2>/dev/null | grep '^vandrel ' || true)
    fi
    if [ -z "$v" ] || [ -z "$m" ]; then
      note="failed: ${v:-bench_fps gave no result} / ${m:-mgba-fps gave no result}"
      break
    fi
    vf=$(field fps "$v")
    mf=$(field fps "$m")
    vs="$vs $vf"
    ms="$ms $mf"
    rs="$rs $(awk -v a="$vf" -v b="$mf" 'BEGIN {print (b > 0 ? a / b : 0)}')"
    for f in counter ewram0; do
      if [ "$(field $f "$v")" != "$(field $f "$m")" ]; then
        note="warning: $f differs (vandrel $(field $f "$v"), mgba $(field $f "$m"))"
      fi
    done
    i=$((i + 1))
  done
  if [ -z "$vs" ]; then
    printf '%-26s %7s  %s\n' "$name" "$n" "$note"
    continue
  fi
  printf '%-26s %7s %12.1f %12.1f %8.3f  %s\n' "$name" "$n" "$(echo "$vs" | median)" "$(echo "$ms" | median)" \
    "$(echo "$rs" | median)" "$note"
done
echo "load average: $(cut -d' ' -f1-3 /proc/loadavg)"
