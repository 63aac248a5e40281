// The parameter map of one operation: template tags ("<test_name>") and the
// values that replace them. Values are texts, or the generation date, which
// is rendered when a template is filled. Keys keep the order in which they
// were first added; adding a key again keeps its place and takes the new value.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace zt {

/// A date and time value ("<generation_date>").
struct ParamDate {
  std::chrono::system_clock::time_point when;
  /// True when `when` is a fixed instant (SOURCE_DATE_EPOCH): rendered in UTC.
  bool fixed = false;
};

using ParamValue = std::variant<std::string, ParamDate>;

class ParamMap {
 public:
  /// Adds `value` under `key` (value first, as the map's callers pass them).
  void Add(ParamValue value, const std::string& key);

  /// The value of `key`; raises error 5 when there is no such key.
  const ParamValue& Item(const std::string& key) const;
  /// The value at 1-based `index`; raises error 9 outside 1..Count.
  const ParamValue& Item(int32_t index) const;

  /// The keys in the map's order.
  const std::vector<std::string>& Keys() const { return keys_; }
  int32_t Count() const { return static_cast<int32_t>(keys_.size()); }
  bool Exists(const std::string& key) const { return Find(key) >= 0; }

  /// The 0-based place of `key` in Keys(), or -1 when it is no key.
  ptrdiff_t Find(std::string_view key) const;
  /// The value at 0-based `place` (0 <= place < Count()).
  const ParamValue& ValueAt(size_t place) const { return values_[place]; }
  /// True when every key is a simple tag: "<", a text without "<" and ">",
  /// ">". In a line such a key occurs exactly where a "<" is followed by a
  /// ">" before any other "<", which lets a line be searched for all keys at
  /// once (see SubstituteLine).
  bool KeysAreSimpleTags() const { return otherKeys_ == 0; }

 private:
  // The index: places + 1 in an open-addressed table of a power-of-two
  // size, 0 for an empty slot; the keys themselves are those of keys_.
  size_t Slot(std::string_view key) const;
  void Grow();

  std::vector<std::string> keys_;
  std::vector<ParamValue> values_;
  std::vector<uint32_t> slots_;
  // Keys that are not simple tags.
  size_t otherKeys_ = 0;
};

/// True when `key` is "<", a text without "<" and ">", ">".
bool IsSimpleTag(std::string_view key);

/// The current date and time, or the instant SOURCE_DATE_EPOCH names when
/// it is set to a number of seconds (reproducible output).
ParamDate GenerationDate();

/// A value as text: a text as it is, a date in the user's date and time format.
std::string ToText(const ParamValue& value);

}  // namespace zt
