#include "checks/value_texts.h"

#include <cstdint>

bool resolutionValueText(const ExifRecord& record, std::string& valueText) {
  valueText = std::to_string(static_cast<std::int32_t>(record.imageWidth)) + "*" +
              std::to_string(static_cast<std::int32_t>(record.imageHeight));
  return true;
}

bool cameraMakerValueText(const ExifRecord& record, std::string& valueText) {
  valueText = record.make.substr(0, record.make.find('\0'));
  return true;
}

bool focalLengthValueText(const ExifRecord& record, std::string& valueText) {
  valueText = std::to_string(static_cast<int>(record.focalLength35mm));
  return true;
}

bool gpsValueText(const ExifRecord& record, std::string& valueText) {
  if (hasGpsPosition(record.gps)) return false;
  valueText = "1";
  return true;
}

bool hasGpsPosition(const GpsPosition& gps) {
  // Written as "within" tests so that a NaN, which compares false, is outside.
  const bool longitudeInRange = gps.longitude >= -180.0 && gps.longitude <= 180.0;
  const bool latitudeInRange = gps.latitude >= -90.0 && gps.latitude <= 90.0;
  const bool allZero = gps.latitude == 0 && gps.longitude == 0 && gps.altitude == 0;
  return longitudeInRange && latitudeInRange && !allZero;
}
