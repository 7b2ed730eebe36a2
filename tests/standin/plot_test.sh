#!/usr/bin/env bash
# scripts/plot.sh on a recorded run of vantilo against the stand-in
# (plot_fixture.trace, made from plot_fixture.scenario): the SVG holds every
# series and band label, the menu picks, and a title with the client, the
# scenario, the frame rate and the count of frames without a command outside
# the bands. With one camera command at a time taken out of the trace, that
# count and the red markers grow exactly when its frame lies outside every
# band, and the printed counts place it (outside, inside, after quit), whatever
# the trace's name and the heading last set. A command the simulator ignored
# still answers its frame.
# Usage: plot_test.sh PLOT_SH FIXTURE_TRACE
set -uo pipefail

plot=$(realpath "$1")
fixture=$(realpath "$2")
# shellcheck source-path=SCRIPTDIR source=../support/shell_checks.sh
source "$(dirname "$0")/../support/shell_checks.sh"

if ! command -v gnuplot >/dev/null 2>&1; then
  echo "FAIL gnuplot is not installed (scripts/setup.sh installs gnuplot-nox)"
  exit 1
fi

title_start='Vantilo, plot fixture, 4 fps, speed 2. Frames without a command outside the bands:'
title_end=''  # after the count

# Runs plot.sh in $work with the arguments after SVG WANTED HELD AFTER WHAT;
# fails unless the picture is at SVG, its title and red markers (after the
# legend's own) count WANTED, its y axis spans the fixture banks' -40 to 40,
# and plot.sh prints WANTED, HELD in the bands and AFTER quit of 23 frames.
check_count() {
  local svg=$1 wanted=$2 held=$3 after=$4 what=$5 markers counts expected span
  shift 5
  rm -f "$svg"
  if ! counts=$(cd "$work" && bash "$plot" --scenario "plot fixture" "$@" </dev/null); then
    fail "$what: plot.sh failed"
    return
  fi
  [[ -f $svg ]] || {
    fail "$what: no picture at $svg"
    return
  }
  expected="frames=23 outside_bands=$wanted in_bands=$held after_quit=$after"
  [[ $counts == "$expected" ]] || fail "$what: printed '$counts', wanted '$expected'"
  grep -qF "<text>$title_start $wanted$title_end</text>" "$svg" ||
    fail "$what: wanted the title to count $wanted; it reads: $(grep -o 'Frames without[^<]*' "$svg")"
  markers=$(grep -c "color='rgb(255,   0,   0)'" "$svg")
  ((markers == wanted + 1)) || fail "$what: $((markers - 1)) red markers, wanted $wanted"
  # The y axis's tick labels, bottom to top, are the right-aligned numbers.
  span=$(grep -A1 'text-anchor="end"' "$svg" | grep '<text>' | sed 's/<[^>]*>//g; s/^[[:space:]]*//' |
    grep -E '^-?[0-9][0-9.x]*$' | sed -n '1p;$p' | tr '\n' ' ')
  [[ $span == '-40 40 ' ]] || fail "$what: the y axis spans '$span', wanted '-40 40 '"
}

# 1. The trace as recorded: every frame without a command lies in a band.
check_count "$work/fixture.svg" 0 10 0 "the fixture" "$fixture" fixture.svg
for series in 'hat hold' 'menu Pause' 'view not virtual cockpit' 'simulator paused' \
  'aircraft bank' 'camera heading as last set' '1sec' 'menu pick' 'quit' 'frame without a command'; do
  grep -qF "<title>$series</title>" "$work/fixture.svg" || fail "the fixture: no series '$series'"
done
picks=$(grep -o '<tspan[^>]*>[A-Za-z]*</tspan>' "$work/fixture.svg" | sed 's/<[^>]*>//g' | tr '\n' ' ')
[[ $picks == 'Pause Pause Exit ' ]] || fail "the fixture: menu picks labelled '$picks', wanted 'Pause Pause Exit '"

# 2. One camera command taken out (frame n is at n / 2 simulated seconds),
# and where the row says F:V the heading of frame F's command set to V: the
# frames then without a command outside the bands, in them, after quit. Saved
# under the row's trace name, plot.sh must draw it at the row's picture name.
commands='("kind":"camera"|CameraSetRelative6DOF)'
while read -r frames heading trace picture wanted held after why; do
  grep -v -E "\"frame\":($frames),.*$commands" "$fixture" |
    sed -E "/\"frame\":${heading%%:*},.*$commands/ s/\"heading\":[^,}]*/\"heading\":${heading#*:}/" \
      >"$work/$trace"
  cmp -s "$fixture" "$work/$trace" && fail "frames $frames: the fixture has no command there"
  check_count "$work/$picture" "$wanted" "$held" "$after" "frames $frames, heading $heading, $trace ($why)" \
    "$trace"
done <<'ROWS'
4     -         variant.trace  variant.svg  1 10 0  a turn, outside every band
12    -         fps=60.jsonl   fps=60.svg   1 10 0  the 4th "1sec" after the hat ends the hat hold
14    -         -              -.svg        0 11 0  in the 2D cockpit, where vantilo follows again from its next "1sec"
15    -         ./run          run.svg      1 10 0  back in the virtual cockpit
18    -         variant.trace  variant.svg  1 10 0  the second Pause pick ends the menu Pause
19    -         variant.trace  variant.svg  0 11 0  the simulator's own pause
20    -         variant.trace  variant.svg  1 10 0  the simulator runs again
23    -         variant.trace  variant.svg  0 10 1  the Exit pick: the client is quitting
4|20  -         variant.trace  variant.svg  2 10 0  two frames outside the bands
4     3:"-inf"  variant.trace  variant.svg  1 10 0  the camera left at -inf, drawn on the axis's edge
4     3:3e38    variant.trace  variant.svg  1 10 0  the camera left beyond any heading a bank gives, on the edge
4     3:"nan"   variant.trace  variant.svg  1 10 0  the camera left at nan, on the zero line
ROWS

# 3. A command the simulator ignored answers its frame, moves no heading
# (here one of 60, which a fault after it would draw and the y axis span)
# and is counted in the title.
title_end='. Camera commands the simulator ignored: 1'
ignored='/"frame":3,.*"kind":"camera"/'
grep -v -E "\"frame\":4,.*$commands" "$fixture" |
  sed -E "$ignored s/\"heading\":[^,}]*/\"heading\":60/; $ignored s/\}\$/,\"ignored\":true}/" \
    >"$work/ignored.trace"
grep -qF '"ignored":true' "$work/ignored.trace" || fail "no command marked ignored"
check_count "$work/ignored.svg" 1 10 0 "frame 3's command ignored, frame 4's taken out" ignored.trace

((failures == 0)) || exit 1
echo "ok: the plot counts and marks the frames without a command outside the bands"
