#!/usr/bin/env bash
# The port mapper against a plain loopback connection and against socat, in one
# run with the paths interleaved round by round:
#   - throughput of a 1 GiB transfer (unpinned), and the CPU time it costs: the
#     relay's own (the mapper, socat's connection child, dante) and the whole
#     path's (client + relay + server), in seconds per GiB. Client, relay and
#     server share the machine's cores, so a relay that burns more CPU also
#     slows the two ends; the CPU figures tell that apart from wall-time noise,
#   - the same transfer with every process of the path on CPU 0: no wake-up
#     crosses CPUs, so the path is as fast as its CPU time allows. Unpinned, the
#     scheduler keeps the two ends of a direct connection on one CPU while a
#     relay's three processes spread over two, and on some (virtual) machines
#     each wake-up that crosses CPUs costs more than the copying,
#   - the median round trip of 2000 one-byte ping-pongs, pinned to CPU 0 as well.
# Every path moves the same bytes between the same source (bench_tunnel
# throughput) and sink (bench_tunnel serve).
# Paths: direct, socat (default 8 KiB buffer), socat128k (socat -b 131072), the mapper with
# type 0, and the mapper through dante (SOCKS 5; needs root and danted).
# Usage: bash bench/bench_port_mapper.sh   (ROUNDS=3, BENCH_TUNNEL=build/bin/bench_tunnel;
#        BASELINE_TUNNEL=another build's bench_tunnel adds its mapper as the path
#        mapper_base, to compare two versions of the mapper in the same rounds)
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
server_pid=${pids[-1]}
declare -A port relay
port[direct]=$server
relay[direct]=""

port[socat]=$(free_port)
socat TCP-LISTEN:"${port[socat]}",bind=127.0.0.1,reuseaddr,fork TCP:127.0.0.1:"$server" &
pids+=($!)
relay[socat]=$!
port[socat128k]=$(free_port)
socat -b 131072 TCP-LISTEN:"${port[socat128k]}",bind=127.0.0.1,reuseaddr,fork TCP:127.0.0.1:"$server" &
pids+=($!)
relay[socat128k]=$!
wait_port "${port[socat]}"
wait_port "${port[socat128k]}"

start_role mapper map "$server"
port[mapper]=$role_port
relay[mapper]=${pids[-1]}
paths=(direct socat socat128k mapper)
if [ -n "${BASELINE_TUNNEL:-}" ]; then
  BIN="$BASELINE_TUNNEL" start_role mapper_base map "$server"
  port[mapper_base]=$role_port
  relay[mapper_base]=${pids[-1]}
  paths+=(mapper_base)
fi

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
  relay[mapper_dante]=$!
  wait_port "$dante"
  start_role mapper_dante map "$server" 4 "$dante"
  port[mapper_dante]=$role_port
  relay[mapper_dante]+=" ${pids[-1]}"
  paths+=(mapper_dante)
else
  echo "bench: no dante path (needs root and danted)" >&2
fi

# Every process of every path, for pinning: the helpers, socat and dante with their children.
all_pids() { for pid in "${pids[@]}"; do echo "$pid"; pgrep -P "$pid" || true; done; }
pin() { for pid in $(all_pids); do taskset -a -p -c "$1" "$pid" >/dev/null 2>&1 || true; done; }

# CPU ticks (user + system, with reaped children) of the given processes and
# their children: socat serves each connection in a child that it reaps when
# the connection ends, dante keeps its children.
ticks() {
  local total=0 pid
  for pid in "$@" $(for p in "$@"; do pgrep -P "$p" || true; done); do
    total=$((total + $(sed 's/.*) //' "/proc/$pid/stat" 2>/dev/null | awk '{ print $12 + $13 + $14 + $15 }' || echo 0)))
  done
  echo "$total"
}
# socat's child for the last connection may still be on its way out: its time
# counts once it is reaped.
settle() {
  local pid
  for pid in ${relay[$1]}; do
    for _ in $(seq 200); do pgrep -P "$pid" >/dev/null || break; [ "$1" = mapper_dante ] && break; sleep 0.01; done
  done
}
hz=$(getconf CLK_TCK)
gib=$(awk -v b="$BYTES" 'BEGIN { print b / 1073741824 }')

echo "bench: $ROUNDS rounds, paths: ${paths[*]}"
for round in $(seq "$ROUNDS"); do
  # Each round starts one path further on, so that no path always follows the same other.
  order=("${paths[@]:$((round % ${#paths[@]}))}" "${paths[@]:0:$((round % ${#paths[@]}))}")
  pin 0-$(($(nproc) - 1))
  for path in "${order[@]}"; do
    settle "$path"
    relay_before=$(ticks ${relay[$path]})
    server_before=$(ticks "$server_pid")
    /usr/bin/time -f '%U %S' -o "$work/client.time" "$BIN" throughput "${port[$path]}" "$BYTES" >>"$work/throughput.$path"
    settle "$path"
    relay_ticks=$(($(ticks ${relay[$path]}) - relay_before))
    server_ticks=$(($(ticks "$server_pid") - server_before))
    awk -v r="$relay_ticks" -v s="$server_ticks" -v hz="$hz" -v g="$gib" '
      { printf "%.3f %.3f\n", r / hz / g, (r / hz + s / hz + $1 + $2) / g }' "$work/client.time" >>"$work/cpu.$path"
    [ -z "${VERBOSE:-}" ] || echo "round $round $path $(tail -1 "$work/throughput.$path") $(tail -1 "$work/cpu.$path")" >&2
  done
  pin 0
  for path in "${order[@]}"; do
    taskset -c 0 "$BIN" throughput "${port[$path]}" "$BYTES" >>"$work/pinned.$path"
    taskset -c 0 "$BIN" pingpong "${port[$path]}" "$TRIPS" >>"$work/trip.$path"
  done
done

median() { sort -g "$1" | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
column() { awk -v c="$2" '{ print $c }' "$1" >"$1.$2"; median "$1.$2"; }
declare -A rate pinned trip
printf '\n%-14s %12s %13s %12s %12s %15s\n' path "1 GiB, GB/s" "on CPU 0, GB/s" "relay CPU," "path CPU," "ping-pong"
printf '%-14s %12s %13s %12s %12s %15s\n' "" "" "" "s per GiB" "s per GiB" "median, us"
for path in "${paths[@]}"; do
  rate[$path]=$(median "$work/throughput.$path")
  pinned[$path]=$(median "$work/pinned.$path")
  trip[$path]=$(median "$work/trip.$path")
  printf '%-14s %12.2f %13.2f %12.3f %12.3f %15.1f\n' "$path" "$(awk -v r="${rate[$path]}" 'BEGIN { print r / 1e9 }')" \
    "$(awk -v r="${pinned[$path]}" 'BEGIN { print r / 1e9 }')" \
    "$(column "$work/cpu.$path" 1)" "$(column "$work/cpu.$path" 2)" "${trip[$path]}"
done

ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }
echo
echo "ratios (throughput: higher is better; CPU and round trip: lower is better)"
for path in "${paths[@]}"; do
  [ "$path" = direct ] && continue
  printf '  %-14s vs direct: throughput x%s (on CPU 0 x%s), path CPU x%s, round trip x%s\n' "$path" \
    "$(ratio "${rate[$path]}" "${rate[direct]}")" "$(ratio "${pinned[$path]}" "${pinned[direct]}")" \
    "$(ratio "$(column "$work/cpu.$path" 2)" "$(column "$work/cpu.direct" 2)")" "$(ratio "${trip[$path]}" "${trip[direct]}")"
done
for other in socat socat128k; do
  printf '  %-14s vs %-9s: throughput x%s (on CPU 0 x%s), relay CPU x%s, round trip x%s\n' mapper "$other" \
    "$(ratio "${rate[mapper]}" "${rate[$other]}")" "$(ratio "${pinned[mapper]}" "${pinned[$other]}")" \
    "$(ratio "$(column "$work/cpu.mapper" 1)" "$(column "$work/cpu.$other" 1)")" "$(ratio "${trip[mapper]}" "${trip[$other]}")"
done
