#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the sandbox need, skipping those already
# present so that a prepared machine starts at once. Needs root (apt-get).
set -euo pipefail

packages=(
  build-essential cmake pkg-config ca-certificates
  libcurl4-openssl-dev libxml2-dev libxml2-utils
  libgtest-dev libgmock-dev libbenchmark-dev
  libcpp-httplib-dev libsqlite3-dev libssl-dev libzint-dev libhpdf-dev
  libpng-dev libzxing-dev zlib1g-dev poppler-utils doxygen locales
  libcli11-dev nlohmann-json3-dev
  libkainjow-mustache-dev chromium chromium-driver python3-selenium
  abigail-tools dpkg-dev file
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

# The number tests run again under locales that write decimals with a comma, so these must exist.
test_locales=(es_CL.UTF-8 de_DE.UTF-8)
available="$(locale -a 2>/dev/null | tr '[:upper:]' '[:lower:]' | tr -d '-')"
generate=0
for wanted in "${test_locales[@]}"; do
  normalized="$(echo "$wanted" | tr '[:upper:]' '[:lower:]' | tr -d '-')"
  if ! grep -qxF "$normalized" <<<"$available"; then
    if grep -qE "^# *$wanted UTF-8" /etc/locale.gen; then
      sed -i -E "s/^# *($wanted UTF-8)/\1/" /etc/locale.gen
    elif ! grep -qxF "$wanted UTF-8" /etc/locale.gen; then
      echo "$wanted UTF-8" >>/etc/locale.gen
    fi
    generate=1
  fi
done
if ((generate)); then
  echo "Generating locales: ${test_locales[*]}"
  locale-gen >/dev/null
fi
