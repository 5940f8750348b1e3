// The one place that touches the operating system. Everything else in
// photocheck is plain C++17 over byte strings; this header says what it needs
// of the platform, and platform_posix.cc / the windows_*.cc files provide it.
//
// Paths are byte strings in the platform's own encoding (the ANSI code page
// on Windows, raw bytes on POSIX) and are shown exactly as given: nothing here
// normalises a path's text. Windows reaches a path through its UTF-16 native
// form instead (see FilePath and windows_paths.h).
#ifndef PHOTOCHECK_PLATFORM_PLATFORM_H
#define PHOTOCHECK_PLATFORM_PLATFORM_H

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// The byte that joins a folder and an entry name: '\\' on Windows, '/' on
// POSIX (where a backslash is an ordinary file-name byte).
extern const char kPathSeparator;

#ifdef _WIN32
// The exact path the Windows calls take: UTF-16, absolute, in the extended
// "\\?\" form (no length limit, every name taken as it stands). Empty where
// it has not been made (the calls then make it from the shown text).
using NativePath = std::wstring;

// True when `byte` begins a two-byte character of the ANSI code page (a GBK
// character under code page 936); its second byte may then be 0x5C, the byte
// of '\', without being a separator.
bool isLeadByte(unsigned char byte);
#else
// POSIX reaches a file by the very bytes it is shown with: nothing more to
// carry.
struct NativePath {};
#endif

// The path of a listed file or folder, as the tool shows it and as the
// platform reaches it.
struct FilePath {
  FilePath() = default;
  // A path from a text of the user's (a setting, a test's folder). On
  // Windows the native path is made from it here, the text converted whole.
  FilePath(std::string shownText);  // NOLINT: implicit on purpose
  FilePath(const char* shownText) : FilePath(std::string(shownText)) {}  // NOLINT

  // What the console and error.json show: the folder text as given, the
  // platform's separator and each name, in the platform's own encoding.
  std::string text;
  NativePath native;
  // False for a listed name no path can reach: a name holding a separator
  // ('\\' or '/', from a foreign file system on Windows), which joined to
  // its folder would name another file or none. Nothing opens or lists it.
  bool reachable = true;
  // True when the listing found a regular file here (links followed): the
  // read opens it without asking for its type first. False where the
  // listing did not say, and for a path from a user's text.
  bool listedAsFile = false;
};

// True where a file read as text still holds the carriage return of a CR LF
// line end (POSIX); the Windows C runtime's text mode has dropped it.
extern const bool kTextKeepsCarriageReturns;

// True when something exists at `path`.
bool pathExists(const std::string& path);

// Creates `path` and every missing parent folder. Returns true when the
// folder exists afterwards.
bool makeFolders(const std::string& path);

struct FolderEntry {
  // As shown, in the platform's own encoding. On Windows the ANSI code page's
  // bytes, with '?' for each character the code page cannot hold.
  std::string name;
  // On Windows the exact UTF-16 name, by which the entry is reached.
  NativePath native;
  bool isFolder = false;
  // A regular file, links followed (POSIX; false where the type is not known).
  bool isFile = false;
};

// `folder`, the separator and the entry's name.
FilePath childPath(const FilePath& folder, const FolderEntry& entry);

// Identity of a listed folder, so that the scan lists each folder once,
// however many paths (links, junctions) lead to it: device and inode on
// POSIX; on Windows a number the process gives each folder it meets (`device`
// 0), found again by the folder's volume serial number and 128-bit file ID,
// or by its final path where the file system gives no ID. `known` is false
// where the platform gives none (the folder could be listed but not opened).
struct FolderId {
  bool known = false;
  std::uint64_t device = 0;
  std::uint64_t inode = 0;
};

bool operator==(const FolderId& a, const FolderId& b);

struct FolderListing {
  FolderId id;
  // Every entry but "." and "..", in the order the scan must visit them:
  // the find functions' order on Windows, ascending byte order of the names
  // on POSIX.
  std::vector<FolderEntry> entries;
};

// Lists one folder. Returns false when it cannot be listed (missing, not a
// folder, no access). Throws ResourceShortage where the process has no
// descriptor or memory left to list it (POSIX).
bool listFolder(const FilePath& folder, FolderListing& listing);

// For tests (POSIX): listFolder takes every entry's type as unknown, as file
// systems that give none in their listing do, and asks the file system for
// each (a stat per entry). Off by default.
void setListedTypesIgnored(bool ignored);

// For tests (Windows): listFolder takes every folder's file ID as unknown (0),
// as some file systems and servers give it, and knows the folder by its final
// path. Off by default; nothing on POSIX.
void setFolderIdsIgnored(bool ignored);

enum class ReadStatus {
  ok,              // the file is open
  missing,         // nothing exists at the path (any more)
  unreadable,      // it exists but is not a regular file, cannot be opened,
                   // is 4 GiB or larger, or its read came short
  shortage,        // the process itself is short of something the open needs
                   // (file descriptors, memory): no fault of the file's
  notRegularFile,  // it exists but is a folder, a pipe, a device or a socket
};

// The identity of a file, whatever path reaches it: device and inode on
// POSIX; on Windows the volume serial number and the whole 128-bit file ID
// (`file` its low half, `fileHigh` its high half: ReFS uses all of it, so
// its low half alone may be another file's), or the 64-bit file index where
// the file system gives no ID (`fileHigh` 0). Every Windows identity, a
// photo's from its read as a side file's, comes from one helper, so two
// identities of one file always compare equal. All zero where it is not
// known.
struct FileIdentity {
  std::uint64_t device = 0;
  std::uint64_t file = 0;
  std::uint64_t fileHigh = 0;  // always 0 on POSIX
};

inline bool isKnown(const FileIdentity& id) {
  return id.device != 0 || id.file != 0 || id.fileHigh != 0;
}
inline bool operator==(const FileIdentity& a, const FileIdentity& b) {
  return isKnown(a) && a.device == b.device && a.file == b.file && a.fileHigh == b.fileHigh;
}

// Thrown where the process runs out of what it needs (file descriptors,
// memory, threads) at a point where the run cannot go on without it: the
// caller at the top says so and ends the run.
struct ResourceShortage {};

// Files of this size and more are never read: lengths and offsets within a
// photo are 32-bit, and no camera writes such a file.
inline constexpr std::uint64_t kFourGiB = std::uint64_t{1} << 32;

// A file open for reading at any offset. Moved, never copied; closes itself.
class ReadableFile {
 public:
  ReadableFile() = default;
  ReadableFile(ReadableFile&& other) noexcept;
  ReadableFile& operator=(ReadableFile&& other) noexcept;
  ReadableFile(const ReadableFile&) = delete;
  ReadableFile& operator=(const ReadableFile&) = delete;
  ~ReadableFile();

  // The file's length when it was opened; below 4 GiB.
  std::uint32_t size() const { return size_; }
  // The open file's identity, from the same request that gave its size.
  FileIdentity identity() const { return identity_; }
  // The system's number for why the last open or read of this file failed
  // (errno on POSIX, GetLastError on Windows); 0 when none did, or when a
  // read found the file ending early. See systemErrorText.
  int error() const { return error_.load(std::memory_order_relaxed); }
  void close();

 private:
  friend ReadStatus openForReading(const FilePath& path, ReadableFile& file);
  friend bool readAt(const ReadableFile& file, std::uint32_t offset, std::uint32_t length,
                     unsigned char* out);
  std::intptr_t handle_ = -1;  // a file descriptor on POSIX, a HANDLE on Windows
  std::uint32_t size_ = 0;
  // Set by a const readAt too, which several threads may call at once on one
  // file (a search reading pieces ahead).
  mutable std::atomic<int> error_{0};
  FileIdentity identity_;
};

// Opens a listed file for reading. `missing` only when nothing is there (the
// path does not exist); `shortage` when the process has no descriptor or
// memory left for it; any other failure (no permission on a folder on the
// way, a link loop, a name too long, 4 GiB or more, the open refused) is
// `unreadable` (with the system's number in file.error()), something that is
// not a regular file `notRegularFile`, so a photo nobody could read never passes
// unnoticed. A path the listing found to be a regular file is opened
// straight away and its type checked on the open descriptor (a file turned
// into a pipe or device since the listing is then closed unread); any other
// path has its type asked first, so a pipe or device is never opened.
ReadStatus openForReading(const FilePath& path, ReadableFile& file);

// Reads exactly `length` bytes at `offset` into `out`. False when they cannot
// all be read (an I/O error, or the file was cut short since it was opened).
// Several threads may read one file at once.
bool readAt(const ReadableFile& file, std::uint32_t offset, std::uint32_t length,
            unsigned char* out);

// Replaces the file at `path` by `text`, all or nothing: the text goes to a
// temporary file of this call's own in the same folder (a fresh short name,
// ".photocheck-" and six letters, so that any name the file system takes can
// be written; created exclusively, so nothing planted there is followed or
// reused), which is then
// renamed over `path`; a link standing at `path` is replaced, never written
// through. On failure the earlier file, if any, is left as it was and no
// temporary file remains. Every step is made in the folder as opened once
// (see OpenFolder). On POSIX the temporary file is locked (flock) from its
// making on, and a write takes back the temporary files of earlier runs in
// its folder that no running process still holds: a run killed in the
// instant between naming its whole file and the rename leaves it only
// until the next write there.
// On Windows the file is written in text mode, as any report file there.
bool replaceFile(const std::string& path, const std::string& text);

// ---- Side files: the page and the GeoJSON a run writes beside its report ----

// Takes each piece of a file's text in order; false when it could not be
// written (the making of the text then stops).
using TextPieceWriter = std::function<bool(std::string_view piece)>;

// replaceFile for a text made piece by piece, so that a large file is never
// held whole: `makeText` is called once with the writer of the temporary
// file and returns false to give up (nothing is then replaced).
bool replaceFileByPieces(const std::string& path,
                         const std::function<bool(const TextPieceWriter&)>& makeText);

// The identity of the file at `path`, links followed; unknown when nothing
// is there or it cannot be asked.
FileIdentity identityOf(const FilePath& path);

// The folder a file is written into, opened once, so that every step of the
// write (the look at what stands at the file's name, the temporary file, its
// name, the rename, the look after it) reaches that very folder, whatever its
// path leads to meanwhile: a link on the way that another process swaps
// between two folders cannot send a later step into the other one.
struct OpenFolder {
  std::intptr_t handle = -1;  // a descriptor (POSIX), a HANDLE (Windows)
  FileIdentity identity;      // of the open folder, asked once
#ifdef _WIN32
  std::wstring path;  // the folder's final path ("\\?\C:\..."), from its handle
  std::wstring name;  // the file's name in it
#else
  std::string name;  // the file's name in it
  // Empty; where the process has no descriptor to spare for the folder, its
  // path and '/', and `name` the whole path: every step then goes by path.
  std::string prefix;
#endif
};

// Opens the folder `path` names its file in (links in it followed) and
// keeps the file's name. False where no folder can be opened there (or no
// name is left, a path ending in a separator); nothing is then to be closed.
bool openFolderOf(const std::string& path, OpenFolder& folder);
void closeFolder(OpenFolder& folder);

// What stands at the path a side file is to be written to.
enum class SideFileTarget {
  nothing,      // nothing, or it cannot be told (the write then says so)
  link,         // a link to a regular file or to nothing: it is replaced,
                // what it leads to is never touched
  regularFile,  // a regular file, with its identity
  other,        // a folder, a pipe, a device, a socket, a stream of a file
                // (Windows: a ':' in the last name), or a link to one of
                // them or to a process's descriptor (/dev/stdout): never
                // replaced
};

// Looks at the file's name in `folder` without following a link there (but
// asking what the link leads to). `identity` receives a regular file's
// identity.
SideFileTarget sideFileTargetIn(const OpenFolder& folder, FileIdentity& identity);

// True when `folder` is the folder of identity `outer` or lies anywhere
// below it, links followed (its own folders walked up to the top).
bool folderLiesIn(const OpenFolder& folder, const FileIdentity& outer);

// replaceFileByPieces into an open folder. `written` receives the identity
// of the file that now stands at the name.
bool replaceIn(const OpenFolder& folder,
               const std::function<bool(const TextPieceWriter&)>& makeText, FileIdentity& written);

// Removes the file at the name in `folder` when it is still the file of
// identity `written`; false where it is not or cannot be removed. Only for a
// side file just written that turned out to stand where it must not.
bool removeIn(const OpenFolder& folder, const FileIdentity& written);

// For tests (POSIX): replaceIn takes the file system as one without unnamed
// files (O_TMPFILE) and writes through a named temporary file. Off by
// default.
void setUnnamedFilesIgnored(bool ignored);

// What a side file must keep to, besides not replacing anything but a
// regular file, a link to one or nothing.
struct SideFileRules {
  // True for the identity of a regular file that must stay (the settings
  // file, error.json, a photo of the set, the other side file).
  std::function<bool(const FileIdentity&)> mustStay;
  // True for an identity the written file must not turn out to have (the
  // output folder's error.json, reached by a name the guard could not tell
  // beforehand): it is then taken back.
  std::function<bool(const FileIdentity&)> mustNotBecome;
  // The image folder: a side file in it, or in a folder below it, would be
  // listed by the next run (unknown: no such rule).
  FileIdentity imageFolder;
};

// Writes one side file: its folder opened once, the rules asked of what
// stands there, the text made by `makeText` and stored as
// replaceFileByPieces does, then taken back where it must not stand. False
// when it was refused or not written (the caller's one line says so).
bool writeSideFile(const std::string& path, const SideFileRules& rules,
                   const std::function<bool(const TextPieceWriter&)>& makeText);

// Asks the system to back the block of `bytes` at `begin`, one the run
// fills as it goes (the facts of every photo of a large set), with large
// pages where it can: it is then made in a few steps rather than one per
// 4 KiB page. Only a hint: nothing changes where the system does not take it.
void adviseLargePages(const void* begin, std::size_t bytes);

// The system's words for an error number a ReadableFile recorded (errno on
// POSIX, GetLastError on Windows), in English where the system has them.
std::string systemErrorText(int error);

// The path the environment variable PHOTOCHECK_GEOJSON names, which the
// run's GeoJSON report is written to; empty when it is not set or empty.
// Read as PHOTOCHECK_HTML is.
std::string geoJsonPath();

// The text of the environment variable PHOTOCHECK_GROUND_M (the ground's
// height above sea level in metres, for the side files' readiness), in the
// system's text encoding; empty when it is not set or empty. Read as
// PHOTOCHECK_HTML is.
std::string groundHeightText();

// The path of `path` below `folder` (which the scan listed it under), in
// UTF-8 with '/' between names: on POSIX the bytes as they stand (a byte
// that is not UTF-8 is the caller's to escape), on Windows made from the
// exact UTF-16 names.
std::string utf8PathBelow(const FilePath& folder, const FilePath& path);

// ---- end of side files ----

// Readies the process for being run from scripts and pipelines: a closed
// pipe on standard output must not kill the run (its writes fail and are
// dropped; the report and the exit status still come), and standard streams
// that were closed are opened on the null device, so that no file the run
// opens can take their place and receive console text.
void prepareProcess();

// The process's own number (POSIX getpid, Windows GetCurrentProcessId).
unsigned long processId();

// The exit status of a process ended by a fault of its own (see endOnFault):
// never 0, so that no caller reads a crash as a pass; the status the C
// runtime's abort gives on Windows.
inline constexpr int kFaultStatus = 3;

// From now on a fault of the process's own ends it at once with status
// kFaultStatus and one line on standard error: `line` (`lineAfterVerdict`
// once noteVerdictPrinted was called), then the fault's code in brackets.
// On Windows: an unhandled exception (an access violation, heap
// corruption, a stack overflow) on any thread, abort and std::terminate;
// whatever host runs the program (Wine's own handling ends such a process
// with status 0, which reads as a pass). On POSIX nothing changes: the
// signal that ends such a process gives it a non-zero status already.
void endOnFault(const char* line, const char* lineAfterVerdict);

// Tells the fault handling that the run's verdict is out (its report or
// all-clear line written to standard output, error.json stored): a fault
// from now on, while side files are made, says so with its line. Safe to
// call from any thread; the handler reads it without taking a lock or
// memory.
void noteVerdictPrinted();

// Runs `run` and returns what it returns, on a thread whose stack holds the
// whole run where the process's own stack is too small for it (a stack limit
// of a few kilobytes, ulimit -s); elsewhere on the calling thread.
int runWithRoomyStack(int (*run)(int, char**), int argc, char** argv);

// Threads of the tool's own (the reading threads).
//
// Each gets a stack of kThreadStackBytes, whatever the stack limit says
// (ulimit -s, 8 MiB on most systems, is what a thread gets by default: under
// an address-space limit one such stack may take all that is left), and
// gives all of it back when joined: on POSIX the stack is a mapping of the
// tool's own, unmapped at the join (the C library would keep a stack of its
// own for the next thread). A thread that cannot be made (no memory for its
// stack, a limit on threads) is no error: startThread says so and the
// caller goes on with the threads it has.
inline constexpr std::size_t kThreadStackBytes = 256 * 1024;

struct Thread {
  void (*body)(void*) = nullptr;
  void* argument = nullptr;
  std::uintptr_t handle = 0;  // the pthread_t, or the thread's HANDLE
  void* stack = nullptr;      // POSIX: the mapping that holds the stack
  std::size_t stackMapping = 0;
};

// Starts `body(argument)` on a new thread; `thread` must stay where it is
// until joined. False when no thread can be made: nothing is to be joined
// then.
bool startThread(Thread& thread, void (*body)(void*), void* argument);

// Waits until a started thread has ended and gives back its stack.
void joinThread(Thread& thread);

// Makes the user's default locale the C runtime's (all categories, from the
// environment). On Windows the C++ library's global locale becomes the
// user's too where it can make it; on Linux it stays the classic one, so that
// no character-set converter module of the host is ever loaded. Never
// throws.
void useUserLocale();

// The settings file the command line names (argument `index` of `argv`).
// POSIX takes the argument's bytes. Windows takes the argument from the
// UTF-16 command line, as the user typed it: the ANSI one holds a look-alike
// for each character the code page lacks (under code page 936 "chateau.conf"
// for the name with a circumflex on its "a"), which could name another file. Its
// text is then the code page's bytes with '?' for such characters, as a
// listed name is shown.
FilePath argumentPath(int argc, const char* const* argv, int index);

// The text of argument `index` of `argv` from its byte `from` on (an
// option's value after "--page="), as the user typed it: POSIX its bytes;
// Windows from the UTF-16 command line, as argumentPath takes it, shown as
// the code page's bytes with '?' for each character it lacks (never a
// look-alike, so a full-width "－－quiet" is no option), and a path call
// given the text reaches the exact typed name, as htmlPagePath's text does.
// `from` counts the ASCII characters before it, one byte and one UTF-16
// unit each.
std::string argumentText(int argc, const char* const* argv, int index, std::size_t from);

// The path of a file named by a user's text (on Windows made by the rules
// the ANSI calls follow for a file name).
FilePath filePathOf(const std::string& text);

enum class SmallFileRead { ok, cannotOpen, tooLarge };

// Opens the file at `path` once and reads it to its end into `bytes` as a
// text file: at most `limit` bytes, `tooLarge` (and `bytes` empty) when it
// holds more. One open, so a named pipe or a process substitution is read
// once, as it comes; a read that fails ends the text like its end. On
// Windows the bytes are those the C runtime's text mode gives: a carriage
// return right before a line feed is dropped and a 0x1A byte ends the text.
// When the open fails, `reason` (if given) receives the system's words for
// why.
SmallFileRead readSmallFile(const FilePath& path, std::size_t limit, std::string& bytes,
                            std::string* reason = nullptr);

// False when no path can be made of the folder text `text`: on Windows its
// full path would be longer than the 32,767 UTF-16 units any path may have.
// Always true on POSIX.
bool pathCanBeMade(const std::string& text);

// What the output is read as. Standard output goes to a person when it is a
// terminal: a UTF-8 one (POSIX, its locale's character set after
// useUserLocale) is given UTF-8 text, a Windows console UTF-16 text. Anything
// else (a pipe, a file, a terminal of another character set) gets the
// system's bytes, unless PHOTOCHECK_CHARSET asks for UTF-8.
enum class StandardOutput { bytes, utf8Terminal, wideConsole };
StandardOutput standardOutputKind();

// True when `text` is `lowerAscii` with its ASCII letters in any case
// ("UTF-8" and "utf-8" for "utf-8"); a byte from 0x80 up is never a letter.
bool equalsIgnoringCase(std::string_view text, std::string_view lowerAscii);

// True when the environment variable PHOTOCHECK_CHARSET holds "UTF-8" (in
// any case): the console and error.json are then UTF-8 throughout.
bool utf8OutputRequested();

// The file the environment variable PHOTOCHECK_HTML names, which the run's
// HTML page is written to; empty when it is not set or empty. On Windows
// the variable is read as UTF-16 and every path call reaches that exact name;
// the text is the ANSI code page's, '?' for each character it lacks.
std::string htmlPagePath();

// The UTF-8 form of a text in the system's own encoding (a setting, an
// argument, a text read from a photo): on POSIX its bytes as they stand, on
// Windows converted from the ANSI code page.
std::string utf8FromSystemText(const std::string& text);

// The bare name of a listed path (after its last separator) in UTF-8: on
// POSIX its bytes, on Windows made from the exact UTF-16 name, so a name the
// ANSI code page cannot hold keeps every character.
std::string utf8NameOf(const FilePath& path);

// True when `byte` begins a two-byte character of the system's text encoding
// (the ANSI code page's lead bytes on Windows; never on POSIX, whose names
// are plain bytes). The byte after it belongs to the character, even 0x5C.
bool startsDoubleByteCharacter(unsigned char byte);

// Writes UTF-8 text to the Windows console as UTF-16 (line feeds as CR LF).
// False where it cannot (POSIX, or standard output is no console).
bool writeWideConsole(const std::string& utf8);

// The English message of the C library error number `error` (errno), the
// same in every locale: "No such file or directory" for ENOENT.
std::string errorText(int error);

// Standard output and standard error, written whole.
enum class StandardStream { output, error };

// Writes every byte of `bytes` to `stream`. A caller may have made its pipe
// non-blocking (event-loop runtimes do): a write it answers with "try again"
// waits until the pipe takes bytes again (POSIX poll) and goes on, however
// slowly the caller reads. False only when the reader has gone (a closed
// pipe) or the write failed (a full device, an I/O error): the caller then
// drops what follows. On Windows through the C runtime's stream, whose text
// mode writes a line feed as CR LF.
bool writeStandardStream(StandardStream stream, std::string_view bytes);

// True when standard output is a terminal (of any character set), which is
// shown each line as it ends.
bool standardOutputIsTerminal();

// Why the folder `folder` cannot be listed, in the system's words ("No such
// file or directory", "Not a directory", "Permission denied"; on Windows the
// system's English message); empty when it can be listed.
std::string whyFolderCannotBeListed(const FilePath& folder);

}  // namespace platform

#endif  // PHOTOCHECK_PLATFORM_PLATFORM_H
