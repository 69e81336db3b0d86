#include "server/buffered_exchange.hpp"

#include <algorithm>
#include <array>
#include <cstring>

namespace QuarloSandbox {

namespace {

// A request's head held in memory, read by httplib as if from a socket; what httplib writes
// collects into one answer, which the front end then sends with a single write.
class MemoryStream final : public httplib::Stream {
 public:
  MemoryStream(std::string_view head, const FramedRequest& request)
      : head_(head), request_(request) {}

  bool is_readable() const override { return true; }
  bool is_writable() const override { return true; }
  ssize_t read(char* ptr, size_t size) override {
    const std::size_t count = std::min(size, head_.size());
    std::memcpy(ptr, head_.data(), count);
    head_.remove_prefix(count);
    return static_cast<ssize_t>(count);
  }
  using httplib::Stream::write;
  ssize_t write(const char* ptr, size_t size) override {
    answer_.append(ptr, size);
    return static_cast<ssize_t>(size);
  }
  void get_remote_ip_and_port(std::string& ip, int& port) const override {
    ip = request_.peer.address;
    port = request_.peer.port;
  }
  void get_local_ip_and_port(std::string& ip, int& port) const override {
    ip = request_.local.address;
    port = request_.local.port;
  }
  // httplib compares it with FD_SETSIZE; the front end keeps its descriptors below that.
  socket_t socket() const override { return request_.socket; }

  std::string TakeAnswer() { return std::move(answer_); }

 private:
  std::string_view head_;
  const FramedRequest& request_;
  std::string answer_;
};

bool IsFramingHeader(std::string_view name) {
  static constexpr std::array<std::string_view, 4> kFraming{"Transfer-Encoding", "Content-Length",
                                                            "Content-Encoding", "Expect"};
  return std::any_of(kFraming.begin(), kFraming.end(), [name](std::string_view framing) {
    return EqualsIgnoringCase(name, framing);
  });
}

}  // namespace

std::string BufferedHead(const FramedRequest& request) {
  const RequestHead& head = request.head;
  std::string text = head.method + " " + head.target + " " + head.version + "\r\n";
  for (const auto& [name, value] : head.headers) {
    if (!IsFramingHeader(name)) text += name + ": " + value + "\r\n";
  }
  return text + "Content-Length: " + std::to_string(request.body.size()) + "\r\n\r\n";
}

ProcessedAnswer BufferedHttpServer::Process(FramedRequest& request) {
  const std::string head = BufferedHead(request);
  MemoryStream stream(head, request);
  bool closed = false;
  // The body is handed over as it is, not read again from the stream: the handler runs before
  // httplib's routing would read it, and a large body is not copied once more.
  const bool processed = process_request(
      stream, request.lastOnConnection, closed,
      [&request](httplib::Request& parsed) { parsed.body = std::move(request.body); });
  return ProcessedAnswer{stream.TakeAnswer(), closed || !processed || request.lastOnConnection, {}};
}

}  // namespace QuarloSandbox
