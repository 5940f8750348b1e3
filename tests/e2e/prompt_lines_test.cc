// The console gathers lines and writes them together, but never keeps a
// caller reading them line by line waiting while the tool itself waits: the
// echo of the settings path and the further arguments reaches a pipe while
// the settings file has not yet given a byte.
#ifndef _WIN32
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "tests/e2e/limited_run.h"
#include "tests/e2e/photo_set.h"

namespace {

// Reads `fd` until `count` bytes arrived or `timeout` passed.
std::string firstBytes(int fd, std::size_t count, std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  std::string seen;
  char c = 0;
  while (seen.size() < count) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    struct pollfd ready = {fd, POLLIN, 0};
    if (left.count() <= 0 || ::poll(&ready, 1, static_cast<int>(left.count())) <= 0) break;
    if (::read(fd, &c, 1) != 1) break;
    seen += c;
  }
  return seen;
}

TEST(PromptLines, TheEchoArrivesBeforeTheSettingsFileIsRead) {
  TempFolder root;
  const std::string images = root / "images";
  const std::string output = root / "out";
  e2e::writePhoto(images + "/a.jpg", {});
  e2e::Photo other;
  other.make = "Nikon";
  e2e::writePhoto(images + "/b.jpg", other);
  const e2e::PhotoRun reference = e2e::runOn(root, images, output);
  // With two further arguments, the echo is five lines made at once.
  const ToolRun whole = runTool(PHOTOCHECK_EXE, {reference.settingsPath, "one", "two"});
  ASSERT_EQ(whole.status, 1);
  const std::string expectedEcho = reference.settingsPath + "\n\none\n\ntwo\n";
  ASSERT_EQ(whole.out.substr(0, expectedEcho.size()), expectedEcho);

  // The same settings, from a named pipe that gives them only once the echo
  // has been seen.
  std::string settings;
  for (const auto& [key, value] : e2e::settingsOf(images, output, {})) {
    settings += key + " = " + value + "\n";
  }
  ASSERT_EQ(::unlink(reference.settingsPath.c_str()), 0);
  ASSERT_EQ(::mkfifo(reference.settingsPath.c_str(), 0600), 0);
  e2e::StartedTool started =
      e2e::startTool(PHOTOCHECK_EXE, {reference.settingsPath, "one", "two"}, {});
  ASSERT_GT(started.pid, 0);
  const std::string echo = firstBytes(started.out, expectedEcho.size(), std::chrono::seconds(5));
  // Opening the pipe for writing lets the tool's open go on, whatever the
  // echo was: the run must end either way.
  const int pipe = ::open(reference.settingsPath.c_str(), O_WRONLY);
  ASSERT_GE(pipe, 0);
  EXPECT_EQ(::write(pipe, settings.data(), settings.size()), static_cast<ssize_t>(settings.size()));
  ::close(pipe);
  const ToolRun rest = e2e::finishTool(started, std::chrono::seconds(20));

  EXPECT_EQ(echo, expectedEcho);
  EXPECT_EQ(echo + rest.out, whole.out);
  EXPECT_EQ(rest.status, whole.status);
}

// An event-loop caller makes its end of the pipe non-blocking and reads when
// it gets round to it: the tool's writes into the full pipe are refused for a
// while, and must still all arrive. 5,000 further settings make an echo of
// about 400 KB, six times what a pipe holds.
TEST(PromptLines, EveryByteReachesASlowReaderOfANonBlockingPipe) {
  TempFolder root;
  const std::string images = root / "images";
  e2e::writePhoto(images + "/a.jpg", {});
  std::string settings;
  for (const auto& [key, value] : e2e::settingsOf(images, root / "out", {})) {
    settings += key + " = " + value + "\n";
  }
  for (int i = 0; i < 5000; ++i) {
    settings += "z_further_" + std::to_string(i) + " = " + std::string(60, 'v') + "\n";
  }
  const std::string settingsPath = root / "many.settings";
  writeFileBytes(settingsPath, settings);
  const ToolRun whole = runTool(PHOTOCHECK_EXE, {settingsPath});
  ASSERT_GT(whole.out.size(), 370000u);

  e2e::RunLimits slowly;
  slowly.nonBlockingOutput = true;
  slowly.pauseAfterRead = std::chrono::milliseconds(2);
  const ToolRun run = e2e::runLimited(PHOTOCHECK_EXE, {settingsPath}, slowly);
  EXPECT_EQ(run.out.size(), whole.out.size());
  EXPECT_TRUE(run.out == whole.out);
  EXPECT_EQ(run.err, whole.err);
  EXPECT_EQ(run.status, whole.status);
  EXPECT_EQ(run.status, 0);
}

}  // namespace
#endif
