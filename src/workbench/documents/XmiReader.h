// Reading XMI files: the UML 2 models that modelling tools export (Eclipse
// UML2 and Papyrus, Enterprise Architect, Visual Paradigm, MagicDraw, ...)
// turned into the same workbench model that a JSON model document gives.
// docs/xmi-import.md says what is read, what is skipped and why.
//
// The reader is a pure function of the file's bytes, its name and the
// options: it reads no file and writes to no stream, so tests and fuzz
// targets call it as they like. A file it cannot use gives one
// DocumentError ("FILE:LINE:COLUMN: message"); what it reads but has to
// change or leave out (a second class of one name, a type it cannot find)
// gives warnings beside the model.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "workbench/documents/ModelDocument.h"
#include "workbench/model/Model.h"

namespace zt::wb {

/// Something a reader changed or left out; the model was made all the same.
struct LoadWarning {
  std::string file;
  /// 1-based; 0 when the warning has no position.
  int line = 0;
  int column = 0;
  std::string message;

  /// "FILE:LINE:COLUMN: warning: message", or "FILE: warning: message".
  std::string Format() const;
};

/// How an XMI file is read.
struct XmiOptions {
  /// The language of every class whose file states none; empty for none.
  std::string language;
};

/// What reading an XMI file gives: the model and the warnings, in file order.
struct XmiResult {
  std::unique_ptr<Model> model;
  std::vector<LoadWarning> warnings;
};

/// Reads the XMI file whose content is `bytes`. `fileName` names the file
/// in errors and warnings; its base name without extension names the model
/// when the file's root package has no name. Throws DocumentError.
XmiResult ParseXmi(std::string_view bytes, const std::string& fileName, const XmiOptions& options);

}  // namespace zt::wb
