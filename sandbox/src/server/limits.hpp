#pragma once

#include <chrono>
#include <cstddef>

namespace QuarloSandbox {

// The largest request body the sandbox reads; a larger one is answered 413.
inline constexpr std::size_t kMaxBodyBytes = 32u * 1024u * 1024u;

// The bounds the front end holds every connection to, so that no client, however slow or however
// large its request, keeps a worker or the sandbox's memory for long.
struct FrontEndLimits {
  // A connection without a request in progress (fresh or kept alive) is closed after this.
  std::chrono::milliseconds idle{5000};
  // From a request's first byte to the end of its headers.
  std::chrono::milliseconds head{5000};
  // A body or an answer must move `floorBytesPerSecond` times this many bytes in every window of
  // this length (the first window starts with the body or the answer), or it is dropped.
  std::chrono::milliseconds transferGrace{5000};
  std::size_t floorBytesPerSecond = 16u * 1024u;
  // After a refusal the unread rest of a request is drained this long, so that closing does not
  // reset the connection before the client has read the answer.
  std::chrono::milliseconds linger{2000};
  std::size_t maxHeadBytes = 64u * 1024u;
  std::size_t maxBodyBytes = kMaxBodyBytes;
  // Every byte of request held by the front end at once, over all connections.
  std::size_t maxBufferedBytes = 256u * 1024u * 1024u;
  // Open connections; kept below FD_SETSIZE, which httplib checks every descriptor against.
  std::size_t maxConnections = 512;
  // Requests served on one kept-alive connection before it is closed.
  std::size_t requestsPerConnection = 1000;
  std::size_t workers = 24;
};

}  // namespace QuarloSandbox
