// The parameter map of one operation: template tags ("<test_name>") and the
// values that replace them. Values are texts, or the generation date, which
// is rendered when a template is filled. Keys keep the order in which they
// were first added; adding a key again keeps its place and takes the new value.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <unordered_map>
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
  bool Exists(const std::string& key) const { return index_.count(key) > 0; }

 private:
  std::vector<std::string> keys_;
  std::vector<ParamValue> values_;
  std::unordered_map<std::string, size_t> index_;
};

/// The current date and time, or the instant SOURCE_DATE_EPOCH names when
/// it is set to a number of seconds (reproducible output).
ParamDate GenerationDate();

/// A value as text: a text as it is, a date in the user's date and time format.
std::string ToText(const ParamValue& value);

}  // namespace zt
