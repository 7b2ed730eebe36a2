#!/usr/bin/env bash
# Draws a stand-in trace (vantilo-standin --trace FILE) as one picture with
# gnuplot: the aircraft's bank and the camera heading as last set against
# simulated time, shaded bands where camera commands stop on purpose (hat
# hold, menu Pause, a view other than the virtual cockpit, the simulator's
# pause), ticks for the "1sec" events, markers for the menu picks and the
# quit, and in red the frames left without a command outside those bands.
# Camera commands the simulator ignored (the trace marks them "ignored")
# answer their frames but move no heading; the title counts them.
# awk below only turns the trace into gnuplot's data blocks and values.
# Usage: plot.sh [--scenario NAME] TRACE [OUT.svg|OUT.png]
#   NAME goes in the title (default: the trace's file name); OUT defaults
#   to TRACE with .svg in place of its file name's extension (run.jsonl
#   gives run.svg, ./run gives ./run.svg). Any file name will do, for TRACE
#   and OUT alike. On success prints one line
#   with the drawn client's frames and those of them without a command:
#   outside the bands (the title's count), inside them, and after it quit:
#     frames=1680 outside_bands=0 in_bands=438 after_quit=0
#   after_quit are the frames from the client's Exit pick or quit to its
#   leaving, neither held nor faults. The last three add up to the
#   stand-in's "frames without command while a client followed" for the
#   client, on a run whose frame records all went out, but for a last frame the
#   client left unanswered: the stand-in counts a frame when it draws the
#   next one with the client still following.
set -euo pipefail

scenario=
if [[ ${1:-} == --scenario ]]; then
  scenario=${2:?plot: --scenario needs a name}
  shift 2
fi
if (($# < 1 || $# > 2)); then
  echo "usage: plot.sh [--scenario NAME] TRACE [OUT.svg|OUT.png]" >&2
  exit 2
fi
trace=$1
# The extension is that of the file name, never of a folder, and a name
# that starts with its only dot (.trace) has none.
folder='' base=$trace
if [[ $trace == */* ]]; then
  folder=${trace%/*}/ base=${trace##*/}
fi
stem=${base%.*}
[[ -n $stem ]] || stem=$base
out=${2:-$folder$stem.svg}
[[ -n $scenario ]] || scenario=$base
case $out in
  *.svg) terminal="svg size 1200,600 dynamic font 'sans,10' background '#ffffff'" ;;
  *.png) terminal="pngcairo size 1200,600 font 'sans,10' background '#ffffff'" ;;
  *)
    echo "plot: $out: the picture's name must end in .svg or .png" >&2
    exit 2
    ;;
esac
if ! command -v gnuplot >/dev/null 2>&1; then
  echo "plot: gnuplot is not installed (scripts/setup.sh installs gnuplot-nox)" >&2
  exit 1
fi
[[ -r $trace ]] || {
  echo "plot: cannot read trace $trace" >&2
  exit 1
}

# The client drawn is the first one that received per-frame data. Its frame
# counts as without a command when no camera command of it was applied before
# the next frame (the stand-in's own rule), and as a fault when that frame
# lies outside every band and before the client quit (its Exit pick, the
# simulator's quit record, or its leaving). The script's first line, a
# gnuplot comment, holds the counts.
to_gnuplot() {
  # The scenario reaches awk through the environment, where no backslash in
  # it is taken for an escape, and the trace as ./NAME unless it is absolute,
  # so that no name reads as an option (-x), standard input (-) or a
  # variable assignment (fps=60.jsonl).
  local file=$2
  [[ $file == /* ]] || file=./$file
  SCENARIO=$1 awk '
    function field(name, line) {
      if (!match(line, "[{,]\"" name "\":")) return ""
      line = substr(line, RSTART + RLENGTH)
      if (substr(line, 1, 1) == "\"") {
        match(line, /^"([^"\\]|\\.)*"/)
        return substr(line, 2, RLENGTH - 2)
      }
      match(line, /^[^,}]*/)
      return substr(line, 1, RLENGTH)
    }
    # The y range holds the banks and the headings of faults that are finite
    # and within cap (below); any other value leaves it alone and is drawn
    # on the edge of the range on its side (nan, which has none, on the
    # zero line). The trace writes non-finite values as the strings "nan", "inf"
    # and "-inf": they are told by their text, as awks differ in what such
    # a text is worth as a number and in comparisons with nan.
    function meaningful(text) { return text ~ /^-?[0-9]/ && text + 0 <= cap && text + 0 >= -cap }
    function take(text,   v) { if (!meaningful(text)) return; v = text + 0; if (v < 0) v = -v; if (v > ymax) ymax = v }
    function shown(text) { return meaningful(text) ? text + 0 : text ~ /nan/ ? 0 : text ~ /^-/ ? -range : range }
    function printable(text) { gsub(/[^A-Za-z0-9 ._:()+-]/, "?", text); return text }
    function open_band(kind) { if (!(kind in from)) from[kind] = t }
    function close_band(kind) {
      if (!(kind in from)) return
      bands[kind] = bands[kind] from[kind] " " t "\n"
      starts[kind, ++nbands[kind]] = from[kind]; ends[kind, nbands[kind]] = t
      delete from[kind]
    }
    function in_band(at,   k, i) {
      for (k in nbands)
        for (i = 1; i <= nbands[k]; i++)
          if (starts[k, i] <= at && at < ends[k, i]) return 1
      return 0
    }
    function block(name, rows, empty) {
      # A block with no rows gets one outside the x range: gnuplot then draws
      # nothing for it, keeps its legend entry and does not warn.
      printf "$%s << EOD\n%sEOD\n", name, rows == "" ? empty "\n" : rows
    }
    BEGIN {
      # The largest magnitude either curve can mean. A bank is within 180
      # degrees; the heading vantilo sends is the bank times 180 / 3.1415,
      # about 180 from a bank in radians and at most 10313.5 from a bank of
      # 180 that a simulator sends in degrees where radians were asked.
      cap = 10314
    }
    NR == FNR {
      if (chosen == "" && $0 ~ /"record":"SIMOBJECT_DATA"/ && $0 ~ /"bank":/) chosen = field("client", $0)
      next
    }
    {
      t = field("t", $0) + 0; kind = field("kind", $0); client = field("client", $0)
      last_t = t
    }
    kind == "action" {
      action = field("action", $0)
      if (action == "view") {
        if (field("view", $0) == "virtual") { close_band("view"); close_band("hat") }
        else open_band("view")
      }
      if (action == "pause") { if (field("paused", $0) == "true") open_band("simpause"); else close_band("simpause") }
    }
    client != chosen { next }
    kind == "packet" {
      type = field("type", $0)
      if (type == "Open") name = printable(field("application_name", $0))
      if (type == "SubscribeToSystemEvent") system_event[field("event_id", $0)] = tolower(field("event_name", $0))
      if (type == "MapInputEventToClientEvent" && tolower(field("input_definition", $0)) == "joystick:0:pov")
        hat_event[field("down_event_id", $0)] = 1
      if (type == "MenuAddItem") menu_text[field("menu_event_id", $0)] = printable(field("text", $0))
      if (type == "MenuAddSubItem") menu_text[field("sub_menu_event_id", $0)] = printable(field("text", $0))
    }
    kind == "camera" {
      # A command the simulator ignored (--simulator msfs2020, msfs2024)
      # answers its frame but leaves the camera where it was.
      answered[field("frame", $0)] = 1
      if (field("ignored", $0) == "true") { nignored++; next }
      heading = field("heading", $0); have_heading = 1
      heading_t[++nheadings] = t; heading_at[nheadings] = heading
    }
    kind == "record" {
      record = field("record", $0)
      if (record == "EVENT_FRAME" && fps == "") { fps = field("frame_rate", $0); speed = field("sim_speed", $0) }
      if (record == "QUIT" && quit_t == "") quit_t = t
      if (record == "SIMOBJECT_DATA" && field("dropped", $0) != "true" && field("bank", $0) ~ /^-?[0-9]/) {
        degrees = field("bank", $0) * (field("bank_unit", $0) == "radians" ? 180 / 3.14159265358979 : 1)
        banks = banks t " " degrees "\n"
        take(degrees)
        frame = field("frame", $0)
        data_frame[++ndata] = frame; data_t[frame] = t; data_heading[frame] = have_heading ? heading : 0
        if (first_wall == "") { first_wall = field("wall", $0) + 0; first_frame = frame }
        last_wall = field("wall", $0) + 0; last_frame = frame
      }
      if (record == "EVENT") {
        id = field("event_id", $0)
        if (id in hat_event) { open_band("hat"); seconds_since_hat = 0 }
        if (system_event[id] == "1sec") {
          ticks = ticks t "\n"
          if ("hat" in from && ++seconds_since_hat > 3) close_band("hat")
        }
        if (id in menu_text) {
          picks = picks t " \"" menu_text[id] "\"\n"
          if (menu_text[id] == "Pause") { if ("menu" in from) close_band("menu"); else open_band("menu") }
          if (menu_text[id] == "Exit" && exit_t == "") exit_t = t
        }
      }
    }
    kind == "disconnect" && quit_t == "" { quit_t = t }
    END {
      if (chosen == "") { print "plot: no client received per-frame data in this trace" > "/dev/stderr"; exit 1 }
      t = last_t
      for (k in from) close_band(k)
      if (have_heading) { heading_t[++nheadings] = t; heading_at[nheadings] = heading }
      if (quit_t != "") quits = quit_t "\n"
      until_t = exit_t != "" && (quit_t == "" || exit_t < quit_t) ? exit_t : quit_t
      for (i = 1; i <= ndata; i++) {
        f = data_frame[i]
        if (f in answered) continue
        if (until_t != "" && data_t[f] >= until_t) { nafter++; continue }
        if (in_band(data_t[f])) { nheld++; continue }
        fault_frame[++nfaults] = f; take(data_heading[f])
      }
      range = (int(ymax / 10) + 2) * 10
      for (i = 1; i <= nheadings; i++) headings = headings heading_t[i] " " shown(heading_at[i]) "\n"
      for (i = 1; i <= nfaults; i++) faults = faults data_t[fault_frame[i]] " " shown(data_heading[fault_frame[i]]) "\n"
      if (fps == "" && last_wall > first_wall) fps = int((last_frame - first_frame) / (last_wall - first_wall) + 0.5)
      printf "# frames=%d outside_bands=%d in_bands=%d after_quit=%d\n", ndata, nfaults, nheld, nafter
      rate = (fps == "" ? "?" : fps + 0) " fps" (speed != "" && speed + 0 != 1 ? ", speed " speed + 0 : "")
      printf "title = \"%s, %s, %s. Frames without a command outside the bands: %d%s\"\n", \
        name == "" ? "client " chosen : name, printable(ENVIRON["SCENARIO"]), rate, nfaults, \
        nignored ? ". Camera commands the simulator ignored: " nignored : ""
      printf "tend = %s\nymax = %d\n", t, range
      block("bank", banks, "-1 0"); block("heading", headings, "-1 0")
      block("hat", bands["hat"], "-1 -1"); block("menu", bands["menu"], "-1 -1")
      block("view", bands["view"], "-1 -1"); block("simpause", bands["simpause"], "-1 -1")
      block("ticks", ticks, "-1"); block("picks", picks, "-1 \"\""); block("quit", quits, "-1")
      block("faults", faults, "-1 0")
    }' "$file" "$file"
}

script=$(to_gnuplot "$scenario" "$trace")
# gnuplot writes the picture to its standard output, so that the shell, not
# a gnuplot string, names the file.
gnuplot >"$out" <<EOF
$script
set terminal $terminal
set title title noenhanced
set xlabel 'simulated time (s)'
set ylabel 'degrees (bank: left is +; heading: right is +)'
set xrange [0:tend]
set yrange [-ymax:ymax]
set grid ytics lc rgb '#dddddd'
set xtics out nomirror  # inside the frame, the only ticks at the bottom are the "1sec" events
set key at screen 0.5, screen 0.01 center bottom horizontal maxrows 2 width 1 noenhanced
set bmargin 7
set style fill transparent solid 0.3 noborder
plot \\
  \$hat using ((\$1+\$2)/2):(0):1:2:(-ymax):(ymax) with boxxyerror lc rgb '#e69f00' title 'hat hold', \\
  \$menu using ((\$1+\$2)/2):(0):1:2:(-ymax):(ymax) with boxxyerror lc rgb '#cc79a7' title 'menu Pause', \\
  \$view using ((\$1+\$2)/2):(0):1:2:(-ymax):(ymax) with boxxyerror lc rgb '#56b4e9' title 'view not virtual cockpit', \\
  \$simpause using ((\$1+\$2)/2):(0):1:2:(-ymax):(ymax) with boxxyerror lc rgb '#999999' title 'simulator paused', \\
  \$bank using 1:2 with lines lw 2 lc rgb '#0072b2' title 'aircraft bank', \\
  \$heading using 1:2 with steps lw 2 lc rgb '#009e73' title 'camera heading as last set', \\
  \$ticks using 1:(-ymax):(0):(ymax/12) with vectors nohead lc rgb '#555555' title '1sec', \\
  \$picks using 1:(ymax*0.85) with points pt 9 ps 1.5 lc rgb '#000000' title 'menu pick', \\
  \$picks using 1:(ymax*0.85):2 with labels offset 0,1 notitle, \\
  \$quit using 1:(ymax*0.7) with points pt 2 ps 2 lw 2 lc rgb '#000000' title 'quit', \\
  \$faults using 1:2 with points pt 7 ps 0.8 lc rgb '#ff0000' title 'frame without a command'
EOF
counts=${script%%$'\n'*}
echo "${counts#\# }"
