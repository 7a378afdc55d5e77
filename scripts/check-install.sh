#!/usr/bin/env bash
# Checks what an installation and the Debian package hold, from a built build folder:
#   scripts/check-install.sh [BUILD_DIR]
# installs into a temporary DESTDIR under /usr and compares the files with
# scripts/install-manifest.txt (exact, sorted), validates the desktop entry, renders the
# (compressed) manual pages with every warning an error, checks the bash completion's syntax,
# then builds the package with cpack and compares its files with the same list.
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(realpath "${1:-build}")
manifest=$PWD/scripts/install-manifest.txt
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
dest=$work/root

DESTDIR=$dest cmake --install "$build" --prefix /usr >/dev/null
(cd "$dest" && find . ! -type d | sed 's|^\.||' | LC_ALL=C sort) >"$work/installed.list"
if ! diff -u "$manifest" "$work/installed.list"; then
  echo "the installed files differ from $manifest (- expected, + installed)" >&2
  exit 1
fi

desktop-file-validate "$dest/usr/share/applications/kmr6650-tool.desktop"
for page in "$dest"/usr/share/man/man1/*.1.gz; do
  warnings=$(gzip -dc "$page" | groff -man -Tutf8 -ww -z 2>&1)
  if [ -n "$warnings" ]; then
    echo "$page: $warnings" >&2
    exit 1
  fi
done
bash -n "$dest/usr/share/bash-completion/completions/kmr6650-cli"
"$dest/usr/bin/kmr6650-cli" --version

rm -f "$build"/kmr6650_*.deb
(cd "$build" && cpack -G DEB >/dev/null)
deb=$(ls "$build"/kmr6650_*.deb)
dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { print $6 }' | sed 's|^\.||' | LC_ALL=C sort >"$work/deb.list"
if ! diff -u "$manifest" "$work/deb.list"; then
  echo "the package's files differ from $manifest (- expected, + in the package)" >&2
  exit 1
fi
dpkg-deb -f "$deb" Package Version Architecture Depends
echo "$(basename "$deb"): $(stat -c %s "$deb") bytes, installs as listed in $(basename "$manifest")"
