#!/usr/bin/env bash
# Builds Kestrix (Release) and prints one table of headless speed figures:
# frames per second and times real time (best of several runs, wall clock),
# and callgrind instructions per frame (exact and repeatable, whatever else
# the machine is doing).
#
#   scripts/bench.sh [--runs=N] [--no-callgrind] [--only=REGEX] [--debug=exec|watch]
#
# --debug=exec sets one execution break point, --debug=watch one memory write
# watch point, through the monitor, at an address the cases never reach: the
# cost of the debugger's watched step.
#
# Each case runs some frames first (boot, typing, the start of loading) that
# are neither timed nor profiled (--bench-skip), then the measured frames.
# Environment: KESTRIX_BENCH_BUILD (build directory, default build/),
# KESTRIX_SHARED (shared media and ROM images, default ../shared).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${KESTRIX_BENCH_BUILD:-$root/build}"
shared="${KESTRIX_SHARED:-$root/../shared}"
runs=3
callgrind=1
only=""
monitor_script=""
for arg in "$@"; do
  case "$arg" in
    --runs=*) runs="${arg#--runs=}" ;;
    --no-callgrind) callgrind=0 ;;
    --only=*) only="${arg#--only=}" ;;
    --debug=exec) monitor_script='break &3FFF\ncontinue\n' ;;
    --debug=watch) monitor_script='watch w &3FFF &5A\ncontinue\n' ;;
    *) echo "usage: $0 [--runs=N] [--no-callgrind] [--only=REGEX] [--debug=exec|watch]" >&2; exit 2 ;;
  esac
done

cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" -j"$(nproc)" --target kestrix >/dev/null
kestrix="$build/kestrix"
# The sprite test program of tests/asic (assembled with pasmo), when pasmo is there.
cmake --build "$build" -j"$(nproc)" --target kestrix_asic_programs >/dev/null 2>&1 || true

# A base directory of its own: the ROM images and no configuration file.
home="$(mktemp -d)"
trap 'rm -rf "$home"' EXIT
if [ -d "$shared/roms" ]; then
  ln -s "$(cd "$shared/roms" && pwd)" "$home/ROM"
elif [ -e "$build/ROM" ]; then
  ln -s "$(cd "$build/ROM" && pwd)" "$home/ROM"
else
  echo "bench: no ROM images (looked in $shared/roms and $build/ROM)" >&2
  exit 1
fi
media="$(cd "$shared" 2>/dev/null && pwd)/media"

# A cartridge holding the sprite test program in bank 0 (RIFF "AMS!" with one
# 16 KB "cb00" chunk), or nothing when the program was not assembled.
sprites_cpr=""
sprites_bin="$build/tests/asic_programs/asic_sprites.bin"
if [ -s "$sprites_bin" ] && [ "$(stat -c %s "$sprites_bin")" -le 16384 ]; then
  sprites_cpr="$home/sprites.cpr"
  le32() { printf '\\x%02x' $(($1 & 255)) $(($1 >> 8 & 255)) $(($1 >> 16 & 255)) $(($1 >> 24 & 255)); }
  {
    printf 'RIFF'; printf "$(le32 $((4 + 8 + 16384)))"; printf 'AMS!cb00'; printf "$(le32 16384)"
    head -c 16384 <(cat "$sprites_bin" /dev/zero)
  } >"$sprites_cpr"
fi

if [ "$callgrind" = 1 ] && ! command -v valgrind >/dev/null; then
  echo "bench: valgrind not found (scripts/setup.sh installs it); callgrind column skipped" >&2
  callgrind=0
fi

# Cases: name | frames skipped | frames timed | frames under callgrind | arguments
# (arguments are split on spaces; a lone word in double quotes stays whole).
cases=(
  "6128 idle|100|3000|150|-c 6128"
  "6128 MODE 2 printing|300|2000|100|-c 6128 -a \"MODE 2:WHILE 1:PRINT \\\"KESTRIX \\\";:WEND\""
  "464 loading cpcrogue.cdt|300|2100|150|-c 464 -k '$media/cpcrogue.cdt' -e"
  "6128 cpcrogue.dsk load+run|150|750|300|-c 6128 -0 '$media/cpcrogue.dsk' -a \"run\\\"cpcrogue\""
  # The 6128+ idle in BASIC with the stand-in system cartridge.
  "6128+ idle|100|3000|150|-c 6128+"
  # The 6128+ running the sprite test cartridge (five sprites on a blue screen).
  "6128+ sprites|100|3000|150|${sprites_cpr:+-c 6128+ -p '$sprites_cpr'}"
)

# Argument strings -> array (eval keeps the quoted words whole); with --debug
# the monitor reads its script from standard input.
split_args() {
  eval "args=($1)"
  if [ -n "$monitor_script" ] && [ ${#args[@]} -gt 0 ]; then args+=(--monitor); fi
}
monitor_input() { printf "${monitor_script:-}"; }

# Runs one headless session; prints "frames seconds" from the --bench line, or nothing.
timed_run() {
  local out
  out="$(monitor_input | KESTRIX_HOME="$home" "$kestrix" --headless --bench --frames="$1" --bench-skip="$2" "${args[@]}" 2>/dev/null)" || return 0
  sed -n 's/^frames \([0-9]*\), seconds \([0-9.]*\),.*/\1 \2/p' <<<"$out"
}

# Why a case cannot run, or nothing when it can.
cannot_start() {
  if [ ${#args[@]} -eq 0 ]; then echo "no arguments yet"; return 0; fi
  local log rc=0
  log="$(monitor_input | KESTRIX_HOME="$home" "$kestrix" --headless --frames=2 "${args[@]}" 2>&1)" || rc=$?
  log="$(grep -av "Kestrix.ini" <<<"$log")"
  # A missing system cartridge is replaced by the stand-in: not a failure.
  if grep -aq "stand-in cartridge" <<<"$log"; then
    log="$(grep -avE "SDL_OpenFile|cartridge not correctly loaded" <<<"$log")"
  fi
  if [ "$rc" != 0 ] || grep -aqiE "can't be started|must exist before starting|not correctly loaded|not found" <<<"$log"; then
    grep -aiE "can't be started|must exist|not correctly loaded|not found" <<<"$log" | head -1 |
      sed "s/^[A-Z]*: *//; s#$home/##g" | cut -c1-170
    if [ "$rc" != 0 ]; then echo "exit code $rc"; fi
  fi
  return 0
}

printf '%-28s %10s %12s %20s\n' "case" "frames/s" "x real time" "callgrind Ir/frame"
printf '%-28s %10s %12s %20s\n' "----------------------------" "----------" "------------" "--------------------"
notes=()
for c in "${cases[@]}"; do
  IFS='|' read -r name skip frames cgframes argtext <<<"$c"
  if [ -n "$only" ] && ! grep -qE "$only" <<<"$name"; then continue; fi
  split_args "$argtext"
  why="$(cannot_start)"
  if [ -n "$why" ]; then
    printf '%-28s %10s %12s %20s\n' "$name" "-" "-" "-"
    notes+=("$name: skipped ($(tr '\n' ' ' <<<"$why" | sed 's/ *$//'))")
    continue
  fi
  best=""
  for ((r = 0; r < runs; r++)); do
    read -r n secs <<<"$(timed_run $((skip + frames)) "$skip")"
    [ -z "${secs:-}" ] && continue
    if [ -z "$best" ] || awk -v a="$secs" -v b="$best" 'BEGIN { exit !(a < b) }'; then best="$secs"; fi
  done
  fps="-"; ratio="-"
  if [ -n "$best" ]; then
    # A frame is 19968 us of emulated time: 50.08 frames per real second.
    fps="$(awk -v f="$frames" -v s="$best" 'BEGIN { printf "%.1f", (s > 0 ? f / s : 0) }')"
    ratio="$(awk -v f="$frames" -v s="$best" 'BEGIN { printf "%.2f", (s > 0 ? f * 0.019968 / s : 0) }')"
  fi
  ir="-"
  if [ "$callgrind" = 1 ]; then
    cgout="$home/callgrind.out"
    rm -f "$cgout"
    monitor_input | KESTRIX_HOME="$home" valgrind --tool=callgrind --instr-atstart=no --callgrind-out-file="$cgout" \
      "$kestrix" --headless --frames=$((skip + cgframes)) --bench-skip="$skip" "${args[@]}" >/dev/null 2>&1 || true
    total="$(sed -n 's/^totals: *\([0-9]*\).*/\1/p' "$cgout" 2>/dev/null | head -1)"
    [ -n "$total" ] && ir="$(awk -v t="$total" -v f="$cgframes" 'BEGIN { printf "%.0f", t / f }' |
      sed ':a;s/\B[0-9]\{3\}\>/,&/;ta')"
  fi
  printf '%-28s %10s %12s %20s\n' "$name" "$fps" "$ratio" "$ir"
done
for n in "${notes[@]}"; do echo "note: $n"; done
echo "($(nproc) cores, load average $(cut -d' ' -f1-3 /proc/loadavg); wall clock is the best of $runs runs of the timed frames," \
  "callgrind counts the frames after the skipped ones)"
