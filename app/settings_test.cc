#include "app/settings.h"

#include <sstream>

#include "gtest/gtest.h"
#include "tests/support/captured_output.h"
#include "tests/support/temp_folder.h"

namespace {

struct SplitCase {
  const char* line;
  bool holdsSetting;
  const char* key;
  const char* value;
};

TEST(Settings, SplitsLinesByTheFormatRules) {
  // clang-format off
  const SplitCase cases[] = {
    {"",                              false, "", ""},
    {"# a=b",                         false, "", ""},
    {"#",                             false, "", ""},
    {"no equals sign",                false, "", ""},
    {"=value",                        false, "", ""},
    {" \t = value",                   false, "", ""},
    {"key # = comment before equals", false, "", ""},
    {"key=",                          true,  "key", ""},
    {"key=   ",                       true,  "key", ""},
    {"  my key \t= a b = c \t ",       true,  "my key", "a b = c"},
    {"key = value   # comment",       true,  "key", "value"},
    {"key=a=b",                       true,  "key", "a=b"},
    // Only spaces and tabs are blanks: a carriage return or vertical tab stays.
    {"key = v\r",                     true,  "key", "v\r"},
    {"\vkey = v",                     true,  "\vkey", "v"},
  };
  // clang-format on
  for (const SplitCase& c : cases) {
    SCOPED_TRACE(c.line);
    std::string key = "old";
    std::string value = "old";
    ASSERT_EQ(splitSettingLine(c.line, key, value), c.holdsSetting);
    if (c.holdsSetting) {
      EXPECT_EQ(key, c.key);
      EXPECT_EQ(value, c.value);
    }
  }
}

TEST(Settings, TrimsSpacesAndTabsOnly) {
  std::string text = " \t a \t b\t ";
  trimBlanks(text);
  EXPECT_EQ(text, "a \t b");
  text = " \t\t ";
  trimBlanks(text);
  EXPECT_EQ(text, "");
  text = "\na\n";
  trimBlanks(text);
  EXPECT_EQ(text, "\na\n");
}

// Loads `content` through a real file and returns the values in key order
// and the echo the load and the ordering printed.
struct Loaded {
  bool ok = false;
  SettingsMap map;
  std::vector<std::string> values;
  std::string echo;
};

Loaded load(const std::string& content) {
  TempFolder folder;
  const std::string path = folder / "settings.txt";
  writeFileBytes(path, content);
  Loaded loaded;
  CapturedOutput out;
  loaded.ok = loadSettings(path, loaded.map);
  settingsInKeyOrder(loaded.map, loaded.values);
  loaded.echo = out.text();
  return loaded;
}

TEST(Settings, OrdersValuesByKeyBytesAndEchoesEachEntry) {
  const Loaded loaded = load("f=out\ne = in\nd=true\nc=x\nb=true\na=false\n");
  EXPECT_TRUE(loaded.ok);
  EXPECT_EQ(loaded.values, (std::vector<std::string>{"false", "true", "x", "true", "in", "out"}));
  EXPECT_EQ(loaded.echo, "a=false\nb=true\nc=x\nd=true\ne=in\nf=out\n");

  // Capitals sort before small letters, a prefix before its extensions, and
  // bytes from 0x80 up after every ASCII byte. A byte-order mark is part of
  // the first key.
  const Loaded bytes = load("\xEF\xBB\xBFz=bom\nb=small\nB=capital\nbb=longer\n\xC3\xA9=high\n");
  EXPECT_EQ(bytes.values, (std::vector<std::string>{"capital", "small", "longer", "high", "bom"}));
}

TEST(Settings, LaterDuplicatesWinAndLineEndsDoNotMatter) {
  const Loaded lf = load("a=1\nb=2\na=3\n# c=4\n\nd = 5");
  const Loaded crlf = load("a=1\r\nb=2\r\na=3\r\n# c=4\r\n\r\nd = 5");
  EXPECT_EQ(lf.map, crlf.map);
  EXPECT_EQ(lf.values, (std::vector<std::string>{"3", "2", "5"}));
  EXPECT_EQ(lf.echo, "a=3\nb=2\nd=5\n");
  // A carriage return that ends the file without a line feed is no line end.
  EXPECT_EQ(load("a=1\r").values, (std::vector<std::string>{"1\r"}));
  // Only the carriage return right before the line feed belongs to the line
  // end, on every platform (a Windows text stream drops it by itself).
  EXPECT_EQ(load("f=out\r\r\n").values, (std::vector<std::string>{"out\r"}));
}

TEST(Settings, EmptyOrCommentOnlyFilesGiveNothing) {
  for (const char* content : {"", "# only\n#comments\n", "\n\n\r\n"}) {
    const Loaded loaded = load(content);
    EXPECT_TRUE(loaded.ok);
    EXPECT_TRUE(loaded.values.empty());
    EXPECT_EQ(loaded.echo, "");
  }
}

TEST(Settings, MissingFileReportsAndEmptiesTheMap) {
  TempFolder folder;
  SettingsMap map{{"stale", "entry"}};
  CapturedOutput out;
  EXPECT_FALSE(loadSettings(folder / "absent.txt", map));
  EXPECT_EQ(out.text(), "file open error\n");
  EXPECT_TRUE(map.empty());
}

// The text a settings file gives: its bytes as they are on POSIX; on Windows
// as the C runtime's text mode reads them (a carriage return right before a
// line feed dropped, a 0x1A byte the end). The limit counts those bytes.
TEST(Settings, ReadsTheTextAsTheTextModeGivesIt) {
  struct Case {
    std::string bytes;
    SettingsRead posix;
    std::string posixText;
    SettingsRead windows;
    std::string windowsText;
  };
  const std::string limitLess1(kSettingsByteLimit - 1, 'x');
  const std::string limit(kSettingsByteLimit, 'x');
  const Case cases[] = {
      {"a=1\r\nb=2\r\r\nc\rd\r", SettingsRead::ok, "a=1\r\nb=2\r\r\nc\rd\r", SettingsRead::ok,
       "a=1\nb=2\r\nc\rd\r"},
      {std::string("a=1\n\x1a"
                   "b=2\n"),
       SettingsRead::ok,
       std::string("a=1\n\x1a"
                   "b=2\n"),
       SettingsRead::ok, "a=1\n"},
      {limit, SettingsRead::ok, limit, SettingsRead::ok, limit},
      {limit + "x", SettingsRead::tooLarge, "", SettingsRead::tooLarge, ""},
      {limitLess1 + "\r\n", SettingsRead::tooLarge, "", SettingsRead::ok, limitLess1 + "\n"},
      {limit + "\x1a" + limit, SettingsRead::tooLarge, "", SettingsRead::ok, limit},
  };
  TempFolder folder;
  const std::string path = folder / "settings.txt";
  for (const Case& c : cases) {
    SCOPED_TRACE(c.bytes.substr(0, 20));
    writeFileBytes(path, c.bytes);
    std::string text = "old";
    const SettingsRead read = readSettingsText(path, text);
#ifdef _WIN32
    EXPECT_EQ(read, c.windows);
    EXPECT_EQ(text, c.windowsText);
#else
    EXPECT_EQ(read, c.posix);
    EXPECT_EQ(text, c.posixText);
#endif
  }
}

TEST(Settings, AFileThatDoesNotOpenGivesTheSystemsReason) {
  TempFolder folder;
  std::string text;
  std::string reason;
  EXPECT_EQ(readSettingsText(platform::filePathOf(folder / "absent.txt"), text, &reason),
            SettingsRead::cannotOpen);
  EXPECT_FALSE(reason.empty());
}

// Only the line that wins counts, and only a "#" after its "=": one before
// the "=" leaves no setting on that line at all.
TEST(Settings, TellsWhetherTheWinningLineWasCutAtAHash) {
  struct Case {
    const char* text;
    bool cut;
  };
  const Case cases[] = {
      {"e = Job #3\n", true},
      {"e = Job#\n", true},
      {"e = Job\n", false},
      {"#e = Job\n", false},
      {"e = Job #3\ne = Job\n", false},
      {"e = Job\ne = Job #3\n", true},
      {"e = Job\ne # = other\n", false},
      {"ee = x #\ne = Job", false},
      {"e = Job #3", true},
  };
  for (const Case& c : cases) EXPECT_EQ(valueCutAtHash(c.text, "e"), c.cut) << c.text;
}

}  // namespace
