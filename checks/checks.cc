#include "checks/checks.h"

#include "app/console_texts.h"
#include "checks/check_pass.h"
#include "checks/value_texts.h"

namespace {

constexpr CheckKind kResolution{texts::kResolutionHeader, resolutionValueText,
                                ReportingRule::consistencyComparison, ""};
constexpr CheckKind kCameraMaker{texts::kCameraMakerHeader, cameraMakerValueText,
                                 ReportingRule::consistencyComparison, ""};
constexpr CheckKind kFocalLength{texts::kFocalLengthHeader, focalLengthValueText,
                                 ReportingRule::missingValueReport, "0"};
constexpr CheckKind kGps{texts::kGpsHeader, gpsValueText, ReportingRule::missingValueReport, "1"};

}  // namespace

void runResolutionCheck(const std::vector<std::string>& images, std::vector<std::string>& findings,
                        bool& errorFlag) {
  runCheckPass(kResolution, images, findings, errorFlag);
}

void runCameraMakerCheck(const std::vector<std::string>& images, std::vector<std::string>& findings,
                         bool& errorFlag) {
  runCheckPass(kCameraMaker, images, findings, errorFlag);
}

void runFocalLengthCheck(const std::vector<std::string>& images, std::vector<std::string>& findings,
                         bool& errorFlag) {
  runCheckPass(kFocalLength, images, findings, errorFlag);
}

void runGpsCheck(const std::vector<std::string>& images, std::vector<std::string>& findings,
                 bool& errorFlag) {
  runCheckPass(kGps, images, findings, errorFlag);
}
