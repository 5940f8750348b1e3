#include "checks/checks.h"

#include "checks/check_pass.h"
#include "checks/check_table.h"
#include "checks/value_texts.h"
#include "console/console_texts.h"

// clang-format off
const std::array<CheckRow, kCheckCount> kCheckRows = {{
  {3, texts::kStartResolution, texts::kResolutionHeader, resolutionValueText,
   resolutionValueText, ReportingRule::consistencyComparison, "", 101,
   texts::kResolutionDescription, &CheckFindings::resolutionImages},
  {2, texts::kStartCameraMaker, texts::kCameraMakerHeader, cameraMakerValueText,
   cameraMakerValueTextCopied, ReportingRule::consistencyComparison, "", 102,
   texts::kCameraMakerDescription, &CheckFindings::cameraMakerImages},
  {0, texts::kStartFocalLength, texts::kFocalLengthHeader, focalLengthValueText,
   focalLengthValueText, ReportingRule::missingValueReport, "0", 103,
   texts::kFocalLengthDescription, &CheckFindings::focalLengthImages},
  {1, texts::kStartGps, texts::kGpsHeader, gpsValueText,
   gpsValueText, ReportingRule::missingValueReport, "1", 104,
   texts::kGpsDescription, &CheckFindings::gpsImages},
}};
// clang-format on

void runResolutionCheck(const std::vector<platform::FilePath>& images,
                        std::vector<std::string>& findings, bool& errorFlag) {
  std::vector<ImageFacts> facts;
  runCheckPass(kCheckRows[0], images, facts, findings, errorFlag);
}

void runCameraMakerCheck(const std::vector<platform::FilePath>& images,
                         std::vector<std::string>& findings, bool& errorFlag) {
  std::vector<ImageFacts> facts;
  runCheckPass(kCheckRows[1], images, facts, findings, errorFlag);
}

void runFocalLengthCheck(const std::vector<platform::FilePath>& images,
                         std::vector<std::string>& findings, bool& errorFlag) {
  std::vector<ImageFacts> facts;
  runCheckPass(kCheckRows[2], images, facts, findings, errorFlag);
}

void runGpsCheck(const std::vector<platform::FilePath>& images, std::vector<std::string>& findings,
                 bool& errorFlag) {
  std::vector<ImageFacts> facts;
  runCheckPass(kCheckRows[3], images, facts, findings, errorFlag);
}
