#pragma once

// The sandbox's count of document submissions, per folio, with when each arrived and when (or
// whether) it was answered: what a test of a client's delivery needs to prove that no document was
// submitted again after the sandbox had answered for it. Held in memory only, and capped.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "server/faults.hpp"
#include "server/moment.hpp"

namespace QuarloSandbox {

// The folio a submission is counted under.
struct SubmissionKey {
  std::string environment;
  std::string issuer;
  std::int64_t tipo = 0;
  std::int64_t folio = 0;  // 0 for automatic numbering until a folio is taken

  friend bool operator==(const SubmissionKey&, const SubmissionKey&) = default;
  friend auto operator<=>(const SubmissionKey&, const SubmissionKey&) = default;
};

struct SubmittedDocument;

// A submission as the server counts it: the folio it is counted under, and its body as read, which
// the operation then works on.
struct CountedDocument {
  SubmissionKey key;
  std::shared_ptr<SubmittedDocument> read;
};

// The folio a SendDTEDocument or SendBoletaDocument body submits, with the body's reading, or
// nothing for another operation or a body whose document cannot be read (the operation refuses
// it, and it is not counted).
std::optional<CountedDocument> SubmittedFolio(std::string_view operation, const std::string& body);

// The submissions received, in the order they arrived; safe to use from any thread.
class SubmissionLog {
 public:
  // Past this many submissions new ones are only counted as dropped: about 20 MB of entries.
  static constexpr std::size_t kDefaultCapacity = 100'000;

  explicit SubmissionLog(std::size_t capacity = kDefaultCapacity) : capacity_(capacity) {}

  // Records a submission that arrived whole at `received`; the number that names it later, 0 when
  // the log is full and it was dropped.
  std::uint64_t Received(SubmissionKey key, std::string_view operation, Moment received,
                         Fault fault);
  // The status the sandbox answered it with and, when it took one, the folio it was stored under.
  void Processed(std::uint64_t entry, int status, std::optional<std::int64_t> folio);
  // The answer's last byte left at `sent`, or the answer was never sent (nothing).
  void Delivered(std::uint64_t entry, std::optional<Moment> sent);

  // The submissions as XML, grouped by folio in key order (those of `only`, when given): each
  // folio with its count and each submission with its times, status and fault.
  std::string Report(const std::optional<SubmissionKey>& only = std::nullopt) const;

 private:
  // One submission as it stands.
  struct Entry {
    SubmissionKey key;
    std::string operation;
    Moment received;
    Fault fault = Fault::None;
    std::optional<int> status;
    enum class Answer { Pending, Sent, NotSent } answer = Answer::Pending;
    Moment sent;
  };

  Entry* Find(std::uint64_t entry);

  const std::size_t capacity_;
  mutable std::mutex mutex_;
  std::vector<Entry> entries_;
  std::uint64_t dropped_ = 0;
};

}  // namespace QuarloSandbox
