#include "xmp/xmp_number.h"

#include <charconv>
#include <cmath>
#include <system_error>

namespace {

// XML's blanks (XML 1.0, production S).
bool isXmlBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// The end of the digits from `at`, at most `end`.
const char* skipDigits(const char* at, const char* end) {
  while (at != end && isDigit(*at)) ++at;
  return at;
}

}  // namespace

bool parseXmpNumber(const char* text, std::size_t length, double& value) {
  if (text == nullptr) return false;
  const char* begin = text;
  const char* end = text + length;
  while (begin != end && isXmlBlank(*begin)) ++begin;
  while (end != begin && isXmlBlank(end[-1])) --end;

  // The syntax is tested here in full, so that from_chars, which would also
  // take "inf", "nan" and "1e5x" (stopping at the x), only converts.
  const char* at = begin;
  if (at != end && (*at == '+' || *at == '-')) ++at;
  const char* digits = at;
  at = skipDigits(at, end);
  std::ptrdiff_t mantissaDigits = at - digits;
  if (at != end && *at == '.') {
    const char* fraction = ++at;
    at = skipDigits(at, end);
    mantissaDigits += at - fraction;
  }
  if (mantissaDigits == 0) return false;
  if (at != end && (*at == 'e' || *at == 'E')) {
    ++at;
    if (at != end && (*at == '+' || *at == '-')) ++at;
    const char* exponent = at;
    at = skipDigits(at, end);
    if (at == exponent) return false;
  }
  if (at != end) return false;

  // from_chars takes no leading '+'; it reads in the C locale's way always.
  if (*begin == '+') ++begin;
  double parsed = 0;
  const std::from_chars_result result =
      std::from_chars(begin, end, parsed, std::chars_format::general);
  if (result.ec != std::errc() || result.ptr != end || !std::isfinite(parsed)) return false;
  value = parsed;
  return true;
}
