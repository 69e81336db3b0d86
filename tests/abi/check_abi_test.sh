#!/usr/bin/env bash
# The ABI check's decision, on variants of the stored baseline: the same interface and one with a
# function more pass; one with a function fewer, or with a public type of another size, fail.
# Usage: check_abi_test.sh CHECK_SCRIPT BASELINE.abi.xz
set -uo pipefail
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
xz -dc "$2" >"$work/base.abi"
# The baseline without VersionBiblioteca: the real interface then has one function more.
sed -e "/<elf-symbol name='_ZN13QuarloCliente17VersionBiblioteca/d" \
  -e "/<function-decl name='VersionBiblioteca'/,/<\/function-decl>/d" "$work/base.abi" >"$work/fewer.abi"
# The baseline with LimitesTransporte a member short.
sed -E "s/(<class-decl name='LimitesTransporte' size-in-bits=')192'/\1128'/" "$work/base.abi" >"$work/smaller.abi"
for variant in fewer smaller; do
  cmp -s "$work/base.abi" "$work/$variant.abi" && { echo "the $variant variant is the baseline"; exit 1; }
done
expect() {
  bash "$1" --comparar "$3" "$4" >"$work/out" 2>&1
  local status=$?
  if { [ "$2" = pass ] && [ "$status" -ne 0 ]; } || { [ "$2" = fail ] && [ "$status" -eq 0 ]; }; then
    echo "check_abi_test: expected $2 comparing $(basename "$3") with $(basename "$4")"
    cat "$work/out"
    exit 1
  fi
}
expect "$1" pass "$work/base.abi" "$work/base.abi"
expect "$1" pass "$work/fewer.abi" "$work/base.abi"
expect "$1" fail "$work/base.abi" "$work/fewer.abi"
expect "$1" fail "$work/smaller.abi" "$work/base.abi"
echo "check_abi_test: additions pass, removals and layout changes fail"
