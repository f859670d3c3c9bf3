#!/usr/bin/env bash
# The port mapper against a plain loopback connection and against socat, in one
# run with the paths interleaved round by round:
#   - throughput of a 1 GiB transfer (unpinned),
#   - the median round trip of 2000 one-byte ping-pongs with every process of the
#     path (client, relay, server) pinned to CPU 0, so that no wake-up crosses CPUs.
# Paths: direct, socat (default 8 KiB buffer), socat -b 131072, the mapper with
# type 0, and the mapper through dante (SOCKS 5; needs root and danted).
# Usage: bash bench/bench_port_mapper.sh   (ROUNDS=3, BENCH_TUNNEL=build/bin/bench_tunnel)
set -euo pipefail
cd "$(dirname "$0")/.."

BIN="${BENCH_TUNNEL:-build/bin/bench_tunnel}"
ROUNDS="${ROUNDS:-3}"
BYTES=$((1 << 30))
TRIPS=2000
[ -x "$BIN" ] || { echo "bench: build $BIN first (cmake --build build --target bench_tunnel)" >&2; exit 1; }
command -v socat >/dev/null || { echo "bench: socat is not installed" >&2; exit 1; }

source scripts/lib/children.sh

free_port() { /usr/bin/python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'; }
wait_port() {
  for _ in $(seq 500); do (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null && return 0; sleep 0.01; done
  echo "bench: nothing listens on $1" >&2; return 1
}
# Starts a helper role in the background (not in a subshell, so that its PID is
# kept for the clean-up) and sets role_port to the port it prints.
start_role() {
  local name=$1; shift
  "$BIN" "$@" >"$work/$name.out" 2>&1 &
  pids+=($!)
  for _ in $(seq 500); do grep -q '^PORT ' "$work/$name.out" 2>/dev/null && break; sleep 0.01; done
  role_port=$(awk '/^PORT /{print $2}' "$work/$name.out")
  [ -n "$role_port" ] || { echo "bench: $name did not start" >&2; exit 1; }
}

start_role server serve
server=$role_port
declare -A port
port[direct]=$server

port[socat]=$(free_port)
socat TCP-LISTEN:"${port[socat]}",bind=127.0.0.1,reuseaddr,fork TCP:127.0.0.1:"$server" &
pids+=($!)
port[socat128k]=$(free_port)
socat -b 131072 TCP-LISTEN:"${port[socat128k]}",bind=127.0.0.1,reuseaddr,fork TCP:127.0.0.1:"$server" &
pids+=($!)
wait_port "${port[socat]}"
wait_port "${port[socat128k]}"

start_role mapper map "$server"
port[mapper]=$role_port
paths=(direct socat socat128k mapper)

if [ "$(id -u)" -eq 0 ] && command -v danted >/dev/null; then
  dante=$(free_port)
  cat >"$work/danted.conf" <<CONF
logoutput: $work/danted.log
internal: 127.0.0.1 port = $dante
external: 127.0.0.1
user.privileged: root
user.unprivileged: nobody
clientmethod: none
socksmethod: none
client pass {
  from: 127.0.0.0/8 to: 0.0.0.0/0
}
socks pass {
  from: 127.0.0.0/8 to: 127.0.0.0/8
  command: connect
  protocol: tcp
}
CONF
  danted -f "$work/danted.conf" -p "$work/danted.pid" >"$work/danted.out" 2>&1 &
  pids+=($!)
  wait_port "$dante"
  start_role mapper_dante map "$server" 4 "$dante"
  port[mapper_dante]=$role_port
  paths+=(mapper_dante)
else
  echo "bench: no dante path (needs root and danted)" >&2
fi

# Every process of every path, for pinning: the helpers, socat and dante with their children.
all_pids() { for pid in "${pids[@]}"; do echo "$pid"; pgrep -P "$pid" || true; done; }
pin() { for pid in $(all_pids); do taskset -a -p -c "$1" "$pid" >/dev/null 2>&1 || true; done; }

echo "bench: $ROUNDS rounds, paths: ${paths[*]}"
for round in $(seq "$ROUNDS"); do
  pin 0-$(($(nproc) - 1))
  for path in "${paths[@]}"; do
    "$BIN" throughput "${port[$path]}" "$BYTES" >>"$work/throughput.$path"
  done
  pin 0
  for path in "${paths[@]}"; do
    taskset -c 0 "$BIN" pingpong "${port[$path]}" "$TRIPS" >>"$work/trip.$path"
  done
done

median() { sort -g "$1" | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
declare -A rate trip
printf '\n%-14s %18s %22s\n' path "1 GiB, GB/s" "ping-pong median, us"
for path in "${paths[@]}"; do
  rate[$path]=$(median "$work/throughput.$path")
  trip[$path]=$(median "$work/trip.$path")
  printf '%-14s %18.2f %22.1f\n' "$path" "$(awk -v r="${rate[$path]}" 'BEGIN { print r / 1e9 }')" "${trip[$path]}"
done

ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }
echo
echo "ratios (throughput: higher is better; round trip: lower is better)"
for path in "${paths[@]}"; do
  [ "$path" = direct ] && continue
  printf '  %-14s vs direct: throughput x%s, round trip x%s\n' "$path" \
    "$(ratio "${rate[$path]}" "${rate[direct]}")" "$(ratio "${trip[$path]}" "${trip[direct]}")"
done
printf '  %-14s vs socat:  throughput x%s, round trip x%s\n' mapper \
  "$(ratio "${rate[mapper]}" "${rate[socat]}")" "$(ratio "${trip[mapper]}" "${trip[socat]}")"
printf '  %-14s vs socat -b 131072: throughput x%s, round trip x%s\n' mapper \
  "$(ratio "${rate[mapper]}" "${rate[socat128k]}")" "$(ratio "${trip[mapper]}" "${trip[socat128k]}")"
