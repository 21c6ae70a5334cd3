#!/bin/sh
# Runs a test inside its own D-Bus session with an unlocked gnome-keyring Secret Service and a
# fresh HOME (removed afterwards), so credential-store tests use the real backend and never touch
# the user's keyring. Usage: with-keyring.sh <test program> [args...]
set -eu
home=$(mktemp -d "${TMPDIR:-/tmp}/qn-keyring.XXXXXX")
trap 'rm -rf "$home"' EXIT INT TERM
export HOME="$home"
export XDG_DATA_HOME="$home/.local/share" XDG_CONFIG_HOME="$home/.config"
mkdir -p "$home/run" && chmod 700 "$home/run"
export XDG_RUNTIME_DIR="$home/run"
dbus-run-session -- sh -c '
  eval "$(printf "test-pw" | gnome-keyring-daemon --unlock --components=secrets)"
  export GNOME_KEYRING_CONTROL
  "$@"' qn-keyring "$@"
