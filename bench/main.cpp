// zt_bench: how fast `ztunittest generate` is over whole models, against
// what simply writing its output costs. See docs/benchmark.md.
//
// For each size N it synthesizes a model of N operations (ModelSynth.h) and
// times, best of --repeat runs each:
//   generate   ztunittest generate MODEL --select <every package> into a fresh
//              store, stdin and stdout on /dev/null, stderr on a file;
//   progress   the same with stderr on a pseudo-terminal, so that the progress
//              is drawn (fresh store again);
//   floor      cp -r of the produced script tree plus inserting the produced
//              datapool rows into a fresh database in one transaction;
//   sed        bench/sed-loop.sh: one sed call per operation (once, and only up
//              to --sed-max operations, since it is slow).
// With --team it times the team scenario instead (Team.h).
// It checks that every run produced N files and N datapools, prints a table
// and writes it as CSV.
#include <fcntl.h>
#include <malloc.h>
#include <stdlib.h>
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <optional>
#include <sstream>

#include "Floor.h"
#include "ModelSynth.h"
#include "Process.h"
#include "Team.h"

namespace fs = std::filesystem;
using namespace zt::bench;

namespace {

constexpr double kKiBPerMiB = 1024.0;

struct Options {
  std::vector<int> sizes = {1000, 10000, 100000};
  int repeat = 3;
  int sedMax = 10000;
  std::string csv = ZT_BENCH_SOURCE_DIR "/results.csv";
  std::string work;
  bool keep = false;
  std::string program;
  std::string templates = ZT_BENCH_TEMPLATES_DIR;
  uint64_t seed = 1;
};

// One row of the table.
struct Row {
  int operations = 0;
  double generate = 0;
  long peakRssKiB = 0;
  double progress = 0;
  double floor = 0;
  std::optional<double> sed;
};

[[noreturn]] void Fail(const std::string& message) {
  std::cerr << "zt_bench: " << message << '\n';
  std::exit(1);
}

void Note(const std::string& message) { std::cerr << message << '\n'; }

std::string Fixed(double value, int decimals) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.*f", decimals, value);
  return buffer;
}

std::string Grouped(long value) {
  std::string digits = std::to_string(value);
  for (int i = static_cast<int>(digits.size()) - 3; i > 0; i -= 3) digits.insert(static_cast<size_t>(i), ",");
  return digits;
}

size_t CountFiles(const fs::path& root, const std::string& extension) {
  size_t count = 0;
  std::error_code ec;
  for (auto it = fs::recursive_directory_iterator(root, ec); !ec && it != fs::recursive_directory_iterator();
       it.increment(ec)) {
    if (it->is_regular_file() && it->path().extension() == extension) ++count;
  }
  return count;
}

void Remove(const fs::path& path) {
  std::error_code ec;
  fs::remove_all(path, ec);
}

// Writes back what earlier steps left unwritten on the file system of
// `folder`, so that a measurement does not pay for them.
void Settle(const fs::path& folder) {
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::syncfs(fd);
  ::close(fd);
}

std::string ProgramBesideThis() {
  std::error_code ec;
  const fs::path self = fs::read_symlink("/proc/self/exe", ec);
  return ec ? std::string("ztunittest") : (self.parent_path() / "ztunittest").string();
}

// A generation's store holds N scripts and N datapools.
void CheckStore(const fs::path& store, int operations, const std::string& what) {
  const size_t files = CountFiles(store / "scripts" / "java", ".java");
  std::string error;
  const int64_t datapools = CountDatapools((store / "store.db").string(), error);
  if (datapools < 0) Fail(what + ": " + error);
  if (files != static_cast<size_t>(operations) || datapools != operations) {
    Fail(what + ": expected " + std::to_string(operations) + " scripts and datapools, found " + std::to_string(files) +
         " scripts and " + std::to_string(datapools) + " datapools (see " + store.string() + ")");
  }
}

RunResult Generate(const Options& options, const fs::path& model, const SynthSummary& summary, const fs::path& store,
                   bool terminal, const fs::path& errFile) {
  std::vector<std::string> argv = {options.program, "generate", model.string()};
  for (const std::string& package : summary.packages) {
    argv.push_back("--select");
    argv.push_back(package);
  }
  argv.insert(argv.end(), {"--store", store.string(), "--user", "bench", "--templates", options.templates});
  Streams streams;
  streams.err = errFile.string();
  streams.terminal = terminal;
  RunResult result = RunProgram(argv, streams);
  // Every operation of a selected package is counted, the primary-key
  // constructors too, which get no test: the run ends with status 1.
  if (!result.started || (result.status != 0 && result.status != 1)) {
    Fail("ztunittest generate failed (status " + std::to_string(result.status) + ") " + result.problem + "; see " +
         errFile.string());
  }
  return result;
}

Row Measure(const Options& options, int operations, const fs::path& folder) {
  Row row;
  row.operations = operations;
  fs::create_directories(folder);

  // The model and the sed jobs.
  const fs::path model = folder / "model.json";
  const fs::path jobs = folder / "jobs.txt";
  SynthSummary summary;
  {
    std::ofstream modelOut(model, std::ios::binary);
    std::ofstream jobsOut(jobs, std::ios::binary);
    SynthOptions synth;
    synth.operations = operations;
    synth.seed = options.seed;
    std::string error;
    if (!SynthesizeModel(synth, options.templates, modelOut, jobsOut, summary, error)) Fail(error);
  }
  Note("N=" + Grouped(operations) + ": " + Grouped(summary.classes) + " classes in " +
       std::to_string(summary.packages.size()) + " packages, model " +
       Fixed(static_cast<double>(fs::file_size(model)) / (kKiBPerMiB * kKiBPerMiB), 1) + " MiB");

  // Generation plain, with the progress drawn, and the I/O floor on the
  // output of the first run, interleaved: the load of a shared machine
  // changes from minute to minute, and each repetition meets it alike.
  const fs::path kept = folder / "store";
  for (int r = 0; r < options.repeat; ++r) {
    const std::string round = std::to_string(r + 1) + "/" + std::to_string(options.repeat) + ": ";
    for (const bool terminal : {false, true}) {
      const fs::path store = folder / (terminal ? "store-pty" : "store-plain");
      Remove(store);
      Settle(folder);
      const RunResult run = Generate(options, model, summary, store, terminal, folder / "stderr.txt");
      if (r == 0) CheckStore(store, summary.operations, terminal ? "progress run" : "generation");
      if (terminal && run.terminalBytes == 0) Fail("the progress run drew nothing on the terminal");
      double& best = terminal ? row.progress : row.generate;
      if (r == 0 || run.seconds < best) best = run.seconds;
      if (!terminal) row.peakRssKiB = std::max(row.peakRssKiB, run.peakRssKiB);
      Note("  " + std::string(terminal ? "progress  " : "generate  ") + round + Fixed(run.seconds, 3) +
           " s, peak RSS " + Fixed(static_cast<double>(run.peakRssKiB) / kKiBPerMiB, 1) + " MiB" +
           (terminal ? ", " + Grouped(run.terminalBytes) + " bytes drawn" : std::string()));
      if (!terminal && r == 0) {
        Remove(kept);
        fs::rename(store, kept);
      } else {
        Remove(store);
      }
    }

    // The rows are held only for the floor: a program started later would
    // count this process's memory at the fork in its peak RSS.
    DatapoolTables tables;
    std::string error;
    if (!ReadDatapoolTables((kept / "store.db").string(), tables, error)) Fail(error);
    const fs::path copy = folder / "floor";
    Remove(copy);
    fs::create_directories(copy);
    Settle(folder);
    const auto start = std::chrono::steady_clock::now();
    const RunResult cp = RunProgram({"/bin/cp", "-r", (kept / "scripts").string(), (copy / "scripts").string()}, {});
    if (!cp.started || cp.status != 0) Fail("cp -r failed " + cp.problem);
    if (!InsertDatapoolTables((copy / "store.db").string(), tables, error)) Fail(error);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (r == 0 || seconds < row.floor) row.floor = seconds;
    Note("  floor     " + round + Fixed(seconds, 3) + " s (" + Grouped(static_cast<long>(tables.RowCount())) +
         " rows)");
    Remove(copy);
    tables = DatapoolTables();
    ::malloc_trim(0);
  }

  // The sed loop.
  if (operations <= options.sedMax) {
    const fs::path out = folder / "sed";
    Remove(out);
    fs::create_directories(out);
    Settle(folder);
    const RunResult sed = RunProgram({"/bin/bash", ZT_BENCH_SOURCE_DIR "/sed-loop.sh", jobs.string(), out.string()},
                                     {"/dev/null", "/dev/null", (folder / "sed-stderr.txt").string(), false});
    if (!sed.started || sed.status != 0) Fail("the sed loop failed; see " + (folder / "sed-stderr.txt").string());
    const size_t files = CountFiles(out, ".java");
    if (files != static_cast<size_t>(summary.operations)) {
      Fail("the sed loop wrote " + std::to_string(files) + " files, not " + std::to_string(summary.operations));
    }
    row.sed = sed.seconds;
    Note("  sed loop  1/1: " + Fixed(sed.seconds, 3) + " s");
    Remove(out);
  }
  if (!options.keep) Remove(folder);
  return row;
}

std::string Ratio(double a, double b) { return b > 0 ? Fixed(a / b, 2) : "-"; }

void Report(const std::vector<Row>& rows, const Options& options) {
  const char* header =
      "       N   seconds     ops/s  peak RSS MiB  floor s  x floor     sed s  sed/gen  progress s  overhead";
  std::cout << "\nztunittest generate, best of " << options.repeat << " (sed loop: one run, up to N = "
            << Grouped(options.sedMax) << ")\n"
            << header << '\n';
  std::ofstream csv(options.csv);
  csv << "operations,seconds,operations_per_second,peak_rss_mib,floor_seconds,ratio_to_floor,sed_seconds,"
         "sed_to_generate,progress_seconds,progress_overhead_percent\n";
  for (const Row& row : rows) {
    const double rate = row.generate > 0 ? row.operations / row.generate : 0;
    const double rss = static_cast<double>(row.peakRssKiB) / kKiBPerMiB;
    const double overhead = row.generate > 0 ? (row.progress / row.generate - 1) * 100 : 0;
    char line[256];
    std::snprintf(line, sizeof line, "%8s %9.3f %9s %13.1f %8.3f %8s %9s %8s %11.3f %8.1f%%", Grouped(row.operations).c_str(),
                  row.generate, Grouped(std::lround(rate)).c_str(), rss, row.floor, Ratio(row.generate, row.floor).c_str(),
                  row.sed ? Fixed(*row.sed, 3).c_str() : "not run", row.sed ? Ratio(*row.sed, row.generate).c_str() : "-",
                  row.progress, overhead);
    std::cout << line << '\n';
    csv << row.operations << ',' << Fixed(row.generate, 3) << ',' << std::lround(rate) << ',' << Fixed(rss, 1) << ','
        << Fixed(row.floor, 3) << ',' << Ratio(row.generate, row.floor) << ','
        << (row.sed ? Fixed(*row.sed, 3) : "") << ',' << (row.sed ? Ratio(*row.sed, row.generate) : "") << ','
        << Fixed(row.progress, 3) << ',' << Fixed(overhead, 1) << '\n';
  }
  for (size_t i = 1; i < rows.size(); ++i) {
    if (rows[i].operations == 10 * rows[i - 1].operations) {
      std::cout << "time at N = " << Grouped(rows[i].operations) << " is "
                << Ratio(rows[i].generate, rows[i - 1].generate) << "x the time at N = "
                << Grouped(rows[i - 1].operations) << '\n';
    }
  }
  if (!csv) Fail("cannot write " + options.csv);
  std::cout << "written to " << options.csv << '\n';
}

int Run(int argc, char** argv) {
  Options options;
  options.program = ProgramBesideThis();
  CLI::App app{"Times ztunittest generate over synthesized models against the I/O floor and a sed loop"};
  app.add_option("--sizes", options.sizes, "Numbers of operations, comma-separated")->delimiter(',')->capture_default_str();
  app.add_option("--repeat", options.repeat, "Runs of each measurement; the best counts")->check(CLI::PositiveNumber)->capture_default_str();
  app.add_option("--sed-max", options.sedMax, "The largest N at which the sed loop runs")->capture_default_str();
  app.add_option("--out", options.csv, "Where the CSV goes")->capture_default_str();
  app.add_option("--work", options.work, "Working folder (default: a new one in $TMPDIR, removed afterwards)");
  app.add_flag("--keep", options.keep, "Keep the models, stores and outputs");
  app.add_option("--ztunittest", options.program, "The program to time")->capture_default_str();
  app.add_option("--templates", options.templates, "The template folder")->capture_default_str();
  app.add_option("--seed", options.seed, "Seed of the model synthesizer")->capture_default_str();
  bool team = false;
  int teamRuns = 4;
  int teamOperations = 2500;
  app.add_flag("--team", team,
               "Only the team scenario: users generating into one store at once, folder against PostgreSQL");
  app.add_option("--team-runs", teamRuns, "Users at once in the team scenario")->capture_default_str();
  app.add_option("--team-operations", teamOperations, "Operations of each user in the team scenario")
      ->capture_default_str();
  CLI11_PARSE(app, argc, argv);

  if (::access(options.program.c_str(), X_OK) != 0) Fail("cannot run " + options.program);
  bool ownWork = false;
  if (options.work.empty()) {
    std::error_code ec;
    fs::path temp = fs::temp_directory_path(ec);
    if (ec) temp = "/tmp";
    std::string pattern = (temp / "zt-bench-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) Fail("cannot make a working folder in " + temp.string());
    options.work = pattern;
    ownWork = true;
  }
  options.program = fs::absolute(options.program).string();
  options.templates = fs::absolute(options.templates).string();

  if (team) {
    TeamOptions teamOptions{options.program, options.templates, options.work, teamRuns,
                            teamOperations,  options.repeat,    options.seed};
    const std::vector<TeamRow> rows = MeasureTeam(teamOptions);
    if (ownWork && !options.keep) Remove(options.work);
    std::cout << "\n"
              << teamRuns << " users at once, " << teamOperations
              << " operations each, into one store; best wall time of " << options.repeat << "\n"
              << "store                  operations   seconds     ops/s   failed runs\n";
    for (const TeamRow& row : rows) {
      char line[256];
      std::snprintf(line, sizeof line, "%-20s %12s %9.3f %9s %7d of %d", row.store.c_str(),
                    Grouped(row.operations).c_str(), row.seconds,
                    Grouped(std::lround(row.operations / row.seconds)).c_str(), row.failedRuns, row.runs);
      std::cout << line << (row.firstFailure.empty() ? "" : "  (" + row.firstFailure + ")") << '\n';
    }
    return 0;
  }

  std::vector<Row> rows;
  for (const int size : options.sizes) {
    rows.push_back(Measure(options, size, fs::path(options.work) / std::to_string(size)));
  }
  if (ownWork && !options.keep) Remove(options.work);
  Report(rows, options);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  try {
    return Run(argc, argv);
  } catch (const std::exception& e) {
    std::cerr << "zt_bench: " << e.what() << '\n';
    return 1;
  }
}
