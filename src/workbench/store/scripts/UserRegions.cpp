// What a regenerated script keeps of the stored one (see UserRegions.h).
#include "workbench/store/scripts/UserRegions.h"

#include <algorithm>
#include <cstdint>
#include <map>
#include <optional>
#include <utility>

#include "workbench/text/Texts.h"

namespace zt::wb {

namespace {

constexpr std::string_view kBegin = "user code begin:";
constexpr std::string_view kEnd = "user code end:";
constexpr std::string_view kStem = "user code ";  // how both begin

bool IsBlank(char c) { return c == ' ' || c == '\t'; }
bool IsCommentCharacter(char c) { return std::string_view("/*'#;-!%").find(c) != std::string_view::npos; }
bool IsNameCharacter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '.' || c == '-';
}

// A marker line: whether it begins or ends a region, and the region's name.
struct Marker {
  bool begins;
  std::string name;
};

// The marker `line` is, if it is one.
std::optional<Marker> MarkerOf(std::string_view line) {
  size_t at = 0;
  while (at < line.size() && IsBlank(line[at])) ++at;
  const size_t comment = at;
  while (at < line.size() && IsCommentCharacter(line[at])) ++at;
  if (at == comment) return std::nullopt;
  while (at < line.size() && IsBlank(line[at])) ++at;
  const std::string_view rest = line.substr(at);
  bool begins = false;
  if (rest.substr(0, kBegin.size()) == kBegin) {
    begins = true;
    at += kBegin.size();
  } else if (rest.substr(0, kEnd.size()) == kEnd) {
    at += kEnd.size();
  } else {
    return std::nullopt;
  }
  while (at < line.size() && IsBlank(line[at])) ++at;
  const size_t name = at;
  while (at < line.size() && IsNameCharacter(line[at])) ++at;
  if (at == name) return std::nullopt;
  return Marker{begins, std::string(line.substr(name, at - name))};
}

// The places of `needle` in `text`, not overlapping, in order.
std::vector<size_t> Places(std::string_view text, std::string_view needle) {
  std::vector<size_t> places;
  if (needle.empty()) return places;
  for (size_t at = text.find(needle); at != std::string_view::npos; at = text.find(needle, at + needle.size())) {
    places.push_back(at);
  }
  return places;
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
// A letter of a word in a date: ASCII, or a byte of a character beyond it.
bool IsWordByte(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || static_cast<unsigned char>(c) >= 0x80;
}

// How many runs of digits and of letters `text` has.
std::pair<int, int> Runs(std::string_view text) {
  int numbers = 0;
  int words = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    const bool first = i == 0;
    if (IsDigit(text[i]) && (first || !IsDigit(text[i - 1]))) ++numbers;
    if (IsWordByte(text[i]) && (first || !IsWordByte(text[i - 1]))) ++words;
  }
  return {numbers, words};
}

// Whether `text` has the form of the date `date`: digits where it has
// digits, letters where it has letters, its other characters as they are.
bool SameForm(std::string_view text, std::string_view date) {
  if (text.size() != date.size()) return false;
  for (size_t i = 0; i < text.size(); ++i) {
    const bool same = IsDigit(date[i])      ? IsDigit(text[i])
                      : IsWordByte(date[i]) ? IsWordByte(text[i])
                                            : text[i] == date[i];
    if (!same) return false;
  }
  return true;
}

// Whether `text` can stand where the date `date` stands: a date and time
// written at another time, perhaps in another locale's form. It has as many
// numbers as `date` (a month's name may stand for one), and besides them
// only blanks, the separators / . - : , and at most two words more than
// `date` (AM or PM, a month's name). A note typed beside a date is no date.
bool DateLike(std::string_view text, std::string_view date) {
  if (text.empty()) return false;  // a date is never empty
  for (const char c : text) {
    if (!IsDigit(c) && !IsWordByte(c) && std::string_view(" /.-:,").find(c) == std::string_view::npos) return false;
  }
  const auto [numbers, words] = Runs(text);
  const auto [dateNumbers, dateWords] = Runs(date);
  return numbers <= dateNumbers && numbers + words >= dateNumbers && words <= dateWords + 2;
}

// How `stored` compares with `generated` with the text at `places` (each
// `length` long) replaced by one text, the same at each place: a date (see
// DateLike), of the same form (SameForm) or another.
DateLikeness SameButAt(std::string_view stored, std::string_view generated, const std::vector<size_t>& places,
                       size_t length) {
  const size_t count = places.size();
  const size_t fixed = generated.size() - count * length;
  if (stored.size() < fixed || (stored.size() - fixed) % count != 0) return DateLikeness::kDiffers;
  const size_t other = (stored.size() - fixed) / count;
  std::string_view date;
  size_t from = 0;      // in `generated`
  ptrdiff_t shift = 0;  // how far `stored` is ahead of `generated` at `from`
  for (const size_t place : places) {
    if (stored.substr(from + static_cast<size_t>(shift), place - from) != generated.substr(from, place - from))
      return DateLikeness::kDiffers;
    const std::string_view here = stored.substr(place + static_cast<size_t>(shift), other);
    if (place == places.front()) {
      date = here;
    } else if (here != date) {
      return DateLikeness::kDiffers;
    }
    from = place + length;
    shift += static_cast<ptrdiff_t>(other) - static_cast<ptrdiff_t>(length);
  }
  if (stored.substr(from + static_cast<size_t>(shift)) != generated.substr(from)) return DateLikeness::kDiffers;
  const std::string_view generatedDate = generated.substr(places.front(), length);
  if (!DateLike(date, generatedDate)) return DateLikeness::kDiffers;
  return SameForm(date, generatedDate) ? DateLikeness::kSameForm : DateLikeness::kOtherForm;
}

// Whether the byte `c` may be part of a user's name around a place where
// the name stands: a place inside a longer name is no place of the user.
bool IsNameByte(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || IsDigit(c) || c == '_' ||
         static_cast<unsigned char>(c) >= 0x80;
}

// The places where `text` names `user` as a word of its own.
std::vector<size_t> UserPlaces(std::string_view text, std::string_view user) {
  std::vector<size_t> places;
  for (const size_t at : Places(text, user)) {
    const size_t after = at + user.size();
    if ((at > 0 && IsNameByte(text[at - 1]) && IsNameByte(user.front())) ||
        (after < text.size() && IsNameByte(text[after]) && IsNameByte(user.back()))) {
      continue;
    }
    places.push_back(at);
  }
  return places;
}

// The line of `text` that holds `at`: its first byte and the byte after it
// (its line feed or the end).
std::pair<size_t, size_t> LineAround(std::string_view text, size_t at) {
  const size_t start = at == 0 ? 0 : text.rfind('\n', at - 1);
  const size_t end = text.find('\n', at);
  return {start == std::string_view::npos || at == 0 ? 0 : start + 1,
          end == std::string_view::npos ? text.size() : end};
}

// The line number `line` (from 0) of `text`: its first byte and the byte
// after it; nullopt when `text` has fewer lines.
std::optional<std::pair<size_t, size_t>> LineNumbered(std::string_view text, size_t line) {
  size_t start = 0;
  for (size_t n = 0; n < line; ++n) {
    const size_t feed = text.find('\n', start);
    if (feed == std::string_view::npos) return std::nullopt;
    start = feed + 1;
  }
  const size_t end = text.find('\n', start);
  return std::pair{start, end == std::string_view::npos ? text.size() : end};
}

// The name `stored` gives where `generated` names `user` first (at
// `places`): read from the stored line of that place, between the fixed
// texts around the place in its line (up to a date or another place of the
// user); nullopt when it cannot be told, or is no name (empty, a control
// character) or the user's own.
std::optional<std::string_view> OtherUser(std::string_view stored, std::string_view generated,
                                          const std::vector<size_t>& places, std::string_view user,
                                          const std::vector<std::string>& dates) {
  const size_t place = places.front();
  const auto [lineStart, lineEnd] = LineAround(generated, place);
  const auto storedLine =
      LineNumbered(stored, static_cast<size_t>(std::count(generated.begin(), generated.begin() + lineStart, '\n')));
  if (!storedLine) return std::nullopt;
  const std::string_view line = stored.substr(storedLine->first, storedLine->second - storedLine->first);
  // The variable texts of the generated line around the place: the nearest
  // end of one before it, the nearest start of one after it.
  size_t before = lineStart;
  size_t after = lineEnd;
  const size_t placeEnd = place + user.size();
  const auto note = [&](size_t at, size_t length) {
    if (at + length <= place && at + length > before && at >= lineStart) before = at + length;
    if (at >= placeEnd && at < after) after = at;
  };
  for (const std::string& date : dates) {
    for (const size_t at : Places(generated.substr(0, lineEnd), date)) note(at, date.size());
  }
  for (const size_t at : places) note(at, user.size());
  const std::string_view head = generated.substr(before, place - before);
  const std::string_view tail = generated.substr(placeEnd, after - placeEnd);
  std::optional<size_t> from;
  std::optional<size_t> to;
  if (before == lineStart) {
    if (line.substr(0, head.size()) != head) return std::nullopt;
    from = head.size();
  }
  if (after == lineEnd) {
    if (line.size() < tail.size() || line.substr(line.size() - tail.size()) != tail) return std::nullopt;
    to = line.size() - tail.size();
  }
  if (!from && to && !head.empty()) {
    const size_t found = line.substr(0, *to).rfind(head);
    if (found != std::string_view::npos) from = found + head.size();
  }
  if (from && !to && !tail.empty()) {
    const size_t found = line.find(tail, *from);
    if (found != std::string_view::npos) to = found;
  }
  if (!from || !to || *to <= *from) return std::nullopt;
  const std::string_view name = line.substr(*from, *to - *from);
  if (name == user) return std::nullopt;
  for (const char c : name) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) return std::nullopt;
  }
  return name;
}

}  // namespace

RegionScan ScanUserRegions(std::string_view text) {
  RegionScan scan;
  std::optional<UserRegion> open;
  std::map<std::string, bool> seen;
  size_t start = 0;
  while (start < text.size()) {
    // Only a line that holds kStem can be a marker: on to the next such line.
    const size_t stem = text.find(kStem, start);
    if (stem == std::string_view::npos) break;
    const size_t lineFeed = text.rfind('\n', stem);
    if (lineFeed != std::string_view::npos && lineFeed >= start) start = lineFeed + 1;
    size_t next = text.find('\n', start);
    next = next == std::string_view::npos ? text.size() : next + 1;
    std::string_view line = text.substr(start, next - start);
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.remove_suffix(1);
    if (const std::optional<Marker> marker = MarkerOf(line)) {
      if (marker->begins) {
        if (open) {
          scan.fault = Text(WB_REGION_NESTED, {marker->name, open->name});
          return scan;
        }
        if (seen.count(marker->name) != 0) {
          scan.fault = Text(WB_REGION_TWICE, {marker->name});
          return scan;
        }
        seen[marker->name] = true;
        open = UserRegion{marker->name, next, next};
      } else {
        if (!open || open->name != marker->name) {
          scan.fault = Text(WB_REGION_UNOPENED, {marker->name});
          return scan;
        }
        open->end = start;
        scan.regions.push_back(std::move(*open));
        open.reset();
      }
    }
    start = next;
  }
  if (open) scan.fault = Text(WB_REGION_UNCLOSED, {open->name});
  return scan;
}

DateLikeness CompareButDates(std::string_view stored, std::string_view generated,
                             const std::vector<std::string>& dates) {
  if (stored == generated) return DateLikeness::kSameForm;
  DateLikeness best = DateLikeness::kDiffers;
  for (const std::string& date : dates) {
    const std::vector<size_t> places = Places(generated, date);
    if (places.empty()) continue;
    const DateLikeness likeness = SameButAt(stored, generated, places, date.size());
    if (likeness == DateLikeness::kSameForm) return likeness;
    if (likeness == DateLikeness::kOtherForm) best = likeness;
  }
  return best;
}

Likeness CompareButGenerated(std::string_view stored, std::string_view generated, const std::vector<std::string>& dates,
                             std::string_view user) {
  Likeness likeness{CompareButDates(stored, generated, dates), false};
  if (likeness.dates != DateLikeness::kDiffers || user.empty()) return likeness;
  const std::vector<size_t> places = UserPlaces(generated, user);
  if (places.empty()) return likeness;
  const std::optional<std::string_view> other = OtherUser(stored, generated, places, user, dates);
  if (!other) return likeness;
  // The generated text as it would name the other user.
  std::string named;
  named.reserve(generated.size() + places.size() * other->size());
  size_t from = 0;
  for (const size_t place : places) {
    named.append(generated, from, place - from);
    named.append(*other);
    from = place + user.size();
  }
  named.append(generated, from, std::string_view::npos);
  likeness.dates = CompareButDates(stored, named, dates);
  likeness.otherUser = likeness.dates != DateLikeness::kDiffers;
  return likeness;
}

bool SameButDates(std::string_view stored, std::string_view generated, const std::vector<std::string>& dates) {
  return CompareButDates(stored, generated, dates) != DateLikeness::kDiffers;
}

Regeneration Regenerate(const std::string& stored, const std::string& generated, const std::vector<std::string>& dates,
                        std::string_view user) {
  Regeneration result;
  const RegionScan old = ScanUserRegions(stored);
  if (!old.fault.empty()) {
    result.text = generated;
    const Likeness likeness = CompareButGenerated(stored, generated, dates, user);
    result.unchanged = likeness.dates != DateLikeness::kDiffers;
    result.asWritten = likeness.dates == DateLikeness::kSameForm && !likeness.otherUser;
    if (!result.unchanged) result.fault = old.fault;
    return result;
  }
  const RegionScan fresh = ScanUserRegions(generated);
  result.regions = fresh.fault.empty() && !fresh.regions.empty();
  std::map<std::string, std::string_view> kept;
  for (const UserRegion& region : old.regions) {
    kept[region.name] = std::string_view(stored).substr(region.begin, region.end - region.begin);
  }
  // The new text with the stored content in its regions; a new text whose
  // regions are malformed takes none.
  std::string& text = result.text;
  size_t from = 0;
  if (fresh.fault.empty()) {
    for (const UserRegion& region : fresh.regions) {
      const auto found = kept.find(region.name);
      if (found == kept.end()) continue;
      text.append(generated, from, region.begin - from);
      text.append(found->second);
      from = region.end;
      kept.erase(found);
    }
  }
  text.append(generated, from, std::string::npos);
  for (const UserRegion& region : old.regions) {
    if (kept.count(region.name) != 0 && region.end > region.begin) result.lost.push_back(region.name);
  }
  const Likeness likeness = result.lost.empty() ? CompareButGenerated(stored, text, dates, user) : Likeness{};
  result.unchanged = likeness.dates != DateLikeness::kDiffers;
  result.asWritten = likeness.dates == DateLikeness::kSameForm && !likeness.otherUser;
  return result;
}

namespace {

// FNV-1a, 128 bits: prime 2^88 + 2^8 + 0x3b.
class Fnv128 {
 public:
  // The product by the prime in two 64-bit words: h * (2^88 + 315) is
  // h * 315 plus the low 40 bits of h moved up by 88, and the low word never
  // depends on the high one, so each byte waits for one 64-bit multiply.
  // Not inlined: inlined into a loop over the parts, the compiler kept the
  // product on the stack.
  [[gnu::noinline]] void Add(std::string_view part) {
    uint64_t low = static_cast<uint64_t>(hash_);
    uint64_t high = static_cast<uint64_t>(hash_ >> 64);
    for (const char c : part) {
      low ^= static_cast<unsigned char>(c);
      const u128 product = u128{low} * kPrimeLow;
      high = high * kPrimeLow + static_cast<uint64_t>(product >> 64) + (low << 24);
      low = static_cast<uint64_t>(product);
    }
    hash_ = (u128{high} << 64) | low;
  }
  std::string Hex() const {
    std::string digits(32, '0');
    u128 hash = hash_;
    for (size_t i = 32; i-- > 0; hash >>= 4) digits[i] = "0123456789abcdef"[static_cast<unsigned>(hash & 0xF)];
    return digits;
  }

 private:
  __extension__ using u128 = unsigned __int128;
  static constexpr uint64_t kPrimeLow = (1u << 8) + 0x3b;  // the prime is 2^88 + kPrimeLow
  u128 hash_ = (u128{0x6c62272e07bb0142ULL} << 64) | u128{0x62b821756295c58dULL};
};

}  // namespace

std::string TextDigest(std::string_view text) {
  Fnv128 hash;
  hash.Add(text);
  return hash.Hex();
}

std::optional<std::string> GeneratedDigest(std::string_view text) {
  const RegionScan scan = ScanUserRegions(text);
  if (!scan.fault.empty()) return std::nullopt;
  Fnv128 hash;
  size_t from = 0;
  for (const UserRegion& region : scan.regions) {
    hash.Add(text.substr(from, region.begin - from));
    from = region.end;
  }
  hash.Add(text.substr(from));
  return hash.Hex();
}

}  // namespace zt::wb
