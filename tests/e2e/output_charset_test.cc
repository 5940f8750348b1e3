// The output's character set, from the caller's side: a terminal whose
// locale is UTF-8 is shown UTF-8, a pipe gets the same GBK bytes as always,
// and PHOTOCHECK_CHARSET=UTF-8 makes the console and error.json UTF-8 for a
// pipeline. The terminal is a real pseudo-terminal, as a person's would be.
#ifndef _WIN32

#include <fcntl.h>
#include <pty.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "gtest/gtest.h"
#include "tests/e2e/photo_set.h"

namespace {

namespace fs = std::filesystem;

const fs::path kCheckout = PHOTOCHECK_SOURCE_DIR;

// The locale and charset variables a run sees; unset when nullptr.
struct Environment {
  const char* lcAll;
  const char* charset;
};

void applyEnvironment(const Environment& environment) {
  for (const char* name : {"LANG", "LANGUAGE", "LC_CTYPE", "LC_ALL", "PHOTOCHECK_CHARSET"}) {
    ::unsetenv(name);
  }
  if (environment.lcAll != nullptr) ::setenv("LC_ALL", environment.lcAll, 1);
  if (environment.charset != nullptr) ::setenv("PHOTOCHECK_CHARSET", environment.charset, 1);
}

// Sets the variables for the test process and so for the runs it starts
// through a pipe; puts the earlier values back at the end.
class ScopedEnvironment {
 public:
  explicit ScopedEnvironment(const Environment& environment) {
    for (const char* name : {"LANG", "LANGUAGE", "LC_CTYPE", "LC_ALL", "PHOTOCHECK_CHARSET"}) {
      const char* value = std::getenv(name);
      saved_.push_back({name, value ? std::optional<std::string>(value) : std::nullopt});
    }
    applyEnvironment(environment);
  }
  ~ScopedEnvironment() {
    for (const auto& [name, value] : saved_) {
      if (value) {
        ::setenv(name, value->c_str(), 1);
      } else {
        ::unsetenv(name);
      }
    }
  }

 private:
  std::vector<std::pair<const char*, std::optional<std::string>>> saved_;
};

// Runs the tool with a pseudo-terminal as its standard streams, in raw mode
// so that the terminal adds no carriage return: the bytes read are the bytes
// the tool wrote. Nothing where no pseudo-terminal can be opened (a chroot
// or container without /dev/pts).
std::optional<ToolRun> runOnTerminal(const std::vector<std::string>& arguments,
                                     const std::string& folder) {
  ToolRun run;
  int master = -1;
  const pid_t child = ::forkpty(&master, nullptr, nullptr, nullptr);
  if (child < 0) return std::nullopt;
  if (child == 0) {
    struct termios mode;
    if (::tcgetattr(STDIN_FILENO, &mode) == 0) {
      ::cfmakeraw(&mode);
      ::tcsetattr(STDIN_FILENO, TCSANOW, &mode);
    }
    if (::chdir(folder.c_str()) != 0) ::_exit(126);
    std::vector<char*> argv = {const_cast<char*>(PHOTOCHECK_EXE)};
    for (const std::string& argument : arguments)
      argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    ::execv(PHOTOCHECK_EXE, argv.data());
    ::_exit(127);
  }
  char buffer[4096];
  for (;;) {
    const ssize_t got = ::read(master, buffer, sizeof buffer);
    if (got > 0) {
      run.out.append(buffer, static_cast<std::size_t>(got));
    } else if (got < 0 && errno == EINTR) {
      continue;
    } else {
      break;  // EIO once the tool has ended and closed its side
    }
  }
  ::close(master);
  int status = 0;
  if (::waitpid(child, &status, 0) == child && WIFEXITED(status)) run.status = WEXITSTATUS(status);
  return run;
}

std::string fileText(const fs::path& path) {
  const std::optional<std::string> bytes = readFileBytes(path.string());
  EXPECT_TRUE(bytes.has_value()) << path;
  return bytes.value_or("");
}

// The fenced block of docs/usage.md after the comment line starting with
// `marker` (the sample run shown as UTF-8).
std::string usageBlock(const std::string& marker) {
  const std::string page = fileText(kCheckout / "docs" / "usage.md");
  const std::string fence = "```\n";
  const std::size_t at = page.find("\n" + marker);
  const std::size_t begin = page.find(fence, at) + fence.size();
  const std::size_t end = page.find("\n" + fence, begin);
  EXPECT_TRUE(at != std::string::npos && end != std::string::npos) << marker;
  return page.substr(begin, end + 1 - begin);
}

class OutputCharset : public testing::Test {
 protected:
  void SetUp() override {
    const fs::path examples = kCheckout / "examples";
    fs::create_directories(fs::path(root_.path()) / "examples");
    fs::copy(examples / "images", fs::path(root_.path()) / "examples" / "images");
    fs::copy_file(examples / "photocheck.settings",
                  fs::path(root_.path()) / "examples" / "photocheck.settings");
  }

  std::string report() const { return fileText(root_ / "build/example-output/error.json"); }

  TempFolder root_;
};

// The sample set on a terminal under each locale, into a pipe, and with
// PHOTOCHECK_CHARSET. The GBK bytes are examples/expected; their UTF-8 form
// is what docs/usage.md shows (a test compares the two through iconv).
TEST_F(OutputCharset, TerminalsPipesAndTheVariable) {
  const std::string gbkConsole = fileText(kCheckout / "examples/expected/console.txt");
  const std::string gbkReport = fileText(kCheckout / "examples/expected/error.json");
  const std::string utf8Console = usageBlock("<!-- examples/expected/console.txt");
  std::string utf8Report = usageBlock("<!-- examples/expected/error.json");
  utf8Report.pop_back();  // the block's own line end
  ASSERT_NE(gbkConsole, utf8Console);

  struct Case {
    const char* what;
    bool terminal;
    Environment environment;
    const std::string& console;
    const std::string& report;
  };
  const Case cases[] = {
      {"UTF-8 terminal", true, {"C.UTF-8", nullptr}, utf8Console, gbkReport},
      {"C terminal", true, {"C", nullptr}, gbkConsole, gbkReport},
      {"pipe, UTF-8 locale", false, {"C.UTF-8", nullptr}, gbkConsole, gbkReport},
      {"pipe, C locale", false, {"C", nullptr}, gbkConsole, gbkReport},
      {"pipe, PHOTOCHECK_CHARSET=utf-8", false, {"C", "utf-8"}, utf8Console, utf8Report},
      {"pipe, PHOTOCHECK_CHARSET=GBK", false, {"C.UTF-8", "GBK"}, gbkConsole, gbkReport},
      {"C terminal, PHOTOCHECK_CHARSET=UTF-8", true, {"C", "UTF-8"}, utf8Console, utf8Report},
  };
  std::string noTerminal;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    fs::remove(root_ / "build/example-output/error.json");
    const ScopedEnvironment environment(c.environment);
    const std::vector<std::string> arguments = {"examples/photocheck.settings"};
    const std::optional<ToolRun> run = c.terminal
                                           ? runOnTerminal(arguments, root_.path())
                                           : runTool(PHOTOCHECK_EXE, arguments, root_.path());
    if (!run) {
      noTerminal += std::string(noTerminal.empty() ? "" : ", ") + c.what;
      continue;
    }
    EXPECT_EQ(run->status, 1);
    EXPECT_EQ(run->out, c.console);
    EXPECT_EQ(report(), c.report);
  }
  if (!noTerminal.empty()) {
    GTEST_SKIP() << "no pseudo-terminal could be opened here (no /dev/pts?): not run: "
                 << noTerminal << " (the pipe cases ran)";
  }
}

// Runs python3 on `script` with `argument`; its standard output, or nothing
// when there is no python3.
std::optional<std::string> python(const std::string& script, const std::string& argument) {
  if (std::system("command -v python3 >/dev/null 2>&1") != 0) return std::nullopt;
  const std::string command = "python3 -c '" + script + "' '" + argument + "'";
  std::FILE* pipe = ::popen(command.c_str(), "r");
  if (pipe == nullptr) return std::nullopt;
  std::string out;
  char buffer[512];
  std::size_t got = 0;
  while ((got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, got);
  ::pclose(pipe);
  return out;
}

// With PHOTOCHECK_CHARSET=UTF-8 every name reaches error.json so that a
// UTF-8 reader gets it back exactly: a UTF-8 name as it is, a name in another
// encoding (GBK bytes here) byte by byte as lone surrogates.
TEST(OutputCharsetNames, Utf8ReportNamesEveryPhotoExactly) {
  TempFolder root;
  const std::string images = root / "images";
  const std::string utf8Name = u8"照片_0011.JPG";
  const std::string gbkName = "\xd5\xd5\xc6\xac.jpg";  // 照片.jpg in GBK: not UTF-8
  writeFileBytes(images + "/" + utf8Name, "not a photo");
  writeFileBytes(images + "/" + gbkName, "not a photo");
  const ScopedEnvironment environment({"C", "UTF-8"});
  const e2e::PhotoRun r =
      e2e::runOn(root, images, root / "out", e2e::Switches{false, false, false, true});

  // Byte order: the GBK name (0xD5) before the UTF-8 one (0xE7). Its last
  // two bytes, C6 AC, happen to be valid UTF-8 (U+01AC) and stay bytes.
  const std::string json = std::string("{\"errors\":[{\"errcode\":104,\"error_des\":\"") +
                           u8"没有gps信息." + "\",\"images\":[\"\\uDCD5\\uDCD5\xc6\xac.jpg\",\"" +
                           utf8Name + "\"]}]}";
  EXPECT_EQ(r.run.status, 1);
  EXPECT_EQ(r.report, json);
  EXPECT_EQ(e2e::lastLine(r.run.out), json);
  // The console's name lines are the names' bytes, after the UTF-8 text.
  EXPECT_NE(r.run.out.find(u8"不相同的文件名为： " + gbkName + "\n"), std::string::npos);
  EXPECT_NE(r.run.out.find(u8"不相同的文件名为： " + utf8Name + "\n"), std::string::npos);

  const std::optional<std::string> names = python(
      "import json, sys\n"
      "report = json.load(open(sys.argv[1], encoding=\"utf-8\"))\n"
      "for name in report[\"errors\"][0][\"images\"]:\n"
      "    print(name.encode(\"utf-8\", \"surrogateescape\").hex())\n",
      root / "out/error.json");
  if (!names) GTEST_SKIP() << "no python3 to read the report as a pipeline would";
  auto hex = [](const std::string& bytes) {
    std::string text;
    char digits[3];
    for (const unsigned char byte : bytes) {
      std::snprintf(digits, sizeof digits, "%02x", byte);
      text += digits;
    }
    return text;
  };
  EXPECT_EQ(*names, hex(gbkName) + "\n" + hex(utf8Name) + "\n");
}

}  // namespace

#endif  // _WIN32
