#!/usr/bin/env bash
# The cost of the seamless shape: kivclient in seamless mode against the demo
# server's stress mode (N small windows that all move at RATE Hz), on a private
# Xvfb with openbox. For each window count it measures, over SECONDS, the window
# messages the server sent, and the CPU the client and the X server spent on
# them (from /proc: every message re-clips the session window, which the X server
# turns into a new SHAPE region), and prints the figures per message.
# Usage: bash bench/bench_seamless_shape.sh   (COUNTS="1 10 50", RATE=20, SECONDS_EACH=5)
set -euo pipefail
cd "$(dirname "$0")/.."

SERVER=build/bin/kiv-demo-server
CLIENT=build/bin/kivclient
COUNTS="${COUNTS:-1 10 50}"
RATE="${RATE:-20}"
SECONDS_EACH="${SECONDS_EACH:-5}"
for bin in "$SERVER" "$CLIENT"; do
  [ -x "$bin" ] || { echo "bench: build $bin first" >&2; exit 1; }
done
command -v Xvfb >/dev/null || { echo "bench: Xvfb is not installed" >&2; exit 1; }

source scripts/lib/children.sh
source scripts/lib/certificate.sh

ticks=$(getconf CLK_TCK)
# User plus system time of a process, in clock ticks.
cpu() { awk '{print $14 + $15}' "/proc/$1/stat"; }
sends() { grep -c '"event":"send".*"hex":"3FEE03' "$1" || true; }

exec {fd}<> <(:)
Xvfb -displayfd "$fd" -screen 0 1280x800x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
xvfb=$!
pids+=("$xvfb")
read -r -t 20 number <&"$fd"
export DISPLAY=":$number"
export HOME="$work/home" XDG_CONFIG_HOME="$work/config" XDG_STATE_HOME="$work/state" XDG_RUNTIME_DIR="$work/run"
export KIV_MACHINE_SETTINGS="$work/registry.ini" LANG=en_US.UTF-8
mkdir -p "$HOME" "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
: >"$KIV_MACHINE_SETTINGS"
openbox >"$work/openbox.log" 2>&1 &
pids+=($!)

printf '%-8s %-6s %-10s %-14s %-14s %-14s\n' windows rate messages client_us/msg xserver_us/msg msgs/s
for count in $COUNTS; do
  transcript="$work/transcript-$count.jsonl"
  coproc SRV { exec "$SERVER" --port 0 --state-dir "$work/server" --transcript "$transcript" \
    --windows 0 --stress-windows "$count" --stress-rate "$RATE" 2>"$work/server-$count.log"; }
  server=$SRV_PID
  pids+=("$server")
  read -r -t 20 listening <&"${SRV[0]}"
  port="${listening##*:}"
  printf '[Session]\r\nScreen_FULL=3\r\nColor=4\r\n[Application]\r\nApp_id=BENCH\r\nApp_type_mode=2\r\n[Server]\r\nServer_Address=127.0.0.1:%s\r\n' \
    "$port" >"$work/bench.kiv"
  "$CLIENT" "$work/bench.kiv" >"$work/client-$count.log" 2>&1 &
  client=$!
  pids+=("$client")
  answer_certificate_question "$client"
  # Measure once the stress windows are moving.
  for _ in $(seq 100); do grep -q '"event":"stress"' "$transcript" 2>/dev/null && break; sleep 0.1; done
  sleep 1
  m0=$(sends "$transcript"); c0=$(cpu "$client"); x0=$(cpu "$xvfb")
  sleep "$SECONDS_EACH"
  m1=$(sends "$transcript"); c1=$(cpu "$client"); x1=$(cpu "$xvfb")
  kill "$client" "$server" 2>/dev/null || true
  wait "$client" 2>/dev/null || true
  wait "$server" 2>/dev/null || true
  messages=$((m1 - m0))
  if [ "$messages" -gt 0 ]; then
    awk -v m="$messages" -v c=$((c1 - c0)) -v x=$((x1 - x0)) -v t="$ticks" -v s="$SECONDS_EACH" -v n="$count" -v r="$RATE" \
      'BEGIN { printf "%-8d %-6d %-10d %-14.1f %-14.1f %-14.1f\n", n, r, m, c * 1e6 / t / m, x * 1e6 / t / m, m / s }'
  else
    printf '%-8s %-6s %-10s (no window messages: see %s)\n' "$count" "$RATE" 0 "$work/client-$count.log"
  fi
done
