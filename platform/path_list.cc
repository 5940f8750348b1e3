#include "platform/path_list.h"

#include <limits>
#include <utility>

namespace platform {

namespace {

// Name offsets are 32-bit and folder numbers 30-bit: a list past either
// (4 GiB of names, a billion folders) is more than the process can hold
// beside it anyway.
constexpr std::size_t kMostNameBytes = std::numeric_limits<std::uint32_t>::max();
constexpr std::size_t kMostFolders = std::size_t{1} << 30;

}  // namespace

PathList::PathList(std::initializer_list<FilePath> paths) {
  for (const FilePath& path : paths) push_back(path);
}

std::size_t PathList::addFolder(FilePath folder) {
  if (folders_.size() >= kMostFolders) throw ResourceShortage{};
  folders_.push_back(std::move(folder));
  return folders_.size() - 1;
}

void PathList::append(std::size_t folder, const std::string& name, bool listedAsFile, bool whole) {
  if (name.size() > kMostNameBytes - names_.size()) throw ResourceShortage{};
  Entry entry{};
  entry.nameStart = static_cast<std::uint32_t>(names_.size());
  entry.folder = static_cast<std::uint32_t>(folder);
  entry.listedAsFile = listedAsFile ? 1 : 0;
  entry.whole = whole ? 1 : 0;
  names_ += name;
  paths_.push_back(entry);
}

void PathList::add(std::size_t folder, const FolderEntry& entry) {
  append(folder, entry.name, entry.isFile, false);
  appendNativeName(natives_, entry.native);
}

void PathList::push_back(FilePath path) {
  const std::size_t folder = addFolder(std::move(path));
  append(folder, std::string(), false, true);
  appendNativeName(natives_, NativePath{});
}

FilePath PathList::operator[](std::size_t index) const {
  const Entry& entry = paths_[index];
  if (entry.whole != 0) return folders_[entry.folder];
  const std::size_t end = index + 1 < paths_.size() ? paths_[index + 1].nameStart : names_.size();
  FolderEntry listed;
  listed.name.assign(names_, entry.nameStart, end - entry.nameStart);
  listed.native = nativeNameAt(natives_, index);
  listed.isFile = entry.listedAsFile != 0;
  return childPath(folders_[entry.folder], listed);
}

}  // namespace platform
