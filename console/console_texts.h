// Every text the tool writes, in one place. The Chinese texts go out as their
// GBK (code page 936) bytes, which is what the users' consoles show; they are
// written here as byte escapes so the source stays UTF-8 and no compiler
// charset option matters. The readable text stands in the comment above each,
// and its UTF-8 form in the table at the end (kTextForms), which a terminal
// or a report that asks for UTF-8 gets instead.
#ifndef PHOTOCHECK_CONSOLE_CONSOLE_TEXTS_H
#define PHOTOCHECK_CONSOLE_CONSOLE_TEXTS_H

#include <string_view>

namespace texts {

// Run flow.
inline constexpr char kUsage[] = "usage: photocheck <settings file>";
inline constexpr char kOpenFileFailed[] = "open file failed!";
inline constexpr char kSettingsOpenError[] = "file open error";
inline constexpr char kImageFolderEmpty[] = "the image folder setting is empty";
inline constexpr char kOutputFolderEmpty[] = "the output folder setting is empty";
inline constexpr char kImageFolderHoldsNul[] = "the image folder setting holds a NUL byte";
inline constexpr char kOutputFolderHoldsNul[] = "the output folder setting holds a NUL byte";
inline constexpr char kSettingsTooLarge[] = "the settings file holds more than 1048576 bytes";
// "the settings file holds <n> values; 6 are needed", in two pieces around
// the count.
inline constexpr char kTooFewSettingsBefore[] = "the settings file holds ";
inline constexpr char kTooFewSettingsAfter[] = " values; 6 are needed";

// Folder scan; the text ends with a blank.
inline constexpr char kFolderNotFound[] = "can not found the file ... ";

// Check pass.
inline constexpr char kImageCount[] = "The number of images: ";

// Error report; followed by the report's path.
inline constexpr char kCannotWrite[] = "can not write ";

// "开始检测影像分辨率..." (21 bytes)
inline constexpr char kStartResolution[] =
    "\xbf\xaa\xca\xbc\xbc\xec\xb2\xe2\xd3\xb0\xcf\xf1\xb7\xd6\xb1\xe6\xc2\xca...";

// "开始检测相机制造商..." (21 bytes)
inline constexpr char kStartCameraMaker[] =
    "\xbf\xaa\xca\xbc\xbc\xec\xb2\xe2\xcf\xe0\xbb\xfa\xd6\xc6\xd4\xec\xc9\xcc...";

// "开始检测输入影像焦距..." (23 bytes)
inline constexpr char kStartFocalLength[] =
    "\xbf\xaa\xca\xbc\xbc\xec\xb2\xe2\xca\xe4\xc8\xeb\xd3\xb0\xcf\xf1\xbd\xb9\xbe\xe0...";

// "开始检测输入影像是否含有gps..." (30 bytes)
inline constexpr char kStartGps[] =
    "\xbf\xaa\xca\xbc\xbc\xec\xb2\xe2\xca\xe4\xc8\xeb\xd3\xb0\xcf\xf1\xca\xc7\xb7\xf1\xba\xac\xd3"
    "\xd0gps...";

// "\n检查影像的分辨率，相机制造商，焦距，含有GPS等指标均正常...\n" (60 bytes)
inline constexpr char kAllClear[] =
    "\n\xbc\xec\xb2\xe9\xd3\xb0\xcf\xf1\xb5\xc4\xb7\xd6\xb1\xe6\xc2\xca\xa3\xac\xcf\xe0\xbb\xfa\xd6"
    "\xc6\xd4\xec\xc9\xcc\xa3\xac\xbd\xb9\xbe\xe0\xa3\xac\xba\xac\xd3\xd0GPS\xb5\xc8\xd6\xb8\xb1"
    "\xea\xbe\xf9\xd5\xfd\xb3\xa3...\n";

// "检测分辨率的影像序列: " (22 bytes)
inline constexpr char kResolutionHeader[] =
    "\xbc\xec\xb2\xe2\xb7\xd6\xb1\xe6\xc2\xca\xb5\xc4\xd3\xb0\xcf\xf1\xd0\xf2\xc1\xd0: ";

// "检测相机制造商的影像序列: " (26 bytes)
inline constexpr char kCameraMakerHeader[] =
    "\xbc\xec\xb2\xe2\xcf\xe0\xbb\xfa\xd6\xc6\xd4\xec\xc9\xcc\xb5\xc4\xd3\xb0\xcf\xf1\xd0\xf2\xc1"
    "\xd0: ";

// "检测焦距的影像序列: " (20 bytes)
inline constexpr char kFocalLengthHeader[] =
    "\xbc\xec\xb2\xe2\xbd\xb9\xbe\xe0\xb5\xc4\xd3\xb0\xcf\xf1\xd0\xf2\xc1\xd0: ";

// "检测GPS信息的影像序列: " (23 bytes)
inline constexpr char kGpsHeader[] =
    "\xbc\xec\xb2\xe2GPS\xd0\xc5\xcf\xa2\xb5\xc4\xd3\xb0\xcf\xf1\xd0\xf2\xc1\xd0: ";

// "该类错误影像共：" (16 bytes)
inline constexpr char kGroupErrorCount[] =
    "\xb8\xc3\xc0\xe0\xb4\xed\xce\xf3\xd3\xb0\xcf\xf1\xb9\xb2\xa3\xba";

// "错误影像序列: " (14 bytes)
inline constexpr char kErrorImageNumber[] = "\xb4\xed\xce\xf3\xd3\xb0\xcf\xf1\xd0\xf2\xc1\xd0: ";

// "不相同的文件名为： " (19 bytes)
inline constexpr char kErrorImageName[] =
    "\xb2\xbb\xcf\xe0\xcd\xac\xb5\xc4\xce\xc4\xbc\xfe\xc3\xfb\xce\xaa\xa3\xba ";

// "影像分辨率不一致." (17 bytes)
inline constexpr char kResolutionDescription[] =
    "\xd3\xb0\xcf\xf1\xb7\xd6\xb1\xe6\xc2\xca\xb2\xbb\xd2\xbb\xd6\xc2.";

// "相机制造商不一致." (17 bytes)
inline constexpr char kCameraMakerDescription[] =
    "\xcf\xe0\xbb\xfa\xd6\xc6\xd4\xec\xc9\xcc\xb2\xbb\xd2\xbb\xd6\xc2.";

// "相机焦距不一致." (15 bytes)
inline constexpr char kFocalLengthDescription[] =
    "\xcf\xe0\xbb\xfa\xbd\xb9\xbe\xe0\xb2\xbb\xd2\xbb\xd6\xc2.";

// "没有gps信息." (12 bytes)
inline constexpr char kGpsDescription[] = "\xc3\xbb\xd3\xd0gps\xd0\xc5\xcf\xa2.";

// "没检测到影像数据." (17 bytes)
inline constexpr char kNoImageDescription[] =
    "\xc3\xbb\xbc\xec\xb2\xe2\xb5\xbd\xd3\xb0\xcf\xf1\xca\xfd\xbe\xdd.";

// Run settings: a folder setting of which no path can be made (on Windows a
// full path longer than the 32767 characters any path may have).
inline constexpr char kImageFolderPathTooLong[] =
    "the image folder setting is too long to be a path (over 32767 characters)";
inline constexpr char kOutputFolderPathTooLong[] =
    "the output folder setting is too long to be a path (over 32767 characters)";

// A run that cannot go on: the system gives the tool no more memory, file
// descriptors or threads than it has used, so the set cannot be checked to
// its end. The run's last line; the status is 1.
inline constexpr char kRunCannotGoOn[] =
    "photocheck stopped: out of memory, file descriptors or threads; the set was not checked";

// --help and --version, and the reasons a run that cannot start writes to
// standard error. Plain ASCII English: the same bytes in any encoding.

// What photocheck --help prints (docs/photocheck.1 says the same). Its
// first line is kUsage; every option of app/command_line.h stands in it (a
// test holds the two to each other).
inline constexpr char kHelp[] =
    "usage: photocheck <settings file>\n"
    "       photocheck [--page FILE] [--geojson FILE] [--charset UTF-8] [--quiet]\n"
    "                  <settings file>\n"
    "\n"
    "Checks a set of photographs before it goes into a 3-D reconstruction: lists\n"
    "every file below the image folder, reads the EXIF block of each JPEG and runs\n"
    "the checks the settings file switches on.\n"
    "\n"
    "Options, before or after the settings file (--page=FILE works too):\n"
    "  --page FILE      also write a page of the set to FILE (UTF-8 HTML, whether\n"
    "                   the set passed or not): the flagged photos, and a map of\n"
    "                   every photo with a GPS position\n"
    "  --geojson FILE   also write a GeoJSON report to FILE: one feature per listed\n"
    "                   file with its path, position, values and the checks that\n"
    "                   flagged it\n"
    "  --charset UTF-8  the console and error.json in UTF-8; --charset GBK: as\n"
    "                   without the option\n"
    "  --quiet          leave out the line per photo of each check; the findings,\n"
    "                   each check's groups and the verdict stay\n"
    "  -h, --help       show this help (on Windows also /?)\n"
    "  -V, --version    show the version and licence\n"
    "  --               end of the options: what follows is no option\n"
    "An argument that names an existing file is the settings file, whatever its\n"
    "name; any other argument that starts with \"-\" and is no option above stops\n"
    "the run before anything is read or written (status 1).\n"
    "\n"
    "The settings file holds \"key = value\" lines; \"#\" starts a comment. The values\n"
    "are taken in the byte order of their keys, not by the keys' names:\n"
    "  1st  focal length check: \"true\" to run it\n"
    "  2nd  GPS check: \"true\" to run it\n"
    "  3rd  camera maker check: \"true\" to run it\n"
    "  4th  resolution check: \"true\" to run it\n"
    "  5th  image folder, scanned with all its sub-folders\n"
    "  6th  output folder, which receives error.json (created when missing)\n"
    "Further values, and further arguments that are no option, are echoed and\n"
    "ignored.\n"
    "\n"
    "Exit status:\n"
    "  0  every check that ran found nothing, and the image folder holds a file\n"
    "  1  a check found an error, the image folder holds no file, or the\n"
    "     settings file or the command line cannot be used (the reason goes to\n"
    "     standard error)\n"
    "\n"
    "Report: a failing set writes error.json into the output folder and prints\n"
    "the same JSON on standard output.\n"
    "\n"
    "Output: GBK (code page 936) bytes on standard output and in error.json. A\n"
    "terminal whose locale is UTF-8 and installed (a Windows console: any code\n"
    "page) is shown the same text readably; a pipe or a file gets GBK unless\n"
    "--charset UTF-8 is given.\n"
    "\n"
    "Environment: each variable does what its option does, for every run it is\n"
    "set for; the option wins. (On Windows \"set NAME=...\" stays set for the rest\n"
    "of the console session, so a later run writes files nobody asked for: use\n"
    "the options there.)\n"
    "  PHOTOCHECK_HTML=FILE       as --page FILE\n"
    "  PHOTOCHECK_GEOJSON=FILE    as --geojson FILE\n"
    "  PHOTOCHECK_CHARSET=UTF-8   as --charset UTF-8 (any case; another value\n"
    "                             keeps GBK)";

// Ends the copyright line of photocheck --version.
inline constexpr char kLicence[] = "; MIT licence";

// Standard error, one line each, after "photocheck: ".
inline constexpr char kNoSettingsFileGiven[] =
    "no settings file given (photocheck --help tells how to use it)";
inline constexpr char kCannotOpenSettings[] = "cannot open settings file ";
inline constexpr char kSettingsFileNamed[] = "settings file ";
inline constexpr char kTooLargeReason[] = " is larger than 1048576 bytes";
// " holds <n> values; 6 are needed"
inline constexpr char kTooFewReasonBefore[] = " holds ";
inline constexpr char kTooFewReasonAfter[] = " values; 6 are needed";
inline constexpr char kImageFolderEmptyReason[] = ": the image folder value (the 5th) is empty";
inline constexpr char kOutputFolderEmptyReason[] = ": the output folder value (the 6th) is empty";
inline constexpr char kImageFolderNulReason[] =
    ": the image folder value (the 5th) holds a NUL byte";
inline constexpr char kOutputFolderNulReason[] =
    ": the output folder value (the 6th) holds a NUL byte";
inline constexpr char kImageFolderTooLongReason[] =
    ": the image folder value (the 5th) is too long to be a path";
inline constexpr char kOutputFolderTooLongReason[] =
    ": the output folder value (the 6th) is too long to be a path";
// "cannot list image folder "<folder>": <the system's reason>", then the
// hint when the folder value was cut at a "#".
inline constexpr char kCannotListImageFolder[] = "cannot list image folder ";
inline constexpr char kCutAtHashHint[] =
    " (the folder value ends before its \"#\": a \"#\" starts a comment)";
// After the reason of a sole argument that starts with "-" and names no file,
// and of a command line that is refused.
inline constexpr char kHelpHint[] = " (photocheck --help tells how to use it)";
// A command line that is refused: "unknown option "--x"", "option "--page"
// needs a value", "option "--quiet" takes no value", "option "--charset"
// takes UTF-8 or GBK, not "x"", each followed by kHelpHint.
inline constexpr char kUnknownOption[] = "unknown option ";
inline constexpr char kOptionNamed[] = "option ";
inline constexpr char kNeedsValue[] = " needs a value";
inline constexpr char kTakesNoValue[] = " takes no value";
inline constexpr char kCharsetValues[] = " takes UTF-8 or GBK, not ";
// A run ended by a fault of the tool's own (Windows: an unhandled exception,
// abort): the one line on standard error, followed by the fault's code.
inline constexpr char kEndedByFault[] = "photocheck: ended by a fault; the set was not checked";
// The same after the verdict was printed: that verdict and its status stand
// for the set, only the side files being made may be missing.
inline constexpr char kEndedByFaultAfterCheck[] =
    "photocheck: ended by a fault after the check; its verdict stands, side files may be missing";
// The HTML page that PHOTOCHECK_HTML asks for cannot be written; followed by
// the page's path.
inline constexpr char kCannotWritePage[] = "can not write the HTML page ";

// The GeoJSON report that PHOTOCHECK_GEOJSON asks for cannot be written;
// followed by its path.
inline constexpr char kCannotWriteGeoJson[] = "can not write the GeoJSON report ";
// After the side files, when PHOTOCHECK_GROUND_M is set to something that is
// not a plain number of metres; the value follows.
inline constexpr char kGroundHeightNotUsed[] =
    "PHOTOCHECK_GROUND_M is not a number of metres and was not used: ";

// The UTF-8 form of every text above that is not plain ASCII, beside its GBK
// form: what a UTF-8 terminal, a Windows console and a UTF-8 report show. A
// plain ASCII text is the same bytes in both and is not listed. A test checks
// each UTF-8 form against iconv's reading of the GBK bytes.
struct TextForms {
  const char* gbk;
  const char* utf8;
};

// clang-format off
inline constexpr TextForms kTextForms[] = {
    {kStartResolution,        u8"开始检测影像分辨率..."},
    {kStartCameraMaker,       u8"开始检测相机制造商..."},
    {kStartFocalLength,       u8"开始检测输入影像焦距..."},
    {kStartGps,               u8"开始检测输入影像是否含有gps..."},
    {kAllClear,               u8"\n检查影像的分辨率，相机制造商，焦距，含有GPS等指标均正常...\n"},
    {kResolutionHeader,       u8"检测分辨率的影像序列: "},
    {kCameraMakerHeader,      u8"检测相机制造商的影像序列: "},
    {kFocalLengthHeader,      u8"检测焦距的影像序列: "},
    {kGpsHeader,              u8"检测GPS信息的影像序列: "},
    {kGroupErrorCount,        u8"该类错误影像共："},
    {kErrorImageNumber,       u8"错误影像序列: "},
    {kErrorImageName,         u8"不相同的文件名为： "},
    {kResolutionDescription,  u8"影像分辨率不一致."},
    {kCameraMakerDescription, u8"相机制造商不一致."},
    {kFocalLengthDescription, u8"相机焦距不一致."},
    {kGpsDescription,         u8"没有gps信息."},
    {kNoImageDescription,     u8"没检测到影像数据."},
};
// clang-format on

// The UTF-8 form of `text`, a text of this header: its row's, or the text
// itself when no row holds it (plain ASCII).
inline const char* utf8FormOf(const char* text) {
  // The texts are passed as these very arrays: their addresses find the row
  // without comparing bytes (a check pass asks once per photo).
  for (const TextForms& forms : kTextForms) {
    if (text == forms.gbk) return forms.utf8;
  }
  const std::string_view gbk(text);
  for (const TextForms& forms : kTextForms) {
    if (gbk == forms.gbk) return forms.utf8;
  }
  return text;
}

}  // namespace texts

#endif  // PHOTOCHECK_CONSOLE_CONSOLE_TEXTS_H
