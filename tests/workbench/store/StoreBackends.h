// The store's back-ends as the tests use them: a store folder, a project's
// tree, and a PostgreSQL store on the tests' private cluster
// (tests/pg/cluster.sh).
// Under ctest the cluster is started once for all tests (ZT_TEST_PG_HOST
// names its socket folder); a test program run on its own starts one for
// itself at the first PostgreSQL test and stops it at exit. Each store gets
// a schema of its own in that cluster, so tests never see each other's.
#pragma once

#include <gtest/gtest.h>
#include <libpq-fe.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <stdexcept>
#include <string>

#include "TestUtil.h"
#include "workbench/store/StoreBase.h"
#include "workbench/store/StoreLocation.h"

namespace zt::test {

/// The tests' PostgreSQL cluster.
class PgServer {
 public:
  static PgServer& Instance() {
    static PgServer server;
    return server;
  }

  /// The folder of the server's socket.
  const std::string& Host() const { return host_; }

  /// A connection string to a new, empty schema of its own.
  std::string FreshConninfo() {
    static int counter = 0;
    const std::string schema = "t" + std::to_string(::getpid()) + "_" + std::to_string(++counter);
    Run("CREATE SCHEMA " + schema);
    return "host=" + host_ + " user=zt dbname=postgres options='-csearch_path=" + schema + "'";
  }

  /// Runs `sql` on the cluster's database as its superuser; throws on failure.
  void Run(const std::string& sql, const std::string& conninfo = {}) {
    PGconn* connection =
        PQconnectdb((conninfo.empty() ? "host=" + host_ + " user=zt dbname=postgres" : conninfo).c_str());
    PGresult* result = PQexec(connection, sql.c_str());
    const ExecStatusType status = PQresultStatus(result);
    const std::string error = PQerrorMessage(connection);
    PQclear(result);
    PQfinish(connection);
    if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK) throw std::runtime_error(sql + ": " + error);
  }

  PgServer(const PgServer&) = delete;
  PgServer& operator=(const PgServer&) = delete;

 private:
  PgServer() {
    if (const char* host = std::getenv("ZT_TEST_PG_HOST"); host != nullptr && *host != '\0') {
      host_ = host;
      return;
    }
    own_ = "/tmp/zt-pg-" + std::to_string(::getpid());
    host_ = own_;
    const std::string command = std::string("bash '") + ZT_TEST_PG_CLUSTER + "' start '" + own_ + "'";
    if (std::system(command.c_str()) != 0) throw std::runtime_error("the tests' PostgreSQL cluster did not start");
  }
  ~PgServer() {
    if (own_.empty()) return;
    const std::string command = std::string("bash '") + ZT_TEST_PG_CLUSTER + "' stop '" + own_ + "'";
    if (std::system(command.c_str()) != 0) std::fprintf(stderr, "the tests' PostgreSQL cluster did not stop\n");
  }

  std::string host_;
  std::string own_;  // the cluster this program started; "" under ctest
};

/// The back-ends a conformance test runs on.
enum class Backend { kFolder, kPostgres, kProject };

inline std::string BackendName(const ::testing::TestParamInfo<Backend>& info) {
  switch (info.param) {
    case Backend::kFolder: return "Folder";
    case Backend::kProject: return "Project";
    case Backend::kPostgres: break;
  }
  return "Postgres";
}

/// A store location of `backend` below `dir` (a folder store there, a
/// project there, or a fresh PostgreSQL schema with its scripts folder there).
inline std::string NewStoreLocation(Backend backend, const std::filesystem::path& dir) {
  if (backend == Backend::kFolder) return (dir / "store").string();
  if (backend == Backend::kProject) {
    std::filesystem::create_directories(dir / "store");
    return "project:" + (dir / "store").string();
  }
  return PgServer::Instance().FreshConninfo() + " scripts=" + (dir / "store" / "scripts").string();
}

/// A fixture of a test run on every back-end: `Location()` is where its
/// store is; `JavaRoot()` the root of its Java scripts, `JavaTests()` the
/// folder the add-in's folder "unittests" comes to below it, `VbRoot()` the
/// root of its Visual Basic scripts.
class OnEitherBackend : public ::testing::TestWithParam<Backend> {
 protected:
  const std::string& Location() {
    if (location_.empty()) location_ = NewStoreLocation(GetParam(), dir_);
    return location_;
  }
  std::unique_ptr<wb::StoreBase> MakeStore(std::optional<std::string> user, wb::Console& console,
                                           std::chrono::milliseconds patience = std::chrono::milliseconds(30000)) {
    return wb::MakeStore(wb::StoreOptions{wb::ParseStoreLocation(Location()), std::move(user), patience}, console);
  }
  std::filesystem::path Scripts() const { return dir_ / "store" / "scripts"; }
  std::filesystem::path JavaRoot() const {
    return GetParam() == Backend::kProject ? dir_ / "store" / "src" / "test" / "java" : Scripts() / "java";
  }
  std::filesystem::path JavaTests() const {
    return GetParam() == Backend::kProject ? JavaRoot() : JavaRoot() / "unittests";
  }
  std::filesystem::path VbRoot() const {
    return GetParam() == Backend::kProject ? dir_ / "store" / "src" / "test" / "vb" : Scripts() / "vb";
  }

  TempDir dir_{"backend"};

 private:
  std::string location_;
};

}  // namespace zt::test

/// Runs the tests of `suite` (an OnEitherBackend) on every back-end.
#define ZT_ON_EITHER_BACKEND(suite)                                                                           \
  INSTANTIATE_TEST_SUITE_P(Backends, suite,                                                                   \
                           ::testing::Values(::zt::test::Backend::kFolder, ::zt::test::Backend::kPostgres,    \
                                             ::zt::test::Backend::kProject),                                  \
                           ::zt::test::BackendName)
