// The scripts of a store (see ScriptFiles.h): mapping and checking script
// paths, the replace question, writing through the held roots, batches.
#include "workbench/store/scripts/ScriptFiles.h"

#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <stdio.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <iterator>

#include "support/Error.h"
#include "support/Text.h"
#include "workbench/store/scripts/UserRegions.h"
#include "workbench/system/DiskFileSystem.h"
#include "workbench/text/Texts.h"

namespace zt::wb {

namespace fs = std::filesystem;

namespace {

constexpr const char* kLineEnd = "\n";

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

// The digest of a script's mark: its type, folder and base name.
uint64_t MarkDigest(dsScriptType type, const std::string& folder, const std::string& baseName) {
  std::string key = std::to_string(type);
  key += '\0';
  key += folder;
  key += '\0';
  key += baseName;
  // FNV-1a, then a final mix so that the low bits (the table's slot) depend
  // on every byte.
  uint64_t h = 14695981039346656037ull;
  for (const char c : key) {
    h ^= static_cast<unsigned char>(c);
    h *= 1099511628211ull;
  }
  h ^= h >> 33;
  h *= 0xFF51AFD7ED558CCDull;
  h ^= h >> 33;
  return h;
}

// A leading separator, or a drive letter ("C:", "c:\x").
bool IsAbsolute(const std::string& path) {
  if (!path.empty() && IsSeparator(path[0])) return true;
  const bool letter = path.size() >= 2 && ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z'));
  return letter && path[1] == ':';
}

// A script as messages name it: its folder as given, a backslash and its
// file name.
std::string ShownName(const std::string& fileName, const std::string& folder) {
  std::string shown = folder;
  if (!shown.empty() && !IsSeparator(shown.back())) shown += '\\';
  shown += fileName;
  // A NUL would end the message on a terminal.
  std::string escaped;
  for (const char c : shown) {
    if (c == '\0') {
      escaped += "\\0";
    } else {
      escaped += c;
    }
  }
  return escaped;
}

// The native path of the script `fileName` in `folders` below `root`, as
// text: appending name by name to a path parses it again each time.
std::string Below(const fs::path& root, const std::vector<std::string>& folders, const std::string& fileName) {
  std::string path = root.native();
  for (const std::string& part : folders) {
    if (!path.empty() && path.back() != '/') path += '/';
    path += part;
  }
  if (!path.empty() && path.back() != '/') path += '/';
  path += fileName;
  return path;
}

// The digest of a script's path that marks it as a target of the batch.
uint64_t TargetDigest(const std::string& target) { return std::hash<std::string>{}(target); }

// The script `fileName` in `folders`, as a "/"-separated path below its root.
std::string Relative(std::vector<std::string> folders, const std::string& fileName) {
  folders.push_back(fileName);
  return Joined(folders, '/');
}

// The file name without its last extension: "ICalcAdd.cls" gives "ICalcAdd".
std::string BaseName(const std::string& fileName) {
  const size_t dot = fileName.rfind('.');
  return dot == std::string::npos || dot == 0 ? fileName : fileName.substr(0, dot);
}

// A script as stored: its text and its permissions.
struct ScriptFile {
  std::string text;
  mode_t mode;
};

// What the file `relative` below the folder `root` holds, when it is a file
// there (a symbolic link followed only while it stays below `root`, as
// `resolver` resolves); nullopt when it is not, with errno set.
std::optional<ScriptFile> ReadScript(PathResolver& resolver, int root, const std::string& relative) {
  const UniqueFd file = resolver.OpenBeneath(root, relative, O_RDONLY | O_NONBLOCK | O_NOCTTY);
  struct stat st {};
  if (!file || ::fstat(file.Get(), &st) != 0) return std::nullopt;
  if (!S_ISREG(st.st_mode)) {
    errno = ENOENT;  // a folder or a pipe of that name is no script
    return std::nullopt;
  }
  std::optional<std::string> text = ReadOpenFile(file.Get());
  if (!text) return std::nullopt;
  return ScriptFile{std::move(*text), st.st_mode};
}

// How the lines of a text end.
enum class LineEnds { kNone, kLf, kCrLf, kMixed };

LineEnds LineEndsOf(std::string_view text) {
  bool lf = false;
  bool crlf = false;
  for (size_t at = text.find('\n'); at != std::string_view::npos; at = text.find('\n', at + 1)) {
    (at > 0 && text[at - 1] == '\r' ? crlf : lf) = true;
  }
  return lf && crlf ? LineEnds::kMixed : crlf ? LineEnds::kCrLf : lf ? LineEnds::kLf : LineEnds::kNone;
}

// `text`, whose lines all end one way, with its lines ending `ends` (LF or CR LF).
std::string WithLineEnds(std::string_view text, LineEnds ends) {
  std::string converted;
  converted.reserve(text.size() + text.size() / 16);
  for (const char c : text) {
    if (c == '\r') continue;
    if (c == '\n' && ends == LineEnds::kCrLf) converted += '\r';
    converted += c;
  }
  return converted;
}

// Renames `from` to `to` in the folder `folder` only while `to` does not
// exist: EEXIST when it does. Where the file system cannot rename so (a
// network file system), a hard link does the same.
int RenameNoReplace(int folder, const std::string& from, const std::string& to) {
  if (::renameat2(folder, from.c_str(), folder, to.c_str(), RENAME_NOREPLACE) == 0) return 0;
  if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP) return -1;
  if (::linkat(folder, from.c_str(), folder, to.c_str(), 0) != 0) return -1;
  ::unlinkat(folder, from.c_str(), 0);
  return 0;
}

// Writes back the data of the file `name` in the folder `folder`; false with
// errno set when it cannot, as the system calls it makes.
bool SyncFile(int folder, const std::string& name) {
  const UniqueFd file(::openat(folder, name.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
  if (!file || ::fsync(file.Get()) != 0) return false;
  return true;
}

// Why a folder of the store could not be opened: errno `error` in words.
std::string FolderReason(int error) {
  return error == ELOOP ? Text(WB_STORE_SYMLINK_FOLDER) : std::string(std::strerror(error));
}

[[noreturn]] void RaiseCannotOpen(const fs::path& path, const std::string& reason) {
  RaiseError(errc::kPathFileAccessError, {}, Text(WB_STORE_CANNOT_OPEN, {path.string(), reason}));
}

// The name of the user `uid`, or its number.
std::string UserNameOf(uid_t uid) {
  const passwd* entry = ::getpwuid(uid);
  return entry != nullptr ? entry->pw_name : std::to_string(uid);
}

// The name of the group `gid`, or its number.
std::string GroupNameOf(gid_t gid) {
  const group* entry = ::getgrgid(gid);
  return entry != nullptr ? entry->gr_name : std::to_string(gid);
}

// Whether this process is in the group `gid`.
bool InGroup(gid_t gid) {
  if (::getegid() == gid) return true;
  const int count = ::getgroups(0, nullptr);
  std::vector<gid_t> groups(static_cast<size_t>(std::max(count, 0)));
  const int got = ::getgroups(count, groups.data());
  return std::find(groups.begin(), groups.begin() + std::max(got, 0), gid) != groups.begin() + std::max(got, 0);
}

// Why the folder open as `fd` (shown as `shown`), which this user cannot
// write, is not writable: whose it is, its group and mode, and in a folder
// a team shares (`shared`) how its owner opens it to the group.
std::string NotWritableReason(int fd, const fs::path& shown, bool shared) {
  struct stat st {};
  if (::fstat(fd, &st) != 0) return Text(WB_STORE_READ_ONLY);
  const std::string user = UserNameOf(::geteuid());
  const std::string owner = UserNameOf(st.st_uid);
  const std::string group = GroupNameOf(st.st_gid);
  char mode[8];
  std::snprintf(mode, sizeof mode, "%o", static_cast<unsigned>(st.st_mode & 07777));
  if ((st.st_mode & S_IWGRP) != 0 && st.st_uid != ::geteuid() && !InGroup(st.st_gid)) {
    return Text(WB_STORE_NOT_IN_GROUP, {user, group, mode});
  }
  if (shared && (st.st_mode & S_IWGRP) == 0) {
    return Text(WB_STORE_NOT_GROUP_WRITABLE, {user, owner, group, mode, shown.string()});
  }
  return Text(WB_STORE_NOT_WRITABLE, {user, owner, group, mode});
}

// The answers of the replace question.
enum Reply { kYes, kYesToAll, kNo, kNoToAll, kCancel };

}  // namespace

std::vector<std::string> PathComponents(const std::string& path) { return SplitSkippingEmpty(path, "\\/"); }

size_t DigestSet::Slot(uint64_t digest) const {
  const size_t mask = slots_.size() - 1;
  size_t slot = static_cast<size_t>(digest) & mask;
  while (slots_[slot] != 0 && slots_[slot] != digest) slot = (slot + 1) & mask;
  return slot;
}

bool DigestSet::Contains(uint64_t digest) const {
  if (digest == 0) return hasZero_;
  return !slots_.empty() && slots_[Slot(digest)] == digest;
}

void DigestSet::Insert(uint64_t digest) {
  if (digest == 0) {
    hasZero_ = true;
    return;
  }
  // At most seven eighths full, so that a probe ends soon.
  if ((count_ + 1) * 8 > slots_.size() * 7) {
    std::vector<uint64_t> old = std::move(slots_);
    slots_.assign(old.empty() ? 1024 : old.size() * 2, 0);
    for (const uint64_t d : old) {
      if (d != 0) slots_[Slot(d)] = d;
    }
  }
  uint64_t& slot = slots_[Slot(digest)];
  if (slot == 0) ++count_;
  slot = digest;
}

void DigestSet::Clear() {
  slots_.clear();
  slots_.shrink_to_fit();
  count_ = 0;
  hasZero_ = false;
}

ScriptFiles::ScriptFiles(Console& console) : console_(console) {}

ScriptFiles::~ScriptFiles() {
  EndBatch();
  UndoPlaced();
}

void ScriptFiles::Open(UniqueFd scripts, const fs::path& shown, ScriptLayout layout) {
  folder_ = shown;
  layout_ = std::move(layout);
  rootPaths_.clear();
  rootTexts_.clear();
  longestNames_.clear();
  // A scripts folder its group may write (or whose files go to its group:
  // setgid) is one a team shares: what the store makes in it is made
  // group-writable, whatever the umask of the member who makes it.
  struct stat st {};
  groupShared_ = ::fstat(scripts.Get(), &st) == 0 && (st.st_mode & (S_IWGRP | S_ISGID)) != 0;
  resolver_.SetGroupShared(groupShared_);
  if (::faccessat(scripts.Get(), ".", W_OK | X_OK, 0) != 0) {
    RaiseCannotOpen(shown, NotWritableReason(scripts.Get(), shown, false));
  }
  std::map<dsScriptType, UniqueFd> roots;
  for (const auto& [type, root] : layout_.roots) {
    // Each folder on the way is made as needed and never a symbolic link.
    UniqueFd rootFd;
    fs::path reached = folder_;
    for (const std::string& part : PathComponents(root)) {
      reached /= part;
      UniqueFd next = OpenFolderNoFollow(rootFd ? rootFd.Get() : scripts.Get(), part, true, groupShared_);
      if (!next) RaiseCannotOpen(reached, FolderReason(errno));
      rootFd = std::move(next);
    }
    if (!rootFd) RaiseCannotOpen(RootPath(type), FolderReason(ENOENT));
    // A root its owner made before the folder was shared is opened to the
    // group when the owner next opens the store.
    struct stat rootStat {};
    if (groupShared_ && ::fstat(rootFd.Get(), &rootStat) == 0 && rootStat.st_uid == ::geteuid()) {
      MakeGroupWritable(rootFd.Get());
    }
    if (::faccessat(rootFd.Get(), ".", W_OK | X_OK, 0) != 0) {
      RaiseCannotOpen(RootPath(type), NotWritableReason(rootFd.Get(), RootPath(type), groupShared_));
    }
    roots[type] = std::move(rootFd);
  }
  // The shared lock tells other stores that this one may have temporaries
  // under way; the sweep needs the lock alone.
  if (::flock(scripts.Get(), LOCK_EX | LOCK_NB) == 0) {
    for (const auto& [type, root] : roots) RemoveStaleTemporariesIn(root.Get());
  }
  while (::flock(scripts.Get(), LOCK_SH) != 0 && errno == EINTR) {
  }
  lock_ = std::move(scripts);
  roots_ = std::move(roots);
}

const fs::path& ScriptFiles::RootPath(dsScriptType type) const {
  if (const auto known = rootPaths_.find(type); known != rootPaths_.end()) return known->second;
  const auto root = layout_.roots.find(type);
  if (root == layout_.roots.end()) {
    RaiseError(errc::kInvalidCall, {}, Text(WB_STORE_UNKNOWN_TYPE, {std::to_string(type)}));
  }
  return rootPaths_.emplace(type, folder_ / root->second).first->second;
}

std::string ScriptFiles::FolderBelowRoot(const std::string& folder, dsScriptType type) const {
  const auto dropped = layout_.droppedFirstFolder.find(type);
  if (dropped == layout_.droppedFirstFolder.end()) return folder;
  const std::vector<std::string> parts = PathComponents(folder);
  if (parts.empty() || parts.front() != dropped->second) return folder;
  return Joined(std::vector<std::string>(parts.begin() + 1, parts.end()), '/');
}

std::string ScriptFiles::Root(dsScriptType type) const {
  if (const auto known = rootTexts_.find(type); known != rootTexts_.end()) return known->second;
  return rootTexts_.emplace(type, RootPath(type).string() + "/").first->second;
}

long ScriptFiles::LongestName(dsScriptType type, int folderFd) {
  auto known = longestNames_.find(type);
  if (known == longestNames_.end()) known = longestNames_.emplace(type, ::fpathconf(folderFd, _PC_NAME_MAX)).first;
  return known->second;
}

void ScriptFiles::ResetSession() {
  failures_ = 0;
  stored_.Clear();
  savedFolders_.Clear();
  forAll_ = ForAll::kAsk;
}

std::string ScriptFiles::SessionSuffix(const std::string& baseName, const std::string& folder,
                                       dsScriptType type) const {
  const std::string key = Joined(PathComponents(folder), '\\');
  for (int n = 0;; ++n) {
    const std::string suffix = n == 0 ? std::string() : std::to_string(n);
    if (!stored_.Contains(MarkDigest(type, key, baseName + suffix))) return suffix;
  }
}

void ScriptFiles::MarkStored(const std::string& fileName, const std::string& folder, dsScriptType type) {
  const std::vector<std::string> parts = PathComponents(folder);
  const std::string base = BaseName(fileName);
  stored_.Insert(MarkDigest(type, Joined(parts, '\\'), base));
  if (!parts.empty()) {
    stored_.Insert(MarkDigest(type, Joined(std::vector<std::string>(parts.begin() + 1, parts.end()), '\\'), base));
  }
}

int32_t ScriptFiles::Fail(int16_t id, const std::vector<std::string>& args) {
  Tell(id, args);
  lastSaveFailed_ = true;
  return save_result::kNotWritten;
}

void ScriptFiles::Tell(int16_t id, const std::vector<std::string>& args) {
  Note(id, args);
  ++failures_;
}

void ScriptFiles::Note(int16_t id, const std::vector<std::string>& args) {
  const std::string message = Text(id, args);
  // The cause is the message without the script it is about: the same for
  // every script that failed for the same reason.
  std::vector<std::string> withoutSubject = args;
  if (!withoutSubject.empty()) withoutSubject.front() = Text(WB_STORE_SUBJECT_ELIDED);
  console_.Tell(message, Text(id, withoutSubject));
  if (failureLog_) failureLog_(message);
}

std::optional<std::vector<std::string>> ScriptFiles::CheckedFolders(const std::string& fileName,
                                                                    const std::string& folder, dsScriptType type,
                                                                    int16_t refusal) {
  const bool tell = refusal != 0;
  const auto refuse = [&](int16_t id, const std::vector<std::string>& args) {
    if (tell) Fail(id, args);
    return std::nullopt;
  };
  if (layout_.roots.count(type) == 0) return refuse(WB_STORE_UNKNOWN_TYPE, {std::to_string(type)});
  if (fileName.empty() || fileName.find_first_of("\\/") != std::string::npos) {
    return refuse(WB_STORE_BAD_FILE_NAME, {fileName, folder});
  }
  // (The texts of a refusal are made only for one.)
  const auto shown = [&] { return ShownName(fileName, folder); };
  if (fileName.find('\0') != std::string::npos || folder.find('\0') != std::string::npos) {
    return refuse(WB_STORE_NUL_IN_NAME, {shown()});
  }
  // "C:x" would name a drive where paths have drives: no such name is taken.
  for (const std::string* name : {&folder, &fileName}) {
    if (IsAbsolute(*name) && !IsSeparator((*name)[0])) {
      return refuse(WB_STORE_DRIVE_NAME, {shown(), name->substr(0, 1), *name});
    }
  }
  if (IsAbsolute(folder) || fileName == "." || fileName == "..") return refuse(refusal, {shown(), Root(type)});
  std::vector<std::string> folders;
  for (std::string& part : PathComponents(folder)) {
    if (part == "..") return refuse(refusal, {shown(), Root(type)});
    if (part != ".") folders.push_back(std::move(part));
  }
  if (const auto dropped = layout_.droppedFirstFolder.find(type);
      dropped != layout_.droppedFirstFolder.end() && !folders.empty() && folders.front() == dropped->second) {
    folders.erase(folders.begin());
  }
  return folders;
}

ScriptFiles::Decision ScriptFiles::AskReplace(const std::string& target, const std::string& loss) {
  if (forAll_ == ForAll::kYes && loss.empty()) return Decision::kReplace;
  if (forAll_ == ForAll::kNo) return Decision::kKeep;
  Question question{loss.empty() ? Text(WB_STORE_REPLACE_QUESTION, {target}) : loss, {}, kNo, answer_key::kReplace};
  // Replacing a file that loses what was written in it is never answered
  // in advance: only a person at the terminal says yes to that. (No, none
  // and cancel given in advance still answer it.)
  const char* yes = loss.empty() ? answer_word::kYes : "";
  const char* all = loss.empty() ? answer_word::kAll : "";
  question.answers.push_back({Text(WB_ANSWER_YES), kYes, yes});
  if (multipleItems_) question.answers.push_back({Text(WB_ANSWER_YES_TO_ALL), kYesToAll, all});
  question.answers.push_back({Text(WB_ANSWER_NO), kNo, answer_word::kNo});
  if (multipleItems_) question.answers.push_back({Text(WB_ANSWER_NO_TO_ALL), kNoToAll, answer_word::kNone});
  question.answers.push_back({Text(WB_ANSWER_CANCEL), kCancel, answer_word::kCancel});
  switch (Ask(console_, question)) {
    case kYes: return Decision::kReplace;
    case kYesToAll: forAll_ = ForAll::kYes; return Decision::kReplace;
    case kNoToAll: forAll_ = ForAll::kNo; return Decision::kKeep;
    case kCancel: return Decision::kCancel;
    default: return Decision::kKeep;
  }
}

int32_t ScriptFiles::Place(int folderFd, const std::string& temporary, const std::string& name,
                           const std::string& target, const std::string* content, bool fresh,
                           const GenerationMarks& marks) {
  // A file that another writer gives the name and takes away again is
  // looked at a few times, then the name is taken as it is.
  for (int attempt = 0; attempt < 4; ++attempt) {
    if (!fresh || attempt == 3) return ::renameat(folderFd, temporary.c_str(), folderFd, name.c_str()) == 0 ? 0 : -1;
    if (RenameNoReplace(folderFd, temporary, name) == 0) return save_result::kStored;
    if (errno != EEXIST) return -1;
    // Another writer gave the name a file since it was compared.
    errno = 0;
    const std::optional<ScriptFile> existing = ReadScript(resolver_, folderFd, name);
    if (!existing) {
      if (errno == ENOENT) continue;
      return -1;
    }
    // The text written, read back from the temporary file when not at hand.
    const std::optional<ScriptFile> written = content != nullptr ? std::optional<ScriptFile>(ScriptFile{*content, 0})
                                                                 : ReadScript(resolver_, folderFd, temporary);
    if (written &&
        (existing->text == written->text ||
         CompareButGenerated(existing->text, written->text, marks.dates, marks.user).dates != DateLikeness::kDiffers)) {
      ::unlinkat(folderFd, temporary.c_str(), 0);
      return save_result::kStored;
    }
    switch (AskReplace(target)) {
      case Decision::kReplace: fresh = false; break;
      case Decision::kKeep: ::unlinkat(folderFd, temporary.c_str(), 0); return save_result::kNotWritten;
      case Decision::kCancel: ::unlinkat(folderFd, temporary.c_str(), 0); return save_result::kCancelled;
    }
  }
  return -1;
}

int32_t ScriptFiles::Write(int folderFd, const std::vector<std::string>& folders, const std::string& fileName,
                           const std::string& target, const std::string& content, dsScriptType type, bool fresh,
                           std::optional<mode_t> mode, bool unasked, const std::string& path,
                           std::string_view generated, const GenerationMarks& marks) {
  std::string reason;
  try {
    if (batching_ && type == dsJavaScript) {
      const std::string temporary =
          WriteTemporaryIn(folderFd, fileName, content, false, target, mode, write_, groupShared_);
      std::shared_ptr<const std::vector<std::string>> shared =
          !pending_.empty() && *pending_.back().folders == folders
              ? pending_.back().folders
              : std::make_shared<const std::vector<std::string>>(folders);
      pending_.push_back({std::move(shared), temporary, fileName, target, operation_, fresh, unasked, false, path,
                          std::nullopt, marks});
      if (records_ != nullptr) pending_.back().digest = GeneratedDigest(generated);
      pendingTargets_.Insert(TargetDigest(target));
      if (!batchStart_) batchStart_ = std::chrono::steady_clock::now();
      if (std::chrono::steady_clock::now() - *batchStart_ >= kBatchInterval || pending_.size() >= kBatchScripts) {
        FinishBatch(false);
      }
      return save_result::kStored;
    }
    const std::string temporary =
        WriteTemporaryIn(folderFd, fileName, content, true, target, mode, write_, groupShared_);
    const int32_t placed = Place(folderFd, temporary, fileName, target, &content, fresh, marks);
    if (placed == save_result::kStored) Remember(type, path, generated);
    if (placed >= 0) return placed;
    const int error = errno;
    ::unlinkat(folderFd, temporary.c_str(), 0);
    reason = std::strerror(error);
  } catch (const ZtError& e) {
    reason = e.Description();
  } catch (const std::exception& e) {
    reason = e.what();
  }
  return Fail(WB_STORE_WRITE_FAILED, {target, reason});
}

int32_t ScriptFiles::Save(const std::string& fileName, const std::string& folder, dsScriptType type,
                          const std::string& content, const std::vector<std::string>& dates, const std::string& user) {
  lastSaveFailed_ = false;
  const GenerationMarks marks{dates, user};
  const std::optional<std::vector<std::string>> folders = CheckedFolders(fileName, folder, type, WB_STORE_PATH_REFUSED);
  if (!folders) return save_result::kNotWritten;
  const std::string target = Below(RootPath(type), *folders, fileName);
  const auto refuse = [&] { return Fail(WB_STORE_PATH_REFUSED, {ShownName(fileName, folder), Root(type)}); };

  // The folder is made and opened below the root in one go: a symbolic link
  // leading out is found before anything is created behind it.
  const int rootFd = roots_.at(type).Get();
  const uint64_t folderDigest = MarkDigest(type, Joined(*folders, '/'), {});
  std::shared_ptr<const UniqueFd> opened;
  if (batchFolder_ && batchStart_ && batchFolder_->type == type && batchFolder_->folders == *folders) {
    opened = batchFolder_->fd;
  }
  if (!opened) {
    bool made = false;
    opened = std::make_shared<const UniqueFd>(resolver_.OpenFolderBeneath(rootFd, *folders, true, &made));
    if (!*opened) {
      const int error = errno;
      if (LeavesRoot(error)) return refuse();
      MarkStored(fileName, folder, type);
      return Fail(WB_STORE_WRITE_FAILED, {target, std::strerror(error)});
    }
    if (made) savedFolders_.Insert(folderDigest);
    if (batching_) batchFolder_ = OpenFolder{type, *folders, opened};
  }
  const UniqueFd& folderFd = *opened;
  // A name longer than the folder's file system takes fails now, not when a
  // batch renames its temporary file (whose name is cut to fit).
  const long longestName = LongestName(type, folderFd.Get());
  if (longestName > 0 && fileName.size() > static_cast<size_t>(longestName)) {
    MarkStored(fileName, folder, type);
    return Fail(WB_STORE_WRITE_FAILED, {target, std::strerror(ENAMETOOLONG)});
  }
  if (pendingTargets_.Contains(TargetDigest(target))) Finish();
  errno = 0;
  const std::string path = Relative(*folders, fileName);
  // A folder this session made holds only what it stored there: a name it
  // did not store is not looked for. (A file another writer gives the name
  // meanwhile is found when the name is given, see Place.)
  const bool unseen = savedFolders_.Contains(folderDigest) &&
                      !stored_.Contains(MarkDigest(type, Joined(PathComponents(folder), '\\'), BaseName(fileName)));
  const std::optional<ScriptFile> existing = unseen ? std::nullopt : ReadScript(resolver_, rootFd, path);
  if (!existing && LeavesRoot(errno)) return refuse();  // a symbolic link to a file outside
  MarkStored(fileName, folder, type);
  if (!existing) {
    return Write(folderFd.Get(), *folders, fileName, target, content, type, true, std::nullopt, false, path, content,
                 marks);
  }

  // The stored file is compared in the line ends of the new text (an editor
  // that saves other line ends made no edit), and replaced in its own line
  // ends and with its own permissions. What is recorded as generated is the
  // text in the new text's line ends.
  const LineEnds own = LineEndsOf(existing->text);
  const LineEnds generated = LineEndsOf(content);
  const bool convert = own != generated && own != LineEnds::kMixed && generated != LineEnds::kMixed &&
                       own != LineEnds::kNone && generated != LineEnds::kNone;
  const std::string stored = convert ? WithLineEnds(existing->text, generated) : existing->text;
  const Regeneration regenerated = stored == content ? Regeneration{.unchanged = true,
                                                                    .asWritten = true,
                                                                    .text = content,
                                                                    .lost = {},
                                                                    .fault = {},
                                                                    .regions = false}
                                                     : Regenerate(stored, content, dates, user);
  if (regenerated.unchanged) {
    // Only a file that holds what this store writes is recorded as generated:
    // a date in another form, or an edit beside it, is not.
    if (regenerated.asWritten) Remember(type, path, stored);
    return save_result::kStored;
  }
  const auto replace = [&](bool unasked) {
    // A file without write permission is not replaced, as it is not deleted.
    if ((existing->mode & S_IWUSR) == 0) return Fail(WB_STORE_WRITE_FAILED, {target, std::strerror(EACCES)});
    const std::string& text = regenerated.text;
    return Write(folderFd.Get(), *folders, fileName, target, convert ? WithLineEnds(text, own) : text, type, false,
                 existing->mode & 07777, unasked, path, text, marks);
  };
  // A text made to be generated again (it has user regions) replaces a file
  // that was not edited outside them since it was generated, unasked (in a
  // batch that awaits verdicts, only if its operation's datapool fits it).
  const bool keepsAll = regenerated.regions && regenerated.fault.empty() && regenerated.lost.empty();
  if (keepsAll && AsGenerated(type, path, stored)) return replace(true);
  std::string loss;
  if (!regenerated.fault.empty()) {
    loss = Text(WB_STORE_REPLACE_BAD_REGIONS, {target, regenerated.fault});
  } else if (!regenerated.lost.empty()) {
    std::string names;
    for (const std::string& name : regenerated.lost) names += (names.empty() ? "" : Text(WB_REGION_SEPARATOR)) + name;
    loss = Text(WB_STORE_REPLACE_LOSES_REGIONS, {target, names});
  }
  switch (AskReplace(target, loss)) {
    case Decision::kReplace: break;
    case Decision::kKeep: return save_result::kNotWritten;
    case Decision::kCancel: return save_result::kCancelled;
  }
  return replace(false);
}

int32_t ScriptFiles::Refuse(const std::string& fileName, const std::string& folder, dsScriptType type,
                            const std::string& reason) {
  MarkStored(fileName, folder, type);
  const std::optional<std::vector<std::string>> folders = CheckedFolders(fileName, folder, type, 0);
  const std::string target = folders ? Below(RootPath(type), *folders, fileName) : ShownName(fileName, folder);
  return Fail(WB_STORE_WRITE_FAILED, {target, reason});
}

void ScriptFiles::Remember(dsScriptType type, const std::string& path, std::string_view text) {
  if (records_ == nullptr) return;
  const std::optional<std::string> digest = GeneratedDigest(text);
  if (digest && records_->Recorded(type, path) != digest) records_->Record(type, path, *digest);
}

bool ScriptFiles::AsGenerated(dsScriptType type, const std::string& path, std::string_view stored) {
  if (records_ == nullptr) return false;
  const std::optional<std::string> recorded = records_->Recorded(type, path);
  return recorded && recorded == GeneratedDigest(stored);
}

int32_t ScriptFiles::Delete(const std::string& fileName, const std::string& folder, dsScriptType type) {
  const std::optional<std::vector<std::string>> folders =
      CheckedFolders(fileName, folder, type, WB_STORE_DELETE_REFUSED);
  if (!folders) return delete_result::kNotDeleted;
  const std::string target = Below(RootPath(type), *folders, fileName);
  const auto failed = [&](int error) {
    Fail(WB_STORE_DELETE_FAILED, {target, std::strerror(error)});
    return delete_result::kNotDeleted;
  };
  const UniqueFd folderFd = resolver_.OpenFolderBeneath(roots_.at(type).Get(), *folders, false);
  if (!folderFd) {
    const int error = errno;
    if (error == ENOENT) return delete_result::kNoSuchFile;
    if (!LeavesRoot(error)) return failed(error);
    Fail(WB_STORE_DELETE_REFUSED, {ShownName(fileName, folder), Root(type)});
    return delete_result::kNotDeleted;
  }
  struct stat st {};
  if (::fstatat(folderFd.Get(), fileName.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
    return errno == ENOENT ? delete_result::kNoSuchFile : failed(errno);
  }
  // A symbolic link is removed itself, never what it points to; a folder is
  // no script; a file that may not be written is not forced.
  if (S_ISDIR(st.st_mode)) return failed(EISDIR);
  if (S_ISREG(st.st_mode) && (st.st_mode & S_IWUSR) == 0) return failed(EACCES);
  if (::unlinkat(folderFd.Get(), fileName.c_str(), 0) != 0) return failed(errno);
  return delete_result::kDeleted;
}

bool ScriptFiles::Exists(const std::string& fileName, const std::string& folder, dsScriptType type) {
  const std::optional<std::vector<std::string>> folders = CheckedFolders(fileName, folder, type, 0);
  if (!folders) return false;
  const UniqueFd file = resolver_.OpenBeneath(roots_.at(type).Get(), Relative(*folders, fileName), O_PATH);
  struct stat st {};
  return file && ::fstat(file.Get(), &st) == 0 && S_ISREG(st.st_mode);
}

void ScriptFiles::BeginBatch() {
  if (!IsOpen()) return;
  batching_ = true;
  lostOperations_.clear();
  lostScripts_.clear();
  keptScripts_.clear();
}

std::set<int32_t> ScriptFiles::EndBatch() {
  if (!batching_) return {};
  FinishBatch(true, true);
  batching_ = false;
  batchFolder_.reset();
  operation_ = 0;
  return std::move(lostOperations_);
}

void ScriptFiles::Finish() { FinishBatch(true); }

void ScriptFiles::Decide(int32_t operation, Verdict verdict, const std::string& reason) {
  const auto dropped = [&](PendingScript& script) {
    const bool refused = verdict == Verdict::kRefuse;
    if (script.operation != operation || (!refused && !(verdict == Verdict::kKeepReplaced && script.unasked))) {
      if (script.operation == operation) script.decided = true;
      return false;
    }
    if (const UniqueFd folder = resolver_.OpenFolderBeneath(roots_.at(dsJavaScript).Get(), *script.folders, false)) {
      ::unlinkat(folder.Get(), script.temporary.c_str(), 0);
    }
    if (refused) {
      Tell(WB_STORE_WRITE_FAILED, {script.target, reason});
      lostOperations_.insert(operation);
      lostScripts_.emplace_back(operation, script.target);
    } else {
      Note(WB_STORE_KEPT_FOR_DATAPOOL, {script.target});
      keptScripts_.emplace_back(operation, script.target);
    }
    return true;
  };
  // The scripts wait in the order of their operations, so the operation's
  // own are found from the back, without a walk over the whole batch.
  auto last = pending_.end();
  while (last != pending_.begin() && std::prev(last)->operation > operation) --last;
  auto first = last;
  while (first != pending_.begin() && std::prev(first)->operation == operation) --first;
  const auto kept = std::remove_if(first, last, dropped);
  if (kept == last) return;
  pending_.erase(kept, last);
  pendingTargets_.Clear();
  for (const PendingScript& script : pending_) pendingTargets_.Insert(TargetDigest(script.target));
}

void ScriptFiles::FinishBatch(bool all, bool final) {
  if (pending_.empty() || finishing_) return;
  finishing_ = true;
  batchStart_.reset();
  batchFolder_.reset();
  // A store whose changes wait for the batch confirms them first: the
  // scripts of an operation whose names or datapool were not made as
  // foreseen are not placed.
  std::map<int32_t, std::string> failed;
  if (confirm_) {
    try {
      failed = confirm_();
    } catch (const ZtError& e) {
      for (const PendingScript& script : pending_) failed.emplace(script.operation, e.Description());
    }
  }
  // One sync of the whole file system costs about what a single file's sync
  // does; should it fail, each file is synced on its own.
  const bool synced = ::syncfs(lock_.Get()) == 0;
  const int root = roots_.at(dsJavaScript).Get();
  // Each folder is opened below the root again: one swapped for a symbolic
  // link since the script was written is found here.
  UniqueFd folder;
  int folderError = 0;
  const std::vector<std::string>* opened = nullptr;
  std::vector<PendingScript> pending = std::move(pending_);
  pending_.clear();
  pendingTargets_.Clear();
  if (final && awaitVerdicts_) {
    // A run that ended before an operation was done: a file it was to
    // replace unasked stays; its other scripts are placed.
    std::erase_if(pending, [&](const PendingScript& script) {
      if (script.decided || !script.unasked) return false;
      if (const UniqueFd at = resolver_.OpenFolderBeneath(root, *script.folders, false)) {
        ::unlinkat(at.Get(), script.temporary.c_str(), 0);
      }
      Note(WB_STORE_KEPT_FOR_DATAPOOL, {script.target});
      keptScripts_.emplace_back(script.operation, script.target);
      return true;
    });
  }
  if ((confirm_ && !all) || (awaitVerdicts_ && !final)) {
    // An operation that is not done: its scripts wait for the next finish
    // (but for those whose changes the store found not made).
    const auto waits = [&](const PendingScript& script) {
      if (failed.count(script.operation) != 0) return false;
      return (confirm_ && !all && script.operation == operation_) || (awaitVerdicts_ && !script.decided);
    };
    const auto inHand = std::stable_partition(pending.begin(), pending.end(),
                                              [&](const PendingScript& script) { return !waits(script); });
    for (auto it = inHand; it != pending.end(); ++it) {
      pendingTargets_.Insert(TargetDigest(it->target));
      pending_.push_back(std::move(*it));
    }
    pending.erase(inHand, pending.end());
    if (!pending_.empty()) batchStart_ = std::chrono::steady_clock::now();
  }
  for (const PendingScript& script : pending) {
    if (opened == nullptr || *opened != *script.folders) {
      folder = resolver_.OpenFolderBeneath(root, *script.folders, false);
      folderError = errno;
      opened = script.folders.get();
    }
    std::string reason;
    if (!folder) {
      reason = std::strerror(folderError);
    } else if (const auto refused = failed.find(script.operation); refused != failed.end()) {
      reason = refused->second;
      ::unlinkat(folder.Get(), script.temporary.c_str(), 0);
    } else if (!synced && !SyncFile(folder.Get(), script.temporary)) {
      reason = std::strerror(errno);
      ::unlinkat(folder.Get(), script.temporary.c_str(), 0);
    } else {
      const int32_t placed =
          Place(folder.Get(), script.temporary, script.name, script.target, nullptr, script.fresh, script.marks);
      if (placed == save_result::kNotWritten || placed == save_result::kCancelled) {
        // Saving it was answered "stored" (the add-in has logged it so):
        // that it is not, after all, is said where that was.
        keptScripts_.emplace_back(script.operation, script.target);
        Note(WB_STORE_KEPT_THEIRS, {script.target});
      }
      // A new file's record is written without asking what was recorded:
      // at most it writes the same digest again (a file deleted by hand).
      if (placed == save_result::kStored && script.digest && records_ != nullptr &&
          (script.fresh || records_->Recorded(dsJavaScript, script.path) != script.digest)) {
        records_->Record(dsJavaScript, script.path, *script.digest);
      }
      if (placed >= 0) continue;
      reason = std::strerror(errno);
      ::unlinkat(folder.Get(), script.temporary.c_str(), 0);
    }
    // Written, but not under its name: the script is lost, and so is its operation.
    Tell(WB_STORE_WRITE_FAILED, {script.target, reason});
    lostOperations_.insert(script.operation);
    lostScripts_.emplace_back(script.operation, script.target);
  }
  finishing_ = false;
}

std::optional<std::string> ScriptFiles::Read(const std::string& fileName, const std::string& folder,
                                             dsScriptType type) {
  const std::optional<std::vector<std::string>> folders = CheckedFolders(fileName, folder, type, 0);
  if (!folders) return std::nullopt;
  std::optional<ScriptFile> file = ReadScript(resolver_, roots_.at(type).Get(), Relative(*folders, fileName));
  if (!file) return std::nullopt;
  return std::move(file->text);
}

bool ScriptFiles::Stage(const std::string& fileName, const std::string& folder, dsScriptType type,
                        const std::string& content) {
  const std::optional<std::vector<std::string>> folders = CheckedFolders(fileName, folder, type, WB_STORE_PATH_REFUSED);
  if (!folders) return false;
  const std::string target = Below(RootPath(type), *folders, fileName);
  const int rootFd = roots_.at(type).Get();
  // What is placed was not stored by Save: no folder holds only that any more.
  savedFolders_.Clear();
  // The folders that are not there yet are made now, and removed again
  // should the script not be placed.
  size_t present = folders->size();
  while (present > 0 && !resolver_.OpenFolderBeneath(
                            rootFd, std::vector<std::string>(folders->begin(), folders->begin() + present), false)) {
    --present;
  }
  const UniqueFd folderFd = resolver_.OpenFolderBeneath(rootFd, *folders, true);
  if (!folderFd) {
    const int error = errno;
    if (LeavesRoot(error)) Fail(WB_STORE_PATH_REFUSED, {ShownName(fileName, folder), Root(type)});
    if (!LeavesRoot(error)) Fail(WB_STORE_WRITE_FAILED, {target, std::strerror(error)});
    return false;
  }
  for (size_t made = present + 1; made <= folders->size(); ++made) {
    madeFolders_.emplace_back(type, std::vector<std::string>(folders->begin(), folders->begin() + made));
  }
  const long longestName = LongestName(type, folderFd.Get());
  if (longestName > 0 && fileName.size() > static_cast<size_t>(longestName)) {
    Fail(WB_STORE_WRITE_FAILED, {target, std::strerror(ENAMETOOLONG)});
    return false;
  }
  errno = 0;
  std::optional<ScriptFile> existing = ReadScript(resolver_, rootFd, Relative(*folders, fileName));
  if (!existing && LeavesRoot(errno)) {
    Fail(WB_STORE_PATH_REFUSED, {ShownName(fileName, folder), Root(type)});
    return false;
  }
  if (existing && existing->text == content) return true;
  try {
    // A file replaced keeps its permissions.
    std::optional<mode_t> mode;
    if (existing) mode = existing->mode & 07777;
    std::string temporary =
        WriteTemporaryIn(folderFd.Get(), fileName, content, true, target, mode, write_, groupShared_);
    std::optional<std::string> replaced;
    if (existing) replaced = std::move(existing->text);
    staged_.push_back({type, *folders, std::move(temporary), fileName, target, std::move(replaced), {}, false});
  } catch (const ZtError& e) {
    Fail(WB_STORE_WRITE_FAILED, {target, e.Description()});
    return false;
  }
  return true;
}

bool ScriptFiles::PlaceStaged() {
  for (StagedScript& script : staged_) {
    const UniqueFd folderFd = resolver_.OpenFolderBeneath(roots_.at(script.type).Get(), script.folders, false);
    std::string reason;
    if (!folderFd) {
      reason = std::strerror(errno);
    } else if (script.replaced) {
      // The old file keeps a name of its own until the copy stands; where
      // the file system has no hard links, its text (read when staged) is
      // what can be put back.
      try {
        script.kept = LinkTemporaryIn(folderFd.Get(), script.name, script.target);
      } catch (const ZtError&) {
        script.kept.clear();
      }
      if (::renameat(folderFd.Get(), script.temporary.c_str(), folderFd.Get(), script.name.c_str()) != 0) {
        reason = std::strerror(errno);
        if (!script.kept.empty()) ::unlinkat(folderFd.Get(), script.kept.c_str(), 0);
      }
    } else if (RenameNoReplace(folderFd.Get(), script.temporary, script.name) != 0) {
      // Another writer gave the name a file since it was looked at.
      reason = std::strerror(errno);
    }
    if (!reason.empty()) {
      Fail(WB_STORE_WRITE_FAILED, {script.target, reason});
      UndoPlaced();
      return false;
    }
    script.placed = true;
  }
  return true;
}

void ScriptFiles::PutBack(const StagedScript& script) {
  const UniqueFd folderFd = resolver_.OpenFolderBeneath(roots_.at(script.type).Get(), script.folders, false);
  if (!folderFd) return;
  const int folder = folderFd.Get();
  if (!script.replaced) {
    ::unlinkat(folder, script.name.c_str(), 0);
  } else if (!script.kept.empty()) {
    ::renameat(folder, script.kept.c_str(), folder, script.name.c_str());
  } else {
    try {
      const std::string temporary = WriteTemporaryIn(folder, script.name, *script.replaced, true, script.target,
                                                     std::nullopt, write_, groupShared_);
      ::renameat(folder, temporary.c_str(), folder, script.name.c_str());
    } catch (const ZtError& e) {
      Fail(WB_STORE_WRITE_FAILED, {script.target, e.Description()});
    }
  }
}

void ScriptFiles::KeepPlaced() {
  for (StagedScript& script : staged_) {
    if (!script.placed || script.kept.empty()) continue;
    const UniqueFd folderFd = resolver_.OpenFolderBeneath(roots_.at(script.type).Get(), script.folders, false);
    if (folderFd) ::unlinkat(folderFd.Get(), script.kept.c_str(), 0);
  }
  staged_.clear();
  madeFolders_.clear();
}

void ScriptFiles::UndoPlaced() {
  for (auto script = staged_.rbegin(); script != staged_.rend(); ++script) {
    if (script->placed) PutBack(*script);
    script->placed = false;
  }
  DiscardStaged();
}

void ScriptFiles::DiscardStaged() {
  for (const StagedScript& script : staged_) {
    if (script.placed) continue;
    const UniqueFd folderFd = resolver_.OpenFolderBeneath(roots_.at(script.type).Get(), script.folders, false);
    if (folderFd) ::unlinkat(folderFd.Get(), script.temporary.c_str(), 0);
  }
  std::erase_if(staged_, [](const StagedScript& script) { return !script.placed; });
  // Deepest first; a folder that holds something by now stays.
  for (auto made = madeFolders_.rbegin(); made != madeFolders_.rend() && staged_.empty(); ++made) {
    const std::vector<std::string>& folders = made->second;
    const UniqueFd parent = resolver_.OpenFolderBeneath(
        roots_.at(made->first).Get(), std::vector<std::string>(folders.begin(), folders.end() - 1), false);
    if (parent) ::unlinkat(parent.Get(), folders.back().c_str(), AT_REMOVEDIR);
  }
  if (staged_.empty()) madeFolders_.clear();
}

}  // namespace zt::wb
