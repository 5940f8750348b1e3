#include "checks/value_texts.h"

#include <charconv>
#include <cstdint>

namespace {

// Appends `number` in decimal, as std::to_string writes it, without a
// string of its own: a text is made for every photo, more than once.
void appendDecimal(std::string& text, std::int32_t number) {
  char digits[12];  // a sign and ten digits
  const std::to_chars_result end = std::to_chars(digits, digits + sizeof digits, number);
  text.append(digits, end.ptr);
}

}  // namespace

bool resolutionValueText(const ImageFacts& facts, std::string& valueText) {
  valueText.clear();
  appendDecimal(valueText, static_cast<std::int32_t>(facts.imageWidth));
  valueText += '*';
  appendDecimal(valueText, static_cast<std::int32_t>(facts.imageHeight));
  return true;
}

bool cameraMakerValueText(const ImageFacts& facts, std::string& valueText) {
  valueText = facts.make;
  return true;
}

bool focalLengthValueText(const ImageFacts& facts, std::string& valueText) {
  valueText.clear();
  appendDecimal(valueText, facts.focalLength35mm);
  return true;
}

bool gpsValueText(const ImageFacts& facts, std::string& valueText) {
  if (hasGpsPosition(facts)) return false;
  valueText = "1";
  return true;
}

bool hasGpsPosition(const ImageFacts& facts) {
  // Written as "within" tests so that a NaN, which compares false, is outside.
  const bool longitudeInRange = facts.longitude >= -180.0 && facts.longitude <= 180.0;
  const bool latitudeInRange = facts.latitude >= -90.0 && facts.latitude <= 90.0;
  const bool allZero = facts.latitude == 0 && facts.longitude == 0 && facts.altitude == 0;
  return longitudeInRange && latitudeInRange && !allZero;
}
