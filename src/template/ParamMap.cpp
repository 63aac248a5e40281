#include "template/ParamMap.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <cstdlib>
#include <ctime>
#include <iomanip>
#include <locale>
#include <sstream>
#include <utility>

#include "support/Error.h"

namespace zt {

namespace {

// The length and the first and last eight bytes: tags share their brackets
// and often a first word, seldom all three. Collisions cost a comparison.
uint64_t KeyHash(std::string_view key) {
  const size_t n = key.size();
  uint64_t head = 0;
  uint64_t tail = 0;
  std::memcpy(&head, key.data(), std::min<size_t>(n, 8));
  if (n > 8) std::memcpy(&tail, key.data() + n - 8, 8);
  const uint64_t hash = (head * 0x9E3779B97F4A7C15ull) ^ (tail * 0xC2B2AE3D27D4EB4Full) ^ (n * 0x165667B19E3779F9ull);
  return hash ^ (hash >> 29);
}

constexpr size_t kFirstSlots = 64;

}  // namespace

size_t ParamMap::Slot(std::string_view key) const {
  const size_t mask = slots_.size() - 1;
  size_t slot = static_cast<size_t>(KeyHash(key)) & mask;
  while (slots_[slot] != 0 && keys_[slots_[slot] - 1] != key) slot = (slot + 1) & mask;
  return slot;
}

void ParamMap::Grow() {
  slots_.assign(slots_.empty() ? kFirstSlots : slots_.size() * 2, 0);
  // Room for as many keys as the slots take, so that the texts are not moved
  // while the map fills.
  keys_.reserve(slots_.size() / 2);
  values_.reserve(slots_.size() / 2);
  for (size_t place = 0; place < keys_.size(); ++place) slots_[Slot(keys_[place])] = static_cast<uint32_t>(place + 1);
}

void ParamMap::Add(ParamValue value, const std::string& key) {
  // At most half full, so that a search ends soon.
  if (2 * (keys_.size() + 1) > slots_.size()) Grow();
  uint32_t& slot = slots_[Slot(key)];
  if (slot != 0) {
    values_[slot - 1] = std::move(value);
    return;
  }
  keys_.push_back(key);
  values_.push_back(std::move(value));
  slot = static_cast<uint32_t>(keys_.size());
  if (!IsSimpleTag(key)) ++otherKeys_;
}

const ParamValue& ParamMap::Item(const std::string& key) const {
  const ptrdiff_t place = Find(key);
  if (place < 0) RaiseError(errc::kInvalidCall);
  return values_[static_cast<size_t>(place)];
}

const ParamValue& ParamMap::Item(int32_t index) const {
  if (index < 1 || index > Count()) RaiseError(errc::kSubscriptOutOfRange);
  return values_[static_cast<size_t>(index - 1)];
}

ptrdiff_t ParamMap::Find(std::string_view key) const {
  if (slots_.empty()) return -1;
  const uint32_t entry = slots_[Slot(key)];
  return static_cast<ptrdiff_t>(entry) - 1;
}

bool IsSimpleTag(std::string_view key) {
  if (key.size() < 2 || key.front() != '<' || key.back() != '>') return false;
  for (size_t i = 1; i + 1 < key.size(); ++i) {
    if (key[i] == '<' || key[i] == '>') return false;
  }
  return true;
}

ParamDate GenerationDate() {
  if (const char* epoch = std::getenv("SOURCE_DATE_EPOCH"); epoch != nullptr && *epoch != '\0') {
    int64_t seconds = 0;
    const char* end = epoch + std::char_traits<char>::length(epoch);
    auto [ptr, ec] = std::from_chars(epoch, end, seconds);
    if (ec == std::errc() && ptr == end && seconds >= 0) {
      return {std::chrono::system_clock::time_point(std::chrono::seconds(seconds)), true};
    }
  }
  return {std::chrono::system_clock::now(), false};
}

namespace {

// The user's locale for dates, or the classic one when the user's is not
// installed on this machine.
const std::locale& UserLocale() {
  static const std::locale locale = [] {
    try {
      return std::locale("");
    } catch (const std::runtime_error&) {
      return std::locale::classic();
    }
  }();
  return locale;
}

std::string FormatDate(const ParamDate& date) {
  const std::time_t t = std::chrono::system_clock::to_time_t(date.when);
  std::tm parts{};
  if (date.fixed) {
    gmtime_r(&t, &parts);
  } else {
    localtime_r(&t, &parts);
  }
  std::ostringstream out;
  out.imbue(UserLocale());
  out << std::put_time(&parts, "%x %X");
  return out.str();
}

}  // namespace

std::string ToText(const ParamValue& value) {
  if (const auto* text = std::get_if<std::string>(&value)) return *text;
  return FormatDate(std::get<ParamDate>(value));
}

}  // namespace zt
