#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace QuarloSandbox {

// How a request's body is delimited.
struct BodyFraming {
  enum class Kind { None, Length, Chunked };
  Kind kind = Kind::None;
  std::size_t length = 0;  // for Kind::Length
};

// Reads one request body off a connection's input as it arrives and holds it to a cap: a chunked
// body is refused as soon as it passes the cap, not once it has all arrived.
class BodyReader {
 public:
  // A reader for a body so framed; SandboxError(413) at once when its length is over `cap`.
  BodyReader(BodyFraming framing, std::size_t cap);

  // Takes what belongs to the body from the front of `input` and returns how many bytes it took;
  // what follows the body (a pipelined request) is left. SandboxError(413) once the body would
  // pass the cap, SandboxError(400) for chunk framing that is not HTTP/1.1's.
  std::size_t Take(std::string_view input);
  // Whether the whole body has arrived.
  bool Done() const { return stage_ == Stage::Done; }
  // The body so far, without chunk framing.
  std::string& Body() { return body_; }
  // Bytes taken from the connection so far, framing included.
  std::size_t Taken() const { return taken_; }

 private:
  enum class Stage { Data, Size, DataEnd, Trailer, Done };

  // Each step takes one piece of framing or data from the front of `input` and returns its
  // length, or 0 while that piece has not all arrived.
  std::size_t TakeStep(std::string_view input);
  // Body bytes, of the whole body or of the current chunk.
  std::size_t TakeData(std::string_view input);
  // A chunk's size line, extensions dropped.
  std::size_t TakeSizeLine(std::string_view input);
  // The line end after a chunk's data.
  std::size_t TakeDataEnd(std::string_view input);
  // One line of the trailer, which is dropped.
  std::size_t TakeTrailerLine(std::string_view input);

  bool chunked_;
  std::size_t cap_;
  Stage stage_;
  std::size_t remaining_ = 0;  // of the body (by length) or of the current chunk
  std::size_t trailerBytes_ = 0;
  std::size_t taken_ = 0;
  std::string body_;
};

}  // namespace QuarloSandbox
