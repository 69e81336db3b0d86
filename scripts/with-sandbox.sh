#!/usr/bin/env bash
# Runs a command against a fresh quarlo-sandbox: starts the server on a free loopback port with an
# in-memory store, an API key and an authority key of its own, exports
#   QUARLO_URI, QUARLO_API_KEY      where and how to reach it
#   QUARLO_SANDBOX                  the server binary (for `quarlo-sandbox caf ...`)
#   QUARLO_AUTHORITY_KEY            the authority key its CAFs must be signed with
#   QUARLO_WORKDIR                  a scratch folder, removed afterwards
# runs the command, stops the server and exits with the command's status.
# Usage: scripts/with-sandbox.sh path/to/quarlo-sandbox command [args...]
set -euo pipefail
sandbox="$(realpath "$1")"
shift

workdir="$(mktemp -d)"
key="llave-$RANDOM$RANDOM"
"$sandbox" --port 0 --api-key "$key" --authority-key "$workdir/authority.pem" \
  >"$workdir/sandbox.out" 2>"$workdir/sandbox.log" &
pid=$!
stop() {
  kill -TERM "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
  rm -rf "$workdir"
}
trap stop EXIT

# The server prints its address once it listens; give it up to ten seconds.
uri=""
for _ in $(seq 1 100); do
  uri="$(sed -n 's/.*escuchando en \(http[^ ]*\).*/\1/p' "$workdir/sandbox.out")"
  [ -n "$uri" ] && break
  if ! kill -0 "$pid" 2>/dev/null; then
    cat "$workdir/sandbox.log" >&2
    exit 1
  fi
  sleep 0.1
done
if [ -z "$uri" ]; then
  echo "quarlo-sandbox no respondió" >&2
  exit 1
fi

export QUARLO_URI="$uri" QUARLO_API_KEY="$key" QUARLO_SANDBOX="$sandbox" \
  QUARLO_AUTHORITY_KEY="$workdir/authority.pem" QUARLO_WORKDIR="$workdir"
set +e
"$@"
status=$?
set -e
exit "$status"
