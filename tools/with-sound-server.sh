#!/usr/bin/env bash
# Runs a command with a private sound server that plays into a silent sink
# ("ci_null", whose monitor the sound tests and the benchmark record), in a
# fresh runtime folder, and stops the server afterwards. Used by
# tools/test.sh; by hand: bash tools/with-sound-server.sh build/bench/sound_bench
set -euo pipefail
if [ $# -eq 0 ]; then
  echo "usage: $0 command [argument...]" >&2
  exit 2
fi
if ! command -v pulseaudio >/dev/null; then
  echo "with-sound-server.sh: pulseaudio is not installed (tools/install-deps.sh --test)" >&2
  exit 1
fi
runtime=$(mktemp -d /tmp/tidebell-sound.XXXXXX)
export XDG_RUNTIME_DIR=$runtime
unset PULSE_SERVER
stop_server() {
  local pid
  pid=$(cat "$runtime/pulse/pid" 2>/dev/null || true)
  if [ -n "$pid" ]; then
    kill "$pid" 2>/dev/null || true
    for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
  fi
  case "$runtime" in /tmp/tidebell-sound.*) rm -rf "$runtime" ;; esac
}
trap stop_server EXIT
# As root (CI) the server warns that it is meant for a user session; a user
# daemon is still what we want here, not --system.
pulseaudio -n --daemonize=yes --exit-idle-time=-1 --disallow-exit --log-target=file:"$runtime/server.log" \
  -L "module-native-protocol-unix auth-anonymous=1" \
  -L "module-null-sink sink_name=ci_null rate=48000 channels=2" 2>/dev/null || {
  echo "with-sound-server.sh: the sound server did not start:" >&2
  cat "$runtime/server.log" >&2 2>/dev/null || true
  exit 1
}
for _ in $(seq 100); do
  pactl info >/dev/null 2>&1 && break
  sleep 0.1
done
pactl info >/dev/null 2>&1 || { echo "with-sound-server.sh: the sound server does not answer" >&2; exit 1; }
"$@"
