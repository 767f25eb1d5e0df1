#!/usr/bin/env bash
# Runs a command with a desktop keyring of its own, headless: a private D-Bus
# session bus (dbus-run-session) with gnome-keyring-daemon's Secret Service
# on it, whose login keyring is created and unlocked with a throwaway
# password. The keyring's files live in a temporary folder that is removed
# afterwards, so nothing touches the user's own keyring. The keyring tests
# run in it (as root in CI as well).
#
#   scripts/keyring-session.sh -- COMMAND [ARGS...]
#
# Exit status = COMMAND's; 2 when the session could not be set up.
set -euo pipefail

readonly NAME_WAIT_TENTHS=50 # 5 s for the daemon to take its bus name

say() { echo "keyring-session.sh: $*" >&2; }

if [ "${1:-}" = "--inside" ]; then
  shift
  # In the foreground of a job of this shell, so that it is ended and reaped
  # here rather than left to whoever adopts a daemon.
  # Its settings from memory: nothing of the caller's dconf is read or written.
  printf 'keyring-session\n' | GSETTINGS_BACKEND=memory \
    gnome-keyring-daemon --foreground --unlock --components=secrets >/dev/null &
  daemon=$!
  # A request before the daemon owns the name would make the bus start a
  # second daemon through its service file, with a keyring still locked.
  up=0
  for ((i = 0; i < NAME_WAIT_TENTHS; i++)); do
    if dbus-send --session --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus \
         org.freedesktop.DBus.NameHasOwner string:org.freedesktop.secrets 2>/dev/null | grep -q 'boolean true'; then
      up=1
      break
    fi
    sleep 0.1
  done
  status=2
  if ((up)); then
    status=0
    "$@" || status=$?
  else
    say "the Secret Service did not come up on the session bus"
  fi
  kill "$daemon" 2>/dev/null || true
  wait "$daemon" 2>/dev/null || true
  exit "$status"
fi

[ "${1:-}" = "--" ] && shift
if (($# == 0)); then
  sed -n '2,11p' "$0" | sed 's/^# \{0,1\}//' >&2
  exit 2
fi
for tool in dbus-run-session dbus-send gnome-keyring-daemon; do
  command -v "$tool" >/dev/null || { say "$tool is missing (scripts/setup.sh installs it)"; exit 2; }
done

dir="$(mktemp -d "${TMPDIR:-/tmp}/keyring-session.XXXXXX")"
trap 'rm -rf "$dir"' EXIT
mkdir -m 700 "$dir/data" "$dir/runtime" "$dir/cache"
export XDG_DATA_HOME="$dir/data" XDG_RUNTIME_DIR="$dir/runtime" XDG_CACHE_HOME="$dir/cache"
# No prompt window may open on a desktop the caller happens to have.
unset DISPLAY WAYLAND_DISPLAY
status=0
dbus-run-session -- "$0" --inside "$@" || status=$?
exit "$status"
