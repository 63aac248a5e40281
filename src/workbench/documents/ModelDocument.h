// Model documents: the JSON files the command-line host reads a model from
// (docs/model-documents.md describes the format), and the writer that saves
// a model back into that format.
//
// Loading is all or nothing: a document with any fault gives no model but
// one DocumentError that names the file, the line and column where the
// fault is, and what was expected there.
#pragma once

#include <exception>
#include <memory>
#include <string>
#include <string_view>

#include "workbench/model/Model.h"

namespace zt::wb {

/// A model document that cannot be used.
class DocumentError : public std::exception {
 public:
  /// `line` and `column` are 1-based; 0 when the fault has no position
  /// (a file that cannot be read).
  DocumentError(std::string file, int line, int column, std::string message);

  const std::string& File() const { return file_; }
  int Line() const { return line_; }
  int Column() const { return column_; }
  const std::string& Message() const { return message_; }
  /// "FILE:LINE:COLUMN: message", or "FILE: message" without a position.
  const char* what() const noexcept override { return full_.c_str(); }

 private:
  std::string file_;
  int line_;
  int column_;
  std::string message_;
  std::string full_;
};

/// Reads the model document at `path`. Throws DocumentError.
std::unique_ptr<Model> LoadModelDocument(const std::string& path);

/// Reads the model document at `path` as LoadModelDocument does, holding
/// only about one piece of its text in memory at a time: the file is read
/// twice, checked and then read. `fileName` names it in errors. Throws
/// DocumentError.
std::unique_ptr<Model> StreamModelDocument(const std::string& path, const std::string& fileName);

/// Reads a model document from `text`. `fileName` names the document in
/// errors, and its base name without extension is the model's name when the
/// document gives none. Throws DocumentError.
std::unique_ptr<Model> ParseModelDocument(std::string_view text, const std::string& fileName);

/// The model as a model document: members in a fixed order, two-space
/// indents, keys with default values left out. Raises a ZtError (error 5)
/// when the model holds text that a document cannot carry (not UTF-8, or a
/// NUL character).
std::string FormatModelDocument(const Model& model);

/// Saves the model as a model document at `path`, atomically: the file
/// there is replaced only by a complete new one, with its permissions; a
/// symbolic link is followed and kept. Raises a ZtError when the
/// file cannot be written.
void SaveModelDocument(const Model& model, const std::string& path);

}  // namespace zt::wb
