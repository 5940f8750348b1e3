#include "page/page_words.h"

#include <array>

#include "readiness/thresholds.h"

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
    // Said alike in every layout: the list of photos without a position
    // stands beside the map, below it or (on paper) not at all, while the
    // flagged table always holds them.
    {Word::gpsNotOnMap,        u8"GPS错误影像没有位置，不在地图上，列在错误影像表中",
                               "a photo flagged by the GPS check has no position: it is not on the map but in the flagged table"},
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
    {Word::rowsNotPrinted,     u8"未打印的行",                    "rows not printed"},
    {Word::readiness,          u8"重建准备",                      "Readiness"},
    {Word::ready,              u8"可以重建",                      "ready"},
    {Word::atRisk,             u8"有重建风险",                    "at risk"},
    {Word::cannotTell,         u8"无法判断：没有离地高度",        "cannot tell: no height above ground"},
    {Word::readinessFindings,  u8"重建风险",                      "Readiness findings"},
    {Word::noReadinessFinding, u8"没有发现重建风险",              "No readiness finding"},
    {Word::findingsNotListed,  u8"条发现未列出",                  "more findings not listed"},
    {Word::photosNotListed,    u8"张未列出",                      "more photos not listed"},
    {Word::flight,             u8"架次",                          "flight"},
    {Word::line,               u8"航线",                          "line"},
    {Word::views,              u8"张可见",                        "views"},
    {Word::median,             u8"中值",                          "median"},
    {Word::sortByFlight,       u8"按架次和拍摄顺序排序",          "Sort by flight and capture order"},
    {Word::sortByPath,         u8"按路径排序",                    "Sort by path"},
    {Word::footprintLegend,    u8"影像覆盖范围按架次着色，红线围出覆盖缺口；不同航线之间不连线",
                               "footprints coloured by flight, coverage gaps outlined in red; no line joins photos of different lines"},
    {Word::fewViews,           u8"覆盖缺口：少于5张影像可见的区域", "coverage gap: an area seen by fewer than 5 photos"},
    {Word::forwardBelow,       u8"航向重叠低于70%",               "forward overlap below 70%"},
    {Word::sideBelow,          u8"旁向重叠低于60%",               "side overlap below 60%"},
    {Word::finestPhotos,       u8"地面分辨率相差超过2倍：最精细的影像", "GSD spread above 2x: the finest photos"},
    {Word::coarsestPhotos,     u8"地面分辨率相差超过2倍：最粗的影像", "GSD spread above 2x: the coarsest photos"},
    {Word::pitchOffMedian,     u8"倾斜影像：云台俯仰角偏离本架次中值超过20度",
                               "oblique: gimbal pitch more than 20 degrees off its flight median"},
    {Word::horizonInView,      u8"倾斜影像：云台俯仰角高于-20度，拍到地平线",
                               "oblique: gimbal pitch above -20 degrees, the horizon in view"},
    {Word::smearAbovePixel,    u8"运动模糊风险：曝光期间地面移动超过1像素",
                               "motion blur risk: the ground moves more than 1 pixel during the exposure"},
    {Word::slowShutter,        u8"快门慢于1/80秒",                "shutter slower than 1/80 s"},
    {Word::otherModel,         u8"混用相机：相机型号",            "mixed cameras: camera model"},
    {Word::otherSerial,        u8"混用相机：相机序列号",          "mixed cameras: serial number"},
    {Word::otherFocalLength,   u8"混用相机：35 mm等效焦距",       "mixed cameras: 35 mm focal length"},
    {Word::otherZoom,          u8"混用相机：数码变焦",            "mixed cameras: digital zoom"},
    {Word::zeroPosition,       u8"GPS位置为0/0，未定位",          "GPS position 0/0, no fix"},
    {Word::farFromNeighbours,  u8"GPS位置远离所有其他影像",       "GPS position far from every other photo"},
    {Word::missingAltitude,    u8"GPS位置没有高度",               "GPS position without altitude"},
    {Word::rtkMixed,           u8"没有RTK固定解，而其他影像有",   "without a fixed RTK solution, among photos with one"},
    {Word::sameTimeAndPosition, u8"重复拍摄：拍摄时间和位置相同", "taken twice: same capture time and position"},
    {Word::stationary,         u8"同一地点多张影像，不是悬停",    "photos at one spot that are not a hover"},
    {Word::flightGap,          u8"暂停后的新架次",                "a new flight after a pause"},
    {Word::otherDay,           u8"另一天的新架次",                "a new flight on another day"},
    {Word::photosWithoutTime,  u8"张影像没有拍摄时间，不分架次和航线", "photos without a capture time: in no flight or line"},
    {Word::photosWithoutHeight, u8"张影像有位置但没有离地高度，没有覆盖范围",
                               "photos with a position but no height above ground: no footprint"},
    {Word::cannotTellNoPosition,    u8"无法判断：没有GPS位置",     "cannot tell: no GPS position"},
    {Word::cannotTellNoNadirPhoto,  u8"无法判断：没有垂直向下拍摄的影像", "cannot tell: no photo looks straight down"},
    {Word::cannotTellNoFocalLength, u8"无法判断：没有35毫米等效焦距和像素尺寸", "cannot tell: no 35 mm focal length and pixel size"},
    {Word::cannotTellNoHeading,     u8"无法判断：没有航向",        "cannot tell: no heading"},
    {Word::heightAboveGround,  u8"离地高度",                      "height above ground"},
    {Word::groundSampleDistance, u8"地面分辨率",                  "GSD"},
    {Word::forwardOverlap,     u8"航向重叠",                      "forward overlap"},
    {Word::sideOverlap,        u8"旁向重叠",                      "side overlap"},
    {Word::gimbalPitch,        u8"云台俯仰角",                    "gimbal pitch"},
    {Word::motionSmear,        u8"曝光期间的地面位移",            "smear during the exposure"},
    {Word::coverageLegend,     u8"底色为看到每处地面的影像数（红：少于5张，黄：5-8张，绿：9张以上）",
                               "shading: photos that see each ground point (red fewer than 5, yellow 5-8, green 9 or more)"},
    {Word::photo,              u8"张",                            "photo"},
    {Word::photoWithoutTime,   u8"张影像没有拍摄时间，不分架次和航线", "photo without a capture time: in no flight or line"},
    {Word::photoWithoutHeight, u8"张影像有位置但没有离地高度，没有覆盖范围",
                               "photo with a position but no height above ground: no footprint"},
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

// The causes' words name the thresholds: they must be the analyses' own.
static_assert(readiness::kMinViews == 5 && readiness::kMinForwardOverlap == 0.70 &&
                  readiness::kMinSideOverlap == 0.60 && readiness::kMaxGsdSpread == 2.0 &&
                  readiness::kMaxPitchOffMedianDeg == 20.0 &&
                  readiness::kHorizonPitchDeg == -20.0 && readiness::kMaxSmearPixels == 1.0 &&
                  readiness::kSlowShutterSeconds == 1.0 / 80.0,
              "the findings' words say the thresholds the readiness analyses use");
static_assert(static_cast<std::size_t>(Word::otherDay) - static_cast<std::size_t>(Word::fewViews) ==
                  static_cast<std::size_t>(readiness::FindingCause::otherDay),
              "one cause word per readiness::FindingCause, in its order");

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

void appendPhotoCount(std::string& page, long long count, Word word) {
  if (count == 1) {
    if (word == Word::photos) word = Word::photo;
    if (word == Word::photosWithoutTime) word = Word::photoWithoutTime;
    if (word == Word::photosWithoutHeight) word = Word::photoWithoutHeight;
  }
  page += std::to_string(count);
  page += ' ';
  appendWord(page, word);
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

Word verdictWord(readiness::Verdict verdict, readiness::NoFootprint why) {
  switch (verdict) {
    case readiness::Verdict::ready:
      return Word::ready;
    case readiness::Verdict::atRisk:
      return Word::atRisk;
    case readiness::Verdict::cannotTell:
      break;
  }
  switch (why) {
    case readiness::NoFootprint::noPosition:
      return Word::cannotTellNoPosition;
    case readiness::NoFootprint::noHeight:
      break;
    case readiness::NoFootprint::noNadirPhoto:
      return Word::cannotTellNoNadirPhoto;
    case readiness::NoFootprint::noFocalLength:
      return Word::cannotTellNoFocalLength;
    case readiness::NoFootprint::noHeading:
      return Word::cannotTellNoHeading;
  }
  return Word::cannotTell;
}

Word causeWord(readiness::FindingCause cause) {
  const std::size_t index =
      static_cast<std::size_t>(Word::fewViews) + static_cast<std::size_t>(cause);
  return index <= static_cast<std::size_t>(Word::otherDay) ? static_cast<Word>(index) : Word::count;
}

Word settingWord(std::string_view meaning) {
  for (const Word word : {Word::focalLengthCheck, Word::gpsCheck, Word::cameraMakerCheck,
                          Word::resolutionCheck, Word::imageFolder, Word::outputFolder}) {
    if (meaning == kWords[static_cast<std::size_t>(word)].en) return word;
  }
  return Word::count;
}
