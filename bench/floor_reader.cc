// The floor: the least work any tool must do to learn what photocheck learns
// from a photo set. It lists the folder tree once, then, in each of PASSES
// passes over the list, opens every file, reads its first 64 KiB and its last
// 2 bytes, and closes it. It prints the number of files and a checksum of the
// bytes read, so that nothing can be skipped.
//
//   floor_reader PASSES FOLDER
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

constexpr std::size_t kHeadBytes = 64 * 1024;

// Every non-folder entry below `folder`, depth first.
void listFiles(const std::string& folder, std::vector<std::string>& files) {
  DIR* dir = ::opendir(folder.c_str());
  if (dir == nullptr) return;
  while (const struct dirent* entry = ::readdir(dir)) {
    const std::string name = entry->d_name;
    if (name == "." || name == "..") continue;
    const std::string path = folder + "/" + name;
    bool isFolder = entry->d_type == DT_DIR;
    if (entry->d_type == DT_UNKNOWN || entry->d_type == DT_LNK) {
      struct stat st;
      isFolder = ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
    }
    if (isFolder) {
      listFiles(path, files);
    } else {
      files.push_back(path);
    }
  }
  ::closedir(dir);
}

// Head and tail of one file, folded into `sum`. False when it cannot be read.
bool readHeadAndTail(const std::string& path, unsigned char* buffer, std::uint64_t& sum) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  const ssize_t got = ::read(fd, buffer, kHeadBytes);
  bool ok = got >= 0;
  if (ok) {
    sum += got > 0 ? buffer[0] : 0;
    if (static_cast<std::size_t>(got) == kHeadBytes) {
      // More may follow: the tail is elsewhere.
      struct stat st;
      unsigned char tail[2] = {0, 0};
      ok = ::fstat(fd, &st) == 0 && st.st_size >= 2 && ::pread(fd, tail, 2, st.st_size - 2) == 2;
      sum += tail[0] + tail[1];
    } else if (got >= 2) {
      sum += buffer[got - 2] + buffer[got - 1];
    }
  }
  ::close(fd);
  return ok;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: floor_reader PASSES FOLDER\n");
    return 2;
  }
  const int passes = std::atoi(argv[1]);
  std::vector<std::string> files;
  listFiles(argv[2], files);
  std::vector<unsigned char> buffer(kHeadBytes);
  std::uint64_t sum = 0;
  std::size_t failed = 0;
  for (int pass = 0; pass < passes; ++pass) {
    for (const std::string& path : files) {
      if (!readHeadAndTail(path, buffer.data(), sum)) ++failed;
    }
  }
  std::printf("%zu files, %zu failed reads, checksum %llu\n", files.size(), failed,
              static_cast<unsigned long long>(sum));
  return 0;
}
