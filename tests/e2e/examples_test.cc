// The bundled sample set (examples/) run the way the README runs it: from a
// folder holding examples/, with the settings file's relative folders. Each
// check finds its one photo.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "console/console_texts.h"
#include "tests/e2e/photo_set.h"
#include "tests/support/expected_console.h"

namespace {

namespace fs = std::filesystem;

// The checkout this test was built from: __FILE__ is
// <checkout>/tests/e2e/examples_test.cc.
fs::path checkout() { return fs::path(__FILE__).parent_path().parent_path().parent_path(); }

TEST(Examples, EachCheckFindsItsOnePhoto) {
  const fs::path examples = checkout() / "examples";
  ASSERT_TRUE(fs::exists(examples / "photocheck.settings")) << examples;
  // A copy, so the run writes its report into the test's folder and not
  // into the checkout.
  TempFolder root;
  fs::create_directories(fs::path(root.path()) / "examples");
  fs::copy(examples / "images", fs::path(root.path()) / "examples" / "images");
  fs::copy_file(examples / "photocheck.settings",
                fs::path(root.path()) / "examples" / "photocheck.settings");

  const ToolRun run = runTool(PHOTOCHECK_EXE, {"examples/photocheck.settings"}, root.path());
  const std::string report =
      e2e::jsonReport({e2e::jsonGroup(101, texts::kResolutionDescription, {"DJI_0004.JPG"}),
                       e2e::jsonGroup(102, texts::kCameraMakerDescription, {"DJI_0006.JPG"}),
                       e2e::jsonGroup(103, texts::kFocalLengthDescription, {"DJI_0008.JPG"}),
                       e2e::jsonGroup(104, texts::kGpsDescription, {"DJI_0009.JPG"})});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(e2e::lastLine(run.out), report);
  EXPECT_EQ(readFileBytes(root / "build" + kSep + "example-output" + kSep + "error.json"), report);
}

}  // namespace
