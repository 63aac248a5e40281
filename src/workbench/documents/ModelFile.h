// One entry point for every command that reads a model: a model file is a
// JSON model document (docs/model-documents.md) or an XMI file exported by a
// UML tool (docs/xmi-import.md). Which one it is is told by its content, not
// by its name: a document starts with '{', an XMI file with '<'.
//
// Errors are DocumentErrors in either case ("FILE:LINE:COLUMN: message");
// warnings go to the caller's callback as they are found.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "workbench/documents/ModelDocument.h"
#include "workbench/documents/XmiReader.h"
#include "workbench/model/Model.h"

namespace zt::wb {

/// The kinds of model file.
enum class ModelFileFormat { kJson, kXmi };

/// How a model file is read.
struct ModelFileOptions {
  /// The language of every class whose file gives it none; empty for none.
  std::string language;
  /// Called for each warning, in file order; warnings are dropped without it.
  std::function<void(const LoadWarning& warning)> warn;
};

/// Tells the format from the first characters that are not blanks (after a
/// UTF-8 byte-order mark). Throws DocumentError for an empty file, a UTF-16
/// one, or one that starts with anything else.
ModelFileFormat SniffModelFile(std::string_view bytes, const std::string& fileName);

/// Reads a model file from its content; `fileName` names it in errors and
/// warnings. Throws DocumentError.
std::unique_ptr<Model> ParseModelFile(std::string_view bytes, const std::string& fileName,
                                      const ModelFileOptions& options);

/// Reads the model file at `path`. Throws DocumentError.
std::unique_ptr<Model> LoadModelFile(const std::string& path, const ModelFileOptions& options);

}  // namespace zt::wb
