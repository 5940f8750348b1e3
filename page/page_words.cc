#include "page/page_words.h"

#include <array>

namespace {

struct WordForms {
  Word word;
  const char* zh;
  const char* en;
};

// One row per word, in Word order (checked where the table is used). The
// checks' Chinese names are the console's (检测分辨率的影像序列 and the like);
// 影像 is its word for a photo.
// clang-format off
constexpr WordForms kWords[] = {
    {Word::setPassed,          u8"影像检查通过",                  "The set passed"},
    {Word::setFailed,          u8"影像检查未通过",                "The set failed"},
    {Word::images,             u8"张影像",                        "images"},
    {Word::exitStatus,         u8"退出状态",                      "exit status"},
    {Word::noFileInFolder,     u8"影像文件夹中没有文件",          "the image folder holds no file"},
    {Word::checkedAt,          u8"检查时间",                      "checked"},
    {Word::version,            u8"版本",                          "version"},
    {Word::imageFolder,        u8"影像文件夹",                    "image folder"},
    {Word::otherLanguage,      "English",                         u8"中文"},
    {Word::resolution,         u8"分辨率",                        "resolution"},
    {Word::cameraMaker,        u8"相机制造商",                    "camera maker"},
    {Word::focalLength,        u8"焦距",                          "focal length"},
    {Word::gps,                "GPS",                             "GPS"},
    {Word::notRun,             u8"未检测",                        "not run"},
    {Word::check,              u8"检测",                          "check"},
    {Word::flagged,            u8"错误影像",                      "flagged"},
    {Word::flaggedPhotos,      u8"错误影像",                      "Flagged photos"},
    {Word::noneFlagged,        u8"没有错误影像",                  "No photo was flagged"},
    {Word::path,               u8"路径",                          "path"},
    {Word::checks,             u8"检测",                          "checks"},
    {Word::valueOrReason,      u8"值或原因",                      "value or reason"},
    {Word::map,                u8"地图",                          "Map"},
    {Word::positionedPhotos,   u8"张影像有GPS位置，按拍摄时间连线（无拍摄时间的按列表顺序）",
                               "photos with a GPS position, joined in capture order (list order where none)"},
    {Word::mapHint,            u8"滚轮或双指缩放，拖动平移；点击圆点查看详情，点击路径找到圆点",
                               "wheel or pinch to zoom, drag to pan; click a dot for its details, a path to find its dot"},
    {Word::resetView,          u8"复位",                          "Reset view"},
    {Word::passed,             u8"通过",                          "passed"},
    {Word::ringMeans,          u8"黑圈：多项检测的错误影像",      "black ring: flagged by more than one check"},
    {Word::gpsNotOnMap,        u8"GPS错误影像没有位置，不在地图上（见旁边的列表）",
                               "a photo flagged by the GPS check has no position: it is listed beside the map, not on it"},
    {Word::withoutPosition,    u8"没有可用GPS位置的影像",         "Without a usable GPS position"},
    {Word::photoDetails,       u8"点击圆点查看影像详情",          "Click a dot to see its photo"},
    {Word::allChecks,          u8"各项检测",                      "Checks"},
    {Word::photos,             u8"张",                            "photos"},
    {Word::flaggedGroup,       u8"错误",                          "flagged"},
    {Word::settings,           u8"设置",                          "Settings"},
    {Word::withFocalLength,    u8"35 mm等效焦距",                 "35 mm focal length"},
    {Word::withoutFocalLength, u8"没有35 mm等效焦距",             "without 35 mm focal length"},
    {Word::withGps,            u8"有GPS位置",                     "with GPS position"},
    {Word::withoutGps,         u8"没有GPS位置",                   "without GPS position"},
    {Word::noMaker,            u8"（无制造商）",                  "(no maker)"},
    {Word::cannotBeChecked,    u8"无法检测",                      "cannot be checked"},
    {Word::missing,            u8"文件已不存在",                  "missing"},
    {Word::notRegularFile,     u8"不是普通文件",                  "not a regular file"},
    {Word::cannotRead,         u8"无法读取",                      "cannot be read"},
    {Word::endsEarly,          u8"文件不完整",                    "the file ends early"},
    {Word::notJpeg,            u8"不是JPEG文件",                  "not a JPEG"},
    {Word::noExif,             u8"没有EXIF数据",                  "no EXIF block"},
    {Word::exifDamaged,        u8"EXIF数据已损坏",                "EXIF block damaged"},
    {Word::position,           u8"位置",                          "position"},
    {Word::captured,           u8"拍摄时间",                      "captured"},
    {Word::focalLengthCheck,   u8"焦距检测",                      "focal length check"},
    {Word::gpsCheck,           u8"GPS检测",                       "GPS check"},
    {Word::cameraMakerCheck,   u8"相机制造商检测",                "camera maker check"},
    {Word::resolutionCheck,    u8"分辨率检测",                    "resolution check"},
    {Word::outputFolder,       u8"输出文件夹",                    "output folder"},
    {Word::showMore,           u8"显示更多",                      "show more"},
    {Word::runId,              u8"运行编号",                      "run"},
};
// clang-format on

constexpr bool inWordOrder() {
  for (std::size_t i = 0; i < std::size(kWords); ++i) {
    if (static_cast<std::size_t>(kWords[i].word) != i) return false;
  }
  return std::size(kWords) == static_cast<std::size_t>(Word::count);
}
static_assert(inWordOrder(), "kWords holds each word once, in Word order");

// The words go into the page's script as they are: none may hold what would
// end a script string or the script element, or what HTML text would escape.
constexpr bool plainText(const char* text) {
  for (; *text != '\0'; ++text) {
    if (*text == '"' || *text == '\'' || *text == '\\' || *text == '<' || *text == '&')
      return false;
  }
  return true;
}

constexpr bool allPlain() {
  for (const WordForms& forms : kWords) {
    if (!plainText(forms.zh) || !plainText(forms.en)) return false;
  }
  return true;
}
static_assert(allPlain(), "the words need no escaping in markup or script");

}  // namespace

void appendWord(std::string& page, Word word) {
  const std::size_t index = static_cast<std::size_t>(word);
  if (index >= std::size(kWords)) return;  // Word::count: no word
  page += "<span data-t=";
  page += std::to_string(index);
  page += '>';
  page += kWords[index].zh;
  page += "</span>";
}

void appendWordLists(std::string& page) {
  for (const bool english : {false, true}) {
    page += english ? "],en:[" : "var W={zh:[";
    for (const WordForms& forms : kWords) {
      page += '"';
      page += english ? forms.en : forms.zh;
      page += "\",";
    }
  }
  page += "]};\n";
}

Word checkWord(std::size_t row) {
  constexpr std::array<Word, 4> kCheckWords = {Word::resolution, Word::cameraMaker,
                                               Word::focalLength, Word::gps};
  return row < kCheckWords.size() ? kCheckWords[row] : Word::count;
}

Word problemWord(ImageProblem problem) {
  switch (problem) {
    case ImageProblem::none:
      return Word::count;
    case ImageProblem::missing:
      return Word::missing;
    case ImageProblem::notRegularFile:
      return Word::notRegularFile;
    case ImageProblem::cannotRead:
      return Word::cannotRead;
    case ImageProblem::notJpeg:
      return Word::notJpeg;
    case ImageProblem::noExif:
      return Word::noExif;
    case ImageProblem::exifDamaged:
      return Word::exifDamaged;
  }
  return Word::count;
}

Word settingWord(std::string_view meaning) {
  for (const Word word : {Word::focalLengthCheck, Word::gpsCheck, Word::cameraMakerCheck,
                          Word::resolutionCheck, Word::imageFolder, Word::outputFolder}) {
    if (meaning == kWords[static_cast<std::size_t>(word)].en) return word;
  }
  return Word::count;
}
