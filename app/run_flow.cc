#include "app/run_flow.h"

#include <fstream>
#include <vector>

#include "app/console.h"
#include "app/console_texts.h"
#include "app/settings.h"
#include "checks/check_findings.h"
#include "checks/checks.h"
#include "inventory/folder_scan.h"
#include "platform/platform.h"
#include "report/error_report.h"

namespace {

constexpr std::size_t kSettingsNeeded = 6;

}  // namespace

int runPhotocheck(int argc, const char* const* argv) {
  if (argc < 2) {
    // A caller must never read a run that did nothing as a passed set.
    console::line(texts::kUsage);
    return 1;
  }
  console::line(argv[1]);
  for (int i = 2; i < argc; ++i) {
    console::endLine();
    console::line(argv[i]);
  }

  // Only the open test: the file stays open, unread, until the run ends.
  std::ifstream settingsFile(argv[1]);
  if (!settingsFile) {
    console::line(texts::kOpenFileFailed);
    return 1;
  }

  SettingsMap settingsMap;
  loadSettings(argv[1], settingsMap);
  std::vector<std::string> values;
  settingsInKeyOrder(settingsMap, values);

  // Fewer than six values, or an empty folder text, would make the run scan
  // or write into the root of the drive: stop before anything is created.
  if (values.size() < kSettingsNeeded) {
    console::write("the settings file holds ");
    console::write(values.size());
    console::write(" values; 6 are needed");
    console::endLine();
    return 1;
  }
  RunSettings settings;
  settings.checkFocalLength = values[0];
  settings.checkGps = values[1];
  settings.checkCameraMaker = values[2];
  settings.checkResolution = values[3];
  settings.imageFolder = values[4];
  settings.outputFolder = values[5];
  if (settings.imageFolder.empty()) {
    console::line(texts::kImageFolderEmpty);
    return 1;
  }
  if (settings.outputFolder.empty()) {
    console::line(texts::kOutputFolderEmpty);
    return 1;
  }

  // Silent either way: a report that later cannot be written says so itself.
  if (!platform::pathExists(settings.outputFolder)) platform::makeFolders(settings.outputFolder);

  const std::vector<std::string> images = listFolderFiles(settings.imageFolder);
  const std::size_t imageCount = images.size();

  CheckFindings findings;
  bool resolutionFlag = false;
  bool cameraMakerFlag = false;
  bool focalLengthFlag = false;
  bool gpsFlag = false;
  // A switch is on only when it is exactly these four bytes.
  const std::string on = "true";
  if (settings.checkResolution == on) {
    console::line(texts::kStartResolution);
    runResolutionCheck(images, findings.resolutionImages, resolutionFlag);
  }
  if (settings.checkCameraMaker == on) {
    console::line(texts::kStartCameraMaker);
    runCameraMakerCheck(images, findings.cameraMakerImages, cameraMakerFlag);
  }
  if (settings.checkFocalLength == on) {
    console::line(texts::kStartFocalLength);
    runFocalLengthCheck(images, findings.focalLengthImages, focalLengthFlag);
  }
  if (settings.checkGps == on) {
    console::line(texts::kStartGps);
    runGpsCheck(images, findings.gpsImages, gpsFlag);
  }

  if (resolutionFlag || cameraMakerFlag || focalLengthFlag || gpsFlag) {
    writeErrorReport(findings, settings.outputFolder, resolutionFlag, cameraMakerFlag,
                     focalLengthFlag, gpsFlag);
    return 1;
  }
  if (imageCount != 0) {
    console::line(texts::kAllClear);
    return 0;
  }
  writeNoImageReport(settings.outputFolder);
  return 1;
}
