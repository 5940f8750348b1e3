// The Windows platform layer on its own: folder creation over drive and
// share roots, the find functions' listing, whole-file reads and the
// replacing write of a report.
#include <algorithm>
#include <cstdint>
#include <filesystem>

#include "gtest/gtest.h"
#include "platform/platform.h"
#include "tests/support/temp_folder.h"

namespace {

namespace fs = std::filesystem;

TEST(WindowsFolders, MakeFoldersCreatesEveryMissingParent) {
  TempFolder root;
  // The temporary folder is a drive path ("C:\users\...\Temp\..."): the
  // drive root is never created, every folder below it is.
  ASSERT_EQ(root.path().substr(1, 2), ":\\");
  const std::string mixed = root.path() + "\\a/b\\\\c/";
  EXPECT_TRUE(platform::makeFolders(mixed));
  EXPECT_TRUE(fs::is_directory(root / "a\\b\\c"));
  // Already there: still true.
  EXPECT_TRUE(platform::makeFolders(root / "a"));

  // The "\\?\" prefix is a root of two components, like "\\server\share\".
  EXPECT_TRUE(platform::makeFolders("\\\\?\\" + root.path() + "\\long\\form"));
  EXPECT_TRUE(fs::is_directory(root / "long\\form"));

  // A file in the way: nothing can be created below it.
  writeFileBytes(root / "file", "x");
  EXPECT_FALSE(platform::makeFolders(root / "file\\below"));
  EXPECT_FALSE(platform::makeFolders(root / "file"));
  EXPECT_FALSE(platform::makeFolders(""));
}

TEST(WindowsFolders, ListingKeepsTheFindFunctionsOrder) {
  TempFolder root;
  for (const char* name : {"B.jpg", "a.jpg", "c.JPG", "10.jpg", "9.jpg"}) {
    writeFileBytes(root / name, name);
  }
  fs::create_directory(root / ".cache");
  fs::create_directory(root / "..x");
  fs::create_directory(root / "Sub");

  platform::FolderListing listing;
  ASSERT_TRUE(platform::listFolder(root.path(), listing));
  EXPECT_FALSE(listing.id.known);
  std::vector<std::string> names;
  for (const platform::FolderEntry& entry : listing.entries) {
    names.push_back(entry.name);
    EXPECT_EQ(entry.isFolder, entry.name == ".cache" || entry.name == "..x" || entry.name == "Sub")
        << entry.name;
  }
  // Only "." and ".." are dropped. The order is the file system's (Wine, like
  // NTFS, ignores the letter case), not the byte order POSIX gives, which
  // would put "B.jpg" and "Sub" before "a.jpg".
  const std::vector<std::string> expected = {"..x",   ".cache", "10.jpg", "9.jpg",
                                             "a.jpg", "B.jpg",  "c.JPG",  "Sub"};
  EXPECT_EQ(names, expected);

  platform::FolderListing empty;
  ASSERT_TRUE(platform::listFolder(root / "Sub", empty));
  EXPECT_TRUE(empty.entries.empty());

  platform::FolderListing none;
  EXPECT_FALSE(platform::listFolder(root / "absent", none));
  EXPECT_FALSE(platform::listFolder(root / "a.jpg", none));
}

TEST(WindowsFiles, ReadWholeFileTellsMissingFromUnreadable) {
  TempFolder root;
  const std::string bytes("\x00\x01\r\n\x1a\xff tail", 10);
  writeFileBytes(root / "photo.jpg", bytes);
  platform::FileBytes file;
  // "rb": carriage returns and the 0x1A byte come through as stored.
  ASSERT_EQ(platform::readWholeFile(root / "photo.jpg", file), platform::ReadStatus::ok);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(file.data()), file.size()), bytes);

  writeFileBytes(root / "empty.jpg", "");
  ASSERT_EQ(platform::readWholeFile(root / "empty.jpg", file), platform::ReadStatus::ok);
  EXPECT_EQ(file.size(), 0u);

  EXPECT_EQ(platform::readWholeFile(root / "absent.jpg", file), platform::ReadStatus::missing);
  fs::create_directory(root / "folder.jpg");
  EXPECT_EQ(platform::readWholeFile(root / "folder.jpg", file), platform::ReadStatus::unreadable);

  // 4 GiB: a size the 32-bit length of the read cannot hold. The file is
  // sparse, so it costs no disk space.
  const std::string big = root / "big.jpg";
  writeFileBytes(big, "x");
  fs::resize_file(big, std::uint64_t{1} << 32);
  EXPECT_EQ(platform::readWholeFile(big, file), platform::ReadStatus::unreadable);
  EXPECT_EQ(file.data(), nullptr);
}

TEST(WindowsFiles, ReplaceFileWritesTextModeAndReplacesWhole) {
  TempFolder root;
  const std::string path = root / "error.json";
  ASSERT_TRUE(platform::replaceFile(path, "{\"a\":1}"));
  EXPECT_EQ(readFileBytes(path), "{\"a\":1}");
  // An existing file is replaced, which a plain rename refuses on Windows;
  // a line feed is stored as CR LF.
  ASSERT_TRUE(platform::replaceFile(path, "new\ntext"));
  EXPECT_EQ(readFileBytes(path), "new\r\ntext");
  EXPECT_FALSE(fs::exists(path + ".tmp"));

  // Nothing can be written into a missing folder.
  EXPECT_FALSE(platform::replaceFile(root / "absent\\error.json", "x"));
  // A folder in the place of the file: the rename fails, the folder stays
  // and the temporary file is gone.
  fs::create_directory(root / "taken");
  EXPECT_FALSE(platform::replaceFile(root / "taken", "x"));
  EXPECT_TRUE(fs::is_directory(root / "taken"));
  EXPECT_FALSE(fs::exists(root / "taken.tmp"));
}

}  // namespace
