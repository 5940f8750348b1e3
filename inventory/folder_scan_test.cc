#include "inventory/folder_scan.h"

#ifndef _WIN32
#include <sys/stat.h>
#endif

#include <filesystem>

#include "gtest/gtest.h"
#include "platform/platform.h"
#include "tests/support/captured_output.h"
#include "tests/support/temp_folder.h"

namespace {

namespace fs = std::filesystem;

struct Scan {
  std::vector<std::string> images;
  std::string printed;
};

Scan scan(const std::string& folder) {
  Scan result;
  CapturedOutput out;
  for (const platform::FilePath& path : listFolderFiles(folder)) result.images.push_back(path.text);
  result.printed = out.text();
  return result;
}

std::string join(const std::string& folder, const std::string& name) {
  return folder + platform::kPathSeparator + name;
}

TEST(FolderScan, MissingOrEmptyFolders) {
  TempFolder root;
  const Scan missing = scan(root / "absent");
  EXPECT_TRUE(missing.images.empty());
  EXPECT_EQ(missing.printed, "can not found the file ... \n");

  // A file is not a folder that can be listed.
  writeFileBytes(root / "plain.jpg", "x");
  EXPECT_EQ(scan(root / "plain.jpg").printed, "can not found the file ... \n");

  fs::create_directory(root / "empty");
  const Scan empty = scan(root / "empty");
  EXPECT_TRUE(empty.images.empty());
  EXPECT_EQ(empty.printed, "");
}

TEST(FolderScan, ListsEveryFileDepthFirst) {
  TempFolder root;
  writeFileBytes(root / "a.jpg", "a");
  writeFileBytes(join(root / "s", "b.jpg"), "b");
  writeFileBytes(join(join(root / "s", "deeper"), "d.txt"), "d");
  writeFileBytes(root / "c.jpg", "c");
  writeFileBytes(join(root / ".cache", "hidden.jpg"), "h");
  fs::create_directory(root / "t_empty");
  writeFileBytes(root / "readme.txt", "not a photo, listed all the same");

  const Scan result = scan(root.path());
  EXPECT_EQ(result.printed, "");
  // A sub-folder's files stand where the sub-folder comes in the byte order
  // of the names, so c.jpg follows everything below s.
  const std::vector<std::string> expected = {
      join(root / ".cache", "hidden.jpg"),
      root / "a.jpg",
      root / "c.jpg",
      root / "readme.txt",
      join(root / "s", "b.jpg"),
      join(join(root / "s", "deeper"), "d.txt"),
  };
  EXPECT_EQ(result.images, expected);
}

TEST(FolderScan, KeepsTheFolderTextAsGiven) {
  TempFolder root;
  writeFileBytes(join(root / "sub", "x.jpg"), "x");
  const std::string withSeparator = root.path() + platform::kPathSeparator;
  // The folder text is never normalised: a trailing separator doubles.
  const std::string doubled = withSeparator + platform::kPathSeparator + "sub";
  EXPECT_EQ(scan(withSeparator).images,
            (std::vector<std::string>{doubled + platform::kPathSeparator + "x.jpg"}));
}

#ifndef _WIN32
TEST(FolderScan, FollowsLinksButListsEachFolderOnce) {
  TempFolder root;
  writeFileBytes(join(root / "a", "photo.jpg"), "p");
  fs::create_directory_symlink(root.path(), root / "a" + "/loop");
  fs::create_directory_symlink(root / "a", root / "b_link");
  fs::create_symlink(root / "nowhere", root / "c_dangling");

  const Scan result = scan(root.path());
  EXPECT_EQ(result.printed, "");
  // A folder is listed where it is first met: the links back to the root and
  // the second way into "a" are passed over; a dangling link is listed like a
  // file.
  const std::vector<std::string> expected = {
      root / "a/photo.jpg",
      root / "c_dangling",
  };
  EXPECT_EQ(result.images, expected);
}

// The scan takes each entry's type from the listing where the file system
// gives one, and asks for it (a stat) where the type is unknown, as on file
// systems that list no types: both ways give the same list, the same
// folders followed, and the same entries known to be regular files (which the
// read then opens without asking again). Pipes, devices and dangling links
// are never taken for regular files.
TEST(FolderScan, SameListWhetherTheListingGivesTypesOrNot) {
  TempFolder root;
  writeFileBytes(root / "a.jpg", "a");
  writeFileBytes(join(root / "sub", "b.jpg"), "b");
  fs::create_symlink(root / "a.jpg", root / "c_file_link.jpg");
  fs::create_directory_symlink(root / "sub", root / "d_folder_link");
  fs::create_symlink(root / "nowhere", root / "e_dangling.jpg");
  ASSERT_EQ(::mkfifo((root / "f_pipe.jpg").c_str(), 0666), 0);
  fs::create_symlink("/dev/null", root / "g_device.jpg");

  const std::vector<std::pair<std::string, bool>> expected = {
      {root / "a.jpg", true},
      {root / "c_file_link.jpg", true},
      {join(root / "d_folder_link", "b.jpg"), true},  // "sub" is then passed over
      {root / "e_dangling.jpg", false},
      {root / "f_pipe.jpg", false},
      {root / "g_device.jpg", false},
  };
  for (const bool typesIgnored : {false, true}) {
    platform::setListedTypesIgnored(typesIgnored);
    CapturedOutput out;
    std::vector<std::pair<std::string, bool>> listed;
    for (const platform::FilePath& path : listFolderFiles(root.path())) {
      listed.emplace_back(path.text, path.listedAsFile);
    }
    platform::setListedTypesIgnored(false);
    EXPECT_EQ(out.text(), "");
    EXPECT_EQ(listed, expected) << (typesIgnored ? "types ignored" : "types listed");
  }
}
#endif

}  // namespace
