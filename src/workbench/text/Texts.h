// Texts of the workbench and the command-line host, by id (strings/workbench*.txt),
// in German when the user's locale is German (strings/workbench-de-DE.txt),
// else in English. Each lookup follows the locale as it is then.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "strings/WorkbenchIds.h"

namespace zt::wb {

/// The text of `id`; empty when there is none.
std::string Text(int16_t id);

/// The text of `id` with "%1", "%2", ... replaced by the arguments in order.
std::string Text(int16_t id, const std::vector<std::string>& args);

}  // namespace zt::wb
