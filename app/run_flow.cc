#include "app/run_flow.h"

#include <array>
#include <cstdint>
#include <iostream>
#include <iterator>
#include <new>
#include <optional>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "app/settings.h"
#include "app/side_files.h"
#include "checks/check_findings.h"
#include "checks/check_pass.h"
#include "checks/check_table.h"
#include "console/console.h"
#include "console/console_texts.h"
#include "inventory/folder_scan.h"
#include "platform/path_list.h"
#include "platform/platform.h"
#include "reading/image_facts.h"
#include "report/error_report.h"

namespace {

constexpr std::size_t kSettingsNeeded = 6;
constexpr std::size_t kImageFolderPosition = 4;
constexpr std::size_t kOutputFolderPosition = 5;

// Each check row's switch in the run settings, in row order.
constexpr std::array<std::string RunSettings::*, kCheckCount> kSwitchOf = {
    &RunSettings::checkResolution, &RunSettings::checkCameraMaker, &RunSettings::checkFocalLength,
    &RunSettings::checkGps};

// The settings file path, then every further argument that is no option
// after an empty line (each argument's position in argv; the options are
// not echoed).
void echoArguments(const char* const* argv, const platform::FilePath& settingsPath,
                   const std::vector<int>& positionals) {
  console::line(settingsPath.text);
  for (std::size_t i = 1; i < positionals.size(); ++i) {
    console::endLine();
    console::line(argv[positionals[i]]);
  }
}

// One line on standard error, "photocheck: " and the reason, for a run that
// cannot start. Standard output stays as it is: callers that parse it see the
// same bytes as always.
void tellWhy(const std::string& reason) {
  const std::string text = "photocheck: " + reason + "\n";
  console::flush();
  platform::writeStandardStream(platform::StandardStream::error, text);
}

std::string quoted(const platform::FilePath& path) { return "\"" + path.text + "\""; }

// The command line sorted into the settings file, the echoed arguments and
// the options, each argument taken as typed (on Windows from its UTF-16
// form). A file called "--help" is still a settings file.
CommandLine commandLineOf(int argc, const char* const* argv) {
  std::vector<std::string> arguments = {argv[0]};
  for (int i = 1; i < argc; ++i) arguments.push_back(platform::argumentText(argc, argv, i, 0));
  return parseCommandLine(arguments, platform::kPathSeparator == '\\',
                          [&arguments](int i) { return platform::pathExists(arguments[i]); });
}

// A command line that is refused prints what a run whose settings file does
// not open prints (for a mistyped option before the settings file, the bytes
// such a run printed before there were options): every argument echoed, then
// "open file failed!"; standard error says why. Nothing is read or written.
int refuseCommandLine(int argc, const char* const* argv, const std::string& why) {
  std::vector<int> all;
  for (int i = 1; i < argc; ++i) all.push_back(i);
  echoArguments(argv, platform::argumentPath(argc, argv, 1), all);
  console::line(texts::kOpenFileFailed);
  tellWhy(why);
  return 1;
}

// The path an option gives, or else its variable's.
std::string sideFilePath(int argc, const char* const* argv,
                         const std::optional<ArgumentPiece>& option, std::string (*variable)()) {
  if (!option) return variable();
  return platform::argumentText(argc, argv, option->argument, option->from);
}

// Reads the settings file, echoes it, and takes the six values by position.
// False (after its console line) when the run cannot go on: a file that does
// not open or holds more than the limit; fewer than six values, or an empty
// folder text, which would make the run scan or write into the root of the
// drive; a folder text holding a zero byte, or one too long to be a path.
// It stops before anything is created or scanned.
// A sole argument that starts with "-" and names no file is likely a
// mistyped option (--hlep): its reason then points to --help.
bool readRunSettings(const platform::FilePath& path, bool soleArgument, RunSettings& settings) {
  std::string text;
  std::string why;
  switch (readSettingsText(path, text, &why)) {
    case SettingsRead::cannotOpen:
      console::line(texts::kOpenFileFailed);
      tellWhy(texts::kCannotOpenSettings + quoted(path) + ": " +
              (why.empty() ? std::string("cannot be read") : why) +
              (soleArgument && path.text.rfind('-', 0) == 0 && !platform::pathExists(path.text)
                   ? texts::kHelpHint
                   : ""));
      return false;
    case SettingsRead::tooLarge:
      console::line(texts::kSettingsTooLarge);
      tellWhy(texts::kSettingsFileNamed + quoted(path) + texts::kTooLargeReason);
      return false;
    case SettingsRead::ok:
      break;
  }
  SettingsMap settingsMap;
  parseSettingsText(text, settingsMap);
  std::vector<std::string> values;
  settingsInKeyOrder(settingsMap, values);
  if (values.size() < kSettingsNeeded) {
    console::write(texts::kTooFewSettingsBefore);
    console::write(values.size());
    console::write(texts::kTooFewSettingsAfter);
    console::endLine();
    tellWhy(texts::kSettingsFileNamed + quoted(path) + texts::kTooFewReasonBefore +
            std::to_string(values.size()) + texts::kTooFewReasonAfter);
    return false;
  }
  settings.imageFolder = values[kImageFolderPosition];
  settings.imageFolderCutAtHash =
      valueCutAtHash(text, std::next(settingsMap.begin(), kImageFolderPosition)->first);
  settings.outputFolder = values[kOutputFolderPosition];
  for (std::size_t i = 0; i < kCheckCount; ++i) {
    settings.*kSwitchOf[i] = values[kCheckRows[i].settingsPosition];
  }
  // The first failing test alone is told. A zero byte would cut the folder
  // text short in every call that takes it, so "out.txt<NUL>/reports" would
  // write over out.txt.
  const char* problem = nullptr;
  const char* reason = nullptr;
  if (settings.imageFolder.empty()) {
    problem = texts::kImageFolderEmpty;
    reason = texts::kImageFolderEmptyReason;
  } else if (settings.outputFolder.empty()) {
    problem = texts::kOutputFolderEmpty;
    reason = texts::kOutputFolderEmptyReason;
  } else if (settings.imageFolder.find('\0') != std::string::npos) {
    problem = texts::kImageFolderHoldsNul;
    reason = texts::kImageFolderNulReason;
  } else if (settings.outputFolder.find('\0') != std::string::npos) {
    problem = texts::kOutputFolderHoldsNul;
    reason = texts::kOutputFolderNulReason;
  } else if (!platform::pathCanBeMade(settings.imageFolder)) {
    problem = texts::kImageFolderPathTooLong;
    reason = texts::kImageFolderTooLongReason;
  } else if (!platform::pathCanBeMade(settings.outputFolder)) {
    problem = texts::kOutputFolderPathTooLong;
    reason = texts::kOutputFolderTooLongReason;
  }
  if (problem != nullptr) {
    console::line(problem);
    tellWhy(texts::kSettingsFileNamed + quoted(path) + reason);
    return false;
  }
  return true;
}

// What the checks of a run found, beyond the findings and flags: what the
// first pass kept of the images (each image's facts, its reported images
// marked with their checks' bits, only when a side file is asked for) and
// which checks ran.
struct RunRecord {
  KeptImages kept;
  std::array<bool, kCheckCount> ran{};
};

// A run that found nothing to check says why when the image folder cannot be
// listed (missing, not a folder, no permission): the console's "can not found
// the file" line names neither the folder nor the reason. An empty folder
// says nothing more.
void tellWhyNothingWasListed(const RunSettings& settings) {
  const std::string why = platform::whyFolderCannotBeListed(settings.imageFolder);
  if (why.empty()) return;
  tellWhy(texts::kCannotListImageFolder + quoted(settings.imageFolder) + ": " + why +
          (settings.imageFolderCutAtHash ? texts::kCutAtHashHint : ""));
}

// Runs, in row order, each check whose switch is exactly "true" (the same
// four bytes: not "True", not "true " and not "1"). The first of them reads
// every image; the others use what it kept. With `keepFacts` (a side file
// shows the values after the run) every image's facts are kept whole.
void runSwitchedOnChecks(const RunSettings& settings, const platform::PathList& images,
                         CheckFindings& findings, CheckFlags& flags, bool keepFacts,
                         RunRecord& record) {
  record.kept.keepFacts = keepFacts;
  bool first = true;
  for (std::size_t i = 0; i < kCheckCount; ++i) {
    if (settings.*kSwitchOf[i] != "true") continue;
    if (!first) record.kept.laterChecks.push_back(&kCheckRows[i]);
    first = false;
  }
  for (std::size_t i = 0; i < kCheckCount; ++i) {
    const CheckRow& check = kCheckRows[i];
    if (settings.*kSwitchOf[i] != "true") continue;
    console::textLine(check.startLine);
    runCheckPass(check, images, record.kept, findings.*check.findings, flags[i],
                 static_cast<std::uint8_t>(1u << i));
    record.ran[i] = true;
    // The reading threads have ended with the first pass: from here to the
    // side files, a shortage takes the kept facts before it stops the run.
    if (keepFacts) letFactsGoWhenShort(&record.kept);
  }
}

// The error report when a check found anything, else the all-clear line, or
// the no-image report for an empty set. Returns the exit status.
int endRun(const RunSettings& settings, std::size_t imageCount, const CheckFindings& findings,
           const CheckFlags& flags) {
  for (const bool flag : flags) {
    if (!flag) continue;
    writeErrorReport(findings, flags, settings.outputFolder);
    return 1;
  }
  if (imageCount != 0) {
    console::textLine(texts::kAllClear);
    return 0;
  }
  writeNoImageReport(settings.outputFolder);
  return 1;
}

// The console line of each asked side file, as not written.
void tellSideFilesLost(const std::string& pagePath, const std::string& geoJsonPath) {
  if (!pagePath.empty()) {
    console::write(texts::kCannotWritePage);
    console::line(pagePath);
  }
  if (!geoJsonPath.empty()) {
    console::write(texts::kCannotWriteGeoJson);
    console::line(geoJsonPath);
  }
}

// Ends the run as endRun does, then writes the side files whose paths are
// not empty. They never change the status. Facts let go of during the run
// (memory ran short) leave nothing to write them from.
int finishRun(const RunSettings& settings, const platform::FilePath& settingsPath,
              const platform::PathList& images, const CheckFindings& findings,
              const CheckFlags& flags, const RunRecord& record, const std::string& pagePath,
              const std::string& geoJsonPath) {
  const int status = endRun(settings, images.size(), findings, flags);
  // The side files are made on threads of their own, and their shortage
  // loses them alone: the facts stay theirs from here.
  letFactsGoWhenShort(nullptr);
  // The verdict is out once its lines have left the console's buffer: a
  // fault from here on (while the side files are made) no longer means an
  // unchecked set.
  console::flush();
  platform::noteVerdictPrinted();
  if (pagePath.empty() && geoJsonPath.empty()) return status;
  if (record.kept.factsDropped) {
    tellSideFilesLost(pagePath, geoJsonPath);
    return status;
  }
  try {
    SideFileRun run;
    run.status = status;
    run.settings = {{"focal length check", settings.checkFocalLength},
                    {"GPS check", settings.checkGps},
                    {"camera maker check", settings.checkCameraMaker},
                    {"resolution check", settings.checkResolution},
                    {"image folder", settings.imageFolder},
                    {"output folder", settings.outputFolder}};
    run.version = PHOTOCHECK_VERSION_TEXT;
    run.settingsPath = settingsPath;
    run.imageFolder = settings.imageFolder;
    run.outputFolder = settings.outputFolder;
    run.images = &images;
    run.facts = &record.kept.facts;
    run.ran = record.ran;
    run.flightTexts = record.kept.flightTexts.get();
    run.groundText = platform::groundHeightText();
    writeSideFiles(run, pagePath, geoJsonPath);
  } catch (const std::bad_alloc&) {
    // Not even their description fits: each is told as not written.
    tellSideFilesLost(pagePath, geoJsonPath);
  }
  return status;
}

}  // namespace

int runPhotocheck(int argc, const char* const* argv) {
  if (argc < 2) {
    // A caller must never read a run that did nothing as a passed set.
    console::line(texts::kUsage);
    tellWhy(texts::kNoSettingsFileGiven);
    return 1;
  }
  const CommandLine line = commandLineOf(argc, argv);
  switch (line.action) {
    case CommandLine::Action::help:
      console::line(texts::kHelp);
      return 0;
    case CommandLine::Action::version:
      console::line(std::string("photocheck ") + PHOTOCHECK_VERSION_TEXT);
      console::line(std::string(PHOTOCHECK_COPYRIGHT) + texts::kLicence);
      return 0;
    case CommandLine::Action::refused:
      return refuseCommandLine(argc, argv, line.refusal);
    case CommandLine::Action::run:
      break;
  }
  if (line.utf8) console::useCharset(*line.utf8);
  console::setQuiet(line.quiet);
  // The settings file by the name the user typed, also where the code page
  // cannot hold it.
  const platform::FilePath settingsPath = platform::argumentPath(argc, argv, line.positionals[0]);
  echoArguments(argv, settingsPath, line.positionals);
  console::flush();  // the echo before the settings file is read
  RunSettings settings;
  if (!readRunSettings(settingsPath, argc == 2, settings)) return 1;

  // Silent either way: a report that later cannot be written says so itself.
  if (!platform::pathExists(settings.outputFolder)) platform::makeFolders(settings.outputFolder);

  const platform::PathList images = listFolderFiles(settings.imageFolder);
  if (images.empty()) tellWhyNothingWasListed(settings);
  CheckFindings findings;
  CheckFlags flags{};
  const std::string pagePath = sideFilePath(argc, argv, line.page, platform::htmlPagePath);
  const std::string geoJsonPath = sideFilePath(argc, argv, line.geoJson, platform::geoJsonPath);
  RunRecord record;
  const bool keepFacts = !pagePath.empty() || !geoJsonPath.empty();
  runSwitchedOnChecks(settings, images, findings, flags, keepFacts, record);
  return finishRun(settings, settingsPath, images, findings, flags, record, pagePath, geoJsonPath);
}
