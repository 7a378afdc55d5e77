#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing the tool need.
# Run as root on Debian 12 (bookworm).
set -euo pipefail
packages=(
  cmake ninja-build g++ pkg-config
  libgtest-dev libgmock-dev libbenchmark-dev
  clang libclang-rt-14-dev
  qt6-base-dev fonts-dejavu-core xvfb xauth
  nlohmann-json3-dev                                # the command line's JSON documents
  jq bsdutils                                       # tests: JSON read back as scripts do, a terminal
  git                                               # the version text of a checkout's build
  dpkg-dev file desktop-file-utils groff-base man-db  # the Debian package and the install check
  lintian                                           # the package's check against Debian's rules
  fonts-liberation2                                 # the fonts the dialogs are drawn with
  socat                                             # the test through a serial device server
  ansible-core                                      # the test of the playbooks in examples/ansible
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
