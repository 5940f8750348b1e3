// Fuzz target for a whole check run: the input is cut into up to four image
// files in a scratch folder, which is scanned and put through all four checks
// and the error report, as one run of the tool would. Besides not crashing,
// each check's flag must be set exactly when it recorded a name, every name
// must be one of the files, and the report text must be one line.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <string>

#include "checks/check_findings.h"
#include "checks/checks.h"
#include "fuzz/fuzz_scratch.h"
#include "inventory/folder_scan.h"
#include "report/error_report.h"
#include "tests/support/temp_folder.h"

namespace {

namespace fs = std::filesystem;

void checkFindings(const std::vector<std::string>& findings, bool flag,
                   const std::set<std::string>& names, std::size_t imageCount) {
  if (flag != !findings.empty()) std::abort();
  if (findings.size() > imageCount) std::abort();
  for (const std::string& name : findings) {
    if (names.count(name) == 0) std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const fs::path folder = [] {
    fuzzscratch::silenceConsole();
    return fs::path(fuzzscratch::folder()) / "images";
  }();
  std::error_code ignored;
  fs::remove_all(folder, ignored);
  fs::create_directories(folder);

  // The first byte says how many files (1 to 4); the rest is cut evenly.
  const std::size_t fileCount = size == 0 ? 1 : 1 + data[0] % 4;
  const std::uint8_t* body = size == 0 ? data : data + 1;
  const std::size_t bodySize = size == 0 ? 0 : size - 1;
  std::set<std::string> names;
  for (std::size_t i = 0; i < fileCount; ++i) {
    const std::size_t begin = bodySize * i / fileCount;
    const std::size_t end = bodySize * (i + 1) / fileCount;
    const std::string name = "photo" + std::to_string(i) + ".jpg";
    writeFileBytes((folder / name).string(),
                   std::string(reinterpret_cast<const char*>(body) + begin, end - begin));
    names.insert(name);
  }

  const platform::PathList images = listFolderFiles(folder.string());
  if (images.size() != fileCount) std::abort();
  CheckFindings findings;
  CheckFlags flags{};
  runResolutionCheck(images, findings.resolutionImages, flags[0]);
  runCameraMakerCheck(images, findings.cameraMakerImages, flags[1]);
  runFocalLengthCheck(images, findings.focalLengthImages, flags[2]);
  runGpsCheck(images, findings.gpsImages, flags[3]);
  checkFindings(findings.resolutionImages, flags[0], names, fileCount);
  checkFindings(findings.cameraMakerImages, flags[1], names, fileCount);
  checkFindings(findings.focalLengthImages, flags[2], names, fileCount);
  checkFindings(findings.gpsImages, flags[3], names, fileCount);

  const std::string report = errorReportText(findings, flags);
  if (report.find('\n') != std::string::npos || report.find('\r') != std::string::npos) {
    std::abort();
  }
  return 0;
}
