// The team scenario (see Team.h).
#include "Team.h"

#include <libpq-fe.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <thread>

#include "Floor.h"
#include "ModelSynth.h"
#include "Process.h"

namespace zt::bench {

namespace fs = std::filesystem;

namespace {

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
class Cluster {
 public:
  explicit Cluster(std::string dir) : dir_(std::move(dir)) {
    if (std::system(("bash '" ZT_BENCH_SOURCE_DIR "/../tests/pg/cluster.sh' start '" + dir_ + "'").c_str()) != 0) {
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

  Cluster cluster("/tmp/zt-bench-pg-" + std::to_string(::getpid()));
  std::vector<TeamRow> rows;
  for (const bool postgres : {false, true}) {
    TeamRow row;
    row.store = postgres ? "PostgreSQL" : "folder (SQLite)";
    row.operations = summary.operations;
    for (int r = 0; r < options.repeat; ++r) {
      const fs::path place = folder / (postgres ? "pg" : "folder");
      fs::remove_all(place);
      fs::create_directories(place);
      std::string location = (place / "store").string();
      const std::string schema = "bench" + std::to_string(r);
      if (postgres) {
        PgQuery(cluster.Host(), "DROP SCHEMA IF EXISTS " + schema + " CASCADE; CREATE SCHEMA " + schema);
        location = "host=" + cluster.Host() + " user=zt dbname=postgres options='-csearch_path=" + schema +
                   "' scripts=" + (place / "scripts").string();
      }
      std::vector<RunResult> results(static_cast<size_t>(options.runs));
      std::vector<std::thread> users;
      const auto start = std::chrono::steady_clock::now();
      for (int u = 0; u < options.runs; ++u) {
        users.emplace_back([&, u] {
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
      for (std::thread& user : users) user.join();
      const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
      for (int u = 0; u < options.runs; ++u) {
        ++row.runs;
        if (results[static_cast<size_t>(u)].status != 0) {
          ++row.failedRuns;
          if (row.firstFailure.empty()) {
            std::ifstream err(place / ("stderr" + std::to_string(u + 1) + ".txt"));
            std::string line, last;
            while (std::getline(err, line)) {
              if (line.find("ztunittest:") != std::string::npos || line.find("locked") != std::string::npos)
                last = line;
            }
            row.firstFailure = last;
          }
        }
      }
      // What the runs left together: a test and a datapool per operation.
      const size_t files = CountJava(postgres ? place / "scripts" / "java" : place / "store" / "scripts" / "java");
      std::string error;
      const int64_t datapools = postgres ? std::stoll(PgQuery(cluster.Host(), "SELECT count(*) FROM datapools", schema))
                                         : CountDatapools((place / "store" / "store.db").string(), error);
      std::cerr << "  " << row.store << " " << (r + 1) << "/" << options.repeat << ": " << seconds << " s, " << files
                << " tests, " << datapools << " datapools\n";
      if ((files != static_cast<size_t>(summary.operations) || datapools != summary.operations) &&
          row.failedRuns == 0) {
        ++row.failedRuns;
        row.firstFailure = "the store holds " + std::to_string(files) + " tests and " + std::to_string(datapools) +
                           " datapools, not " + std::to_string(summary.operations);
      }
      if (r == 0 || seconds < row.seconds) row.seconds = seconds;
    }
    rows.push_back(row);
  }
  fs::remove_all(folder);
  return rows;
}

}  // namespace zt::bench
