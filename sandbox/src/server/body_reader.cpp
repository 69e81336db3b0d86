#include "server/body_reader.hpp"

#include <algorithm>

#include "sandbox_error.hpp"
#include "server/refusal.hpp"

namespace QuarloSandbox {

namespace {

// A chunk-size line or a trailer line longer than this is not framing any client writes.
constexpr std::size_t kMaxFramingLine = 4096;
constexpr std::size_t kMaxTrailerBytes = 16u * 1024u;

[[noreturn]] void BadChunk(const char* why) {
  throw SandboxError(400, std::string("el cuerpo por trozos no es válido: ") + why);
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// The line at the front of `input` without its CRLF or LF, and its length with them; nothing
// while the line has not all arrived.
bool FrontLine(std::string_view input, std::string_view& line, std::size_t& length) {
  const auto end = input.find('\n');
  if (end == std::string_view::npos) {
    if (input.size() > kMaxFramingLine) BadChunk("una línea de control es demasiado larga");
    return false;
  }
  if (end > kMaxFramingLine) BadChunk("una línea de control es demasiado larga");
  line = input.substr(0, end);
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  length = end + 1;
  return true;
}

}  // namespace

BodyReader::BodyReader(BodyFraming framing, std::size_t cap)
    : chunked_(framing.kind == BodyFraming::Kind::Chunked),
      cap_(cap),
      stage_(chunked_ ? Stage::Size : Stage::Data),
      remaining_(framing.kind == BodyFraming::Kind::Length ? framing.length : 0) {
  if (!chunked_ && remaining_ > cap_) throw SandboxError(413, BodyTooLargeDescription(cap_));
  if (!chunked_ && remaining_ == 0) stage_ = Stage::Done;
}

std::size_t BodyReader::Take(std::string_view input) {
  std::size_t took = 0;
  while (stage_ != Stage::Done && took < input.size()) {
    const std::size_t step = TakeStep(input.substr(took));
    if (step == 0) break;
    took += step;
  }
  taken_ += took;
  return took;
}

std::size_t BodyReader::TakeStep(std::string_view input) {
  switch (stage_) {
    case Stage::Data:
      return TakeData(input);
    case Stage::Size:
      return TakeSizeLine(input);
    case Stage::DataEnd:
      return TakeDataEnd(input);
    case Stage::Trailer:
      return TakeTrailerLine(input);
    case Stage::Done:
      break;
  }
  return 0;
}

std::size_t BodyReader::TakeData(std::string_view input) {
  const std::size_t take = std::min(remaining_, input.size());
  body_.append(input.substr(0, take));
  remaining_ -= take;
  if (remaining_ == 0) stage_ = chunked_ ? Stage::DataEnd : Stage::Done;
  return take;
}

std::size_t BodyReader::TakeSizeLine(std::string_view input) {
  std::string_view line;
  std::size_t length = 0;
  if (!FrontLine(input, line, length)) return 0;
  std::size_t size = 0;
  std::size_t digits = 0;
  for (; digits < line.size() && HexValue(line[digits]) >= 0; ++digits) {
    size = size * 16 + static_cast<std::size_t>(HexValue(line[digits]));
    // Refused at the size line: a chunk that would pass the cap is never read.
    if (size > cap_ - body_.size()) throw SandboxError(413, BodyTooLargeDescription(cap_));
  }
  const std::string_view after = line.substr(digits);
  if (digits == 0 ||
      (!after.empty() && after.front() != ';' && after.front() != ' ' && after.front() != '\t')) {
    BadChunk("un tamaño de trozo no es hexadecimal");
  }
  remaining_ = size;
  stage_ = size == 0 ? Stage::Trailer : Stage::Data;
  return length;
}

std::size_t BodyReader::TakeDataEnd(std::string_view input) {
  if (input.front() == '\n') {
    stage_ = Stage::Size;
    return 1;
  }
  if (input.front() != '\r') BadChunk("un trozo no termina donde dice su tamaño");
  if (input.size() < 2) return 0;
  if (input[1] != '\n') BadChunk("un trozo no termina donde dice su tamaño");
  stage_ = Stage::Size;
  return 2;
}

std::size_t BodyReader::TakeTrailerLine(std::string_view input) {
  std::string_view line;
  std::size_t length = 0;
  if (!FrontLine(input, line, length)) return 0;
  trailerBytes_ += length;
  if (trailerBytes_ > kMaxTrailerBytes) BadChunk("las cabeceras finales son demasiado largas");
  // Trailer fields are read past and dropped: nothing the sandbox does depends on them.
  if (line.empty()) stage_ = Stage::Done;
  return length;
}

}  // namespace QuarloSandbox
