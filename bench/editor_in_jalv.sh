#!/bin/bash
# The open editor's share of one core in a real host, measured as a user would see it:
# jalv.gtk3 (editor open, -r 60) minus jalv (console, no editor) with the same plug-in on the
# "Ghost Choir" preset, over the same time, on a private Xvfb server and a JACK server of its own
# (dummy driver, 48 kHz, 256 frames) with a click track (jack_metro, 120 bpm, 0.5 s tones) feeding
# the plug-in. Measured at screen scale 1, at scale 2 (the display announcing Xft.dpi 192, since
# jalv.gtk3 offers no ui:scaleFactor) and with jalv.gtk3's window unmapped. A benchmark: it prints
# figures and judges nothing.
#
#   bench/editor_in_jalv.sh [BUILD_DIR] [SECONDS]     (defaults: build, 20)
set -u
BUILD=$(realpath "${1:-build}")
SECONDS_EACH=${2:-20}
URI=https://umbravox.example/plugins/umbravox
PRESET="$URI#preset1"

for program in jalv jalv.gtk3 jackd jack_metro jack_connect Xvfb xdotool xprop bc; do
  command -v "$program" >/dev/null || { echo "$program is not installed (scripts/setup)"; exit 1; }
done

DIR=$(mktemp -d /tmp/umbravox-jalv-bench.XXXXXX)
PIDS=()
cleanup() {
  for pid in "${PIDS[@]}"; do kill "$pid" 2>/dev/null; done
  wait 2>/dev/null
  rm -rf "$DIR"
}
trap cleanup EXIT

cmake -DUMBRAVOX_LV2_INSTALL_DIR="$DIR/lv2" -DCMAKE_INSTALL_COMPONENT=lv2 -P "$BUILD/cmake_install.cmake" >/dev/null
export LV2_PATH="$DIR/lv2" HOME="$DIR" UMBRAVOX_NO_UPDATE_CHECK=1
export JACK_DEFAULT_SERVER="umbravox-bench-$$"

display=""
for n in $(seq 120 160); do
  [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] && continue
  Xvfb ":$n" -noreset -screen 0 2600x1800x24 -nolisten tcp >/dev/null 2>&1 &
  PIDS+=($!)
  sleep 1
  [ -e "/tmp/.X11-unix/X$n" ] && { display=":$n"; break; }
done
[ -n "$display" ] || { echo "no Xvfb display"; exit 1; }
export DISPLAY=$display

jackd --no-realtime -n "$JACK_DEFAULT_SERVER" -d dummy -r 48000 -p 256 >"$DIR/jackd.log" 2>&1 &
PIDS+=($!)
sleep 1.5
jack_metro -n click -b 120 -D 500 -A 0.5 >/dev/null 2>&1 &
PIDS+=($!)
sleep 0.5

ticks_per_second=$(getconf CLK_TCK)
cpu_ticks() { awk '{print $14 + $15}' "/proc/$1/stat"; }

# Starts a host, connects the click to the plug-in, waits for it to settle and prints the host's
# CPU use over the measuring time as a percentage of one core. $1: a name for jack; the rest: the
# command line.
measure() {
  local name=$1
  shift
  "$@" >"$DIR/$name.log" 2>&1 &
  local pid=$!
  PIDS+=($pid)
  sleep 4
  jack_connect click:click "$name:in_l" 2>/dev/null || jack_connect click:click "$name:lv2_audio_in_1" 2>/dev/null
  jack_connect click:click "$name:in_r" 2>/dev/null || jack_connect click:click "$name:lv2_audio_in_2" 2>/dev/null
  [ -n "${BEFORE_MEASURE:-}" ] && eval "$BEFORE_MEASURE"
  sleep 2
  local a b
  a=$(cpu_ticks "$pid")
  sleep "$SECONDS_EACH"
  b=$(cpu_ticks "$pid")
  kill "$pid" 2>/dev/null
  wait "$pid" 2>/dev/null
  echo "scale=1; 100 * ($b - $a) / $ticks_per_second / $SECONDS_EACH" | bc
}

console=$(measure console bash -c "exec jalv -n console -p '$PRESET' '$URI' < <(sleep 100000)")
gtk1=$(measure gtk1 jalv.gtk3 -r 60 --jack-name gtk1 -p "$PRESET" "$URI")
xprop -root -f RESOURCE_MANAGER 8s -set RESOURCE_MANAGER "Xft.dpi:	192"
gtk2=$(measure gtk2 jalv.gtk3 -r 60 --jack-name gtk2 -p "$PRESET" "$URI")
xprop -root -remove RESOURCE_MANAGER
hidden=$(BEFORE_MEASURE='for w in $(xdotool search --onlyvisible --pid $pid); do xdotool windowunmap $w; done' \
         measure gtk3 jalv.gtk3 -r 60 --jack-name gtk3 -p "$PRESET" "$URI")

echo "jalv (console):                 $console % of one core"
echo "jalv.gtk3, scale 1:             $gtk1 %  -> editor $(echo "$gtk1 - $console" | bc) %"
echo "jalv.gtk3, scale 2:             $gtk2 %  -> editor $(echo "$gtk2 - $console" | bc) %"
echo "jalv.gtk3, window unmapped:     $hidden %  -> editor $(echo "$hidden - $console" | bc) %"
echo "machine load (1 min):           $(cut -d' ' -f1 /proc/loadavg) on $(nproc) cores"
