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
};

/// One back-end's result.
struct TeamRow {
  std::string store;         ///< "folder (SQLite)" or "PostgreSQL"
  int operations = 0;        ///< of all runs together
  double seconds = 0;        ///< the best wall time, first start to last end
  int runs = 0;              ///< runs over all repetitions
  int failedRuns = 0;        ///< runs with a status other than 0, or a store short of their output
  std::string firstFailure;  ///< what the first failed run said
};

/// Runs the scenario on both back-ends; the PostgreSQL server is a private
/// cluster (tests/pg/cluster.sh) started and stopped here. Exits the program
/// with a message when it cannot run.
std::vector<TeamRow> MeasureTeam(const TeamOptions& options);

}  // namespace zt::bench
