#pragma once

// Faults the sandbox injects on purpose, so that an application can be tried against a bad day of
// the service: answers lost after the document was stored, 503s, answers held past the client's
// limits and reset connections. The choice is drawn from a seeded generator, one draw per protocol
// request in the order the requests complete, so a seed replays the same sequence.

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace QuarloSandbox {

// What is done to one request.
enum class Fault {
  None,
  LostAnswer,   // processed and stored, then the connection is closed without an answer
  Unavailable,  // answered 503 before processing; nothing stored
  Stall,        // processed, and the answer held for the stall delay before it is sent
  ResetBefore,  // the connection is reset before processing; nothing stored
  ResetAfter,   // processed and stored, then the connection is reset without an answer
};

// The command line's name of a fault ("respuesta-perdida"); "" for Fault::None.
std::string_view FaultName(Fault fault);
// The fault of a command line name, or nothing when the name is unknown.
std::optional<Fault> FaultNamed(std::string_view name);
// Every fault the sandbox can inject, in the order of their draw.
std::vector<Fault> AllFaults();
// Whether the request is processed (and may be stored) under this fault.
bool ProcessesRequest(Fault fault);

// How the sandbox injects faults: none when `share` is 0.
struct FaultSettings {
  double share = 0;  // of the protocol's requests, 0 to 1
  std::uint64_t seed = 0;
  std::vector<Fault> kinds = AllFaults();
  std::vector<std::string> operations;  // the paths faulted ("SendDTEDocument"); empty: all
  std::chrono::milliseconds stall{90'000};
};

// The seeded sequence of faults; used by one thread (the front end's loop).
class FaultInjector {
 public:
  explicit FaultInjector(FaultSettings settings);
  // The fault of the next protocol request: Fault::None unless its draw falls within the share.
  Fault Next();
  const FaultSettings& Settings() const { return settings_; }

 private:
  std::uint64_t NextBits();

  FaultSettings settings_;
  std::uint64_t state_;
};

// "falla inyectada respuesta-perdida: POST /SendDTEDocument (orden 7)", every value escaped
// and, as in every log line, only the operation of the target; the order is the moment's number
// the request arrived at, as the count of submissions gives it.
std::string FaultLogLine(Fault fault, std::string_view method, std::string_view target,
                         std::uint64_t order);

}  // namespace QuarloSandbox
