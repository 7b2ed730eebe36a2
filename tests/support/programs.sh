# shellcheck shell=bash disable=SC2034  # standin_port is the sourcing script's
# The built programs as the shell tests and scripts run them (sourced): the
# stand-in on a free port, a SimConnect.cfg for a port, and the program's
# console text from console_text.txt (the file says how it is laid out).

standin_pid=
standin_port=
console_text_file=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)/console_text.txt

# standin_start [--echo] ERRORS COMMAND [ARG...]: starts the stand-in COMMAND
# in the background with --port 0 before the ARGs, standard error to the file
# ERRORS (and with --echo to this shell's too), input and output the caller's.
# Sets standin_pid and standin_port from its "listening on" line; if that
# does not come within 10 s, stops it, shows its errors (unless echoed) and
# returns 1.
standin_start() {
  local echo=0 errors line
  if [[ $1 == --echo ]]; then
    echo=1
    shift
  fi
  errors=$1
  shift
  : >"$errors"
  if ((echo)); then
    "$1" --port 0 "${@:2}" 2> >(tee "$errors" >&2) <&0 &
  else
    "$1" --port 0 "${@:2}" 2>"$errors" <&0 &
  fi
  standin_pid=$!
  standin_port=
  for _ in $(seq 100); do
    while IFS= read -r line; do  # whole lines only: the last one without its end is left
      if [[ $line =~ ^listening\ on\ 127\.0\.0\.1:([0-9]+)$ ]]; then
        standin_port=${BASH_REMATCH[1]}
        return 0
      fi
    done <"$errors"
    kill -0 "$standin_pid" 2>/dev/null || break
    sleep 0.1
  done
  kill "$standin_pid" 2>/dev/null || true
  wait "$standin_pid" 2>/dev/null || true
  standin_pid=
  ((echo)) || cat "$errors" >&2
  return 1
}

# write_cfg FOLDER PORT [LINE_END]: FOLDER/SimConnect.cfg for 127.0.0.1:PORT,
# its lines ended by LINE_END (a newline unless given).
write_cfg() {
  local lines=("[SimConnect]" "Protocol=IPv4" "Address=127.0.0.1" "Port=$2")
  printf "%s${3:-$'\n'}" "${lines[@]}" >"$1/SimConnect.cfg"
}

# console_text NAME: prints the text called NAME, exactly; status 1 if none.
console_text() {
  awk -v name="$1" '
    $0 == "-- " name " --" { found = 1; next }
    found && /^-- .* --$/ { exit }
    found { printf "%s%s", (lines++ ? "\n" : ""), $0 }
    END { exit !found }' "$console_text_file"
}
