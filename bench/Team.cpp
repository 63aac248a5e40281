// The team scenario (see Team.h).
#include "Team.h"

#include <libpq-fe.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <thread>

#include "Floor.h"
#include "ModelSynth.h"
#include "Process.h"
#include "Relay.h"

namespace zt::bench {

namespace fs = std::filesystem;

namespace {

std::string Fixed(double value) {
  std::ostringstream out;
  out << value;
  return out.str();
}

[[noreturn]] void Fail(const std::string& message) {
  std::cerr << "zt_bench: " << message << '\n';
  std::exit(1);
}

size_t CountJava(const fs::path& root) {
  size_t count = 0;
  std::error_code ec;
  for (auto it = fs::recursive_directory_iterator(root, ec); !ec && it != fs::recursive_directory_iterator();
       it.increment(ec)) {
    if (it->is_regular_file() && it->path().extension() == ".java") ++count;
  }
  return count;
}

// Runs `sql` on the cluster at `host`; the first column of the first row.
std::string PgQuery(const std::string& host, const std::string& sql, const std::string& schema = {}) {
  std::string conninfo = "host=" + host + " user=zt dbname=postgres";
  if (!schema.empty()) conninfo += " options='-csearch_path=" + schema + "'";
  PGconn* connection = PQconnectdb(conninfo.c_str());
  PGresult* result = PQexec(connection, sql.c_str());
  const ExecStatusType status = PQresultStatus(result);
  std::string value = status == PGRES_TUPLES_OK && PQntuples(result) > 0 ? PQgetvalue(result, 0, 0) : "";
  const std::string error = PQerrorMessage(connection);
  PQclear(result);
  PQfinish(connection);
  if (status != PGRES_TUPLES_OK && status != PGRES_COMMAND_OK) Fail(sql + ": " + error);
  return value;
}

// The private cluster, for as long as the object lives.
// Durable: with PostgreSQL's defaults (every commit waits for the disk);
// else with fsync off, as the tests run it.
class Cluster {
 public:
  Cluster(std::string dir, bool durable) : dir_(std::move(dir)) {
    const std::string start = std::string(durable ? "ZT_PG_DURABLE=1 " : "") +
                              "bash '" ZT_BENCH_SOURCE_DIR "/../tests/pg/cluster.sh' start '" + dir_ + "'";
    if (std::system(start.c_str()) != 0) {
      Fail("the PostgreSQL cluster did not start (install Debian's postgresql)");
    }
  }
  ~Cluster() { std::system(("bash '" ZT_BENCH_SOURCE_DIR "/../tests/pg/cluster.sh' stop '" + dir_ + "'").c_str()); }
  Cluster(const Cluster&) = delete;
  Cluster& operator=(const Cluster&) = delete;
  const std::string& Host() const { return dir_; }

 private:
  std::string dir_;
};

}  // namespace

std::vector<TeamRow> MeasureTeam(const TeamOptions& options) {
  const fs::path folder = fs::path(options.work) / "team";
  fs::create_directories(folder);
  // One model; each user selects a quarter of its packages.
  const fs::path model = folder / "model.json";
  SynthSummary summary;
  {
    std::ofstream modelOut(model, std::ios::binary);
    std::ostringstream jobs;
    SynthOptions synth;
    synth.operations = options.runs * options.operations;
    synth.seed = options.seed;
    synth.ejbsPerPackage = 8;
    std::string error;
    if (!SynthesizeModel(synth, options.templates, modelOut, jobs, summary, error)) Fail(error);
  }
  std::vector<std::vector<std::string>> selections(static_cast<size_t>(options.runs));
  for (size_t p = 0; p < summary.packages.size(); ++p) {
    selections[p * static_cast<size_t>(options.runs) / summary.packages.size()].push_back(summary.packages[p]);
  }
  std::cerr << "team: " << options.runs << " users at once, " << summary.operations << " operations in "
            << summary.packages.size() << " packages\n";

  // A server with PostgreSQL's defaults, and one with fsync off beside it.
  const std::string clusters = "/tmp/zt-bench-pg-" + std::to_string(::getpid());
  Cluster durableCluster(clusters + "-durable", true);
  Cluster fastCluster(clusters + "-fast", false);
  DelayRelay durableRelay(durableCluster.Host() + "/relay", durableCluster.Host());
  DelayRelay fastRelay(fastCluster.Host() + "/relay", fastCluster.Host());
  std::vector<TeamRow> rows;
  // The folder store once (no network), then PostgreSQL at each delay, then
  // the server with fsync off without a delay.
  struct Setting {
    double delayMs;  // < 0: the folder store
    bool durable;
  };
  std::vector<Setting> settings = {{-1, true}};
  for (const double delayMs : options.delaysMs) settings.push_back({delayMs, true});
  settings.push_back({0, false});
  for (const Setting& setting : settings) {
    const double delayMs = setting.delayMs;
    const bool postgres = delayMs >= 0;
    const Cluster& cluster = setting.durable ? durableCluster : fastCluster;
    DelayRelay& relay = setting.durable ? durableRelay : fastRelay;
    relay.SetDelay(std::chrono::microseconds(std::lround(std::max(delayMs, 0.0) * 1000)));
    TeamRow row;
    row.store = !postgres ? "folder (SQLite)" : setting.durable ? "PostgreSQL" : "PostgreSQL, fsync off";
    row.delayMs = std::max(delayMs, 0.0);
    const fs::path place = folder / (postgres ? "pg" : "folder");
    int schemas = 0;
    // A fresh store: its location.
    const auto freshStore = [&]() {
      fs::remove_all(place);
      fs::create_directories(place);
      if (!postgres) return (place / "store").string();
      const std::string schema = "bench" + std::to_string(++schemas);
      PgQuery(cluster.Host(), "SET client_min_messages = warning; DROP SCHEMA IF EXISTS " + schema + " CASCADE; CREATE SCHEMA " + schema);
      return "host=" + cluster.Host() + "/relay user=zt dbname=postgres options='-csearch_path=" + schema +
             "' scripts=" + (place / "scripts").string();
    };
    const auto schema = [&]() { return "bench" + std::to_string(schemas); };
    // What the runs left together: a test and a datapool per operation.
    const auto checkStore = [&](int expected) {
      const size_t files = CountJava(postgres ? place / "scripts" / "java" : place / "store" / "scripts" / "java");
      std::string error;
      const int64_t datapools =
          postgres ? std::stoll(PgQuery(cluster.Host(), "SELECT count(*) FROM datapools", schema()))
                   : CountDatapools((place / "store" / "store.db").string(), error);
      if ((files != static_cast<size_t>(expected) || datapools != expected) && row.failedRuns == 0) {
        ++row.failedRuns;
        row.firstFailure = "the store holds " + std::to_string(files) + " tests and " + std::to_string(datapools) +
                           " datapools, not " + std::to_string(expected);
      }
    };
    // Runs `users` users at once (the first `users` selections) on `location`;
    // the wall time, first start to last end.
    const auto runUsers = [&](int users, const std::string& location) {
      std::vector<RunResult> results(static_cast<size_t>(users));
      std::vector<std::thread> threads;
      const auto start = std::chrono::steady_clock::now();
      for (int u = 0; u < users; ++u) {
        threads.emplace_back([&, u] {
          std::vector<std::string> argv = {options.program, "generate", model.string()};
          for (const std::string& package : selections[static_cast<size_t>(u)]) {
            argv.push_back("--select");
            argv.push_back(package);
          }
          argv.insert(argv.end(), {"--store", location, "--user", "user" + std::to_string(u + 1), "--templates",
                                   options.templates});
          Streams streams;
          streams.err = (place / ("stderr" + std::to_string(u + 1) + ".txt")).string();
          results[static_cast<size_t>(u)] = RunProgram(argv, streams);
        });
      }
      for (std::thread& thread : threads) thread.join();
      const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
      for (int u = 0; u < users; ++u) {
        ++row.runs;
        if (results[static_cast<size_t>(u)].status == 0) continue;
        ++row.failedRuns;
        if (row.firstFailure.empty()) {
          std::ifstream err(place / ("stderr" + std::to_string(u + 1) + ".txt"));
          std::string line, last;
          while (std::getline(err, line)) {
            if (line.find("ztunittest:") != std::string::npos || line.find("locked") != std::string::npos) last = line;
          }
          row.firstFailure = "status " + std::to_string(results[static_cast<size_t>(u)].status) + ": " + last;
        }
      }
      return seconds;
    };
    const auto best = [](double& kept, double seconds, int round) {
      if (round == 0 || seconds < kept) kept = seconds;
    };
    for (int r = 0; r < options.repeat; ++r) {
      // One user, a fresh store, then the same again over it, then the list.
      const std::string location = freshStore();
      relay.Reset();
      best(row.first, runUsers(1, location), r);
      row.firstTrips = static_cast<double>(relay.RoundTrips());
      row.connections = static_cast<int>(relay.Connections());
      row.operations = static_cast<int>(
          CountJava(postgres ? place / "scripts" / "java" : place / "store" / "scripts" / "java"));
      checkStore(row.operations);
      relay.Reset();
      best(row.rerun, runUsers(1, location), r);
      row.rerunTrips = static_cast<double>(relay.RoundTrips());
      relay.Reset();
      const auto start = std::chrono::steady_clock::now();
      const RunResult listed = RunProgram({options.program, "datapool", "list", "--store", location}, Streams{});
      best(row.list, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(), r);
      row.listTrips = static_cast<double>(relay.RoundTrips());
      if (listed.status != 0 && row.firstFailure.empty()) {
        ++row.failedRuns;
        row.firstFailure = "datapool list: status " + std::to_string(listed.status);
      }
      // All users at once on a fresh store.
      best(row.team, runUsers(options.runs, freshStore()), r);
      checkStore(summary.operations);
      std::cerr << "  " << row.store << (postgres ? " at " + Fixed(row.delayMs) + " ms" : std::string()) << " "
                << (r + 1) << "/" << options.repeat << ": one user " << row.first << " s, rerun " << row.rerun
                << " s, list " << row.list << " s, " << options.runs << " users " << row.team << " s\n";
    }
    rows.push_back(row);
  }
  fs::remove_all(folder);
  return rows;
}

}  // namespace zt::bench
