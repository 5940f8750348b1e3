// The slow share: a read-only FUSE passthrough that shows a folder at a mount
// point and waits a fixed time in every request a network share would send
// over the wire, so that the benchmark can time the tools as if the photos
// were on a file server over a LAN.
//
//   slow_share [--delay-ms MS] [--threads N] [--attr-cache S] [--counts FILE]
//              SOURCE MOUNTPOINT
//
// MS (default 1, fractions allowed) is the wait in each open, opendir, read,
// getattr (also every name lookup) and readdir request; release, statfs and
// readlink cost nothing. Requests are served by up to N threads (default 64),
// so concurrent requests wait side by side, as they do on a real share.
//
// File contents are never cached on the client side: they are read with
// direct I/O (each read(2) is one request, none goes through the page cache),
// so every pass over a file reaches the server. Names and attributes are
// cached for S seconds (default 1, as SMB clients keep them; 0 makes each
// path walk and each stat ask again). The source folder's own files stay in
// the page cache like those of a file server. The program runs in the
// foreground until it gets SIGINT or SIGTERM, or the mount is unmounted; it
// then unmounts and ends. Mounting needs root or fusermount3 (Debian package
// fuse3).
//
// With --counts FILE the share counts the requests it serves, by kind, and
// keeps FILE up to date with them (rewritten every 20 ms and at the end, one
// "kind count" line each): the requests of one tool run are the difference
// of the counts read before and after it.
#include <dirent.h>
#include <fcntl.h>
#include <fuse3/fuse.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

namespace {

struct Share {
  std::string source;  // the folder shown, without a trailing slash
  std::chrono::microseconds delay{1000};
  double attrCacheSeconds = 1;
  std::string countsFile;  // empty: requests are not counted to a file
};

// Requests served, by kind, in the order the counts file lists them.
enum Request { getattrRequest, openRequest, readRequest, opendirRequest, readdirRequest, kinds };
const char* const kRequestNames[kinds] = {"getattr", "open", "read", "opendir", "readdir"};
std::atomic<unsigned long long> requestCounts[kinds];

// Writes the counts to `file` through a temporary file renamed over it, so a
// reader never sees half of them.
void writeCounts(const std::string& file) {
  const std::string temporary = file + ".tmp";
  FILE* out = std::fopen(temporary.c_str(), "w");
  if (out == nullptr) return;
  for (int kind = 0; kind < kinds; ++kind) {
    std::fprintf(out, "%s %llu\n", kRequestNames[kind], requestCounts[kind].load());
  }
  if (std::fclose(out) == 0) std::rename(temporary.c_str(), file.c_str());
}

// An open folder: the stream and the position of the entry read last but not
// yet handed to the kernel (its buffer was full).
struct OpenFolder {
  DIR* stream = nullptr;
  struct dirent* pending = nullptr;
  off_t position = 0;
};

Share& share() { return *static_cast<Share*>(fuse_get_context()->private_data); }

// The wait of one round trip to the server.
void roundTrip(Request kind) {
  requestCounts[kind].fetch_add(1, std::memory_order_relaxed);
  std::this_thread::sleep_for(share().delay);
}

// `path` is the path below the mount point, starting with '/'.
std::string sourcePath(const char* path) { return share().source + path; }

OpenFolder* openFolder(fuse_file_info* info) {
  return reinterpret_cast<OpenFolder*>(static_cast<uintptr_t>(info->fh));
}

void* shareInit(fuse_conn_info*, fuse_config* config) {
  const Share& state = share();
  config->entry_timeout = state.attrCacheSeconds;
  config->attr_timeout = state.attrCacheSeconds;
  config->negative_timeout = state.attrCacheSeconds;
  config->direct_io = 1;
  config->kernel_cache = 0;
  config->use_ino = 1;
  // close(2) of a read-only file sends no FLUSH, as on NFS and SMB clients.
  config->no_rofd_flush = 1;
  return fuse_get_context()->private_data;
}

int shareGetattr(const char* path, struct stat* st, fuse_file_info* info) {
  roundTrip(getattrRequest);
  const int result = info != nullptr ? ::fstat(static_cast<int>(info->fh), st)
                                     : ::lstat(sourcePath(path).c_str(), st);
  return result == 0 ? 0 : -errno;
}

int shareReadlink(const char* path, char* buffer, size_t size) {
  if (size == 0) return -EINVAL;
  const ssize_t got = ::readlink(sourcePath(path).c_str(), buffer, size - 1);
  if (got < 0) return -errno;
  buffer[got] = '\0';
  return 0;
}

int shareOpen(const char* path, fuse_file_info* info) {
  roundTrip(openRequest);
  if ((info->flags & O_ACCMODE) != O_RDONLY) return -EROFS;
  const int fd = ::open(sourcePath(path).c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return -errno;
  info->fh = static_cast<uint64_t>(fd);
  return 0;
}

int shareRead(const char*, char* buffer, size_t size, off_t offset, fuse_file_info* info) {
  roundTrip(readRequest);
  const ssize_t got = ::pread(static_cast<int>(info->fh), buffer, size, offset);
  return got >= 0 ? static_cast<int>(got) : -errno;
}

int shareRelease(const char*, fuse_file_info* info) {
  ::close(static_cast<int>(info->fh));
  return 0;
}

int shareStatfs(const char* path, struct statvfs* st) {
  return ::statvfs(sourcePath(path).c_str(), st) == 0 ? 0 : -errno;
}

int shareOpendir(const char* path, fuse_file_info* info) {
  roundTrip(opendirRequest);
  DIR* stream = ::opendir(sourcePath(path).c_str());
  if (stream == nullptr) return -errno;
  OpenFolder* folder = new OpenFolder;
  folder->stream = stream;
  info->fh = static_cast<uint64_t>(reinterpret_cast<uintptr_t>(folder));
  return 0;
}

// One readdir request: as many entries as fit in the kernel's buffer, from
// `offset` on. Each entry carries the position after it (telldir), so the
// next request continues there.
int shareReaddir(const char*, void* buffer, fuse_fill_dir_t fill, off_t offset,
                 fuse_file_info* info, fuse_readdir_flags) {
  roundTrip(readdirRequest);
  OpenFolder* folder = openFolder(info);
  if (offset != folder->position) {
    ::seekdir(folder->stream, offset);
    folder->pending = nullptr;
    folder->position = offset;
  }
  while (true) {
    if (folder->pending == nullptr) {
      errno = 0;
      folder->pending = ::readdir(folder->stream);
      if (folder->pending == nullptr) return errno == 0 ? 0 : -errno;
    }
    struct stat st;
    std::memset(&st, 0, sizeof st);
    st.st_ino = folder->pending->d_ino;
    st.st_mode = static_cast<mode_t>(folder->pending->d_type) << 12;
    const off_t next = ::telldir(folder->stream);
    if (fill(buffer, folder->pending->d_name, &st, next, static_cast<fuse_fill_dir_flags>(0)) !=
        0) {
      return 0;  // the buffer is full; this entry goes first next time
    }
    folder->pending = nullptr;
    folder->position = next;
  }
}

int shareReleasedir(const char*, fuse_file_info* info) {
  OpenFolder* folder = openFolder(info);
  ::closedir(folder->stream);
  delete folder;
  return 0;
}

fuse_operations shareOperations() {
  fuse_operations ops;
  std::memset(&ops, 0, sizeof ops);
  ops.init = shareInit;
  ops.getattr = shareGetattr;
  ops.readlink = shareReadlink;
  ops.open = shareOpen;
  ops.read = shareRead;
  ops.release = shareRelease;
  ops.statfs = shareStatfs;
  ops.opendir = shareOpendir;
  ops.readdir = shareReaddir;
  ops.releasedir = shareReleasedir;
  return ops;
}

int usage() {
  std::fprintf(
      stderr,
      "usage: slow_share [--delay-ms MS] [--threads N] [--attr-cache S] [--counts FILE] SOURCE "
      "MOUNTPOINT\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  Share state;
  int threads = 64;
  int next = 1;
  for (; next + 1 < argc && std::strncmp(argv[next], "--", 2) == 0; next += 2) {
    char* end = nullptr;
    if (std::strcmp(argv[next], "--delay-ms") == 0) {
      const double ms = std::strtod(argv[next + 1], &end);
      if (*end != '\0' || !(ms >= 0 && ms <= 10000)) return usage();
      state.delay = std::chrono::microseconds(static_cast<long long>(ms * 1000 + 0.5));
    } else if (std::strcmp(argv[next], "--attr-cache") == 0) {
      state.attrCacheSeconds = std::strtod(argv[next + 1], &end);
      if (*end != '\0' || !(state.attrCacheSeconds >= 0 && state.attrCacheSeconds <= 3600)) {
        return usage();
      }
    } else if (std::strcmp(argv[next], "--counts") == 0) {
      state.countsFile = argv[next + 1];
    } else if (std::strcmp(argv[next], "--threads") == 0) {
      threads = static_cast<int>(std::strtol(argv[next + 1], &end, 10));
      if (*end != '\0' || threads < 1 || threads > 1024) return usage();
    } else {
      return usage();
    }
  }
  if (argc - next != 2) return usage();
  char* source = ::realpath(argv[next], nullptr);
  if (source == nullptr) {
    std::fprintf(stderr, "slow_share: %s: %s\n", argv[next], std::strerror(errno));
    return 1;
  }
  state.source = source;
  std::free(source);
  if (state.source == "/") state.source.clear();
  const char* mountPoint = argv[next + 1];

  fuse_args args = FUSE_ARGS_INIT(0, nullptr);
  fuse_opt_add_arg(&args, argv[0]);
  fuse_opt_add_arg(&args, "-o");
  fuse_opt_add_arg(&args, "ro,fsname=slow_share,subtype=slow_share");
  const fuse_operations ops = shareOperations();
  fuse* session = fuse_new(&args, &ops, sizeof ops, &state);
  if (session == nullptr) return 1;
  int status = 1;
  if (fuse_mount(session, mountPoint) == 0) {
    if (fuse_set_signal_handlers(fuse_get_session(session)) == 0) {
      fuse_loop_config* loop = fuse_loop_cfg_create();
      fuse_loop_cfg_set_max_threads(loop, static_cast<unsigned>(threads));
      // Idle threads stay, so a burst of requests finds them ready.
      fuse_loop_cfg_set_idle_threads(loop, static_cast<unsigned>(threads));
      std::atomic<bool> serving{true};
      std::thread counter;
      if (!state.countsFile.empty()) {
        counter = std::thread([&serving, &state] {
          while (serving.load()) {
            writeCounts(state.countsFile);
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
          }
        });
      }
      // A signal ends the loop with its number; only an error is negative.
      status = fuse_loop_mt(session, loop) < 0 ? 1 : 0;
      serving.store(false);
      if (counter.joinable()) counter.join();
      if (!state.countsFile.empty()) writeCounts(state.countsFile);
      fuse_loop_cfg_destroy(loop);
      fuse_remove_signal_handlers(fuse_get_session(session));
    }
    fuse_unmount(session);
  }
  fuse_destroy(session);
  fuse_opt_free_args(&args);
  return status;
}
