#!/usr/bin/env bash
# Bridges a serial device server's TCP port to a pseudo-terminal on this PC, so that the tools
# work on the amplifier behind it as on a local adapter:
#   scripts/serial-bridge.sh HOST:PORT LINK
# connects to HOST:PORT, makes LINK a symbolic link to a new pseudo-terminal, and returns once
# the bridge is up, with socat's process id on standard output (exit 0); exit 1 when the
# connection fails, 2 for a usage error.
#
# The bridge (socat) then runs in the background and holds the pseudo-terminal open itself, so
# it stays up while the tools open and close LINK, run after run. It ends, and removes LINK,
# when it is stopped (kill PID) or when the device server closes the connection.
set -euo pipefail

usage() {
  echo "usage: $0 HOST:PORT LINK   (for example: $0 10.0.0.5:4001 ~/ttyNET0)" >&2
  exit 2
}
[ $# -eq 2 ] || usage
address=$1
link=$2
case $address in
  *:*) ;;
  *) usage ;;
esac
command -v socat >/dev/null || { echo "$0: socat is missing (Debian package socat)" >&2; exit 1; }
# socat would take over a link in use without a word. A link whose pseudo-terminal is gone is
# left over from a bridge that was killed: it goes.
if [ -L "$link" ] && [ ! -e "$link" ]; then
  rm -f "$link"
elif [ -e "$link" ]; then
  echo "$0: $link already exists (the link of a running bridge?); stop that bridge or choose another name" >&2
  exit 1
fi

# The TCP connection comes first: LINK appears only once the device server has answered, so
# a tool started after this script returns finds the line ready. socat never writes to
# standard output; it must not hold it either, or "$(serial-bridge.sh ...)" would wait for it.
socat "TCP:$address,connect-timeout=10" "PTY,link=$link,raw,echo=0" >/dev/null &
bridge=$!
for _ in $(seq 150); do  # 15 s: longer than socat's connect-timeout
  if [ -e "$link" ]; then
    echo "$bridge"
    exit 0
  fi
  if ! kill -0 "$bridge" 2>/dev/null; then
    wait "$bridge" || true
    echo "$0: no connection to $address (socat's reason above)" >&2
    exit 1
  fi
  sleep 0.1
done
kill "$bridge" 2>/dev/null || true
echo "$0: the bridge to $address did not come up within 15 s" >&2
exit 1
