#include "checks/checks.h"

#include "checks/check_pass.h"
#include "checks/check_table.h"
#include "checks/value_texts.h"
#include "console/console_texts.h"

// clang-format off
const std::array<CheckRow, kCheckCount> kCheckRows = {{
  {3, texts::kStartResolution, texts::kResolutionHeader, resolutionValueText,
   ReportingRule::consistencyComparison, "", 101, texts::kResolutionDescription,
   &CheckFindings::resolutionImages},
  {2, texts::kStartCameraMaker, texts::kCameraMakerHeader, cameraMakerValueText,
   ReportingRule::consistencyComparison, "", 102, texts::kCameraMakerDescription,
   &CheckFindings::cameraMakerImages},
  {0, texts::kStartFocalLength, texts::kFocalLengthHeader, focalLengthValueText,
   ReportingRule::missingValueReport, "0", 103, texts::kFocalLengthDescription,
   &CheckFindings::focalLengthImages},
  {1, texts::kStartGps, texts::kGpsHeader, gpsValueText,
   ReportingRule::missingValueReport, "1", 104, texts::kGpsDescription,
   &CheckFindings::gpsImages},
}};
// clang-format on

void runResolutionCheck(const platform::PathList& images, std::vector<std::string>& findings,
                        bool& errorFlag) {
  KeptImages kept;
  runCheckPass(kCheckRows[0], images, kept, findings, errorFlag);
}

void runCameraMakerCheck(const platform::PathList& images, std::vector<std::string>& findings,
                         bool& errorFlag) {
  KeptImages kept;
  runCheckPass(kCheckRows[1], images, kept, findings, errorFlag);
}

void runFocalLengthCheck(const platform::PathList& images, std::vector<std::string>& findings,
                         bool& errorFlag) {
  KeptImages kept;
  runCheckPass(kCheckRows[2], images, kept, findings, errorFlag);
}

void runGpsCheck(const platform::PathList& images, std::vector<std::string>& findings,
                 bool& errorFlag) {
  KeptImages kept;
  runCheckPass(kCheckRows[3], images, kept, findings, errorFlag);
}
