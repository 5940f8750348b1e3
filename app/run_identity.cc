#include "app/run_identity.h"

#include <chrono>
#include <random>

#include "platform/platform.h"

namespace {

// splitmix64's finaliser.
std::uint64_t mixed(std::uint64_t x) {
  x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ULL;
  x = (x ^ (x >> 27)) * 0x94D049BB133111EBULL;
  return x ^ (x >> 31);
}

// 64 bits of the system's random source, or 0 where it has none (the
// constructor or a call may throw): the clock and the process still differ.
std::uint64_t systemRandom() {
  try {
    std::random_device source;
    return std::uint64_t{source()} << 32 ^ std::uint64_t{source()};
  } catch (...) {
    return 0;
  }
}

// Days since 1970-01-01 of a civil date (H. Hinnant's days_from_civil), for
// the difference of two broken-down times without asking the C runtime.
long daysFromCivil(long year, unsigned month, unsigned day) {
  year -= month <= 2 ? 1 : 0;
  const long era = (year >= 0 ? year : year - 399) / 400;
  const unsigned yearOfEra = static_cast<unsigned>(year - era * 400);
  const unsigned dayOfYear = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
  const unsigned dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
  return era * 146097 + static_cast<long>(dayOfEra) - 719468;
}

long secondsOf(const std::tm& time) {
  const long days = daysFromCivil(time.tm_year + 1900L, static_cast<unsigned>(time.tm_mon + 1),
                                  static_cast<unsigned>(time.tm_mday));
  return days * 86400 + time.tm_hour * 3600L + time.tm_min * 60L + time.tm_sec;
}

void appendDigits(std::string& text, long value, int digits) {
  std::string part(static_cast<std::size_t>(digits), '0');
  for (int i = digits - 1; i >= 0; --i, value /= 10) {
    part[static_cast<std::size_t>(i)] = static_cast<char>('0' + value % 10);
  }
  text += part;
}

}  // namespace

std::string runIdOf(std::uint64_t time, std::uint64_t process, std::uint64_t random) {
  const std::uint64_t bits = mixed(mixed(time ^ process << 40 ^ process >> 24) ^ random);
  static const char kHex[] = "0123456789abcdef";
  std::string id;
  for (int shift = 60; shift >= 0; shift -= 4) id += kHex[(bits >> shift) & 0xF];
  return id;
}

long utcOffsetOf(const std::tm& local, const std::tm& utc) {
  return secondsOf(local) - secondsOf(utc);
}

std::string isoTimeOf(const std::tm& local, long offsetSeconds) {
  std::string text;
  appendDigits(text, local.tm_year + 1900L, 4);
  text += '-';
  appendDigits(text, local.tm_mon + 1, 2);
  text += '-';
  appendDigits(text, local.tm_mday, 2);
  text += 'T';
  appendDigits(text, local.tm_hour, 2);
  text += ':';
  appendDigits(text, local.tm_min, 2);
  text += ':';
  appendDigits(text, local.tm_sec, 2);
  const long minutes = (offsetSeconds < 0 ? -offsetSeconds : offsetSeconds) / 60;
  text += offsetSeconds < 0 ? '-' : '+';
  appendDigits(text, minutes / 60, 2);
  text += ':';
  appendDigits(text, minutes % 60, 2);
  return text;
}

RunIdentity makeRunIdentity() {
  const auto now = std::chrono::system_clock::now();
  const auto ticks =
      static_cast<std::uint64_t>(now.time_since_epoch().count()) ^
      static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count()) *
          0x9E3779B97F4A7C15ULL;
  RunIdentity identity;
  identity.id = runIdOf(ticks, platform::processId(), systemRandom());
  const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
  // Copied at once: both calls share one buffer; the run's other threads
  // have ended.
  const std::tm* localPart = std::localtime(&seconds);
  if (localPart == nullptr) return identity;
  const std::tm local = *localPart;
  const std::tm* utcPart = std::gmtime(&seconds);
  const std::string withOffset =
      isoTimeOf(local, utcPart != nullptr ? utcOffsetOf(local, *utcPart) : 0);
  identity.shownTime = withOffset.substr(0, 19);
  identity.shownTime[10] = ' ';
  // Without a UTC form the offset is unknown, and left out rather than guessed.
  identity.isoTime = utcPart != nullptr ? withOffset : withOffset.substr(0, 19);
  return identity;
}
