// The host log: the add-in's own lines with its prefix, detail lines as they
// are, and error reports. All three are silent while no application is set
// as the log target (before the host has activated the add-in).
#pragma once

#include <string>

#include "support/Error.h"

namespace zt {

class TesselApplication;

/// Sets (or, with nullptr, clears) the application whose log is written.
void SetLogTarget(TesselApplication* application);
TesselApplication* LogTarget();

/// Writes `text` to the host log unchanged.
void WriteLogLine(const std::string& text);

/// Writes the add-in's prefix followed by `text`.
void LogMessage(const std::string& text);

/// Writes `message` (when not empty) and "Error Number: <n>, <description>",
/// both with the prefix; nothing at all when `error` is missing or its
/// number is 0.
void ReportError(const ZtError* error, const std::string& message);

/// Renders a number as the runtime's number-to-text conversion does: a
/// blank before a number that is not negative, a minus sign before one that is.
std::string SignedNumberText(int64_t number);

}  // namespace zt
