#!/usr/bin/env bash
# A long run of one seamless session (not part of CI): kivclient against the demo
# server, whose stress windows all move for the whole run. Every --every seconds it
# samples the client's resident memory, open descriptors and threads; at the end it
# checks that they stayed flat after the warm-up and that every seamless message
# the server sent reached the client (the server's transcript against the count the
# client logs when its session ends).
#
#   scripts/soak.sh [--minutes 30] [--windows 40] [--rate 20] [--every 30]
#                   [--build build] [--keep]
#
# Needs a built tree (kivclient, kiv-demo-server, kivtool) and Xvfb; openbox is
# started when it is installed. Everything runs on a private display and on
# 127.0.0.1; the work folder is removed at the end unless --keep is given.
set -euo pipefail
cd "$(dirname "$0")/.."

minutes=30 windows=40 rate=20 every=30 build=build keep=0
while [ $# -gt 0 ]; do
  case "$1" in
    --minutes) minutes="$2"; shift 2 ;;
    --windows) windows="$2"; shift 2 ;;
    --rate) rate="$2"; shift 2 ;;
    --every) every="$2"; shift 2 ;;
    --build) build="$2"; shift 2 ;;
    --keep) keep=1; shift ;;
    *) echo "usage: $0 [--minutes M] [--windows N] [--rate HZ] [--every S] [--build DIR] [--keep]" >&2; exit 2 ;;
  esac
done
bin="$build/bin"
for program in kivclient kiv-demo-server kivtool; do
  [ -x "$bin/$program" ] || { echo "soak: $bin/$program is missing (build first)" >&2; exit 2; }
done
command -v Xvfb >/dev/null || { echo "soak: Xvfb is not installed" >&2; exit 2; }

work="$(mktemp -d /tmp/kiv-soak.XXXXXX)"
started=()
finish() {
  # Only what this script started, newest first.
  for ((i = ${#started[@]} - 1; i >= 0; i--)); do kill "${started[i]}" 2>/dev/null || true; done
  for pid in "${started[@]}"; do wait "$pid" 2>/dev/null || true; done
  if [ "$keep" = 1 ]; then echo "soak: work folder kept: $work"; else rm -rf "$work"; fi
}
trap finish EXIT

# Waits up to $2 seconds for the command $1 to succeed.
wait_for() {
  local deadline=$((SECONDS + $2))
  until eval "$1"; do
    [ $SECONDS -lt $deadline ] || return 1
    sleep 0.2
  done
}

# A private display: Xvfb picks a free number and writes it to descriptor 3.
Xvfb -displayfd 3 -screen 0 1600x1000x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
started+=($!)
wait_for '[ -s "$work/display" ]' 20 || { echo "soak: Xvfb did not start" >&2; exit 1; }
export DISPLAY=":$(head -n1 "$work/display")"
if command -v openbox >/dev/null; then
  openbox --sm-disable >"$work/openbox.log" 2>&1 &
  started+=($!)
fi

steps=$((minutes * 60 * rate))
"$bin/kiv-demo-server" --port 0 --state-dir "$work/server" --transcript "$work/transcript.jsonl" \
  --stress-windows "$windows" --stress-rate "$rate" --stress-steps "$steps" --idle-timeout-ms 0 \
  >"$work/server.out" 2>"$work/server.log" &
started+=($!)
wait_for 'grep -q "^listening on" "$work/server.out"' 20 || { echo "soak: the demo server did not start" >&2; exit 1; }
port="$(sed -n 's/^listening on 127.0.0.1:\([0-9]*\)$/\1/p' "$work/server.out")"

mkdir -p "$work/home" "$work/run" && chmod 700 "$work/run"
printf '[Debug]\nKivClient=Main\n' >"$work/registry.ini"
user="$("$bin/kivtool" encode-credential ann)"
password="$("$bin/kivtool" encode-credential secret)"
printf '[Farm]\r\nUserName=616E6E\r\nSessionID=SID00000042\r\n[Session]\r\nScreen_FULL=3\r\nColor=4\r\nShareSession=0\r\n[Application]\r\nApp_id=APP0001\r\nApp_name=Notepad\r\nApp_type_mode=2\r\n[Server]\r\nServer_Address=127.0.0.1:%s\r\nLogin_User=%s\r\nLogin_PassWord=%s\r\n' \
  "$port" "$user" "$password" >"$work/soak.kiv"
export HOME="$work/home" XDG_CONFIG_HOME="$work/config" XDG_STATE_HOME="$work/state" \
  XDG_RUNTIME_DIR="$work/run" KIV_MACHINE_SETTINGS="$work/registry.ini" LANG=en_US.UTF-8 \
  KIV_TEST_MESSAGE_LOG="$work/boxes.jsonl"  # answers the question about the demo server's own certificate
"$bin/kivclient" "$work/soak.kiv" >"$work/client.log" 2>&1 &
client=$!
started+=($client)
wait_for 'grep -q "\"event\":\"stress\"" "$work/transcript.jsonl"' 60 ||
  { echo "soak: the session did not reach the stress windows" >&2; tail -n 20 "$work/client.log" >&2; exit 1; }

sample() {
  local rss fds threads
  rss="$(awk '/^VmRSS:/ {print $2}' "/proc/$client/status")"
  fds="$(ls "/proc/$client/fd" | wc -l)"
  threads="$(ls "/proc/$client/task" | wc -l)"
  printf '%s %s %s %s\n' "$SECONDS" "$rss" "$fds" "$threads" | tee -a "$work/samples"
}
echo "soak: $windows windows at $rate Hz for $minutes min (display $DISPLAY, port $port); seconds rss_kB fds threads"
SECONDS=0
sample
while ! grep -q '"event":"stress-done"' "$work/transcript.jsonl"; do
  kill -0 "$client" 2>/dev/null || { echo "soak: kivclient ended early" >&2; tail -n 20 "$work/client.log" >&2; exit 1; }
  [ $SECONDS -lt $((minutes * 60 + 120)) ] || { echo "soak: the stress did not finish in time" >&2; exit 1; }
  sleep "$every"
  sample
done
sleep 5  # what is on its way arrives
sample

# The session ends as a user would end it; the client logs what it received.
"$bin/kivtool" send-window-message WM_MSG_DISCONNECT_DEBUG >/dev/null
wait_for '! kill -0 "$client" 2>/dev/null' 30 || { echo "soak: kivclient did not end" >&2; exit 1; }
sent="$(grep '"event":"send"' "$work/transcript.jsonl" | grep -c '"hex":"3FEE03' || true)"
received="$(grep -ho 'seamless=[0-9]*' "$work/state/VYNClient6.0/KivClient.log" | tail -n1 | cut -d= -f2)"

# Flat: after the first quarter (the warm-up), memory grows by at most 10 % and
# descriptors and threads by at most 2.
status=0
read -r _ rss0 fds0 threads0 < <(awk -v n="$(wc -l <"$work/samples")" 'NR == int(n / 4) + 1' "$work/samples")
read -r _ rss1 fds1 threads1 < <(tail -n1 "$work/samples")
read -r rssmax < <(awk -v from="$(($(wc -l <"$work/samples") / 4 + 1))" 'NR >= from && $2 > m {m = $2} END {print m}' "$work/samples")
echo "soak: after warm-up rss ${rss0} kB -> ${rss1} kB (peak ${rssmax}), fds ${fds0} -> ${fds1}, threads ${threads0} -> ${threads1}"
echo "soak: seamless messages sent ${sent}, received ${received:-none}"
if [ "$rssmax" -gt $((rss0 + rss0 / 10)) ]; then echo "soak: FAILED: memory grew"; status=1; fi
if [ "$fds1" -gt $((fds0 + 2)) ] || [ "$threads1" -gt $((threads0 + 2)) ]; then
  echo "soak: FAILED: descriptors or threads grew"; status=1
fi
if [ -z "${received}" ] || [ "$sent" != "$received" ]; then echo "soak: FAILED: messages lost"; status=1; fi
[ $status = 0 ] && echo "soak: passed"
exit $status
