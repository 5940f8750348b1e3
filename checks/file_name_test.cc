#include "checks/file_name.h"

#include <gtest/gtest.h>

#include "platform/platform.h"

namespace {

TEST(FileNameOf, CutsAfterTheLastSeparator) {
  const bool backslashSeparates = platform::kPathSeparator == '\\';
  struct Case {
    const char* path;
    const char* name;
    const char* posixName;  // where a backslash is an ordinary name byte
  };
  const Case cases[] = {
      {"", "", ""},
      {"photo.jpg", "photo.jpg", "photo.jpg"},
      {"images/photo.jpg", "photo.jpg", "photo.jpg"},
      {"a/b/c/d.JPG", "d.JPG", "d.JPG"},
      {"images/", "", ""},
      {"/", "", ""},
      {"images\\sub/photo.jpg", "photo.jpg", "photo.jpg"},
      {"images/sub\\photo.jpg", "photo.jpg", "sub\\photo.jpg"},
      {"C:\\images\\photo.jpg", "photo.jpg", "C:\\images\\photo.jpg"},
      {"dir//x", "x", "x"},
      {"dir/\xd5\xd5\xc6\xac.jpg", "\xd5\xd5\xc6\xac.jpg", "\xd5\xd5\xc6\xac.jpg"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(fileNameOf(c.path), backslashSeparates ? c.name : c.posixName) << c.path;
  }
}

}  // namespace
