#include "xmp/xmp_fields.h"

#include <cstring>

namespace {

// The namespaces, as their owners publish them. Pix4D's camera schema is
// senseFly's under Pix4D's name (Parrot writes the first, senseFly the
// second); both carry the same fields.
constexpr const char kDji[] = "http://www.dji.com/drone-dji/1.0/";
constexpr const char kGPano[] = "http://ns.google.com/photos/1.0/panorama/";
constexpr const char kPix4dCamera[] = "http://pix4d.com/camera/1.0/";
constexpr const char kSenseflyCamera[] = "http://ns.sensefly.com/Camera/1.0/";

// clang-format off
const XmpField kFields[] = {
    // uri               local name             number field                 text field
    {kDji,             "RelativeAltitude",    &XmpFacts::relativeAltitude, nullptr},
    {kDji,             "AbsoluteAltitude",    &XmpFacts::absoluteAltitude, nullptr},
    {kDji,             "GimbalPitchDegree",   &XmpFacts::gimbalPitch,      nullptr},
    {kDji,             "GimbalYawDegree",     &XmpFacts::gimbalYaw,        nullptr},
    {kDji,             "GimbalRollDegree",    &XmpFacts::gimbalRoll,       nullptr},
    {kDji,             "FlightPitchDegree",   &XmpFacts::flightPitch,      nullptr},
    {kDji,             "FlightYawDegree",     &XmpFacts::flightYaw,        nullptr},
    {kDji,             "FlightRollDegree",    &XmpFacts::flightRoll,       nullptr},
    {kDji,             "FlightXSpeed",        &XmpFacts::flightXSpeed,     nullptr},
    {kDji,             "FlightYSpeed",        &XmpFacts::flightYSpeed,     nullptr},
    {kDji,             "FlightZSpeed",        &XmpFacts::flightZSpeed,     nullptr},
    {kDji,             "RtkFlag",             &XmpFacts::rtkFlag,          nullptr},
    {kDji,             "RtkStdLon",           &XmpFacts::rtkStdLon,        nullptr},
    {kDji,             "RtkStdLat",           &XmpFacts::rtkStdLat,        nullptr},
    {kDji,             "RtkStdHgt",           &XmpFacts::rtkStdHgt,        nullptr},
    {kGPano,           "ProjectionType",      nullptr,                     &XmpFacts::projectionType},
    {kGPano,           "PosePitchDegrees",    &XmpFacts::posePitch,        nullptr},
    {kGPano,           "PoseHeadingDegrees",  &XmpFacts::poseHeading,      nullptr},
    {kPix4dCamera,     "Pitch",               &XmpFacts::cameraPitch,      nullptr},
    {kPix4dCamera,     "Yaw",                 &XmpFacts::cameraYaw,        nullptr},
    {kPix4dCamera,     "Roll",                &XmpFacts::cameraRoll,       nullptr},
    {kPix4dCamera,     "GPSXYAccuracy",       &XmpFacts::gpsXYAccuracy,    nullptr},
    {kPix4dCamera,     "GPSZAccuracy",        &XmpFacts::gpsZAccuracy,     nullptr},
    {kSenseflyCamera,  "Pitch",               &XmpFacts::cameraPitch,      nullptr},
    {kSenseflyCamera,  "Yaw",                 &XmpFacts::cameraYaw,        nullptr},
    {kSenseflyCamera,  "Roll",                &XmpFacts::cameraRoll,       nullptr},
    {kSenseflyCamera,  "GPSXYAccuracy",       &XmpFacts::gpsXYAccuracy,    nullptr},
    {kSenseflyCamera,  "GPSZAccuracy",        &XmpFacts::gpsZAccuracy,     nullptr},
};
// clang-format on

}  // namespace

const XmpField* findXmpField(const char* uri, std::size_t uriLength, const char* localName) {
  for (const XmpField& field : kFields) {
    if (std::strlen(field.uri) == uriLength && std::memcmp(field.uri, uri, uriLength) == 0 &&
        std::strcmp(field.localName, localName) == 0) {
      return &field;
    }
  }
  return nullptr;
}
