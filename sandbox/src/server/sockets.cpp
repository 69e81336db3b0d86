#include "server/sockets.hpp"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <memory>

#include "sandbox_error.hpp"

namespace QuarloSandbox {

namespace {

using AddressList = std::unique_ptr<addrinfo, decltype(&freeaddrinfo)>;

AddressList Resolve(const std::string& host, int port) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = AI_PASSIVE | AI_NUMERICSERV;
  addrinfo* found = nullptr;
  if (getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found) != 0) {
    found = nullptr;
  }
  return AddressList(found, &freeaddrinfo);
}

UniqueFd TryListen(const addrinfo& address) {
  UniqueFd fd(::socket(address.ai_family, address.ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC,
                       address.ai_protocol));
  if (!fd.Valid()) return fd;
  const int on = 1;
  setsockopt(fd.Get(), SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  if (::bind(fd.Get(), address.ai_addr, address.ai_addrlen) != 0 ||
      ::listen(fd.Get(), SOMAXCONN) != 0) {
    fd.Reset();
  }
  return fd;
}

Endpoint Describe(const sockaddr_storage& address) {
  char text[INET6_ADDRSTRLEN] = {};
  Endpoint endpoint;
  if (address.ss_family == AF_INET) {
    const auto& v4 = reinterpret_cast<const sockaddr_in&>(address);
    if (inet_ntop(AF_INET, &v4.sin_addr, text, sizeof text)) endpoint.address = text;
    endpoint.port = ntohs(v4.sin_port);
  } else if (address.ss_family == AF_INET6) {
    const auto& v6 = reinterpret_cast<const sockaddr_in6&>(address);
    if (inet_ntop(AF_INET6, &v6.sin6_addr, text, sizeof text)) endpoint.address = text;
    endpoint.port = ntohs(v6.sin6_port);
  }
  return endpoint;
}

}  // namespace

UniqueFd ListenOn(const std::string& host, int port) {
  const AddressList addresses = Resolve(host, port);
  for (const addrinfo* address = addresses.get(); address != nullptr; address = address->ai_next) {
    UniqueFd fd = TryListen(*address);
    if (fd.Valid()) return fd;
  }
  throw SandboxError(500, "no se pudo escuchar en " + host + ":" + std::to_string(port));
}

Endpoint LocalEndpoint(int fd) {
  sockaddr_storage address{};
  socklen_t length = sizeof address;
  if (getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) return {};
  return Describe(address);
}

Endpoint PeerEndpoint(int fd) {
  sockaddr_storage address{};
  socklen_t length = sizeof address;
  if (getpeername(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) return {};
  return Describe(address);
}

bool SendNow(int fd, const std::string& bytes) {
  const ssize_t sent = ::send(fd, bytes.data(), bytes.size(), MSG_DONTWAIT | MSG_NOSIGNAL);
  return sent >= 0 && static_cast<std::size_t>(sent) == bytes.size();
}

}  // namespace QuarloSandbox
