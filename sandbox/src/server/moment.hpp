#pragma once

#include <chrono>
#include <cstdint>

namespace QuarloSandbox {

// A point in the front end's life: the wall-clock time, for people, and the front end's own count
// of events (requests completed, answers sent), which orders two moments even when the clock
// cannot tell them apart or steps back.
struct Moment {
  std::chrono::system_clock::time_point at;
  std::uint64_t order = 0;
};

}  // namespace QuarloSandbox
