// The chores on a store's datapools outside a run (either back-end: what
// they change is the store's Database): deleting and renaming datapools
// together with the records that name them, and the rule for a name a user
// gives a datapool.
//
// What names a datapool besides its own row: the name record of the
// operation it was made for (datapool_names, DatapoolNames.h) and the
// record of what the model gave it (generated_scripts, type
// kGeneratedDatapool, the name as the path; Datapools.h). Deleting a
// datapool deletes both, so that its operation is given the name anew, and
// the datapool made again, in the next run. Renaming changes both, so that
// the operation keeps the datapool under its new name: a later run names it
// so in the test it writes. The tests already written are not rewritten:
// their code names the old name until they are generated again.
//
// Each change is one transaction (joining one that is open): all of it or
// nothing. Failures raise ZtError: 5 for what the store refuses (an unknown
// datapool, a name in use or not usable), 75 when the database fails.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace zt::wb {

class Database;

/// Why `name` cannot be a datapool's name, as a clause ("it holds a control
/// character"); nullopt when it can. A name is not empty, has no blank at
/// either end, holds no control character and none of / \ " (a datapool is
/// a file NAME.csv of a project, and its name a string in a test's code),
/// is not "." or "..", and is at most 200 bytes long.
std::optional<std::string> DatapoolNameFault(const std::string& name);

/// Deletes the datapools `names` (rows, fields, values) and the records that
/// name them (see the file comment). Raises error 5 naming the first of
/// `names` the store does not hold, before anything is deleted.
void DeleteDatapools(Database& db, const std::vector<std::string>& names);

/// Renames the datapool `from` to `to`, its rows and times kept, and the
/// records that name it with it (see the file comment). Raises error 5 when
/// `from` is no datapool, `to` is not a usable name (DatapoolNameFault), or
/// `to` is a datapool's name or recorded for another operation. Returns the
/// key of the operation whose record named it; "" when none did.
std::string RenameDatapool(Database& db, const std::string& from, const std::string& to);

}  // namespace zt::wb
