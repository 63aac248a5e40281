// The template processor turns one template file into one stored test file.
// It reads the template line by line, lets listeners rewrite or veto each
// line, replaces every key of the parameter map found in a line by its value,
// and hands the finished text to the store.
//
// One processor serves a whole session: the run sets `StatusLine` before
// each operation, and a listener may call ProcessTemplate again from inside
// an event (the COM project writer does, for the files a project names).
// Nothing escapes ProcessTemplate: errors are reported to the host log and
// the caller reads `UserCanceled`.
#pragma once

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "host/DataStore.h"
#include "template/ParamMap.h"
#include "template/RunState.h"

namespace zt {

/// The status of the line about to be processed: the caption, the line
/// number and the line count. Its text is made only when asked for, since
/// most listeners show it only now and then.
class LineStatus {
 public:
  /// `caption` and `lineOf` (the counter's text, "%1" the line, "%2" the
  /// count) must outlive the status.
  LineStatus(const std::string& caption, const std::string& lineOf, int32_t total);
  void SetLine(int32_t line) { line_ = line; }
  int32_t Line() const { return line_; }
  int32_t Total() const { return total_; }
  /// The caption, CR LF and the counter, each number with its sign position.
  std::string Message() const;

 private:
  const std::string& caption_;
  const std::string& lineOf_;
  std::string totalText_;
  int32_t line_ = 0;
  int32_t total_ = 0;
};

/// Receives the processor's events. Every member does nothing unless
/// overridden; by-reference arguments are the processor's own variables.
class TemplateProcessorListener {
 public:
  virtual ~TemplateProcessorListener() = default;

  /// Before each line: the status text, the line number and the line count.
  virtual void UpdateStatus(const std::string& message, float numerator, float denominator, bool& bCancel);
  /// What the processor raises before each line: UpdateStatus with the
  /// status's text and numbers. A listener that needs the text only now and
  /// then overrides this and asks for the text when it needs it.
  virtual void UpdateLineStatus(const LineStatus& status, bool& bCancel);

  /// After a line is read, before its tags are replaced. `bProcess` False
  /// turns substitution off for this and the following lines.
  virtual void TemplatePreProcessLine(const std::string& TemplatePath, const std::string& TestCodePath,
                                      ParamMap& TemplateParams, dsScriptType scriptType,
                                      std::string& TemplateLine, bool& bProcess, bool& bCancel);

  /// After a line's tags are replaced; raised for Visual Basic scripts only.
  virtual void TemplatePostProcessLine(const std::string& TemplatePath, const std::string& TestCodePath,
                                       ParamMap& TemplateParams, dsScriptType scriptType,
                                       std::string& TemplateLine, bool& bCancel, const std::string& sOperName);
};

/// Replaces the keys of a parameter map in template lines, as ProcessTemplate
/// does for a line with substitution on: nothing unless the line holds both
/// "<" and ">"; keys in map order against the line replaced so far; a
/// multi-line value is indented like the line. When every key is a simple
/// tag (ParamMap::KeysAreSimpleTags) the line is searched for all keys at
/// once, which gives what the search key by key gives. Between lines it
/// keeps what makes the next one cheaper: the list of tags a line holds, and
/// the text of the last date rendered (every operation of a run asks for the
/// same second).
class LineSubstitution {
 public:
  void Substitute(std::string& line, const ParamMap& params);
  /// The date texts put into lines since the last call, each once; the
  /// list starts again empty.
  std::vector<std::string> TakeDates() { return std::exchange(dates_, {}); }
  /// Makes `dates` the list of date texts put into lines so far.
  void SetDates(std::vector<std::string> dates) { dates_ = std::move(dates); }

 private:
  // A key found in a line: its place in the map, and whether the bracket
  // before its "<" is another "<".
  struct TagHit {
    ptrdiff_t place;
    bool afterOpen;
  };
  // The keys that occur in `line`, every key being a simple tag: one occurs
  // where a "<" is followed by a ">" before any other "<", so one pass over
  // the line finds them all.
  void FindTags(std::string_view line, const ParamMap& params);
  // The value as it goes into a line indented by `indent`: a multi-line
  // value takes the indent after each line end, without trailing blanks. A
  // text that needs no change is given as it is; otherwise it is made in
  // `made`.
  std::string_view IndentedValue(const ParamValue& value, const std::string& indent, std::string& made);
  const std::string& DateText(const ParamDate& date);

  bool loaded_ = false;
  std::string open_, close_, crlf_;
  // The line's indent, a line end followed by it, and the value made for
  // it: kept from line to line, so that their buffers are reused.
  std::string indent_, indentedLineEnd_, made_;
  std::vector<TagHit> hits_;
  std::optional<std::pair<std::pair<std::time_t, bool>, std::string>> lastDate_;
  std::vector<std::string> dates_;
};

class TemplateProcessor {
 public:
  TemplateProcessor() = default;
  TemplateProcessor(const TemplateProcessor&) = delete;
  TemplateProcessor& operator=(const TemplateProcessor&) = delete;

  /// Keeps `store` as the processor's store and clears UserCanceled.
  bool Initialize(DataStore* store);

  /// Fills the template at `TemplatePath` from `params` and stores the text
  /// as `TestCodePath` (relative to the store's script root of
  /// `scriptType`). `sOperName` names the operation in the log.
  void ProcessTemplate(const std::string& TemplatePath, const std::string& TestCodePath, ParamMap& params,
                       dsScriptType scriptType, const std::string& sOperName);

  /// The caption of the current item, shown above the line counter.
  std::string StatusLine;
  /// Set by any listener (through bCancel) or by the run; read by the run.
  bool UserCanceled = false;
  /// The store; not owned.
  zt::DataStore* DataStore = nullptr;

  /// Listeners receive the events in the order they were added; not owned.
  void AddListener(TemplateProcessorListener* listener);
  void RemoveListener(TemplateProcessorListener* listener);

  /// The run the processor works for, which the generators it serves read
  /// and write too: the code factory hands it the add-in's run; until then
  /// the processor has one of its own. `run` must outlive the processor's
  /// use of it.
  RunState& Run() { return *run_; }
  void SetRun(RunState& run) { run_ = &run; }

 private:
  void Process(const std::string& TemplatePath, const std::string& TestCodePath, ParamMap& params,
               dsScriptType scriptType, const std::string& sOperName);
  // Hands `text` to the store; `dates` are the date texts it holds.
  void Store(const std::string& TestCodePath, dsScriptType scriptType, const std::string& text,
             const std::string& sOperName, const std::vector<std::string>& dates);

  // The lines of a template and the text made of them, kept from one
  // template to the next so that a run does not allocate every line anew; a
  // template processed while another is (by a listener) takes its own.
  struct TextBuffers {
    std::vector<std::pair<int32_t, std::string>> lines;
    std::string text;
  };
  std::vector<std::unique_ptr<TextBuffers>> spareBuffers_;

  LineSubstitution substitution_;
  RunState ownRun_;
  RunState* run_ = &ownRun_;
  std::vector<TemplateProcessorListener*> listeners_;
  // Counts the changes of listeners_.
  uint64_t listenersVersion_ = 0;
};

/// Replaces the keys of `params` in `line` (LineSubstitution, afresh).
void SubstituteLine(std::string& line, const ParamMap& params);

}  // namespace zt
