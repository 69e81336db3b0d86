#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstring>
#include <random>
#include <string>

#include "core/base64.hpp"

namespace {

using QuarloCliente::Bytes;
using QuarloCliente::detail::DecodeBase64;
using QuarloCliente::detail::EncodeBase64;

Bytes RandomBytes(std::int64_t size) {
  std::mt19937_64 engine(20240601);
  Bytes bytes(static_cast<std::size_t>(size));
  for (auto& byte : bytes) byte = static_cast<std::uint8_t>(engine());
  return bytes;
}

// Every figure counts the binary payload, not the longer text, so that encode, decode and the
// memcpy ceiling compare like with like.
void BM_EncodeBase64(benchmark::State& state) {
  const Bytes bytes = RandomBytes(state.range(0));
  for (auto _ : state) {
    std::string text = EncodeBase64(bytes);
    benchmark::DoNotOptimize(text.data());
  }
  state.SetBytesProcessed(state.iterations() * state.range(0));
}

void BM_DecodeBase64(benchmark::State& state) {
  const std::string text = EncodeBase64(RandomBytes(state.range(0)));
  for (auto _ : state) {
    Bytes bytes = DecodeBase64(text);
    benchmark::DoNotOptimize(bytes.data());
  }
  state.SetBytesProcessed(state.iterations() * state.range(0));
}

// MIME-style lines of 76 characters, the other shape the service's documents arrive in.
void BM_DecodeBase64Wrapped(benchmark::State& state) {
  const std::string text = EncodeBase64(RandomBytes(state.range(0)));
  std::string wrapped;
  for (std::size_t i = 0; i < text.size(); i += 76) wrapped.append(text, i, 76).append("\r\n");
  for (auto _ : state) {
    Bytes bytes = DecodeBase64(wrapped);
    benchmark::DoNotOptimize(bytes.data());
  }
  state.SetBytesProcessed(state.iterations() * state.range(0));
}

// The ceiling: a fresh buffer filled by memcpy, as the codecs allocate and fill theirs.
void BM_Memcpy(benchmark::State& state) {
  const Bytes source = RandomBytes(state.range(0));
  for (auto _ : state) {
    Bytes copy(source.size());
    std::memcpy(copy.data(), source.data(), source.size());
    benchmark::DoNotOptimize(copy.data());
  }
  state.SetBytesProcessed(state.iterations() * state.range(0));
}

BENCHMARK(BM_EncodeBase64)->Arg(1 << 20)->Arg(16 << 20);
BENCHMARK(BM_DecodeBase64)->Arg(1 << 20)->Arg(16 << 20);
BENCHMARK(BM_DecodeBase64Wrapped)->Arg(1 << 20)->Arg(16 << 20);
BENCHMARK(BM_Memcpy)->Arg(1 << 20)->Arg(16 << 20);

}  // namespace
