#include "app/profile_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace qc {
namespace {

using namespace std::string_literals;

class ProfileFileTest : public testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (std::filesystem::temp_directory_path() / "qc-profile-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    dir_ = pattern;
    path_ = dir_ + "/Bd_Config.ini";
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }

  void Put(const std::string& bytes) const {
    std::ofstream out(path_, std::ios::binary | std::ios::trunc);
    out << bytes;
  }
  std::string Get() const {
    std::ifstream in(path_, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }
  std::vector<std::string> DirectoryEntries() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir_)) names.push_back(entry.path().filename());
    return names;
  }

  std::string dir_;
  std::string path_;
};

TEST_F(ProfileFileTest, ReadsWithWindowsRules) {
  Put("orphan=before any section\r\n"
      "[Api]\r\n"
      "Site=https://a.example\r\n"
      "  TOKEN  =  secret value  \r\n"
      "quoted=\"  padded  \"\r\n"
      "single='x'\r\n"
      "half=\"x\r\n"
      "Site=second wins nothing\r\n"
      "; comment=not a key\r\n"
      "no equals sign here\r\n"
      "junk\x01\xFF\0binary=\x02\r\n"s
      "gbk=\xD6\xD0\xCE\xC4\r\n"
      "empty=\r\n"
      "[filter]\r\n"
      "regular=pattern\r\n"
      "[ api ]\n"
      "late=from a repeated section\n");
  struct Case {
    std::string section;
    std::string key;
    std::string expected;
  };
  const std::vector<Case> cases = {
      {"Api", "Site", "https://a.example"},  // the first of two equal keys wins
      {"api", "site", "https://a.example"},
      {"API", "Token", "secret value"},
      {"Api", "quoted", "  padded  "},
      {"Api", "single", "x"},
      {"Api", "half", "\"x"},
      {"Api", "; comment", ""},
      {"Api", "gbk", "\xD6\xD0\xCE\xC4"},
      {"Api", "empty", ""},
      {"Api", "missing", ""},
      {"Api", "regular", ""},
      {"filter", "regular", "pattern"},
      {"Nowhere", "Site", ""},
      {"Api", "late", "from a repeated section"},
      {"", "orphan", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(ReadProfileString(path_, c.section, c.key), c.expected) << c.key;
  EXPECT_EQ(ReadProfileString(dir_ + "/absent.ini", "Api", "Site"), "");
  EXPECT_EQ(ReadProfileString(dir_, "Api", "Site"), "");  // a directory
}

TEST_F(ProfileFileTest, OddFilesGiveEmptyResultsWithoutBlocking) {
  Put("\xEF\xBB\xBF[Api]\r\nSite=a\r\n");  // a byte-order mark before the first section
  EXPECT_EQ(ReadProfileString(path_, "Api", "Site"), "a");
  ASSERT_TRUE(WriteProfileString(path_, "Api", "Site", "b"));
  EXPECT_EQ(Get(), "\xEF\xBB\xBF[Api]\r\nSite=b\r\n");

  const std::string fifo = dir_ + "/fifo.ini";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  EXPECT_EQ(ReadProfileString(fifo, "Api", "Site"), "");
  EXPECT_FALSE(WriteProfileString(fifo, "Api", "Site", "x"));
}

TEST_F(ProfileFileTest, ReadsValuesUpToTheLimitAndSurvivesLongLines) {
  const std::string longLine(200000, 'j');
  Put(longLine + "\n[s]\n" + longLine + "\nbig=" + std::string(20000, 'v') + "\n" +
      "gbk=" + std::string(10238, 'a') + "\xD6\xD0\n" + "after=ok");
  EXPECT_EQ(ReadProfileString(path_, "s", "big"), std::string(kMaxProfileValueBytes, 'v'));
  // The limit falls inside a two-byte character: the character is left out whole.
  EXPECT_EQ(ReadProfileString(path_, "s", "gbk"), std::string(10238, 'a'));
  EXPECT_EQ(ReadProfileString(path_, "s", "after"), "ok");
}

TEST_F(ProfileFileTest, ListsTheKeysOfASection) {
  Put("[a]\nx=1\nY=2\ny=3\n[b]\nz=4\n[A]\nw=5\n");
  EXPECT_EQ(ReadProfileKeys(path_, "a"), (TextArray{"x", "Y", "w"}));
  EXPECT_TRUE(ReadProfileKeys(path_, "none").Empty());
}

TEST_F(ProfileFileTest, WriteChangesOnlyThatKeysLine) {
  struct Case {
    std::string before;
    std::string section;
    std::string key;
    std::string value;
    std::string after;
  };
  const std::vector<Case> cases = {
      // Replace, keeping the file's own spelling of the key and every other byte.
      {"; keep me\r\n[Api]\r\nSite=old\r\n  token = t \r\n\r\n[filter]\r\nx=1",
       "API", "TOKEN", "new",
       "; keep me\r\n[Api]\r\nSite=old\r\ntoken=new\r\n\r\n[filter]\r\nx=1"},
      {"[Api]\nSite=a\nSite=b\n", "Api", "Site", "c", "[Api]\nSite=c\nSite=b\n"},
      {"[Api]\r\nremain=\r\n", "Api", "remain", "\xD6\xD0", "[Api]\r\nremain=\xD6\xD0\r\n"},
      // A new key goes after the section's last non-blank line.
      {"[Api]\r\nSite=a\r\n\r\n[filter]\r\n", "api", "Token", "t",
       "[Api]\r\nSite=a\r\nToken=t\r\n\r\n[filter]\r\n"},
      {"[Api]\nSite=a\n[filter]\nx=1", "filter", "y", "2", "[Api]\nSite=a\n[filter]\nx=1\ny=2\n"},
      // A new section goes at the end, in the file's line breaks.
      {"[Api]\nSite=a\n", "filter", "Included", "True", "[Api]\nSite=a\n[filter]\nIncluded=True\n"},
      {"[Api]\r\nSite=a", "filter", "Included", "False", "[Api]\r\nSite=a\r\n[filter]\r\nIncluded=False\r\n"},
      {"", "Api", "Site", "a", "[Api]\r\nSite=a\r\n"},
      {"junk\x01\0\xFF\n"s, "Api", "Site", "a", "junk\x01\0\xFF\n[Api]\nSite=a\n"s},
  };
  for (const Case& c : cases) {
    Put(c.before);
    ASSERT_TRUE(WriteProfileString(path_, c.section, c.key, c.value)) << c.before;
    EXPECT_EQ(Get(), c.after) << c.before;
    EXPECT_EQ(ReadProfileString(path_, c.section, c.key), c.value);
  }
  EXPECT_EQ(DirectoryEntries(), std::vector<std::string>{"Bd_Config.ini"});  // no temporary file left
}

TEST_F(ProfileFileTest, WriteCreatesAMissingFile) {
  ASSERT_TRUE(WriteProfileString(path_, "Api", "Site", "https://a.example"));
  ASSERT_TRUE(WriteProfileString(path_, "Api", "Token", "t"));
  EXPECT_EQ(Get(), "[Api]\r\nSite=https://a.example\r\nToken=t\r\n");
}

TEST_F(ProfileFileTest, RefusesWritesThatWouldBreakTheFile) {
  const std::string original = "[Api]\r\nSite=a\r\n";
  Put(original);
  EXPECT_FALSE(WriteProfileString(path_, "Api", "Site", "x\r\n[Api]\r\nToken=stolen"));
  EXPECT_FALSE(WriteProfileString(path_, "Api", "Site", "x\ry"));
  EXPECT_FALSE(WriteProfileString(path_, "Api", "a=b", "x"));
  EXPECT_FALSE(WriteProfileString(path_, "Api", "", "x"));
  EXPECT_FALSE(WriteProfileString(path_, "A]pi", "Site", "x"));
  EXPECT_FALSE(WriteProfileString(path_, "", "Site", "x"));
  EXPECT_FALSE(WriteProfileString(path_, "Api", "[Site", "x"));
  EXPECT_EQ(Get(), original);
  EXPECT_FALSE(WriteProfileString(dir_, "Api", "Site", "x"));  // a directory is no file
}

TEST_F(ProfileFileTest, AtomicWriteKeepsPermissionsAndFollowsLinks) {
  Put("[Api]\nSite=a\n");
  ASSERT_EQ(chmod(path_.c_str(), 0600), 0);
  ASSERT_TRUE(WriteProfileString(path_, "Api", "Site", "b"));
  struct stat info{};
  ASSERT_EQ(stat(path_.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0600u);

  const std::string link = dir_ + "/link.ini";
  ASSERT_EQ(symlink(path_.c_str(), link.c_str()), 0);
  ASSERT_TRUE(WriteProfileString(link, "Api", "Site", "c"));
  EXPECT_TRUE(std::filesystem::is_symlink(link));
  EXPECT_EQ(Get(), "[Api]\nSite=c\n");
}

TEST_F(ProfileFileTest, WriteIntoAMissingDirectoryFails) {
  EXPECT_FALSE(WriteProfileString(dir_ + "/gone/Bd_Config.ini", "Api", "Site", "b"));
  EXPECT_TRUE(DirectoryEntries().empty());
}

}  // namespace
}  // namespace qc
