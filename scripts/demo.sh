#!/usr/bin/env bash
# The main job: installs and builds what is missing, starts kiv-demo-server on a
# free loopback port, writes a connection file for it and runs kivclient on it.
# Without a display a private Xvfb with openbox and tint2 is started; then a
# screenshot and the server's transcript are saved and the client is ended after
# a few seconds. Everything lands in the folder printed at the end.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/lib/certificate.sh
bash scripts/setup.sh

out="${KIV_DEMO_OUT:-$PWD/out/demo-$(date +%Y%m%d-%H%M%S)}"
mkdir -p "$out"
pids=()
cleanup() { for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done; }
trap cleanup EXIT

headless=0
if [ -z "${DISPLAY:-}" ]; then
  headless=1
  exec {fd}<> <(:)
  Xvfb -displayfd "$fd" -screen 0 1280x800x24 -nolisten tcp >"$out/xvfb.log" 2>&1 &
  pids+=($!)
  read -r -t 20 number <&"$fd"
  export DISPLAY=":$number"
  openbox >"$out/openbox.log" 2>&1 & pids+=($!)
  tint2 >"$out/tint2.log" 2>&1 & pids+=($!)
fi

coproc SERVER { exec ./build/bin/kiv-demo-server --port 0 --state-dir "$out/server-state" \
  --transcript "$out/transcript.jsonl" 2>"$out/server.log"; }
pids+=("$SERVER_PID")
read -r -t 20 listening <&"${SERVER[0]}"
port="${listening##*:}"
echo "demo server: $listening"

sed "s/127\.0\.0\.1:3389/127.0.0.1:$port/" examples/demo.kiv >"$out/demo.kiv"
export XDG_RUNTIME_DIR="${XDG_RUNTIME_DIR:-$out/run}"
mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
./build/bin/kivclient "$out/demo.kiv" >"$out/client.log" 2>&1 &
client=$!
pids+=("$client")

if [ "$headless" = 1 ]; then
  answer_certificate_question "$client"
  sleep 6
  import -window root "$out/screenshot.png" || true
  ./build/bin/kivtool send-window-message --pid "$client" WM_MSG_DISCONNECT_DEBUG >/dev/null || true
fi
wait "$client" || true
echo "client ended; transcript, screenshot and logs in $out"
grep -c '"event":"recv"' "$out/transcript.jsonl" | xargs echo "messages the server received:"
