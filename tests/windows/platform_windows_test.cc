// The Windows platform layer on its own: folder creation over drive and
// share roots, the find functions' listing and folder identities, opening and
// reading files, and the replacing write of a report.
#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <iostream>
#include <optional>
#include <string>

#include "gtest/gtest.h"
#include "platform/platform.h"
#include "platform/windows_report.h"
#include "tests/support/temp_folder.h"
#include "tests/windows/wide_files.h"

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
  EXPECT_TRUE(listing.id.known);
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

// One folder reached by several paths has one identity; another folder has
// another. The same where the file system gives no file ID (0, as some file
// systems and servers do): the folder is then known by its final path, so a
// link of a folder to itself is known as that folder and a scan ends.
TEST(WindowsFolders, AFolderIsKnownByOneIdentityWhateverThePath) {
  TempFolder root;
  const widefiles::TreeRemover remover{root.path()};
  fs::create_directories(root / "Sub\\inner");
  const bool linked =
      widefiles::makeLink(widefiles::extended(root / "Sub\\inner", L"up"), L"..", true) &&
      widefiles::makeLink(widefiles::extended(root / "Sub", L"self"), L".", true);
  auto idOf = [](const std::string& path) {
    platform::FolderListing listing;
    EXPECT_TRUE(platform::listFolder(path, listing)) << path;
    EXPECT_TRUE(listing.id.known) << path;
    return listing.id;
  };
  for (const bool idsIgnored : {false, true}) {
    SCOPED_TRACE(idsIgnored ? "file IDs unknown" : "file IDs given");
    platform::setFolderIdsIgnored(idsIgnored);
    const platform::FolderId sub = idOf(root / "Sub");
    for (const char* path : {"SUB", "Sub\\", "Sub\\inner\\..", "./Sub"}) {
      EXPECT_TRUE(idOf(root / path) == sub) << path;
    }
    EXPECT_FALSE(idOf(root.path()) == sub);
    EXPECT_FALSE(idOf(root / "Sub\\inner") == sub);
    if (linked) {
      EXPECT_TRUE(idOf(root / "Sub\\inner\\up") == sub);
      EXPECT_TRUE(idOf(root / "Sub\\self\\self") == sub);
      EXPECT_FALSE(idOf(root / "Sub\\self\\inner") == sub);
    }
    platform::setFolderIdsIgnored(false);
  }
  if (!linked) GTEST_SKIP() << "no folder link can be made here: the links were not tried";
}

// Only "nothing there" is missing (a photo removed since the scan); what is
// there but cannot be read is unreadable. (A link whose target is gone would
// be unreadable on Windows; Wine does not show such a link at all.)
TEST(WindowsFiles, OpenTellsNothingThereFromWhatCannotBeRead) {
  TempFolder root;
  writeFileBytes(root / "photo.jpg", "x");
  fs::create_directory(root / "folder.jpg");
  const std::pair<std::string, platform::ReadStatus> cases[] = {
      {root / "photo.jpg", platform::ReadStatus::ok},
      {root / "absent.jpg", platform::ReadStatus::missing},
      {root / "absent\\photo.jpg", platform::ReadStatus::missing},
      // A file where a folder should be: the path leads nowhere, as POSIX
      // says with ENOTDIR.
      {root / "photo.jpg\\below.jpg", platform::ReadStatus::missing},
      {root / "folder.jpg", platform::ReadStatus::notRegularFile},
      // No file name holds a '?': a text with one names nothing reachable.
      {root / "?.jpg", platform::ReadStatus::unreadable},
  };
  for (const auto& [path, status] : cases) {
    platform::ReadableFile file;
    EXPECT_EQ(platform::openForReading(path, file), status) << path;
  }
}

// A file is known by its volume's serial number and its whole 128-bit file
// ID (a 64-bit index is not unique on ReFS), and the same whichever call
// asks: its read, the side files' look at a path, and through a hard link.
TEST(WindowsFiles, AFileIsKnownByItsWholeFileIdWhicheverCallAsks) {
  TempFolder root;
  writeFileBytes(root / "photo.jpg", "x");
  writeFileBytes(root / "other.jpg", "y");
  const HANDLE handle =
      ::CreateFileA((root / "photo.jpg").c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ, nullptr,
                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(handle, INVALID_HANDLE_VALUE);
  FILE_ID_INFO full;
  const bool given = ::GetFileInformationByHandleEx(handle, FileIdInfo, &full, sizeof full) != 0;
  ::CloseHandle(handle);
  if (!given) GTEST_SKIP() << "the file system gives no FILE_ID_INFO here";
  std::uint64_t halves[2] = {0, 0};
  for (int i = 15; i >= 0; --i) halves[i / 8] = (halves[i / 8] << 8) | full.FileId.Identifier[i];

  platform::ReadableFile file;
  ASSERT_EQ(platform::openForReading(root / "photo.jpg", file), platform::ReadStatus::ok);
  const platform::FileIdentity read = file.identity();
  EXPECT_EQ(read.device, full.VolumeSerialNumber);
  EXPECT_EQ(read.file, halves[0]);
  EXPECT_EQ(read.fileHigh, halves[1]);
  EXPECT_TRUE(platform::identityOf(root / "photo.jpg") == read);
  platform::OpenFolder folder;
  ASSERT_TRUE(platform::openFolderOf(root / "photo.jpg", folder));
  platform::FileIdentity looked;
  EXPECT_EQ(platform::sideFileTargetIn(folder, looked), platform::SideFileTarget::regularFile);
  platform::closeFolder(folder);
  EXPECT_TRUE(looked == read);
  EXPECT_FALSE(platform::identityOf(root / "other.jpg") == read);
  if (::CreateHardLinkA((root / "hard.jpg").c_str(), (root / "photo.jpg").c_str(), nullptr)) {
    EXPECT_TRUE(platform::identityOf(root / "hard.jpg") == read);
  }
}

TEST(WindowsFiles, ReadAtGivesTheBytesAtAnOffsetAndRefusesAShortRead) {
  TempFolder root;
  writeFileBytes(root / "photo.jpg", "0123456789");
  platform::ReadableFile file;
  ASSERT_EQ(platform::openForReading(root / "photo.jpg", file), platform::ReadStatus::ok);
  ASSERT_EQ(file.size(), 10u);
  unsigned char bytes[10] = {};
  ASSERT_TRUE(platform::readAt(file, 7, 3, bytes));
  EXPECT_EQ(std::string(bytes, bytes + 3), "789");
  ASSERT_TRUE(platform::readAt(file, 0, 2, bytes));
  EXPECT_EQ(std::string(bytes, bytes + 2), "01");
  EXPECT_FALSE(platform::readAt(file, 8, 3, bytes));
  EXPECT_FALSE(platform::readAt(file, 0xFFFFFFFFu, 2, bytes));
  file.close();
  EXPECT_FALSE(platform::readAt(file, 0, 1, bytes));
}

TEST(WindowsFiles, OpenForReadingTellsMissingFromUnreadable) {
  TempFolder root;
  const std::string bytes("\x00\x01\r\n\x1a\xff tail", 10);
  writeFileBytes(root / "photo.jpg", bytes);
  platform::ReadableFile file;
  // Binary: carriage returns and the 0x1A byte come through as stored.
  ASSERT_EQ(platform::openForReading(root / "photo.jpg", file), platform::ReadStatus::ok);
  ASSERT_EQ(file.size(), bytes.size());
  std::string read(bytes.size(), '\0');
  ASSERT_TRUE(platform::readAt(file, 0, file.size(), reinterpret_cast<unsigned char*>(&read[0])));
  EXPECT_EQ(read, bytes);

  writeFileBytes(root / "empty.jpg", "");
  ASSERT_EQ(platform::openForReading(root / "empty.jpg", file), platform::ReadStatus::ok);
  EXPECT_EQ(file.size(), 0u);

  EXPECT_EQ(platform::openForReading(root / "absent.jpg", file), platform::ReadStatus::missing);
  fs::create_directory(root / "folder.jpg");
  EXPECT_EQ(platform::openForReading(root / "folder.jpg", file),
            platform::ReadStatus::notRegularFile);

  // 4 GiB: a size the 32-bit length of the read cannot hold. The file is
  // sparse, so it costs no disk space.
  const std::string big = root / "big.jpg";
  writeFileBytes(big, "x");
  fs::resize_file(big, std::uint64_t{1} << 32);
  EXPECT_EQ(platform::openForReading(big, file), platform::ReadStatus::unreadable);
  EXPECT_EQ(file.error(), ERROR_FILE_TOO_LARGE);  // the reason the side files give
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
  std::vector<std::string> left;
  for (const auto& entry : fs::directory_iterator(root.path())) {
    left.push_back(entry.path().filename().string());
  }
  std::sort(left.begin(), left.end());
  EXPECT_EQ(left, (std::vector<std::string>{"error.json", "taken"}));
}

// Numbers for the temporary names, the same in every run.
std::uint64_t nextNumber = 0;
std::uint64_t countingNumbers() { return nextNumber++; }

// Whatever is planted under the names a run tries is never opened: the run
// takes the next name. When every try meets something, the report is not
// written and nothing is left behind.
TEST(WindowsReport, PlantedTemporaryNamesAreNeverOpened) {
  TempFolder root;
  const widefiles::TreeRemover remover{root.path()};
  const std::string path = root / "error.json";
  const std::wstring target = widefiles::extended(root.path(), L"error.json");
  writeFileBytes(root / "victim.txt", "theirs");
  widefiles::makeFolders(platform::temporaryPathFor(target, 0));
  widefiles::writeFile(platform::temporaryPathFor(target, 1), {'t', 'h', 'e', 'i', 'r', 's'});
  const bool linked =
      widefiles::makeLink(platform::temporaryPathFor(target, 2), L"victim.txt", false);

  nextNumber = 0;
  ASSERT_TRUE(platform::replaceFileWith(path, "report\n", countingNumbers));
  EXPECT_EQ(nextNumber, linked ? 4u : 3u);
  EXPECT_EQ(readFileBytes(path), "report\r\n");
  EXPECT_TRUE(fs::is_directory(widefiles::extended(root.path(), L".photocheck-000000")));
  EXPECT_EQ(widefiles::readFile(platform::temporaryPathFor(target, 1)), "theirs");
  EXPECT_EQ(readFileBytes(root / "victim.txt"), "theirs");
  EXPECT_FALSE(widefiles::exists(platform::temporaryPathFor(target, linked ? 3 : 2)));

  // Every try meets the planted file.
  auto alwaysOne = []() -> std::uint64_t { return 1; };
  EXPECT_FALSE(platform::replaceFileWith(path, "other", alwaysOne));
  EXPECT_EQ(readFileBytes(path), "report\r\n");
  EXPECT_EQ(widefiles::readFile(platform::temporaryPathFor(target, 1)), "theirs");
}

// Every step of a write reaches the folder as it was opened: with that
// folder moved away since and another made under its name, the file goes
// into the one opened (by a rename relative to its handle) or nowhere
// (where the file system renames only by path, as under Wine), and nothing
// is ever left in the other.
TEST(WindowsReport, AWriteGoesIntoTheFolderAsOpened) {
  TempFolder root;
  const widefiles::TreeRemover remover{root.path()};
  fs::create_directory(root / "a");
  platform::OpenFolder folder;
  ASSERT_TRUE(platform::openFolderOf(root / "a\\page.html", folder));
  fs::rename(root / "a", root / "b");
  fs::create_directory(root / "a");
  platform::FileIdentity written;
  const bool wrote = platform::replaceIn(
      folder, [](const platform::TextPieceWriter& write) { return write("page\n"); }, written);
  EXPECT_FALSE(platform::removeIn(folder, platform::FileIdentity{}));
  platform::closeFolder(folder);
  EXPECT_EQ(readFileBytes(root / "b\\page.html"),
            wrote ? std::optional<std::string>("page\r\n") : std::nullopt);
  EXPECT_TRUE(fs::is_empty(root / "a"));
  EXPECT_TRUE(fs::is_empty(root / "b") || wrote);
  std::cout << "[   NOTE   ] written into the folder moved away: " << (wrote ? "yes" : "no")
            << "\n";
  // Left where it is, the folder is written.
  ASSERT_TRUE(platform::openFolderOf(root / "a\\page.html", folder));
  EXPECT_TRUE(platform::replaceIn(
      folder, [](const platform::TextPieceWriter& write) { return write("page\n"); }, written));
  EXPECT_EQ(written, platform::identityOf(root / "a\\page.html"));
  EXPECT_TRUE(platform::removeIn(folder, written));
  EXPECT_TRUE(fs::is_empty(root / "a"));
  platform::closeFolder(folder);
  // The image folder's rule: the folder, and any below it, lie in it.
  fs::create_directories(root / "b\\sub");
  ASSERT_TRUE(platform::openFolderOf(root / "b\\sub\\page.html", folder));
  EXPECT_TRUE(platform::folderLiesIn(folder, platform::identityOf(root / "b")));
  EXPECT_TRUE(platform::folderLiesIn(folder, platform::identityOf(root / "b\\sub")));
  EXPECT_FALSE(platform::folderLiesIn(folder, platform::identityOf(root / "a")));
  platform::closeFolder(folder);
}

// A folder text of which no path can be made (its full path would be longer
// than 32,767 units): every call refuses it, none takes the empty path,
// which would name the current drive's root.
TEST(WindowsPaths, APathThatCannotBeMadeIsNeverUsed) {
  TempFolder root;
  const std::string tooLong = root.path() + "\\" + std::string(33000, 'a');
  EXPECT_FALSE(platform::pathCanBeMade(tooLong));
  EXPECT_TRUE(platform::pathCanBeMade(root.path()));
  EXPECT_TRUE(platform::pathCanBeMade(""));

  const platform::FilePath folder(tooLong);
  EXPECT_TRUE(folder.native.empty());
  platform::FolderListing listing;
  EXPECT_FALSE(platform::listFolder(folder, listing));
  EXPECT_TRUE(listing.entries.empty());
  const platform::FilePath child =
      platform::childPath(folder, platform::FolderEntry{"a.jpg", L"a.jpg", false});
  EXPECT_TRUE(child.native.empty());
  platform::ReadableFile file;
  EXPECT_EQ(platform::openForReading(child, file), platform::ReadStatus::unreadable);
  EXPECT_FALSE(platform::pathExists(tooLong));
  EXPECT_FALSE(platform::makeFolders(tooLong));
  EXPECT_FALSE(platform::replaceFile(tooLong + "\\error.json", "x"));
  std::string bytes;
  std::string reason;
  EXPECT_EQ(platform::readSmallFile(platform::filePathOf(tooLong), 10, bytes, &reason),
            platform::SmallFileRead::cannotOpen);
  EXPECT_FALSE(reason.empty());
}

// A listed name holding a separator reaches nothing, not even the file or
// folder its joined path would name.
TEST(WindowsPaths, AListedNameHoldingASeparatorReachesNothing) {
  TempFolder root;
  writeFileBytes(root / "x\\y.jpg", "photo");
  fs::create_directories(root / "x\\sub");
  const platform::FilePath folder(root.path());
  for (const wchar_t* name : {L"x\\y.jpg", L"x/y.jpg"}) {
    const platform::FilePath path =
        platform::childPath(folder, platform::FolderEntry{"x\\y.jpg", name, false});
    EXPECT_FALSE(path.reachable);
    platform::ReadableFile file;
    EXPECT_EQ(platform::openForReading(path, file), platform::ReadStatus::unreadable);
  }
  const platform::FilePath sub =
      platform::childPath(folder, platform::FolderEntry{"x\\sub", L"x\\sub", true});
  platform::FolderListing listing;
  EXPECT_FALSE(platform::listFolder(sub, listing));
  // Below it nothing is reachable either.
  EXPECT_FALSE(platform::childPath(sub, platform::FolderEntry{"a", L"a", false}).reachable);
  EXPECT_TRUE(platform::childPath(folder, platform::FolderEntry{"x", L"x", true}).reachable);
}

// Devices are no folders: no folder call opens one (a serial port's open
// can wait for good).
TEST(WindowsPaths, NoFolderCallTakesADevice) {
  for (const char* device : {"con", "NUL", "COM1", "CONOUT$", "lpt1.txt"}) {
    EXPECT_FALSE(platform::pathExists(device)) << device;
    EXPECT_FALSE(platform::makeFolders(device)) << device;
    platform::FolderListing listing;
    EXPECT_FALSE(platform::listFolder(device, listing)) << device;
  }
}

}  // namespace
