# Sourced inside a fresh network namespace (unshare -n): brings loopback up and starts what the
# tests need: an Xvfb display and a PulseAudio daemon with a null sink "cast_sink" as default sink.
# Exports DISPLAY, XDG_RUNTIME_DIR, PULSE_SERVER and QN_TEST_TMP. Everything stops on exit.
# Nothing started here listens beyond the namespace's own interfaces.

ip link set lo up

QN_TEST_TMP=$(mktemp -d /tmp/qn-test.XXXXXX)
export QN_TEST_TMP
export XDG_RUNTIME_DIR="$QN_TEST_TMP/xdg"
mkdir -p -m 700 "$XDG_RUNTIME_DIR" "$QN_TEST_TMP/home"

qn_env_pids=()
qn_env_stop() {
  for p in "${qn_env_pids[@]}"; do kill "$p" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$QN_TEST_TMP"
}
trap qn_env_stop EXIT

# A free display number: the X socket folder is shared with the host.
disp=90
while [ -e "/tmp/.X11-unix/X$disp" ] || [ -e "/tmp/.X$disp-lock" ]; do disp=$((disp + 1)); done
Xvfb ":$disp" -screen 0 1920x1080x24 -noreset -nolisten tcp >"$QN_TEST_TMP/xvfb.log" 2>&1 &
qn_env_pids+=($!)
export DISPLAY=":$disp"
for _ in $(seq 100); do [ -e "/tmp/.X11-unix/X$disp" ] && break; sleep 0.05; done
[ -e "/tmp/.X11-unix/X$disp" ] || { cat "$QN_TEST_TMP/xvfb.log" >&2; echo "test-env: Xvfb did not start" >&2; exit 1; }

HOME="$QN_TEST_TMP/home" pulseaudio -n --daemonize=no --exit-idle-time=-1 \
  --log-target="file:$QN_TEST_TMP/pa.log" \
  -L "module-native-protocol-unix auth-anonymous=1" \
  -L "module-null-sink sink_name=cast_sink rate=48000 channels=2" -L module-always-sink &
qn_env_pids+=($!)
export PULSE_SERVER="unix:$XDG_RUNTIME_DIR/pulse/native"
for _ in $(seq 100); do pactl info >/dev/null 2>&1 && break; sleep 0.05; done
pactl info >/dev/null 2>&1 || { cat "$QN_TEST_TMP/pa.log" >&2; echo "test-env: PulseAudio did not start" >&2; exit 1; }
pactl set-default-sink cast_sink
