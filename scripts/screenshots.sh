#!/usr/bin/env bash
# Takes the README's screenshots: runs the desktop program on a real X server (Xvfb, the xcb
# platform) against the simulated amplifier, and saves the program's windows (the main window,
# the editor's pages, the update dialog in the middle of an update, the About box, a long
# message, the file chooser) into docs/screenshots.
#   scripts/screenshots.sh [BUILD_DIR]    (default: build)
set -euo pipefail
cd "$(dirname "$0")/.."
dir=${1:-build}
bash scripts/install-deps.sh
bash scripts/build.sh "$dir"
QT_QPA_PLATFORM=xcb xvfb-run -a -s "-screen 0 1280x900x24" "$dir/bin/kmr6650-screenshots" docs/screenshots
