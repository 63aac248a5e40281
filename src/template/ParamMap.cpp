#include "template/ParamMap.h"

#include <charconv>
#include <cstdlib>
#include <ctime>
#include <iomanip>
#include <locale>
#include <sstream>

#include "support/Error.h"

namespace zt {

void ParamMap::Add(ParamValue value, const std::string& key) {
  if (auto it = index_.find(key); it != index_.end()) {
    values_[it->second] = std::move(value);
    return;
  }
  index_.emplace(key, keys_.size());
  keys_.push_back(key);
  values_.push_back(std::move(value));
}

const ParamValue& ParamMap::Item(const std::string& key) const {
  auto it = index_.find(key);
  if (it == index_.end()) RaiseError(errc::kInvalidCall);
  return values_[it->second];
}

const ParamValue& ParamMap::Item(int32_t index) const {
  if (index < 1 || index > Count()) RaiseError(errc::kSubscriptOutOfRange);
  return values_[static_cast<size_t>(index - 1)];
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
