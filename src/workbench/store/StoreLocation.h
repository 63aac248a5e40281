// Where a store is, as the user names it (--store), and the store of that
// kind: a folder (SqliteStore.h); a Java project's own tree,
// "project:DIR" (ProjectStore.h; "project:." the current folder); or a
// PostgreSQL database with the folder of its scripts (PgStore.h), in either
// of libpq's forms:
//   postgresql://[ROLE@]HOST[:PORT]/DB?scripts=/shared/folder
//   postgresql:///DB?host=/run/postgresql&scripts=/shared/folder
//   host=/run/postgresql dbname=DB scripts=/shared/folder
// ("postgres://" too). A location is a database when it starts with one of
// those schemes, or with a word and "=" (blanks before it allowed; a folder
// of such a name is given as "./host=x"). What looks like a database
// location and is none (another or a mistyped scheme, a leading blank) is
// refused with the reason, never taken for a folder. "scripts" is the
// store's own parameter, taken out before libpq's own reader
// (PQconninfoParse) judges the rest; the keyword form is cut as that reader
// cuts it, so that the two never disagree on where "scripts" ends. A
// relative scripts folder is taken from the current folder; "/" is refused.
// A password is never part of a location (others can read a command line):
// libpq takes it from PGPASSWORD, PGPASSFILE or ~/.pgpass, as for its own
// programs; a message that names a refused location shows "***" for it.
#pragma once

#include <memory>
#include <optional>
#include <string>

namespace zt::wb {

class Console;
class Database;
class StoreBase;
struct StoreEnv;
struct StoreOptions;

/// A store location taken apart: what the command line read from --store,
/// and all that the host, the components and the stores take.
struct StoreLocation {
  enum class Kind { kFolder, kPostgres, kProject };
  Kind kind = Kind::kFolder;
  /// kFolder: the folder, absolute (relative only in a location built by
  /// hand, which a store takes from the current folder); kProject: the
  /// project's root folder, absolute.
  std::string folder = "ztstore";
  /// kPostgres: the connection as libpq takes it (without "scripts").
  std::string conninfo;
  /// kPostgres: the scripts folder, absolute.
  std::string scripts;
  /// The location as the user named it, a folder made absolute: what
  /// messages and a run's summary show.
  std::string text = "ztstore";
};

/// `location` taken apart, a folder made absolute (from the current
/// folder); raises error 5 with the reason (the location shown without its
/// secrets) for a database location without a scripts folder, with a
/// password, that libpq cannot read, or that only looks like one. The one
/// reader of a location the user gives.
StoreLocation ParseStoreLocation(const std::string& location);

/// Sets the libraries of the store's back-ends up for this program (a
/// program that uses its stores from one thread); before the first store is
/// opened.
void ConfigureStoreLibraries();

/// A new, not yet opened store at `options.location`, of its kind.
std::unique_ptr<StoreBase> MakeStore(const StoreOptions& options, const StoreEnv& env);

/// The database of the store at `location`, opened for reading only,
/// without a login and without creating anything; null when there is no
/// store there (a folder without a database, a database without the
/// store's tables). Raises error 75 when it cannot be opened or is of a
/// newer version.
std::unique_ptr<Database> OpenStoreReadOnly(const StoreLocation& location);

/// Why the store at `location` cannot be opened for writing, as a message;
/// nullopt when none is found before trying (a database is only found out
/// by connecting, which Open does).
std::optional<std::string> StoreProblem(const StoreLocation& location);

}  // namespace zt::wb
