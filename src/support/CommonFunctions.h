// Package names of model elements, and the file helpers that go through the
// add-in's one file-system object.
#pragma once

#include <string>

namespace zt {

class FileSystemObject;
class ModelHelper;
class TesselClass;
class TesselItem;
class TesselOperation;

/// The package path of `element` with "\" between the parts: its qualified
/// name without the root package and without its own name. "" for nullptr
/// and for an element directly in the root package.
std::string GetPackagePath(const TesselItem* element);

/// The same with "." between the parts: the Java package name.
std::string GetPackageName(const TesselItem* element);

/// The Java package name that a package statement can hold: the parts of
/// GetPackageName (between dots), each made a Java identifier (a character that cannot
/// stand in one becomes "_", a name that starts with a digit or is a Java
/// keyword gets a "_" before or after it). "Starter Class Diagram" becomes
/// Starter_Class_Diagram; "bank.core" stays as it is.
std::string GetJavaPackageName(const TesselItem* element);

/// Whether `op` is a constructor of its class: an operation named like it
/// (like its last part, for a nested class "Outer.Inner": Java identifiers
/// joined by dots).
bool IsConstructor(TesselOperation* op);

/// The name of a test of `op`: its class's name without the dots of a
/// nested class ("Outer.Inner" gives "OuterInner"; any other name as it is)
/// and the operation's name.
std::string JavaTestName(TesselOperation* op);

/// The constructor of `cls` that a Java test makes its object with: of the
/// constructors the model gives that are not private, the first one marked
/// with the tool property Java "testConstructor" = "true" (in any letter
/// case), else the first with the fewest parameters. nullptr when the model
/// gives none, or only private ones.
TesselOperation* GetTestConstructor(TesselClass* cls);

/// Whether the model gives `cls` a constructor (of any visibility).
bool HasConstructor(TesselClass* cls);

/// Removes every double quote from `path` (in the caller's variable), then
/// asks the file-system object whether the file exists.
bool FileExists(std::string& path);

/// Removes every double quote from `path`, then deletes the file if it
/// exists (read-only files are not forced). Failures are raised.
void DeleteFileIfExists(std::string& path);

/// Whether the file name of `path` (what follows its last "\" or "/") ends
/// in `extension` (".rc"), case-sensitively. A folder of the path never
/// counts: "proj.rc\a\x.cls" does not end in ".rc".
bool HasExtension(const std::string& path, const std::string& extension);

/// `path` with `from` at its end replaced by `to` when its file name ends in
/// `from` (HasExtension); otherwise `path` unchanged.
std::string ReplaceExtension(const std::string& path, const std::string& from, const std::string& to);

/// The file name of `path` without folder and extension.
std::string GetBaseName(const std::string& path);

/// The extension of `path`, without the dot.
std::string GetExtensionName(const std::string& path);

/// The add-in's file-system object, created on first use and kept.
FileSystemObject& FileSystem();

/// The add-in's model helper, created on first use and kept.
ModelHelper& SharedModelHelper();

/// Drops the kept model helper.
void ResetModelHelper();

/// Drops the kept file-system object (for tests, and when the host
/// components change).
void ResetFileSystem();

}  // namespace zt
