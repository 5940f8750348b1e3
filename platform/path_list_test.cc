#include "platform/path_list.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <string>
#include <vector>

#include "platform/platform.h"

// Every allocation of this test program is counted, so that a test can
// measure the bytes a structure holds on the heap. Each block carries its
// size in a header of its own.
namespace {

constexpr std::size_t kHeader = alignof(std::max_align_t);
std::atomic<std::size_t> liveBytes{0};

void* allocate(std::size_t size) {
  void* block = std::malloc(size + kHeader);
  if (block == nullptr) throw std::bad_alloc();
  *static_cast<std::size_t*>(block) = size;
  liveBytes += size;
  return static_cast<char*>(block) + kHeader;
}

void release(void* pointer) noexcept {
  if (pointer == nullptr) return;
  char* block = static_cast<char*>(pointer) - kHeader;
  liveBytes -= *reinterpret_cast<std::size_t*>(block);
  std::free(block);
}

}  // namespace

// Every form that a block can be made or given back by is replaced: a
// sanitizer's runtime or the test framework may make a block with the
// nothrow form and give it back with the sized one.
void* operator new(std::size_t size) { return allocate(size); }
void* operator new[](std::size_t size) { return allocate(size); }
void* operator new(std::size_t size, const std::nothrow_t& /*tag*/) noexcept {
  try {
    return allocate(size);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}
void* operator new[](std::size_t size, const std::nothrow_t& tag) noexcept {
  return operator new(size, tag);
}
void operator delete(void* pointer, const std::nothrow_t& /*tag*/) noexcept { release(pointer); }
void operator delete[](void* pointer, const std::nothrow_t& /*tag*/) noexcept { release(pointer); }
void operator delete(void* pointer) noexcept { release(pointer); }
void operator delete[](void* pointer) noexcept { release(pointer); }
void operator delete(void* pointer, std::size_t /*size*/) noexcept { release(pointer); }
void operator delete[](void* pointer, std::size_t /*size*/) noexcept { release(pointer); }

namespace {

std::string photoName(unsigned number) {
  char name[32];
  std::snprintf(name, sizeof name, "IMG_%06u.JPG", number);
  return name;
}

// Each path the list gives back is the one childPath made of the folder and
// the entry at the scan, whatever the name and the listing's word on it; a
// whole path comes back as it was given.
TEST(PathList, GivesBackEachPathAsChildPathMadeIt) {
  const std::vector<platform::FilePath> folders{"set", "set/sub folder", "", "x"};
  struct Case {
    std::size_t folder;
    platform::FolderEntry entry;
  };
  const std::vector<Case> cases{
      {0, {"DJI_0001.JPG", {}, false, true}},
      {0, {"a", {}, false, false}},
      {1, {"b\xd2\\c.jpg", {}, false, true}},  // a double-byte character's 0x5C
      {0, {"unlistable", {}, true, false}},
      {2, {"top.jpg", {}, false, true}},
      {1, {"", {}, false, false}},
      {3, {"last name of all.jpeg", {}, false, true}},
  };
  platform::PathList list;
  std::vector<std::size_t> numbers;
  for (const platform::FilePath& folder : folders) numbers.push_back(list.addFolder(folder));
  std::vector<platform::FilePath> expected;
  for (const Case& c : cases) {
    list.add(numbers[c.folder], c.entry);
    expected.push_back(platform::childPath(folders[c.folder], c.entry));
  }
  list.push_back("whole/path.jpg");
  expected.push_back(platform::FilePath("whole/path.jpg"));

  ASSERT_EQ(list.size(), expected.size());
  std::size_t index = 0;
  for (const platform::FilePath& path : list) {
    SCOPED_TRACE(expected[index].text);
    EXPECT_EQ(path.text, expected[index].text);
#ifdef _WIN32
    EXPECT_EQ(path.native, expected[index].native);
#endif
    EXPECT_EQ(path.reachable, expected[index].reachable);
    EXPECT_EQ(path.listedAsFile, expected[index].listedAsFile);
    ++index;
  }
  EXPECT_EQ(index, list.size());
}

// A million photos in ten folders: each costs the list its name's bytes and
// a few more (its name's start and its folder), where a FilePath of its own
// cost some 100 bytes. Windows keeps each UTF-16 name beside it.
TEST(PathList, HoldsAMillionPathsInAFewBytesEach) {
  constexpr unsigned kFolders = 10;
  constexpr unsigned kPerFolder = 100000;
  constexpr std::size_t kPhotos = std::size_t{kFolders} * kPerFolder;
  const std::size_t before = liveBytes;
  std::size_t nameBytes = 0;
  {
    platform::PathList list;
    for (unsigned f = 0; f < kFolders; ++f) {
      const std::size_t folder =
          list.addFolder("/survey/2026-12-09/flight-" + std::to_string(f) + "/images");
      for (unsigned k = 0; k < kPerFolder; ++k) {
        platform::FolderEntry entry{photoName(k), {}, false, true};
#ifdef _WIN32
        entry.native = std::wstring(entry.name.begin(), entry.name.end());
#endif
        nameBytes += entry.name.size();
        list.add(folder, entry);
      }
    }
    const std::size_t held = liveBytes - before;
    ASSERT_EQ(list.size(), kPhotos);
    EXPECT_EQ(list[123456].text, "/survey/2026-12-09/flight-1/images" +
                                     std::string(1, platform::kPathSeparator) + "IMG_023456.JPG");
    // Per photo: the name (14 bytes), its start and folder (8 bytes), and
    // what the doubling blocks hold in reserve; on Windows its UTF-16 name
    // and start too (32 bytes more). A vector of FilePaths held 40 bytes a
    // photo before its text.
    ASSERT_EQ(nameBytes, 14 * kPhotos);
    EXPECT_LE(held / kPhotos, platform::kPathSeparator == '\\' ? 72u : 32u) << held << " bytes";
  }
  EXPECT_EQ(liveBytes, before);
}

}  // namespace
