#!/bin/bash
# The open editor's cost in a real host, measured as a user would see it: jalv.gtk3 (editor open,
# -r 60) minus jalv (console, no editor) with the same plug-in on the "Ghost Choir" preset, over
# the same time, on a private Xvfb server and a JACK server of its own (dummy driver, 48 kHz, 256
# frames), with the demo phrase (the one `umbravox demo` renders) looping into the plug-in. The
# bundle is installed from the build into a folder of its own first.
#
# Measured at screen scale 1, at scale 2 and with jalv.gtk3's window unmapped. Scale 2 is the
# display announcing Xft.dpi 192: jalv.gtk3 (1.6) offers no ui:scaleFactor, not even under
# GDK_SCALE=2, which doubles GTK's own widgets but leaves the editor at 1200 x 800. For the hidden
# window it also measures jalv.gtk3 with its generic controls in place of the editor, unmapped
# the same way: what GTK and jalv cost on their own. Hidden, the figures are small beside the
# noise of the audio thread, so the GUI thread's own CPU is given as well.
#
# The editor reports its frames through UMBRAVOX_FRAME_STATS (see Canvas/Platforms/
# X11FrameStats.h): frames per second, and how long each of the host's idle calls held its GUI
# thread, with the frame's drawing and upload (not while hidden, where that bookkeeping would
# weigh in the figure). The medians and p99s are taken in each second, then the median over the
# seconds.
#
# A benchmark: it prints figures and judges none of them. It fails only when it could not
# measure (a program missing, a host that did not start or died).
#
#   bench/editor_in_jalv.sh [BUILD_DIR] [SECONDS]     (defaults: build, 20 seconds each)
set -u
BUILD=$(realpath "${1:-build}")
SECONDS_EACH=${2:-20}
SETTLE=${UMBRAVOX_BENCH_SETTLE:-5}
URI=urn:marrowfield:umbravox
PRESET="$URI#preset1"
PLAYER="$BUILD/bench/umbravox_jack_demo_player"

for program in jalv jalv.gtk3 jackd jack_connect jack_lsp Xvfb xdotool xprop bc awk; do
  command -v "$program" >/dev/null || { echo "$program is not installed (scripts/setup)"; exit 1; }
done
[ -x "$PLAYER" ] || { echo "$PLAYER is not built"; exit 1; }

DIR=$(mktemp -d /tmp/umbravox-jalv-bench.XXXXXX)
XVFB_PID=""
JACKD_PID=""
PLAYER_PID=""
HOST_PID=""
stop() { # pid: SIGTERM, then SIGKILL after five seconds
  [ -n "$1" ] || return 0
  kill "$1" 2>/dev/null || return 0
  for _ in $(seq 50); do kill -0 "$1" 2>/dev/null || break; sleep 0.1; done
  kill -9 "$1" 2>/dev/null
  wait "$1" 2>/dev/null
}
cleanup() {
  # Clients before the server: a jackd stopped while it still holds a client may never finish.
  stop "$HOST_PID"
  stop "$PLAYER_PID"
  stop "$JACKD_PID"
  stop "$XVFB_PID"
  rm -rf "$DIR"
}
trap cleanup EXIT
fail() { echo "editor_in_jalv: $*"; exit 1; }

cmake --install "$BUILD" --component lv2 --prefix "$DIR/prefix" >/dev/null || fail "cannot install the bundle"
bundle=$(find "$DIR/prefix" -type d -name umbravox.lv2 | head -n 1)
[ -n "$bundle" ] || fail "no bundle installed"
export LV2_PATH=$(dirname "$bundle") HOME="$DIR" UMBRAVOX_NO_UPDATE_CHECK=1
export JACK_DEFAULT_SERVER="umbravox-bench-$$"

display=""
for n in $(seq 120 160); do
  # The test programs' claim on a number (tests/x11/XvfbServer.cpp), held until this script ends,
  # after its server: X servers racing for one number remove each other's sockets.
  exec {claim}>"/tmp/umbravox-test-display-$n.lock"
  flock -n "$claim" || { exec {claim}>&-; continue; }
  { [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ]; } && { exec {claim}>&-; continue; }
  Xvfb ":$n" -noreset -screen 0 2600x1800x24 -nolisten tcp >/dev/null 2>&1 &
  XVFB_PID=$!
  for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X$n" ] && break; sleep 0.1; done
  # Another server may have taken the number meanwhile, and ours given up.
  sleep 0.3
  [ -e "/tmp/.X11-unix/X$n" ] && kill -0 "$XVFB_PID" 2>/dev/null && { display=":$n"; break; }
  stop "$XVFB_PID"
  XVFB_PID=""
  exec {claim}>&-
done
[ -n "$display" ] || fail "no Xvfb display"
export DISPLAY=$display

jackd --no-realtime -n "$JACK_DEFAULT_SERVER" -d dummy -r 48000 -p 256 >"$DIR/jackd.log" 2>&1 &
JACKD_PID=$!
sleep 1.5
"$PLAYER" demo >"$DIR/player.log" 2>&1 &
PLAYER_PID=$!
for _ in $(seq 50); do jack_lsp 2>/dev/null | grep -q '^demo:out_r$' && break; sleep 0.2; done
jack_lsp 2>/dev/null | grep -q '^demo:out_r$' || fail "the demo player did not start: $(cat "$DIR/player.log" "$DIR/jackd.log")"

ticks_per_second=$(getconf CLK_TCK)
cpu_ticks() { awk '{print $14 + $15}' "/proc/$1/stat"; }
# The main thread alone: in jalv.gtk3 the GUI thread, where the editor, GTK and jalv's own UI
# work run (not the audio); steadier than the whole process when the figures are small.
gui_ticks() { awk '{print $14 + $15}' "/proc/$1/task/$1/stat"; }
load_before=$(cut -d' ' -f1 /proc/loadavg)

# The editor's frame lines of a log, summed up: "FPS HOLD_MEDIAN HOLD_P99 HOLD_MAX DRAW UPLOAD
# REST_MAX SECONDS_REPORTED".
summarise_frames() {
  grep -o 'umbravox frame stats: [0-9.]* s .*' | awk '
    function median(a, n,   i, j, t) {
      for (i = 2; i <= n; i++) { t = a[i]; for (j = i - 1; j >= 1 && a[j] > t; j--) a[j + 1] = a[j]; a[j + 1] = t }
      return n ? (n % 2 ? a[(n + 1) / 2] : (a[n / 2] + a[n / 2 + 1]) / 2) : 0
    }
    {
      for (i = 1; i <= NF; i++) {
        if ($i == "s") secs += $(i - 1)
        if ($i == "frames") frames += $(i - 1)
        if ($i == "median" && $(i - 1) == "hold-ms") hm[++n] = $(i + 1)
        if ($i == "p99") hp[n] = $(i + 1)
        if ($i == "max" && $(i + 1) > hmax) hmax = $(i + 1)
        if ($i == "draw") dr[n] = $(i + 1)
        if ($i == "upload") up[n] = $(i + 1)
        if ($i == "rest-max" && $(i + 1) > rmax) rmax = $(i + 1)
      }
    }
    END {
      printf "%.1f %.2f %.2f %.2f %.2f %.2f %.2f %.0f\n", secs ? frames / secs : 0, median(hm, n),
             median(hp, n), hmax, median(dr, n), median(up, n), rmax, secs
    }'
}

# Starts a host (jack name $1, the command line after it), connects the demo phrase to the
# plug-in, lets it settle, runs $BEFORE_MEASURE if set, and measures: sets CPU (the host's CPU
# use as a percentage of one core), GUI (its main thread's) and FRAMES (summarise_frames over the
# measuring time).
measure() {
  local name=$1
  shift
  # jalv prints its output ports on stdout; the editor's figures come on stderr.
  "$@" >"$DIR/$name.out" 2>"$DIR/$name.log" &
  HOST_PID=$!
  for _ in $(seq 100); do jack_lsp 2>/dev/null | grep -q "^$name:in_r$" && break; sleep 0.2; done
  jack_connect demo:out_l "$name:in_l" && jack_connect demo:out_r "$name:in_r" ||
    fail "$name did not come up: $(tail -n 5 "$DIR/$name.log")"
  sleep "$SETTLE"
  [ -n "${BEFORE_MEASURE:-}" ] && { eval "$BEFORE_MEASURE"; sleep 1; }
  local a b ga gb lines
  lines=$(wc -l <"$DIR/$name.log")
  a=$(cpu_ticks "$HOST_PID")
  ga=$(gui_ticks "$HOST_PID")
  sleep "$SECONDS_EACH"
  b=$(cpu_ticks "$HOST_PID") || fail "$name died while measured: $(tail -n 5 "$DIR/$name.log")"
  gb=$(gui_ticks "$HOST_PID")
  FRAMES=$(tail -n +"$((lines + 1))" "$DIR/$name.log" | summarise_frames)
  WINDOW=$(grep -o -m 1 'umbravox frame stats: window .*' "$DIR/$name.log" | cut -d' ' -f5-)
  stop "$HOST_PID"
  HOST_PID=""
  CPU=$(echo "scale=1; 100 * ($b - $a) / $ticks_per_second / $SECONDS_EACH" | bc)
  GUI=$(echo "scale=2; 100 * ($gb - $ga) / $ticks_per_second / $SECONDS_EACH" | bc)
}

minus() { printf '%.1f' "$(echo "$1 - $2" | bc)"; }
hide='for w in $(xdotool search --onlyvisible --pid $HOST_PID); do xdotool windowunmap $w; done'
# read: FPS HOLD_MEDIAN HOLD_P99 HOLD_MAX DRAW UPLOAD REST_MAX SECONDS
frames_line() {
  read -r fps hm hp hx dr up rx secs <<<"$1"
  [ "${secs:-0}" -gt 0 ] || fail "the editor reported no frames ($2)"
  printf '%5.1f frames/s  idle call holds %.2f ms median, %.2f p99, %.2f max (draw %.2f + upload %.2f; beyond them at most %.2f)' \
    "$fps" "$hm" "$hp" "$hx" "$dr" "$up" "$rx"
}

measure console bash -c "exec jalv -n console -p '$PRESET' '$URI' < <(sleep 100000)"
console=$CPU
export UMBRAVOX_FRAME_STATS=1
measure gtk1 jalv.gtk3 -r 60 --jack-name gtk1 -p "$PRESET" "$URI"
gtk1=$CPU frames1=$FRAMES window1=$WINDOW
xprop -root -f RESOURCE_MANAGER 8s -set RESOURCE_MANAGER "Xft.dpi:	192"
measure gtk2 jalv.gtk3 -r 60 --jack-name gtk2 -p "$PRESET" "$URI"
gtk2=$CPU frames2=$FRAMES window2=$WINDOW
xprop -root -remove RESOURCE_MANAGER
# Hidden, the editor's own bookkeeping of its pumps would weigh in the figure.
unset UMBRAVOX_FRAME_STATS
BEFORE_MEASURE=$hide measure gtk3 jalv.gtk3 -r 60 --jack-name gtk3 -p "$PRESET" "$URI"
hidden=$CPU hidden_gui=$GUI
BEFORE_MEASURE=$hide measure gtkg jalv.gtk3 -g -r 60 --jack-name gtkg -p "$PRESET" "$URI"
generic_hidden=$CPU generic_hidden_gui=$GUI hidden_gui=$GUI
load_after=$(cut -d' ' -f1 /proc/loadavg)

line1=$(frames_line "$frames1" "scale 1") || { echo "$line1"; exit 1; }
line2=$(frames_line "$frames2" "scale 2") || { echo "$line2"; exit 1; }
echo "jalv (console):                     $console % of one core"
echo "jalv.gtk3, scale 1:                 $gtk1 %  -> editor $(minus "$gtk1" "$console") %   [window $window1]"
echo "                                    $line1"
echo "jalv.gtk3, scale 2 (Xft.dpi 192):   $gtk2 %  -> editor $(minus "$gtk2" "$console") %   [window $window2]"
echo "                                    $line2"
echo "jalv.gtk3, window unmapped:         $hidden %  -> editor $(minus "$hidden" "$console") %   (GUI thread: $hidden_gui %)"
echo "jalv.gtk3 generic UI, unmapped:     $generic_hidden %  -> GTK and jalv alone $(minus "$generic_hidden" "$console") %   (GUI thread: $generic_hidden_gui %)"
echo "machine load (1 min):               $load_before before, $load_after after, on $(nproc) cores; ${SECONDS_EACH} s each"
