// A list of listed paths that holds a million of them in a few bytes each.
//
// Every path of the image list is a folder and a name listed in it. The list
// keeps each folder's FilePath once, the names one after another in one
// block of bytes, and per path only where its name begins, its folder and
// what the listing said of it:
//
//   folders  [0] "/set"   [1] "/set/a"
//   names    "IMG_0001.JPGIMG_0002.JPGx.JPG"
//   paths    {0, folder 0} {12, folder 0} {24, folder 1}
//
// A path's FilePath is made again when it is asked for (text, native path,
// reachable, listed as a file), the same as childPath made it at the scan.
// On Windows the exact UTF-16 names are kept the same way beside the shown
// ones. A list of 1,000,000 photos named like "IMG_000001.JPG" holds about
// 24 MB on POSIX, where one FilePath each held about 100 MB.
#ifndef PHOTOCHECK_PLATFORM_PATH_LIST_H
#define PHOTOCHECK_PLATFORM_PATH_LIST_H

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <iterator>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace platform {

#ifdef _WIN32
// The exact UTF-16 names of the list, one after another, and where each
// begins.
struct NativeNames {
  std::wstring units;
  std::vector<std::uint32_t> starts;
};
#else
// POSIX reaches a file by its shown bytes: nothing more to keep.
struct NativeNames {};
#endif

// Appends `name` to `names`; the name of path i is the i-th appended.
void appendNativeName(NativeNames& names, const NativePath& name);
// The i-th appended name.
NativePath nativeNameAt(const NativeNames& names, std::size_t index);

class PathList {
 public:
  PathList() = default;
  PathList(std::initializer_list<FilePath> paths);

  // Keeps `folder` for the entries listed in it; returns its number.
  std::size_t addFolder(FilePath folder);
  // Appends the path of `entry`, listed in folder number `folder`: the path
  // childPath makes of them.
  void add(std::size_t folder, const FolderEntry& entry);
  // Appends a whole path (a test's, or one not listed in a kept folder).
  void push_back(FilePath path);

  std::size_t size() const { return paths_.size(); }
  bool empty() const { return paths_.empty(); }
  // Path `index`, made anew on each call.
  FilePath operator[](std::size_t index) const;

  class Iterator {
   public:
    using iterator_category = std::input_iterator_tag;
    using value_type = FilePath;
    using difference_type = std::ptrdiff_t;
    using pointer = void;
    using reference = FilePath;
    Iterator(const PathList& list, std::size_t index) : list_(&list), index_(index) {}
    FilePath operator*() const { return (*list_)[index_]; }
    Iterator& operator++() {
      ++index_;
      return *this;
    }
    bool operator!=(const Iterator& other) const { return index_ != other.index_; }
    bool operator==(const Iterator& other) const { return index_ == other.index_; }

   private:
    const PathList* list_;
    std::size_t index_;
  };
  Iterator begin() const { return Iterator(*this, 0); }
  Iterator end() const { return Iterator(*this, size()); }

 private:
  // Where the name of a path begins in names_ (it ends where the next one
  // begins), the number of its folder, and what the listing said.
  struct Entry {
    std::uint32_t nameStart;
    std::uint32_t folder : 30;
    std::uint32_t listedAsFile : 1;
    std::uint32_t whole : 1;  // the folder's FilePath is the path itself
  };

  void append(std::size_t folder, const std::string& name, bool listedAsFile, bool whole);

  std::vector<FilePath> folders_;
  std::vector<Entry> paths_;
  std::string names_;
  NativeNames natives_;
};

}  // namespace platform

#endif  // PHOTOCHECK_PLATFORM_PATH_LIST_H
