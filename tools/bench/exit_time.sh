#!/usr/bin/env bash
# Times the end of the program (SIGTERM) while the network holds everything up: in a private
# network namespace whose only name server never answers, krhost-sim plays the demo site with an
# event every second whose snapshot download stalls half-way (--snapshot-fault stall) and whose
# recorders are named by a host name, and krnotify connects to it and to a second host named by
# a host name. Prints each run's exit time, then the median and the longest. Figures only.
#   tools/bench/exit_time.sh [RUNS] [SECONDS]   (default 5 runs, SIGTERM after 6 s)
# Needs unprivileged user namespaces (unshare -rn), ip (iproute2) and python3.
set -euo pipefail
here="$(cd "$(dirname "$0")/../.." && pwd)"
build="${KRNOTIFY_BUILD_DIR:-$here/build}"
runs="${1:-5}"
wait_s="${2:-6}"

if [ "${KRNOTIFY_EXIT_BENCH_INSIDE:-}" != 1 ]; then
  cmake --build "$build" --target krnotify krhost-sim -j "${KRNOTIFY_JOBS:-2}" >/dev/null
  times=()
  for ((run = 1; run <= runs; ++run)); do
    t=$(KRNOTIFY_EXIT_BENCH_INSIDE=1 unshare -rn "$0" 1 "$wait_s")
    echo "run $run: exit took $t ms"
    times+=("$t")
  done
  printf '%s\n' "${times[@]}" | sort -n | awk '{ v[NR] = $1 } END {
    printf "exit after SIGTERM: median %d ms, longest %d ms (%d runs)\n", v[int((NR + 1) / 2)], v[NR], NR }'
  exit 0
fi

# One run, inside the namespace.
box=$(mktemp -d)
pids=()
trap 'kill "${pids[@]}" 2>/dev/null || true; rm -rf "$box"' EXIT
mkdir -p "$box"/{prog,home,config,runtime,tmp,lock}
chmod 700 "$box/runtime"
export QT_QPA_PLATFORM=offscreen HOME="$box/home" XDG_CONFIG_HOME="$box/config" \
  XDG_RUNTIME_DIR="$box/runtime" TMPDIR="$box/tmp" KRNOTIFY_PROGRAM_DIR="$box/prog" \
  KRNOTIFY_LOCK_DIR="$box/lock" QT_LOGGING_RULES="*.debug=false"
unset DISPLAY WAYLAND_DISPLAY KRNOTIFY_SNAPSHOT_DIR
cp "$here/resources/KRNotify.StringTable" "$box/prog/"
ln -s "$here/resources/demo/snapshots" "$box/snapshots"
python3 - "$here/resources/demo/demo.json" "$box/scenario.json" <<'PY'
import json, sys
site = json.load(open(sys.argv[1]))
for dvr in site.get("dvrs", []):
    dvr["address"] = "cameras.example.com"
for step in site["timeline"]:
    if "every" in step:
        step["at"], step["every"] = 0.5, 1
json.dump(site, open(sys.argv[2], "w"))
PY

# The name server: an address of the namespace's own, a socket that reads and never answers.
nameserver=$(awk '/^nameserver/ { print $2; exit }' /etc/resolv.conf)
ip link set lo up
ip addr add "$nameserver/32" dev lo 2>/dev/null || true # a loopback server has it already
python3 -c '
import socket, sys, time
s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
s.bind((sys.argv[1], 53))
time.sleep(3600)' "$nameserver" &
pids+=($!)

"$build/tools/krhost-sim/krhost-sim" --scenario "$box/scenario.json" --port 0 \
  --snapshot-fault stall >"$box/sim.out" 2>/dev/null &
pids+=($!)
for _ in $(seq 100); do grep -qs '^port' "$box/sim.out" && break; sleep 0.1; done
port=$(awk '/^port/ { print $2; exit }' "$box/sim.out")
"$build/src/krnotify" --add-host Site 127.0.0.1 "$port" operator demo >/dev/null
"$build/src/krnotify" --add-host Door door.example.com 4000 operator demo >/dev/null
"$build/src/krnotify" 2>/dev/null &
krnotify=$!
sleep "$wait_s"
start=$(date +%s%N)
kill -TERM "$krnotify"
wait "$krnotify" || true
end=$(date +%s%N)
echo $(((end - start) / 1000000))
