#!/usr/bin/env bash
# The export check lists each kind of name libquarlo.so must not export, and only those.
# Usage: check_exports_test.sh CHECK_SCRIPT LEAKY_LIBRARY
set -uo pipefail
output="$(bash "$1" "$2" 2>&1)"
status=$?
fail() {
  echo "check_exports_test: $1"
  echo "$output"
  exit 1
}
[ "$status" -ne 0 ] || fail "the check passed a library that leaks"
for expected in "internal: QuarloCliente::detail::Interna()" \
                "internal: std::__cxx11::basic_string<char, std::char_traits<char>, std::allocator<char> > QuarloCliente::detail::PlantillaInterna<int>(int)" \
                "dependency: curl_falsa" \
                "outside QuarloCliente: Suelta()"; do
  grep -qF "exported, $expected" <<<"$output" || fail "not listed: $expected"
done
if grep -q "Publica\|QuarloCliente::Plantilla<" <<<"$output"; then
  fail "an interface name was listed"
fi
