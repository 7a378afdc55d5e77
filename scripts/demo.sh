#!/usr/bin/env bash
# Installs what is needed, builds, and runs the tool against the built-in simulated amplifier:
# starts kmr6650-sim on a pseudo-terminal, checks the connection and the versions, makes a
# valid system update file and updates the simulated amplifier's software with it.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
bash scripts/build.sh build
bin=build/bin

out=$(mktemp)
"$bin/kmr6650-sim" >"$out" &
sim=$!
file=build/demo-system-update.bin
trap 'kill $sim 2>/dev/null; rm -f "$out"' EXIT
for _ in $(seq 50); do [ -s "$out" ] && break; sleep 0.1; done
port=$(head -n 1 "$out")
echo "simulated amplifier on $port"

echo "\$ kmr6650-cli --port $port check"
"$bin/kmr6650-cli" --port "$port" check
echo "\$ kmr6650-cli --port $port versions"
"$bin/kmr6650-cli" --port "$port" versions

"$bin/kmr6650-sim" make-file system "$file"
echo "\$ kmr6650-cli --port $port --yes update system $file"
"$bin/kmr6650-cli" --port "$port" --yes update system "$file"
