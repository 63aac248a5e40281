// zt_bench's team scenario: several users generating into one store at
// once, a store folder (SQLite) against a PostgreSQL store. See
// docs/benchmark.md.
#pragma once

#include <string>
#include <vector>

namespace zt::bench {

/// What the team scenario does.
struct TeamOptions {
  std::string program;    ///< ztunittest
  std::string templates;  ///< the template folder
  std::string work;       ///< the working folder
  int runs = 4;           ///< users at once
  int operations = 2500;  ///< operations of each user's selection
  int repeat = 3;
  unsigned long long seed = 1;
  /// The one-way delays of the relay in front of the PostgreSQL server, in ms.
  std::vector<double> delaysMs = {0, 0.5, 1, 5};
};

/// One back-end's result, at one delay: the best of the rounds.
struct TeamRow {
  std::string store;         ///< "folder (SQLite)", "PostgreSQL" (durable) or "PostgreSQL, fsync off"
  double delayMs = 0;        ///< one way, between the program and the server
  int operations = 0;        ///< of one user's selection
  double first = 0;          ///< seconds of one user into a fresh store
  double rerun = 0;          ///< the same again, nothing to write
  double list = 0;           ///< `datapool list` of that store
  double team = 0;           ///< all users at once into a fresh store, first start to last end
  double firstTrips = 0;     ///< round trips of the first run (the relay's count)
  double rerunTrips = 0;     ///< of the rerun
  double listTrips = 0;      ///< of the list
  int connections = 0;       ///< connections the first run made
  int runs = 0;              ///< runs over all rounds
  int failedRuns = 0;        ///< runs with a status other than 0, or a store short of their output
  std::string firstFailure;  ///< what the first failed run said
};

/// Runs the scenario: the folder store, then a PostgreSQL store behind the
/// delay relay (Relay.h) at each delay, on a server with PostgreSQL's
/// default durability, then one on a server with fsync off (no delay). The
/// servers are private clusters (tests/pg/cluster.sh) started and stopped
/// here. Exits the program with a message when it cannot run.
std::vector<TeamRow> MeasureTeam(const TeamOptions& options);

}  // namespace zt::bench
