#pragma once

// What the drivers in bench/ measure the same way: percentiles of latencies and the disk's own
// rate of synchronous writes, the ceiling of any store that syncs each commit.

#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cstddef>
#include <filesystem>
#include <string>
#include <vector>

namespace QuarloCliente::bench {

// The value at `share` (0 to 1) of a sorted list, 0 for an empty one.
inline double Percentile(const std::vector<double>& sorted, double share) {
  if (sorted.empty()) return 0;
  const auto index = static_cast<std::size_t>(share * static_cast<double>(sorted.size() - 1));
  return sorted[index];
}

// Synchronous 4 KiB writes per second in the folder: the most commits a store that syncs each
// one could make there.
inline double DiskSyncWritesPerSecond(const std::filesystem::path& folder) {
  using Clock = std::chrono::steady_clock;
  const auto file = folder / "sync-probe";
  const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (fd < 0) return 0;
  const std::string block(4096, 'x');
  int writes = 0;
  const auto start = Clock::now();
  while (Clock::now() - start < std::chrono::seconds(1)) {
    if (::pwrite(fd, block.data(), block.size(), 0) < 0 || ::fdatasync(fd) != 0) break;
    ++writes;
  }
  const std::chrono::duration<double> took = Clock::now() - start;
  ::close(fd);
  std::filesystem::remove(file);
  return writes / took.count();
}

}  // namespace QuarloCliente::bench
