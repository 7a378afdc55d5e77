#!/usr/bin/env bash
# Takes the README's screenshots: runs the desktop program on a real X server (Xvfb, the xcb
# platform) against the simulated amplifier, and saves the main window and the update dialog in
# the middle of an update into docs/screenshots.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
bash scripts/build.sh build
QT_QPA_PLATFORM=xcb xvfb-run -a -s "-screen 0 1280x900x24" build/bin/kmr6650-screenshots docs/screenshots
