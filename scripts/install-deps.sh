#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the sandbox need, skipping those already
# present so that a prepared machine starts at once. Needs root (apt-get).
set -euo pipefail

packages=(
  build-essential cmake pkg-config ca-certificates
  libcurl4-openssl-dev libxml2-dev libxml2-utils
  libgtest-dev libgmock-dev libbenchmark-dev
  libcpp-httplib-dev libsqlite3-dev libssl-dev libzint-dev libhpdf-dev
  libpng-dev libzxing-dev zlib1g-dev poppler-utils doxygen
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if ((${#missing[@]})); then
  echo "Installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
