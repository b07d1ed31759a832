#!/usr/bin/env bash
# Installs every Debian package the build and the tests need, and nothing when all are there.
# Server packages (mail servers for the protocol tests) are installed without starting their
# system services: the tests run private instances of their own on 127.0.0.1.
set -euo pipefail

packages=(
  # build
  build-essential cmake ninja-build pkg-config ccache
  # libraries
  libsqlite3-dev libssl-dev libntlm0-dev libcanberra-dev libc-ares-dev
  # tests, benchmarks and fuzzing
  libgtest-dev libgmock-dev libbenchmark-dev clang libclang-rt-14-dev
  # the peak memory the large-message benchmark reads
  time
  # the installed tree's test: the manual page and the bash and zsh completions on a terminal
  groff-base man-db bash-completion zsh python3
  # real mail servers the protocol tests start on 127.0.0.1 (never as system services)
  dovecot-core dovecot-pop3d python3-aiosmtpd sasl2-bin libsasl2-modules openssl
  # the desktop front end (qt6-base-dev brings Qt's printing too)
  qt6-base-dev qt6-svg-dev qt6-qpa-plugins
  # the printing tests read the printed pages back, and print in a font sure to be there
  poppler-utils fonts-dejavu-core
  # the desktop the front-end tests start: an X server, a window manager, a tray, a driver
  xvfb openbox trayer xdotool libxcb1-dev
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "install-deps: installing ${missing[*]}"
sudo=""
if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi

# Keep package scripts from starting services while we install.
policy=/usr/sbin/policy-rc.d
made_policy=0
if [ ! -e "$policy" ]; then
  printf '#!/bin/sh\nexit 101\n' | $sudo tee "$policy" >/dev/null
  $sudo chmod 755 "$policy"
  made_policy=1
fi
cleanup() { if [ "$made_policy" = 1 ]; then $sudo rm -f "$policy"; fi; }
trap cleanup EXIT

export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
