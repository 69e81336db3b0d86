#!/usr/bin/env bash
# The demo: installs what is missing, builds the sandbox and the demo, starts quarlo-sandbox on a
# free loopback port with a fresh in-memory store, runs examples/demo against it (a business day,
# one line per step) and stops the sandbox. The barcode, PDF and CAFs go to build/demo/.
# With --consola the sandbox stays up after the demo, so that its web console shows the day's
# documents, their timbres and PDFs, until Ctrl-C.
set -euo pipefail
keep_console=0
[ "${1:-}" = "--consola" ] && keep_console=1
cd "$(dirname "$0")/.."

log="$(mktemp)"
trap 'rm -f "$log"' EXIT
run_quietly() {
  if ! "$@" >"$log" 2>&1; then
    cat "$log" >&2
    exit 1
  fi
}

echo "Preparando (paquetes de Debian que falten, compilación)..."
run_quietly bash scripts/install-deps.sh
run_quietly cmake --preset default
run_quietly cmake --build --preset default -j "$(nproc)" --target quarlo-sandbox ejemplo_demo

out="$PWD/build/demo"
mkdir -p "$out"
if ((keep_console)); then
  # shellcheck disable=SC2016
  QUARLO_DEMO_DIR="$out" bash scripts/with-sandbox.sh build/default/sandbox/quarlo-sandbox \
    bash -c 'build/default/examples/demo &&
      echo "Consola: ${QUARLO_URI}/consola/  (llave de API: ${QUARLO_API_KEY}; Ctrl-C la cierra)" &&
      sleep infinity'
else
  QUARLO_DEMO_DIR="$out" bash scripts/with-sandbox.sh build/default/sandbox/quarlo-sandbox \
    build/default/examples/demo
fi
