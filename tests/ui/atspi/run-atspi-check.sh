#!/usr/bin/env bash
# Runs check_main_window.py with what an assistive tool needs: an X server
# (Xvfb) and a D-Bus session, in which the accessibility bus starts on
# demand. Must run inside the virtual LAN, because the program starts its
# discovery at once:
#
#   scripts/vlan.sh -- tests/ui/atspi/run-atspi-check.sh PROGRAM GATEWAYSIM
set -euo pipefail
[ -n "${GWLAN_GATEWAY_NS:-}" ] || { echo "run-atspi-check.sh: runs only inside scripts/vlan.sh" >&2; exit 2; }
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
xvfb=""
cleanup() {
    [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null && wait "$xvfb" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT

# A display number of our own, away from the low numbers desktops and other
# test runs use; the lock files are shared by all namespaces.
display=""
for offset in $(seq 0 199); do
    candidate=$((200 + ($$ + offset) % 400))
    if [ ! -e "/tmp/.X$candidate-lock" ]; then display=$candidate; break; fi
done
[ -n "$display" ] || { echo "run-atspi-check.sh: no free display number" >&2; exit 1; }
Xvfb ":$display" -screen 0 1024x768x24 -nolisten tcp 2>"$work/xvfb.log" &
xvfb=$!
export DISPLAY=":$display"
for _ in $(seq 100); do
    xdpyinfo >/dev/null 2>&1 && break
    kill -0 "$xvfb" 2>/dev/null || break
    sleep 0.1
done
xdpyinfo >/dev/null 2>&1 || { echo "run-atspi-check.sh: Xvfb did not start" >&2; cat "$work/xvfb.log" >&2; exit 1; }

# The program asks the session's Secret Service for its password, and the
# bus starts gnome-keyring for that on demand: its keyring folder goes here
# rather than into the home of whoever runs the check.
export XDG_DATA_HOME="$work/data"
status=0
timeout 300 dbus-run-session -- /usr/bin/python3 "$here/check_main_window.py" "$@" || status=$?
if ! kill -0 "$xvfb" 2>/dev/null; then
    echo "run-atspi-check.sh: the X server ended during the check" >&2
    cat "$work/xvfb.log" >&2
    xvfb=""
fi
exit "$status"
