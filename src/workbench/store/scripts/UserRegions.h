// What a regenerated script keeps of the stored one: the generation date and
// the user regions.
//
// The date. A template's date tag gives each run a text of its own (the
// generation date). A new text that differs from the stored one only where
// the new one holds its date texts, the stored one holding another date
// there (the same at every such place), is the stored text: it is not
// written again. Another date is a date and time as a locale writes them:
// as many numbers as the new date (a month's name may stand for one),
// blanks, the separators / . - : , and at most two words more (AM or PM, a
// month's name); a note typed beside the date makes the text another one.
// Only a stored date of the very form of the new one (digits for digits,
// letters for letters) makes the stored text what this store writes
// (`asWritten`): one in another locale's form is left alone, but it is not
// taken for what the store wrote.
//
// The user. A template's author tag names the store's user who generated
// the text. A new text that differs from the stored one only where it names
// its user, the stored one naming another there (the same at every such
// place, as for a date), is the stored text too, dates and all: a teammate
// who generates the same tests finds them unchanged. The user's places are
// where the new text holds the user's name as a word of its own (not inside
// a longer name); the other name is read from the stored text's line of the
// first such place, between the texts around it there. A stored text naming
// another user is not what this store writes for this user: it is never
// taken for what the store wrote (`asWritten`).
//
// User regions. A region is the lines between a line whose comment starts
// with `user code begin: NAME` and the next whose comment starts with
// `user code end: NAME`: after the line's blanks come one or more comment
// characters (`/`, `*`, `'`, `#`, `;`, `-`, `!`, `%`), blanks, the words,
// and NAME (letters, digits, `_`, `.`, `-`); what follows the name is free
// (a `*/`). Its content is the text between the end of the begin line and
// the start of the end line, line ends included. When a script is generated
// again, each region of the stored file whose name the new text has gets the
// stored content in the new text, before the texts are compared; so a file
// whose only changes are in its regions (and its date) is unchanged.
//
// Nothing written in a region is lost unasked:
// - a region of the stored file with content whose name the new text does not
//   have (or a new text whose own regions are malformed: then none is carried)
//   is "lost": the caller asks before it replaces the file, naming it;
// - a stored file whose regions are malformed (a begin without its end, an end
//   without its begin, a region inside another, a name twice) carries nothing:
//   its fault is named, and the caller asks before it replaces the file.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zt::wb {

/// A user region: its name and where its content lies in the text.
struct UserRegion {
  std::string name;
  size_t begin = 0;  // the first byte of the content (after the begin line)
  size_t end = 0;    // the first byte of the end line
};

/// The regions of a text, in order; `fault` names what is malformed (then
/// `regions` holds those found before it).
struct RegionScan {
  std::vector<UserRegion> regions;
  std::string fault;
};

/// The user regions of `text`.
RegionScan ScanUserRegions(std::string_view text);

/// How a stored text compares with a generated one but for its dates.
enum class DateLikeness {
  kDiffers,    ///< other text, or something that is no date in a date's place
  kOtherForm,  ///< the same but for a date written in another form
  kSameForm,   ///< the same but for a date of the same form (or the same text)
};

/// How `stored` compares with `generated` but for the texts `dates` (see the
/// file comment): every place in `generated` that holds one of them may hold
/// in `stored` another date, the same at every place.
DateLikeness CompareButDates(std::string_view stored, std::string_view generated,
                             const std::vector<std::string>& dates);

/// How a stored text compares with a generated one but for its dates and
/// the user it names.
struct Likeness {
  DateLikeness dates = DateLikeness::kDiffers;
  /// The same only once the user named is another one.
  bool otherUser = false;
};

/// CompareButDates, where `stored` may also name another user than `user`
/// where `generated` names `user` (see the file comment); an empty `user`
/// compares as CompareButDates does.
Likeness CompareButGenerated(std::string_view stored, std::string_view generated, const std::vector<std::string>& dates,
                             std::string_view user);

/// Whether CompareButDates finds `stored` the same but for its dates.
bool SameButDates(std::string_view stored, std::string_view generated, const std::vector<std::string>& dates);

/// What regenerating a stored script comes to.
struct Regeneration {
  /// The stored file holds what would be written: nothing to do.
  bool unchanged = false;
  /// Unchanged, with its dates of the form this store writes and naming
  /// this user: the stored file may be recorded as what the store generated.
  bool asWritten = false;
  /// The text to write: the new text, the stored regions' content carried in.
  std::string text;
  /// The regions with content that the text to write does not keep.
  std::vector<std::string> lost;
  /// What is malformed in the stored file's regions; none were carried.
  std::string fault;
  /// Whether the new text has user regions (well formed): a text made to be
  /// generated again.
  bool regions = false;
};

/// Carries the regions of `stored` into `generated` and compares (see the
/// file comment); `dates` are the date texts in `generated`, `user` the
/// store's user it names (empty: none).
Regeneration Regenerate(const std::string& stored, const std::string& generated, const std::vector<std::string>& dates,
                        std::string_view user = {});

/// A 128-bit FNV-1a digest of `text`, as 32 hexadecimal digits.
std::string TextDigest(std::string_view text);

/// What a text holds outside its user regions, as 32 hexadecimal digits (a
/// 128-bit FNV-1a digest of the text without the regions' content): a store
/// records it for each script it writes, and a file that still gives it was
/// not edited outside its regions since. nullopt when the regions are
/// malformed.
std::optional<std::string> GeneratedDigest(std::string_view text);

}  // namespace zt::wb
