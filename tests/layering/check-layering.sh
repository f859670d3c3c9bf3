#!/usr/bin/env bash
# The layering of the source tree, checked from the includes themselves:
#   - the core (launch, session, proxy, channels, desktop, infra) never includes an
#     adapter (platform/) or the program (app/, tools/), nor Qt, FreeRDP or X11;
#   - a port (ports/) includes only the standard library, other ports and the core's
#     record types listed below, so an adapter can implement it without the logic.
# Prints every offending line and exits 1 when there is one.
set -uo pipefail
src="${1:-$(dirname "$0")/../../src}"
cd "$src" || exit 2

core_folders=(launch session proxy channels desktop infra)
# Record types a port may name in its signatures.
port_records='"(ports/[A-Za-z]+\.h|launch/KivFile\.h|infra/FixedText\.h|desktop/HandOverRecord\.h)"'
std_headers='algorithm|any|array|atomic|bit|bitset|cassert|cctype|cerrno|cfloat|charconv|chrono|cinttypes|climits|cmath|compare|concepts|condition_variable|cstddef|cstdint|cstdio|cstdlib|cstring|ctime|cwchar|deque|exception|filesystem|format|functional|initializer_list|iomanip|ios|iosfwd|iostream|istream|iterator|limits|list|map|memory|mutex|numeric|optional|ostream|queue|random|ranges|ratio|set|shared_mutex|span|sstream|stack|stdexcept|stop_token|string|string_view|system_error|thread|tuple|type_traits|typeindex|typeinfo|unordered_map|unordered_set|utility|variant|vector'

status=0
report() { echo "layering: $1"; status=1; }

for folder in "${core_folders[@]}"; do
  [ -d "$folder" ] || continue
  while IFS= read -r line; do
    report "core includes an adapter or the program: $line"
  done < <(grep -rnE '^[[:space:]]*#[[:space:]]*include[[:space:]]*"(platform|app|tools)/' "$folder")
  while IFS= read -r line; do
    report "core includes Qt, FreeRDP or X11: $line"
  done < <(grep -rnE '^[[:space:]]*#[[:space:]]*include[[:space:]]*<(Q[A-Za-z]+|Qt[A-Za-z]*/|freerdp/|winpr/|xcb/|X11/)' "$folder")
done

while IFS= read -r line; do
  include="${line#*#include}"
  include="$(echo "$include" | sed -E 's/^[[:space:]]+//; s/[[:space:]]*(\/\/.*)?$//')"
  if [[ "$include" =~ ^\<($std_headers)\>$ ]]; then continue; fi
  if [[ "$include" =~ ^$port_records$ ]]; then continue; fi
  report "a port includes more than the standard library and record types: $line"
done < <(grep -rnE '^[[:space:]]*#[[:space:]]*include' ports)

[ $status -eq 0 ] && echo "layering: ok ($(find "${core_folders[@]}" ports -name '*.[ch]*' | wc -l) files)"
exit $status
