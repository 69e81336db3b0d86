#!/usr/bin/env bash
# A user's view of the packages: builds the .deb files of a build folder, unpacks them into a
# temporary root (nothing is installed on this machine), builds a small program against that root
# with find_package(QuarloCliente) and with pkg-config, and runs both against the packaged
# quarlo-sandbox, with the packaged libquarlo.so loaded.
# Usage: scripts/consumer-test.sh [build folder]   (default: build/default)
set -euo pipefail
cd "$(dirname "$0")/.."
build="$(realpath "${1:-build/default}")"
source_dir="$PWD"

cmake --build "$build" --target package -j "$(nproc)"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
root="$work/raiz"
mkdir -p "$root"
for deb in "$build"/paquetes/*.deb; do
  dpkg-deb -x "$deb" "$root"
done

libdir="$(dirname "$(find "$root" -name 'libquarlo.so.*' -type f | head -n 1)")"
[ -d "$libdir" ] || { echo "el paquete no trae libquarlo.so" >&2; exit 1; }
export LD_LIBRARY_PATH="$libdir"

# With CMake's package, as a project using find_package would.
cmake -S "$source_dir/tests/consumer" -B "$work/con-cmake" -DCMAKE_PREFIX_PATH="$root/usr" \
  -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$work/con-cmake" >/dev/null

# With pkg-config, as a Makefile would; the .pc file finds its prefix from its own place.
export PKG_CONFIG_PATH="$libdir/pkgconfig"
# shellcheck disable=SC2046
g++ -std=c++20 -o "$work/con-pkgconfig" "$source_dir/tests/consumer/consumidor.cpp" \
  $(pkg-config --cflags --libs quarlo)

for program in "$work/con-cmake/consumidor" "$work/con-pkgconfig"; do
  if ldd "$program" | grep -q "libquarlo.so.* => $build"; then
    echo "$program cargó la biblioteca del árbol de compilación, no la del paquete" >&2
    exit 1
  fi
  ldd "$program" | grep -q "libquarlo.so.* => $libdir" ||
    { echo "$program no enlaza con el libquarlo.so del paquete" >&2; exit 1; }
done

run_consumer() {
  local caf="$QUARLO_WORKDIR/caf39.xml"
  "$QUARLO_SANDBOX" caf --rut 76543210-3 --tipo 39 --desde 1 --hasta 10 \
    --authority-key "$QUARLO_AUTHORITY_KEY" >"$caf"
  "$1" "$caf" "$source_dir/examples/data/boleta.xml"
}
export -f run_consumer
export source_dir
for program in "$work/con-cmake/consumidor" "$work/con-pkgconfig"; do
  bash scripts/with-sandbox.sh "$root/usr/bin/quarlo-sandbox" bash -c 'run_consumer "$0"' "$program"
done
"$root/usr/bin/quarlo" --version >/dev/null
echo "consumer-test: los paquetes se instalan, compilan y funcionan"
