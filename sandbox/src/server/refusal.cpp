#include "server/refusal.hpp"

#include "protocol/answer.hpp"

namespace QuarloSandbox {

namespace {

// The reason phrases of the statuses the front end answers by itself.
const char* ReasonPhrase(int status) {
  switch (status) {
    case 400:
      return "Bad Request";
    case 401:
      return "Unauthorized";
    case 408:
      return "Request Timeout";
    case 413:
      return "Payload Too Large";
    case 415:
      return "Unsupported Media Type";
    case 417:
      return "Expectation Failed";
    case 431:
      return "Request Header Fields Too Large";
    case 501:
      return "Not Implemented";
    case 503:
      return "Service Unavailable";
    default:
      return "Error";
  }
}

}  // namespace

std::string BodyTooLargeDescription(std::size_t cap) {
  constexpr std::size_t kMiB = 1024u * 1024u;
  const std::string limit =
      cap % kMiB == 0 ? std::to_string(cap / kMiB) + " MiB" : std::to_string(cap) + " bytes";
  return "la solicitud supera el límite de " + limit;
}

std::string RefusalResponse(int status, const std::string& description) {
  const std::string body = RenderAnswer(Answer::Failure(status, description));
  return "HTTP/1.1 " + std::to_string(status) + " " + ReasonPhrase(status) +
         "\r\nContent-Type: " + kAnswerContentType +
         "\r\nContent-Length: " + std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n" +
         body;
}

}  // namespace QuarloSandbox
