// The floor: the least work any tool must do to learn what photocheck learns
// from a photo set. It lists the folder tree once, then, in each of PASSES
// passes over the list, opens every file, reads its first 64 KiB and its last
// 2 bytes, and closes it. It prints the number of files and a checksum of the
// bytes read, so that nothing can be skipped.
//
//   floor_reader [-j N] PASSES FOLDER
//
// With -j N, N threads share each pass: each takes the next file of the list
// until none is left, so N reads are in flight at once (the pass ends when
// all are done). Without it, or with -j 1, one file after another.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
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

// One pass over `files` by `threads` threads; adds to `sum` and `failed`.
// The checksum is a plain sum, so the order of the reads does not change it.
void readPass(const std::vector<std::string>& files, int threads, std::uint64_t& sum,
              std::size_t& failed) {
  std::atomic<std::size_t> next{0};
  std::vector<std::uint64_t> sums(threads, 0);
  std::vector<std::size_t> failures(threads, 0);
  auto work = [&](int worker) {
    std::vector<unsigned char> buffer(kHeadBytes);
    for (std::size_t i = next++; i < files.size(); i = next++) {
      if (!readHeadAndTail(files[i], buffer.data(), sums[worker])) ++failures[worker];
    }
  };
  std::vector<std::thread> pool;
  for (int worker = 1; worker < threads; ++worker) pool.emplace_back(work, worker);
  work(0);
  for (std::thread& thread : pool) thread.join();
  for (int worker = 0; worker < threads; ++worker) {
    sum += sums[worker];
    failed += failures[worker];
  }
}

}  // namespace

int main(int argc, char** argv) {
  int threads = 1;
  int first = 1;
  if (argc == 5 && std::strcmp(argv[1], "-j") == 0) {
    threads = std::atoi(argv[2]);
    first = 3;
  }
  if (argc - first != 2 || threads < 1 || threads > 1024) {
    std::fprintf(stderr, "usage: floor_reader [-j N] PASSES FOLDER\n");
    return 2;
  }
  const int passes = std::atoi(argv[first]);
  std::vector<std::string> files;
  listFiles(argv[first + 1], files);
  std::uint64_t sum = 0;
  std::size_t failed = 0;
  for (int pass = 0; pass < passes; ++pass) readPass(files, threads, sum, failed);
  std::printf("%zu files, %zu failed reads, checksum %llu\n", files.size(), failed,
              static_cast<unsigned long long>(sum));
  return 0;
}
