// Every console text, decoded from its GBK bytes, must read as the text the
// users know. The decoding uses iconv where the C library has it, so a wrong
// escape in the texts header cannot hide behind a wrong expectation written
// the same way.
#include "console/console_texts.h"

#include <cstring>
#include <string>

#include "gtest/gtest.h"

#if __has_include(<iconv.h>) && !defined(_WIN32)
#include <iconv.h>
#define PHOTOCHECK_HAVE_ICONV 1
#endif

namespace {

struct Text {
  const char* gbk;
  const char* utf8;
  std::size_t gbkBytes;
};

// clang-format off
const Text kTexts[] = {
  {texts::kStartResolution,        "开始检测影像分辨率...",        21},
  {texts::kStartCameraMaker,       "开始检测相机制造商...",        21},
  {texts::kStartFocalLength,       "开始检测输入影像焦距...",      23},
  {texts::kStartGps,               "开始检测输入影像是否含有gps...", 30},
  {texts::kAllClear,               "\n检查影像的分辨率，相机制造商，焦距，含有GPS等指标均正常...\n", 60},
  {texts::kResolutionHeader,       "检测分辨率的影像序列: ",       22},
  {texts::kCameraMakerHeader,      "检测相机制造商的影像序列: ",   26},
  {texts::kFocalLengthHeader,      "检测焦距的影像序列: ",         20},
  {texts::kGpsHeader,              "检测GPS信息的影像序列: ",      23},
  {texts::kGroupErrorCount,        "该类错误影像共：",             16},
  {texts::kErrorImageNumber,       "错误影像序列: ",               14},
  {texts::kErrorImageName,         "不相同的文件名为： ",          19},
  {texts::kResolutionDescription,  "影像分辨率不一致.",            17},
  {texts::kCameraMakerDescription, "相机制造商不一致.",            17},
  {texts::kFocalLengthDescription, "相机焦距不一致.",              15},
  {texts::kGpsDescription,         "没有gps信息.",                 12},
  {texts::kNoImageDescription,     "没检测到影像数据.",            17},
};
// clang-format on

#ifdef PHOTOCHECK_HAVE_ICONV
std::string gbkToUtf8(const std::string& gbk) {
  iconv_t converter = iconv_open("UTF-8", "GBK");
  if (converter == reinterpret_cast<iconv_t>(-1)) return "<no GBK converter>";
  std::string in = gbk;
  std::string out(in.size() * 4 + 4, '\0');
  char* inPtr = in.data();
  char* outPtr = out.data();
  std::size_t inLeft = in.size();
  std::size_t outLeft = out.size();
  const std::size_t result = iconv(converter, &inPtr, &inLeft, &outPtr, &outLeft);
  iconv_close(converter);
  if (result == static_cast<std::size_t>(-1)) return "<invalid GBK>";
  out.resize(out.size() - outLeft);
  return out;
}
#endif

TEST(ConsoleTexts, GbkBytesDecodeToTheReadableTexts) {
  for (const Text& text : kTexts) {
    SCOPED_TRACE(text.utf8);
    EXPECT_EQ(std::strlen(text.gbk), text.gbkBytes);
#ifdef PHOTOCHECK_HAVE_ICONV
    EXPECT_EQ(gbkToUtf8(text.gbk), text.utf8);
#endif
  }
}

}  // namespace
