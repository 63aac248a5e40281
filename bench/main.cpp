// zt_bench: how fast `ztunittest generate` is over whole models, against
// what simply writing its output costs. See docs/benchmark.md.
//
// For each size N it synthesizes a model of N operations (ModelSynth.h) and,
// in each of --repeat rounds, times:
//   generate   ztunittest generate MODEL --select <every package> into a fresh
//              store, stdin on /dev/null, stdout (the log) and stderr on files;
//   rerun      the same again over that store: nothing changed, nothing to write;
//   progress   the first with stderr on a pseudo-terminal, so that the progress
//              is drawn (fresh store again);
//   floor      cp -r of the produced script tree (the file floor), then
//              inserting the produced datapool rows into a fresh database in
//              one transaction (together: the floor with rows).
// Every run has the same fixed date (SOURCE_DATE_EPOCH). The rounds give each
// time and each ratio of one round's times as min, median and max. Once per
// size it also runs the generation under strace (up to --trace-max: system
// calls and bytes written per operation, and where they went; the timed runs
// give the bytes written by the kernel's count too: a traced run is slower,
// and a store cuts its batches by time as well as by size), the program
// given with --compare (its output must be the same, file by file and
// datapool by datapool) and the sed loop bench/sed-loop.sh (one sed call per
// operation, up to --sed-max). It checks that every run produced N files and
// N datapools, prints the tables and writes them as CSV.
// With --team it times the team scenario instead (Team.h).
#include <fcntl.h>
#include <malloc.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <optional>
#include <sstream>

#include "Floor.h"
#include "ModelSynth.h"
#include "Process.h"
#include "Team.h"
#include "Trace.h"

namespace fs = std::filesystem;
using namespace zt::bench;

namespace {

constexpr double kKiBPerMiB = 1024.0;
// 2001-09-09: the date every run writes into its tests.
constexpr const char* kFixedDate = "1000000000";

struct Options {
  std::vector<int> sizes = {1000, 10000, 100000};
  int repeat = 3;
  int sedMax = 10000;
  int traceMax = 10000;
  // In the current folder: a run never writes into the source tree.
  std::string csv = "zt_bench.csv";
  std::string work;
  bool keep = false;
  std::string program;
  std::string compare;
  std::string templates = ZT_BENCH_TEMPLATES_DIR;
  uint64_t seed = 1;
};

// The values one measurement took over the rounds.
class Samples {
 public:
  void Add(double value) { values_.push_back(value); }
  bool Empty() const { return values_.empty(); }
  double Min() const { return Empty() ? 0 : *std::min_element(values_.begin(), values_.end()); }
  double Max() const { return Empty() ? 0 : *std::max_element(values_.begin(), values_.end()); }
  double Median() const {
    if (Empty()) return 0;
    std::vector<double> sorted = values_;
    std::sort(sorted.begin(), sorted.end());
    const size_t middle = sorted.size() / 2;
    return sorted.size() % 2 == 1 ? sorted[middle] : (sorted[middle - 1] + sorted[middle]) / 2;
  }

 private:
  std::vector<double> values_;
};

// One size's measurements.
struct Row {
  int operations = 0;
  Samples generate, rerun, progress, floorCp, floorRows;
  // Ratios of the times of one round.
  Samples toFloorRows, toFloorCp, firstToRerun, progressOverheadPercent;
  // The same by processor time (user and system), which other work on the
  // machine changes less than the wall time.
  Samples generateCpu, floorRowsCpu, toFloorRowsCpu, progressOverheadCpuPercent;
  long peakRssKiB = 0;
  // KiB written per operation by the first generation of each round, as the
  // kernel counts it (not traced, so the batches are cut as in any run), and
  // of those the KiB that did not go to its log and standard error.
  Samples writtenKiB, writtenToStoreKiB;
  size_t outputBytes = 0;
  std::optional<double> sed;
  std::optional<TraceCounts> trace;
  std::optional<std::string> compareProblem;  // set when --compare ran: empty when the outputs agree
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

// "median [min-max]".
std::string Spread(const Samples& samples, int decimals) {
  return Fixed(samples.Median(), decimals) + " [" + Fixed(samples.Min(), decimals) + "-" +
         Fixed(samples.Max(), decimals) + "]";
}

// The regular files below `root`, by their path relative to it.
std::vector<fs::path> FilesBelow(const fs::path& root, size_t* bytes = nullptr) {
  std::vector<fs::path> files;
  std::error_code ec;
  for (auto it = fs::recursive_directory_iterator(root, ec); !ec && it != fs::recursive_directory_iterator();
       it.increment(ec)) {
    if (!it->is_regular_file()) continue;
    files.push_back(fs::relative(it->path(), root));
    if (bytes != nullptr) *bytes += static_cast<size_t>(it->file_size());
  }
  std::sort(files.begin(), files.end());
  return files;
}

size_t CountFiles(const fs::path& root, const std::string& extension) {
  size_t count = 0;
  for (const fs::path& file : FilesBelow(root)) count += file.extension() == extension ? 1 : 0;
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

// The processor time this process has taken so far.
double OwnCpuSeconds() {
  rusage usage{};
  ::getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

std::string ProgramBesideThis() {
  std::error_code ec;
  const fs::path self = fs::read_symlink("/proc/self/exe", ec);
  return ec ? std::string("ztunittest") : (self.parent_path() / "ztunittest").string();
}

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream content;
  content << in.rdbuf();
  return content.str();
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

// Where two stores differ: their script trees file by file, their datapools
// by content; empty when they agree.
std::string StoreDifference(const fs::path& a, const fs::path& b) {
  const std::vector<fs::path> filesA = FilesBelow(a / "scripts");
  const std::vector<fs::path> filesB = FilesBelow(b / "scripts");
  if (filesA != filesB) return "the script trees hold other files";
  for (const fs::path& file : filesA) {
    if (ReadFile(a / "scripts" / file) != ReadFile(b / "scripts" / file))
      return "scripts/" + file.string() + " differs";
  }
  std::map<std::string, std::string> poolsA, poolsB;
  std::string error;
  if (!ReadDatapoolContents((a / "store.db").string(), poolsA, error)) return error;
  if (!ReadDatapoolContents((b / "store.db").string(), poolsB, error)) return error;
  if (poolsA.size() != poolsB.size()) return "other datapools";
  for (const auto& [name, content] : poolsA) {
    const auto other = poolsB.find(name);
    if (other == poolsB.end() || other->second != content) return "datapool " + name + " differs";
  }
  return {};
}

std::vector<std::string> GenerateCommand(const std::string& program, const fs::path& model, const SynthSummary& summary,
                                         const fs::path& store, const std::string& templates) {
  std::vector<std::string> argv = {program, "generate", model.string()};
  for (const std::string& package : summary.packages) {
    argv.push_back("--select");
    argv.push_back(package);
  }
  argv.insert(argv.end(), {"--store", store.string(), "--user", "bench", "--templates", templates});
  return argv;
}

// Every operation of a selected package is counted, the primary-key
// constructors too, which get no test: a run ends with status 1.
RunResult Generate(const std::vector<std::string>& argv, bool terminal, const fs::path& errFile,
                   const fs::path& outFile = "/dev/null") {
  Streams streams;
  streams.out = outFile.string();
  streams.err = errFile.string();
  streams.terminal = terminal;
  RunResult result = RunProgram(argv, streams);
  if (!result.started || (result.status != 0 && result.status != 1)) {
    Fail("ztunittest generate failed (status " + std::to_string(result.status) + ") " + result.problem + "; see " +
         errFile.string());
  }
  return result;
}

void MeasureRound(const Options& options, const fs::path& folder, const fs::path& model, const SynthSummary& summary,
                  int round, Row& row) {
  const std::string of = std::to_string(round + 1) + "/" + std::to_string(options.repeat) + ": ";
  const fs::path kept = folder / "store";
  const fs::path err = folder / "stderr.txt";
  const fs::path log = folder / "stdout.txt";
  auto note = [&of](const std::string& what, double seconds, const std::string& more) {
    Note("  " + what + std::string(10 - std::min<size_t>(10, what.size()), ' ') + of + Fixed(seconds, 3) + " s" + more);
  };

  // The first run into a fresh store, and a second over it.
  const fs::path plain = folder / "store-plain";
  Remove(plain);
  Settle(folder);
  const std::vector<std::string> argv = GenerateCommand(options.program, model, summary, plain, options.templates);
  // Its log is kept in a file, as a user keeps it: the bytes the kernel
  // counts take in the log and standard error, whose sizes tell them apart.
  const RunResult first = Generate(argv, false, err, log);
  row.generate.Add(first.seconds);
  row.generateCpu.Add(first.cpuSeconds);
  row.peakRssKiB = std::max(row.peakRssKiB, first.peakRssKiB);
  std::string written;
  if (first.bytesWritten >= 0) {
    const double kib = static_cast<double>(first.bytesWritten) / summary.operations / 1024;
    long long streamed = 0;
    for (const fs::path& stream : {log, err}) {
      std::error_code sized;
      const std::uintmax_t size = fs::file_size(stream, sized);
      if (sized) Fail("cannot tell the size of " + stream.string() + ": " + sized.message());
      streamed += static_cast<long long>(size);
    }
    const double toStore = static_cast<double>(first.bytesWritten - streamed) / summary.operations / 1024;
    row.writtenKiB.Add(kib);
    row.writtenToStoreKiB.Add(toStore);
    written = ", " + Fixed(kib, 2) + " KiB written per operation (" + Fixed(toStore, 2) + " into the store)";
  }
  Remove(log);
  note("generate", first.seconds,
       ", peak RSS " + Fixed(static_cast<double>(first.peakRssKiB) / kKiBPerMiB, 1) + " MiB" + written);
  if (round == 0) CheckStore(plain, summary.operations, "generation");
  Settle(folder);
  const RunResult again = Generate(argv, false, err);
  row.rerun.Add(again.seconds);
  row.firstToRerun.Add(first.seconds / again.seconds);
  note("rerun", again.seconds, {});
  if (round == 0) {
    CheckStore(plain, summary.operations, "rerun");
    Remove(kept);
    fs::rename(plain, kept);
  } else {
    Remove(plain);
  }

  // With the progress line drawn.
  const fs::path pty = folder / "store-pty";
  Remove(pty);
  Settle(folder);
  const RunResult drawn = Generate(GenerateCommand(options.program, model, summary, pty, options.templates), true, err);
  if (round == 0) CheckStore(pty, summary.operations, "progress run");
  if (drawn.terminalBytes == 0) Fail("the progress run drew nothing on the terminal");
  row.progress.Add(drawn.seconds);
  row.progressOverheadPercent.Add((drawn.seconds / first.seconds - 1) * 100);
  row.progressOverheadCpuPercent.Add((drawn.cpuSeconds / first.cpuSeconds - 1) * 100);
  note("progress", drawn.seconds, ", " + Grouped(drawn.terminalBytes) + " bytes drawn");
  Remove(pty);

  // The floor. The rows are held only for it: a program started later would
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
  const auto copied = std::chrono::steady_clock::now();
  const double insertCpuStart = OwnCpuSeconds();
  if (!InsertDatapoolTables((copy / "store.db").string(), tables, error)) Fail(error);
  const auto end = std::chrono::steady_clock::now();
  const double floorCpu = cp.cpuSeconds + OwnCpuSeconds() - insertCpuStart;
  row.floorRowsCpu.Add(floorCpu);
  row.toFloorRowsCpu.Add(first.cpuSeconds / floorCpu);
  const double cpSeconds = std::chrono::duration<double>(copied - start).count();
  const double floorSeconds = std::chrono::duration<double>(end - start).count();
  row.floorCp.Add(cpSeconds);
  row.floorRows.Add(floorSeconds);
  row.toFloorCp.Add(first.seconds / cpSeconds);
  row.toFloorRows.Add(first.seconds / floorSeconds);
  note("floor", floorSeconds,
       " (cp -r " + Fixed(cpSeconds, 3) + " s, " + Grouped(static_cast<long>(tables.RowCount())) + " rows)");
  Remove(copy);
  tables = DatapoolTables();
  ::malloc_trim(0);
}

// Writes the model of `operations` operations (folder/model.json) and its
// sed jobs (folder/jobs.txt); what it holds.
SynthSummary WriteModel(const Options& options, int operations, const fs::path& folder) {
  std::ofstream modelOut(folder / "model.json", std::ios::binary);
  std::ofstream jobsOut(folder / "jobs.txt", std::ios::binary);
  SynthOptions synth;
  synth.operations = operations;
  synth.seed = options.seed;
  SynthSummary summary;
  std::string error;
  if (!SynthesizeModel(synth, options.templates, modelOut, jobsOut, summary, error)) Fail(error);
  return summary;
}

Row Measure(const Options& options, int operations, const fs::path& folder) {
  Row row;
  row.operations = operations;
  fs::create_directories(folder);

  // The model and the sed jobs.
  const fs::path model = folder / "model.json";
  const fs::path jobs = folder / "jobs.txt";
  const SynthSummary summary = WriteModel(options, operations, folder);
  Note("N=" + Grouped(operations) + ": " + Grouped(summary.classes) + " classes in " +
       std::to_string(summary.packages.size()) + " packages, model " +
       Fixed(static_cast<double>(fs::file_size(model)) / (kKiBPerMiB * kKiBPerMiB), 1) + " MiB");

  // The measurements of a round are interleaved: the load of a shared
  // machine changes from minute to minute, and each round meets it alike.
  for (int r = 0; r < options.repeat; ++r) MeasureRound(options, folder, model, summary, r, row);
  const fs::path kept = folder / "store";
  FilesBelow(kept / "scripts", &row.outputBytes);

  // The system calls and writes, untimed.
  if (operations <= options.traceMax) {
    const std::string strace = FindStrace();
    if (strace.empty()) {
      Note("  trace     not run: strace is not installed");
    } else {
      const fs::path traced = folder / "store-trace";
      Streams streams;
      streams.err = (folder / "stderr.txt").string();
      TraceCounts counts;
      std::string error;
      if (!TraceRun(
              strace, GenerateCommand(options.program, model, summary, traced, options.templates), streams,
              traced.string(), [&traced] { Remove(traced); }, counts, error)) {
        Fail(error);
      }
      CheckStore(traced, summary.operations, "traced run");
      Remove(traced);
      row.trace = counts;
      Note("  trace     " + Fixed(static_cast<double>(counts.calls) / operations, 1) + " system calls and " +
           Fixed(static_cast<double>(counts.written) / operations / 1024, 2) + " KiB written per operation, " +
           Grouped(counts.writtenElsewhere) + " bytes outside the store");
    }
  }

  // The program to compare with, over the same model and date.
  if (!options.compare.empty()) {
    const fs::path other = folder / "store-compare";
    Remove(other);
    Generate(GenerateCommand(options.compare, model, summary, other, options.templates), false,
             folder / "stderr-compare.txt");
    row.compareProblem = StoreDifference(kept, other);
    Note("  compare   " + (row.compareProblem->empty() ? std::string("the same output") : *row.compareProblem));
    Remove(other);
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
  std::cout << "\nztunittest generate: median [min-max] of " << options.repeat << " round(s)\n";
  char line[512];
  std::cout << "       N  generate s            rerun s               progress s            floor cp s            "
               "floor+rows s          peak RSS MiB\n";
  for (const Row& row : rows) {
    std::snprintf(line, sizeof line, "%8s  %-21s %-21s %-21s %-21s %-21s %6.1f", Grouped(row.operations).c_str(),
                  Spread(row.generate, 3).c_str(), Spread(row.rerun, 3).c_str(), Spread(row.progress, 3).c_str(),
                  Spread(row.floorCp, 3).c_str(), Spread(row.floorRows, 3).c_str(),
                  static_cast<double>(row.peakRssKiB) / kKiBPerMiB);
    std::cout << line << '\n';
  }
  std::cout << "\nratios of the times of one round, median [min-max]\n"
               "       N  x floor+rows          x floor cp            first/rerun           progress overhead %   "
               "sed/generate\n";
  for (const Row& row : rows) {
    std::snprintf(line, sizeof line, "%8s  %-21s %-21s %-21s %-21s %s", Grouped(row.operations).c_str(),
                  Spread(row.toFloorRows, 2).c_str(), Spread(row.toFloorCp, 2).c_str(),
                  Spread(row.firstToRerun, 2).c_str(), Spread(row.progressOverheadPercent, 1).c_str(),
                  row.sed ? Ratio(*row.sed, row.generate.Median()).c_str() : "not run");
    std::cout << line << '\n';
  }
  std::cout << "\nby processor time (user and system), median [min-max]\n"
               "       N  generate cpu s        floor+rows cpu s      x floor+rows          progress overhead %\n";
  for (const Row& row : rows) {
    std::snprintf(line, sizeof line, "%8s  %-21s %-21s %-21s %s", Grouped(row.operations).c_str(),
                  Spread(row.generateCpu, 3).c_str(), Spread(row.floorRowsCpu, 3).c_str(),
                  Spread(row.toFloorRowsCpu, 2).c_str(), Spread(row.progressOverheadCpuPercent, 1).c_str());
    std::cout << line << '\n';
  }
  std::cout << "\nper operation (fresh store): under strace, and in the timed runs (the kernel's count, median);"
               " the output\n"
               "       N  system calls  KiB written  of which to the store  bytes elsewhere  KiB written, timed  "
               "to the store, timed  output KiB  same as --compare\n";
  for (const Row& row : rows) {
    const double n = row.operations;
    const std::string compared = !row.compareProblem           ? "not run"
                                 : row.compareProblem->empty() ? "yes"
                                                               : "NO: " + *row.compareProblem;
    const std::string timed = row.writtenKiB.Empty() ? "-" : Fixed(row.writtenKiB.Median(), 2);
    const std::string timedToStore = row.writtenToStoreKiB.Empty() ? "-" : Fixed(row.writtenToStoreKiB.Median(), 2);
    if (row.trace) {
      std::snprintf(line, sizeof line, "%8s  %12.1f  %11.2f  %21.2f  %15s  %18s  %19s  %10.2f  %s",
                    Grouped(row.operations).c_str(), row.trace->calls / n, row.trace->written / n / 1024,
                    row.trace->writtenToStore / n / 1024, Grouped(row.trace->writtenElsewhere).c_str(), timed.c_str(),
                    timedToStore.c_str(), static_cast<double>(row.outputBytes) / n / 1024, compared.c_str());
    } else {
      std::snprintf(line, sizeof line, "%8s  %12s  %11s  %21s  %15s  %18s  %19s  %10.2f  %s",
                    Grouped(row.operations).c_str(), "-", "-", "-", "-", timed.c_str(), timedToStore.c_str(),
                    static_cast<double>(row.outputBytes) / n / 1024, compared.c_str());
    }
    std::cout << line << '\n';
    if (row.trace) {
      for (const std::string& path : row.trace->elsewhere)
        std::cout << "          written outside the store: " << path << '\n';
    }
  }
  for (size_t i = 1; i < rows.size(); ++i) {
    if (rows[i].operations == 10 * rows[i - 1].operations) {
      std::cout << "time at N = " << Grouped(rows[i].operations) << " is "
                << Ratio(rows[i].generate.Median(), rows[i - 1].generate.Median())
                << "x the time at N = " << Grouped(rows[i - 1].operations) << " (medians; "
                << Ratio(rows[i].generate.Min(), rows[i - 1].generate.Min()) << "x from the best rounds)\n";
    }
  }

  std::ofstream csv(options.csv);
  csv << "operations,rounds";
  for (const char* name :
       {"generate", "rerun", "progress", "floor_cp", "floor_rows", "ratio_to_floor_rows", "ratio_to_floor_cp",
        "first_to_rerun", "progress_overhead_percent", "generate_cpu", "floor_rows_cpu", "ratio_to_floor_rows_cpu",
        "progress_overhead_cpu_percent"}) {
    csv << ',' << name << "_min," << name << "_median," << name << "_max";
  }
  csv << ",peak_rss_mib,syscalls_per_op,kib_written_per_op,kib_to_store_per_op,bytes_elsewhere,output_kib_per_op,"
         "same_as_compare,sed_seconds,sed_to_generate,kib_written_timed_per_op,kib_to_store_timed_per_op\n";
  for (const Row& row : rows) {
    csv << row.operations << ',' << options.repeat;
    for (const Samples* samples :
         {&row.generate, &row.rerun, &row.progress, &row.floorCp, &row.floorRows, &row.toFloorRows, &row.toFloorCp,
          &row.firstToRerun, &row.progressOverheadPercent, &row.generateCpu, &row.floorRowsCpu, &row.toFloorRowsCpu,
          &row.progressOverheadCpuPercent}) {
      csv << ',' << Fixed(samples->Min(), 3) << ',' << Fixed(samples->Median(), 3) << ',' << Fixed(samples->Max(), 3);
    }
    const double n = row.operations;
    csv << ',' << Fixed(static_cast<double>(row.peakRssKiB) / kKiBPerMiB, 1) << ','
        << (row.trace ? Fixed(row.trace->calls / n, 1) : "") << ','
        << (row.trace ? Fixed(row.trace->written / n / 1024, 2) : "") << ','
        << (row.trace ? Fixed(row.trace->writtenToStore / n / 1024, 2) : "") << ','
        << (row.trace ? std::to_string(row.trace->writtenElsewhere) : "") << ','
        << Fixed(static_cast<double>(row.outputBytes) / n / 1024, 2) << ','
        << (!row.compareProblem           ? ""
            : row.compareProblem->empty() ? "yes"
                                          : "no")
        << ',' << (row.sed ? Fixed(*row.sed, 3) : "") << ',' << (row.sed ? Ratio(*row.sed, row.generate.Median()) : "")
        << ',' << (row.writtenKiB.Empty() ? "" : Fixed(row.writtenKiB.Median(), 2)) << ','
        << (row.writtenToStoreKiB.Empty() ? "" : Fixed(row.writtenToStoreKiB.Median(), 2)) << '\n';
  }
  if (!csv) Fail("cannot write " + options.csv);
  std::cout << "written to " << options.csv << '\n';
}

// The project scenario: for each size, a fresh folder store against a fresh
// project store (--store project:DIR), then a rerun over the project, in
// interleaved rounds; the ratio of each round's two first runs.
int MeasureProjects(const Options& options) {
  std::cout << "\noperations  folder store        project store       project / folder     project rerun\n";
  for (const int operations : options.sizes) {
    const fs::path folder = fs::path(options.work) / ("project-" + std::to_string(operations));
    fs::create_directories(folder);
    const fs::path model = folder / "model.json";
    const SynthSummary summary = WriteModel(options, operations, folder);
    Samples plain, project, ratio, rerun;
    const fs::path err = folder / "stderr.txt";
    for (int r = 0; r < options.repeat; ++r) {
      const fs::path store = folder / "store";
      const fs::path tree = folder / "project";
      Remove(store);
      Remove(tree);
      fs::create_directories(tree);
      Settle(folder);
      const double a =
          Generate(GenerateCommand(options.program, model, summary, store, options.templates), false, err).seconds;
      Settle(folder);
      std::vector<std::string> argv = GenerateCommand(options.program, model, summary, store, options.templates);
      *std::find(argv.begin(), argv.end(), store.string()) = "project:" + tree.string();
      const double b = Generate(argv, false, err).seconds;
      const size_t tests = FilesBelow(tree / "src" / "test" / "java").size();
      const size_t csvs = FilesBelow(tree / "src" / "test" / "resources" / "ztunittest").size();
      if (tests != static_cast<size_t>(summary.operations) || csvs != static_cast<size_t>(summary.operations) + 1) {
        Fail("the project holds " + std::to_string(tests) + " tests and " + std::to_string(csvs) +
             " files of datapools and records for " + std::to_string(summary.operations) + " tests (see " + tree.string() +
             ")");
      }
      Settle(folder);
      const double c = Generate(argv, false, err).seconds;
      plain.Add(a);
      project.Add(b);
      ratio.Add(b / a);
      rerun.Add(c);
      Note("  N=" + Grouped(operations) + " " + std::to_string(r + 1) + "/" + std::to_string(options.repeat) +
           ": folder " + Fixed(a, 3) + " s, project " + Fixed(b, 3) + " s, rerun " + Fixed(c, 3) + " s");
    }
    char line[256];
    std::snprintf(line, sizeof line, "%10s  %-18s  %-18s  %-19s  %s", Grouped(operations).c_str(),
                  (Spread(plain, 3) + " s").c_str(), (Spread(project, 3) + " s").c_str(),
                  (Spread(ratio, 2) + "x").c_str(), (Spread(rerun, 3) + " s").c_str());
    std::cout << line << '\n';
  }
  return 0;
}

int Run(int argc, char** argv) {
  Options options;
  options.program = ProgramBesideThis();
  CLI::App app{"Times ztunittest generate over synthesized models against the I/O floor and a sed loop"};
  app.add_option("--sizes", options.sizes, "Numbers of operations, comma-separated")->delimiter(',')->capture_default_str();
  app.add_option("--repeat", options.repeat, "Rounds of the timed measurements")
      ->check(CLI::PositiveNumber)
      ->capture_default_str();
  app.add_option("--sed-max", options.sedMax, "The largest N at which the sed loop runs")->capture_default_str();
  app.add_option("--trace-max", options.traceMax, "The largest N at which a run is traced with strace")
      ->capture_default_str();
  app.add_option("--out", options.csv, "Where the CSV goes")->capture_default_str();
  app.add_option("--work", options.work, "Working folder (default: a new one in $TMPDIR, removed afterwards)");
  app.add_flag("--keep", options.keep, "Keep the models, stores and outputs");
  app.add_option("--ztunittest", options.program, "The program to time")->capture_default_str();
  app.add_option("--compare", options.compare, "Another ztunittest whose output must be the same (not timed)");
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
  std::vector<double> teamDelays = {0, 0.5, 1, 5};
  app.add_option("--team-delays", teamDelays, "One-way delays (ms) of the relay before the PostgreSQL server")
      ->delimiter(',')
      ->capture_default_str();
  bool project = false;
  app.add_flag("--project", project, "Only the project scenario: a folder store against a project store");
  CLI11_PARSE(app, argc, argv);

  if (::access(options.program.c_str(), X_OK) != 0) Fail("cannot run " + options.program);
  if (!options.compare.empty() && ::access(options.compare.c_str(), X_OK) != 0) Fail("cannot run " + options.compare);
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
  fs::create_directories(options.work);
  // Real paths: strace names the files written by them.
  options.work = fs::canonical(options.work).string();
  options.program = fs::absolute(options.program).string();
  if (!options.compare.empty()) options.compare = fs::absolute(options.compare).string();
  options.templates = fs::absolute(options.templates).string();
  ::setenv("SOURCE_DATE_EPOCH", kFixedDate, 1);

  if (project) {
    const int status = MeasureProjects(options);
    if (ownWork && !options.keep) Remove(options.work);
    return status;
  }
  if (team) {
    TeamOptions teamOptions{options.program, options.templates, options.work, teamRuns,
                            teamOperations,  options.repeat,    options.seed,  teamDelays};
    const std::vector<TeamRow> rows = MeasureTeam(teamOptions);
    if (ownWork && !options.keep) Remove(options.work);
    std::cout << "\nbest of " << options.repeat << " rounds; one user: " << teamOperations
              << " operations; " << teamRuns << " users at once: " << teamRuns << " x " << teamOperations
              << "\nstore                 one-way  one user  trips/op  rerun  trips/op  list  trips  conn  " << teamRuns
              << " users  failed\n";
    for (const TeamRow& row : rows) {
      const bool pg = row.store.rfind("PostgreSQL", 0) == 0;
      const double ops = std::max(row.operations, 1);
      char line[512];
      std::snprintf(line, sizeof line, "%-21s %6.1fms %8.3fs %9s %6.3fs %9s %5.3fs %6s %5s %7.3fs %4d of %d",
                    row.store.c_str(), row.delayMs, row.first,
                    pg ? Fixed(row.firstTrips / ops, 2).c_str() : "-", row.rerun,
                    pg ? Fixed(row.rerunTrips / ops, 3).c_str() : "-", row.list,
                    pg ? std::to_string(std::lround(row.listTrips)).c_str() : "-",
                    pg ? std::to_string(row.connections).c_str() : "-", row.team, row.failedRuns, row.runs);
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
