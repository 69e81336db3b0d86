#pragma once

// Why the sandbox has a front end of its own before httplib: httplib reads a request on a worker
// thread, and its read time-out restarts with every byte, so it cannot bound a whole request. A
// client that trickles its headers, or sends a body without end, holds that worker for as long as
// it likes, and two dozen such clients hold them all. Here one event-loop thread owns every
// connection while its request is incomplete: it bounds the head's size and time, checks the key
// on the headers, caps and times the body, and only then hands the complete request to a worker.
// A worker therefore only ever sees a complete request, and never waits on a client: the answer
// it produces is sent back by the same loop, however slowly the client reads it.

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "server/dispatcher.hpp"
#include "server/faults.hpp"
#include "server/limits.hpp"
#include "server/moment.hpp"
#include "server/request_head.hpp"
#include "server/sockets.hpp"
#include "unique_fd.hpp"

namespace httplib {
class ThreadPool;
}

namespace QuarloSandbox {

// One complete request as the front end hands it to a worker.
struct FramedRequest {
  RequestHead head;
  std::string body;  // without chunk framing
  Endpoint local;
  Endpoint peer;
  int socket = -1;                // for descriptor checks only: a worker never reads or writes it
  bool lastOnConnection = false;  // the front end closes the connection after this answer
  Moment received;                // when its last byte was read
  Fault fault = Fault::None;      // what the front end will do to it, drawn as it completed
};

// The whole answer to one request as it goes on the wire, and whether the connection ends there.
struct ProcessedAnswer {
  std::string bytes;
  bool close = false;
  // Called once on the front end's thread: with the moment the answer's last byte went to the
  // socket, or with nothing when it never went (dropped, reset, the client gone).
  std::function<void(std::optional<Moment>)> delivered;
};

// How the front end injects faults: the fault of each complete request (Fault::None when unset),
// and how long a stalled answer is held before it is sent.
struct FaultHooks {
  std::function<Fault(const RequestHead&)> choose;
  std::chrono::milliseconds stall{0};
};

// Told of each request the front end answers itself with a refusal (method and target as far as
// they were read, "" before that, and the status); runs on the front end's thread.
using RefusalHook = std::function<void(const std::string&, const std::string&, int)>;

// Turns a complete request into its answer; runs on the worker threads.
using RequestProcessor = std::function<ProcessedAnswer(FramedRequest&)>;

// The event loop that accepts connections, frames requests within the limits and writes answers.
class FrontEnd {
 public:
  // `log`, when set, receives one line per request the front end refuses or drops itself, and
  // one per fault it injects.
  FrontEnd(FrontEndLimits limits, const ApiKeys& keys, RequestProcessor process,
           std::function<void(const std::string&)> log, FaultHooks faults = {},
           RefusalHook refused = {});
  ~FrontEnd();
  FrontEnd(const FrontEnd&) = delete;
  FrontEnd& operator=(const FrontEnd&) = delete;

  // Binds host:port (port 0 takes a free one) and returns the port; SandboxError(500, ...) when
  // the address cannot be bound.
  int Bind(const std::string& host, int port);
  // Serves on the calling thread until Stop, then returns once every request that reached a
  // worker has been answered.
  void Run();
  // Makes Run stop accepting and return; from any thread, idempotent, also before Run starts.
  void Stop();

 private:
  // One client connection and where its current request stands.
  struct Connection;
  // An answer a worker has finished, waiting for the loop to send it.
  struct Finished {
    std::uint64_t id;
    ProcessedAnswer answer;
    Fault fault;
  };

  // Routes one epoll event to the listener, the wake-up or a connection.
  void HandleEvent(std::uint64_t tag);
  // Accepts the connections waiting on the listener.
  void AcceptAll();
  // Takes a new connection in, making room or refusing it (503) when every slot is taken.
  void AddConnection(UniqueFd fd);
  // Closes the connection that has waited longest without a request in progress; false if none.
  bool EvictOldestWaiting();
  // Starts sending the answers the workers have finished; begins stopping when asked to.
  void TakeFinished();
  // Closes the listener and every connection that has no request at a worker.
  void BeginStop();

  // Reads what the client sent and frames as much of a request as it completes.
  void ReadInput(Connection& connection);
  // Moves the connection's request on through head and body as far as its input allows.
  void Advance(Connection& connection);
  // Reads and checks the head; true when the body can be read next.
  bool AdvanceHead(Connection& connection);
  // Takes body bytes; hands the request to a worker once it is whole.
  void AdvanceBody(Connection& connection);
  // Gives the complete request to the worker pool.
  void HandOff(Connection& connection);
  // Logs and answers a refusal, then lingers before closing.
  void Refuse(Connection& connection, int status, const std::string& description);
  // Sends a finished answer, or does to it what its fault says.
  void Deliver(Connection& connection, std::string bytes, Fault fault);
  // Keeps a stalled answer until the stall delay has passed (or the server stops).
  void Hold(Connection& connection, std::string bytes);
  // Starts sending an answer.
  void StartAnswer(Connection& connection, std::string bytes);
  // Sends what the socket takes of the answer now.
  void WriteOutput(Connection& connection);
  // After an answer: linger, close, or wait for the next request (maybe already received).
  void FinishAnswer(Connection& connection);
  // Reads and drops what a refused client still sends.
  void Drain(Connection& connection);
  // Ends a connection whose deadline has passed (a 408 when a request was half read).
  void Expire(Connection& connection);
  // Closes the connection; it is forgotten at the end of the loop's turn.
  void Close(Connection& connection);
  // Closes the connection with a reset (SO_LINGER 0): what is unsent is dropped, the peer sees RST.
  void Reset(Connection& connection);
  // Tells whoever waits for the connection's answer whether it went out, once.
  void ReportDelivery(Connection& connection, std::optional<Moment> sent);
  // Now, as a moment of the front end: the wall clock and the next number of its event count.
  Moment Stamp();

  // Registers the epoll events the connection waits for (none: unregistered).
  void SetInterest(Connection& connection, std::uint32_t events);
  // Sets the time by which the connection must have moved on.
  void SetDeadline(Connection& connection, std::chrono::steady_clock::time_point deadline);
  // Renews the body's or answer's time window once `moved` bytes keep up with the floor rate.
  void KeepPace(Connection& connection, std::size_t moved);
  // Brings the count of buffered request bytes up to date with the connection's.
  void Account(Connection& connection);
  // Expires the connections whose deadline has passed.
  void SweepDeadlines();
  // How long the loop may wait for events before the next deadline.
  int WaitMilliseconds() const;
  // Passes a line to the log, when there is one.
  void Log(const std::string& line) const;
  // Logs a refusal of the request in progress (if any of it was read) and tells the hook.
  void LogRefusal(const Connection& connection, int status, const std::string& description) const;

  const FrontEndLimits limits_;
  const ApiKeys& keys_;
  RequestProcessor process_;
  std::function<void(const std::string&)> log_;
  FaultHooks faults_;
  RefusalHook refused_;
  std::uint64_t events_ = 0;
  UniqueFd epoll_;
  UniqueFd wake_;
  UniqueFd listener_;
  bool acceptPaused_ = false;
  std::unique_ptr<httplib::ThreadPool> pool_;
  std::unordered_map<std::uint64_t, std::unique_ptr<Connection>> connections_;
  std::vector<std::uint64_t> closed_;
  std::uint64_t nextId_ = 2;
  std::size_t buffered_ = 0;
  std::chrono::steady_clock::time_point nextSweep_;
  std::vector<char> readBuffer_;
  std::atomic<bool> stopping_{false};
  bool stopBegun_ = false;
  std::mutex finishedMutex_;
  std::vector<Finished> finished_;
};

}  // namespace QuarloSandbox
