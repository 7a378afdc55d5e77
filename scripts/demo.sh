#!/usr/bin/env bash
# Installs what is needed, builds, and runs the tool against the built-in simulated amplifier:
# starts kmr6650-sim on a pseudo-terminal, makes a valid system update file for it, and starts
# the desktop program with COM1 on the simulated amplifier. Without a display it runs the
# command-line tool instead: connection check, versions, and a system update.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
bash scripts/build.sh build
bin=$PWD/build/bin
demo=$PWD/build/demo
mkdir -p "$demo"

out=$(mktemp)
"$bin/kmr6650-sim" >"$out" &
sim=$!
trap 'kill $sim 2>/dev/null; rm -f "$out"' EXIT
for _ in $(seq 50); do [ -s "$out" ] && break; sleep 0.1; done
port=$(head -n 1 "$out")
echo "simulated amplifier on $port"
"$bin/kmr6650-sim" make-file system "$demo/WriteFlashFile.bin"

if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  echo "Starting kmr6650-tool with COM1 on the simulated amplifier."
  echo "Press Open Port, then Begin Update, Enable, Select File (WriteFlashFile.bin) and Start Update."
  cd "$demo"
  KMR6650_COM1=$port "$bin/kmr6650-tool"
else
  echo "No display: the command-line tool does the same job."
  echo "\$ kmr6650-cli --port $port check"
  "$bin/kmr6650-cli" --port "$port" check
  echo "\$ kmr6650-cli --port $port versions"
  "$bin/kmr6650-cli" --port "$port" versions
  echo "\$ kmr6650-cli --port $port --yes update system $demo/WriteFlashFile.bin"
  "$bin/kmr6650-cli" --port "$port" --yes update system "$demo/WriteFlashFile.bin"
fi
