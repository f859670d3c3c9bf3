#!/usr/bin/env bash
# Every speed and memory figure of the client, each measured side by side with
# what it is compared to, in one run:
#   1. launch: kivclient to the published window's taskbar entry against
#      xfreerdp to its first frame, both against the demo server on a private
#      Xvfb with openbox and tint2, alternating round by round (ROUNDS, default 5);
#   2. memory: RSS and private memory of both, SETTLE_MS (3000) after their window;
#   3. seamless: the handler's cost per window update at 10, 100 and 200 windows,
#      and the client's plus the X server's CPU per message with the shape applied;
#   4. port mapper: throughput and round trip against a direct connection and socat;
#   5. traffic meter: the interposed socket path against the C library's own.
# Ratios are what count (the machine is shared); medians of the rounds.
# Usage: bash scripts/run-bench.sh        (KIV_BENCH_SETUP=0 skips scripts/setup.sh
#        and builds only the programs the figures need; SECTIONS="launch seamless
#        mapper meter" picks sections)
set -euo pipefail
cd "$(dirname "$0")/.."

ROUNDS="${ROUNDS:-5}"
SECTIONS="${SECTIONS:-launch seamless mapper meter}"
wanted() { [[ " $SECTIONS " == *" $1 "* ]]; }
SETTLE_MS="${SETTLE_MS:-3000}"
if [ "${KIV_BENCH_SETUP:-1}" = 1 ]; then
  bash scripts/setup.sh >/dev/null
else
  cmake --build build -j"${JOBS:-2}" --target kivclient kiv-demo-server bench_launch bench_seamless bench_tunnel \
    bench_traffic_meter bench_connection_file >/dev/null
fi
for tool in Xvfb openbox tint2 xfreerdp socat; do
  command -v "$tool" >/dev/null || { echo "bench: $tool is not installed (scripts/setup.sh installs it)" >&2; exit 1; }
done

median() { sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }

source scripts/lib/children.sh

# ---- 1 and 2: launch and memory against xfreerdp --------------------------
if wanted launch; then
echo "== launch and memory: kivclient against xfreerdp ($ROUNDS rounds, alternating)"
exec {displayfd}<> <(:)
Xvfb -displayfd "$displayfd" -screen 0 1280x800x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
pids+=($!)
read -r -t 20 number <&"$displayfd"
export DISPLAY=":$number"
export HOME="$work/home" XDG_CONFIG_HOME="$work/config" XDG_STATE_HOME="$work/state" XDG_RUNTIME_DIR="$work/run"
export KIV_MACHINE_SETTINGS="$work/registry.ini" LANG=en_US.UTF-8
# Answers the question about the demo server's own certificate, as xfreerdp's /cert:ignore does.
export KIV_TEST_MESSAGE_LOG="$work/boxes.jsonl"
mkdir -p "$HOME" "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
: >"$KIV_MACHINE_SETTINGS"
openbox >"$work/openbox.log" 2>&1 &
pids+=($!)
for _ in $(seq 200); do xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q window && break; sleep 0.05; done
tint2 >"$work/tint2.log" 2>&1 &
pids+=($!)

coproc SRV { exec build/bin/kiv-demo-server --port 0 --state-dir "$work/server" 2>"$work/server.log"; }
pids+=("$SRV_PID")
read -r -t 20 listening <&"${SRV[0]}"
port="${listening##*:}"
printf '[Session]\r\nScreen_FULL=3\r\nColor=4\r\n[Application]\r\nApp_id=BENCH\r\nApp_type_mode=2\r\n[Server]\r\nServer_Address=127.0.0.1:%s\r\n' \
  "$port" >"$work/bench.kiv"

for round in $(seq "$ROUNDS"); do
  build/bin/bench_launch "BENCH - demo" window "$SETTLE_MS" -- "$PWD/build/bin/kivclient" "$work/bench.kiv" \
    >>"$work/kivclient.txt" || echo "bench: kivclient round $round showed no window" >&2
  build/bin/bench_launch "FreeRDP" frame "$SETTLE_MS" -- /usr/bin/xfreerdp "/v:127.0.0.1:$port" /cert:ignore \
    /u:demo /p:pw /size:1280x800 /bpp:32 >>"$work/xfreerdp.txt" 2>/dev/null ||
    echo "bench: xfreerdp round $round showed no frame" >&2
done
field() { awk -v f="$2" '{ for (i = 1; i < NF; ++i) if ($i == f) print $(i + 1) }' "$1" | median; }
declare -A launch rss private
for who in kivclient xfreerdp; do
  launch[$who]=$(field "$work/$who.txt" launch_s)
  rss[$who]=$(field "$work/$who.txt" rss_kb)
  private[$who]=$(field "$work/$who.txt" private_kb)
  printf '  %-10s launch %6.3f s   RSS %7.1f MB   private %7.1f MB   (%s rounds)\n' "$who" "${launch[$who]}" \
    "$(awk -v k="${rss[$who]}" 'BEGIN { print k / 1024 }')" "$(awk -v k="${private[$who]}" 'BEGIN { print k / 1024 }')" \
    "$(wc -l <"$work/$who.txt")"
done
echo "  kivclient/xfreerdp: launch x$(ratio "${launch[kivclient]}" "${launch[xfreerdp]}") (target <= 0.5)," \
  "RSS x$(ratio "${rss[kivclient]}" "${rss[xfreerdp]}") (target <= 1.4)," \
  "private x$(ratio "${private[kivclient]}" "${private[xfreerdp]}")"
kill "$SRV_PID" 2>/dev/null || true
fi

# ---- 3: seamless ------------------------------------------------------------
if wanted seamless; then
echo
echo "== seamless: the handler per window update (target <= 20 us at 200 windows)"
build/bin/bench_seamless --benchmark_filter='BM_Seamless' --benchmark_min_time=0.2 --benchmark_format=csv 2>/dev/null |
  awk -F, '/^"BM_Seamless/ { gsub(/"/, "", $1); printf "  %-26s %8.2f us\n", $1, $4 / 1000 }'
echo "  the shape applied to X, CPU per message (client + X server; target < 1000 us):"
COUNTS="10 100 200" SECONDS_EACH="${SHAPE_SECONDS:-4}" bash bench/bench_seamless_shape.sh | sed 's/^/    /'
fi

# ---- 4: port mapper -----------------------------------------------------------
if wanted mapper; then
echo
echo "== port mapper against a direct connection and socat (targets: >= 0.65x direct, >= socat)"
ROUNDS="$ROUNDS" bash bench/bench_port_mapper.sh 2>&1 | sed 's/^/  /'
fi

# ---- 5: traffic meter ---------------------------------------------------------
if wanted meter; then
echo
echo "== traffic meter: interposed socket path against the C library's (target <= 1.03)"
build/bin/bench_traffic_meter | sed 's/^/  /'
echo
echo "== connection file"
build/bin/bench_connection_file --benchmark_min_time=0.2 2>/dev/null | sed 's/^/  /'
fi
