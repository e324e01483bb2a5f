# Sourced by shell tests and benches. start_sink WORK starts the SMTP sink (smtp_sink.py),
# storing into WORK/mail, and sets port; the sink runs until file descriptor 3 closes, so the
# caller's exit trap does `exec 3>&-; wait`.
sink_script="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)/smtp_sink.py"

start_sink() {
    local work=$1
    mkfifo "$work/in"
    /usr/bin/python3 "$sink_script" "$work/mail" <"$work/in" >"$work/port" &
    exec 3>"$work/in"
    for _ in $(seq 100); do grep -q PORT "$work/port" 2>/dev/null && break; sleep 0.1; done
    port=$(awk '/PORT/ {print $2}' "$work/port")
    [ -n "$port" ] || { echo "smtp sink did not start" >&2; return 1; }
}
