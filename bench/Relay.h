// A delay relay for the team scenario: a user-space stand-in for a network
// between the program and its PostgreSQL server (the kernel may lack netem).
// It listens on a Unix socket of its own (DIR/.s.PGSQL.5432, so that libpq's
// "host=DIR" reaches it), connects each client to the server's socket, and
// holds every chunk it forwards for the delay, in each direction: a round
// trip costs twice the delay, as on a network whose one-way latency it is.
//
// It counts round trips: a client's turn to speak after it has heard from
// the server (the connection's first message counts too). A client that
// sends a second statement before the first one's answer (a pipeline) adds
// no round trip; one that waits for each answer adds one per statement.
// libpq keeps no such count, so the relay is where it is taken.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <string>
#include <thread>

namespace zt::bench {

class DelayRelay {
 public:
  /// Listens in `listenDir` (made if missing) and forwards to the server
  /// whose socket folder is `serverDir`. Throws std::runtime_error when it
  /// cannot listen.
  DelayRelay(const std::string& listenDir, const std::string& serverDir);
  ~DelayRelay();
  DelayRelay(const DelayRelay&) = delete;
  DelayRelay& operator=(const DelayRelay&) = delete;

  /// The one-way delay from now on (connections already open take it too).
  void SetDelay(std::chrono::microseconds delay) { delayUs_ = delay.count(); }
  /// Round trips and connections since the last Reset.
  uint64_t RoundTrips() const { return roundTrips_; }
  uint64_t Connections() const { return connections_; }
  void Reset() {
    roundTrips_ = 0;
    connections_ = 0;
  }

 private:
  void Accept();
  void Forward(int client);

  std::string socketPath_;
  std::string serverSocket_;
  int listener_ = -1;
  int stopPipe_[2] = {-1, -1};
  std::atomic<int64_t> delayUs_{0};
  std::atomic<uint64_t> roundTrips_{0};
  std::atomic<uint64_t> connections_{0};
  std::atomic<int> open_{0};
  std::atomic<bool> stopping_{false};
  std::thread acceptor_;
};

}  // namespace zt::bench
