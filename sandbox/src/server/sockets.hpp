#pragma once

#include <string>

#include "unique_fd.hpp"

namespace QuarloSandbox {

// A non-blocking listening socket on host:port (port 0 takes a free one); SandboxError(500, ...)
// when no address of the host can be bound.
UniqueFd ListenOn(const std::string& host, int port);

// One end of a connected or listening socket.
struct Endpoint {
  std::string address;  // "127.0.0.1", "::1"; "" when it cannot be read
  int port = 0;
};

// The socket's own address, and its peer's.
Endpoint LocalEndpoint(int fd);
Endpoint PeerEndpoint(int fd);

// Sends what the socket takes at once without waiting; false when not all of it went.
bool SendNow(int fd, const std::string& bytes);

}  // namespace QuarloSandbox
