#!/usr/bin/env bash
# Installs every Debian package that ToraVin needs to build, test and benchmark, and only the
# ones that are missing, so that running it again costs a few dpkg look-ups. It must work on a
# bare Debian 12 with nothing but make and git, so the compiler comes from here too.
set -euo pipefail

packages=(
  # build
  g++ cmake ninja-build pkg-config make
  # window toolkit and Japanese glyphs
  qt6-base-dev fonts-noto-cjk
  # gzip decoding plug-in
  zlib1g-dev
  # HTTPS: TLS library, and the command that makes the tests' certificates
  libssl-dev openssl
  # HTTP/2 framing and header compression (the socket, TLS and time-outs stay ours)
  libnghttp2-dev
  # the HTML reader: an HTML5 tokenizer and tree builder
  libgumbo-dev
  # tests and benchmarks
  libgtest-dev libgmock-dev libbenchmark-dev python3 libre2-dev
  # fuzzing
  clang libclang-rt-14-dev
  # real peers for the end-to-end tests and benchmarks
  nginx-light tinyproxy lhasa xvfb xauth curl wget wget2 gzip
  # driving the real window from outside, and screenshots of it
  xdotool x11-utils x11-apps netpbm
  # a window manager, so that screenshots and checks see frames and title bars
  openbox
  # the accessibility bus and its Python client, to read the window as a screen reader does
  at-spi2-core dbus python3-pyatspi
  # glibc's CP932 converter lives in the gconv modules
  libc-bin
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg -s "$p" 2>/dev/null | grep -q '^Status: install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "bootstrap: installing ${missing[*]}"
sudo=()
if [ "$(id -u)" -ne 0 ]; then
  sudo=(sudo)
fi
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -q
"${sudo[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
