#include "app/config_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "app/profile_file.h"

namespace qc {
namespace {

class ConfigFileTest : public testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (std::filesystem::temp_directory_path() / "qc-config-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    dir_ = pattern;
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }
  std::string dir_;
};

TEST_F(ConfigFileTest, DefaultFileIsWrittenByteForByte) {
  const std::string path = ConfigFilePath(dir_);
  EXPECT_EQ(path, dir_ + "/Bd_Config.ini");
  EXPECT_EQ(ConfigFilePath(dir_ + "/"), path);
  EXPECT_FALSE(ConfigFileExists(path));
  ASSERT_TRUE(WriteDefaultConfigFile(path));
  EXPECT_TRUE(ConfigFileExists(path));

  std::ifstream in(path, std::ios::binary);
  const std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  EXPECT_EQ(bytes,
            "[Api]\r\nSite=\r\nToken=\r\nremain=\r\n[filter]\r\n"
            "regular=href+%2A%3D+%2A%5B%27%22%5D%2A%28%5CS%2B%29%5B%22%27%5D\r\n"
            "Content_type=javascript%2Cimage%2Ccss%2Cfont%2Cwoff%2Cxml%2Cjson\r\n"
            "Included=True\r\n");
  // The stored values decode to the defaults the window shows.
  EXPECT_EQ(UrlDecode(ReadProfileString(path, "filter", "regular")), "href *= *['\"]*(\\S+)[\"']");
  EXPECT_EQ(UrlDecode(ReadProfileString(path, "filter", "Content_type")), "javascript,image,css,font,woff,xml,json");
  EXPECT_EQ(ReadProfileString(path, "filter", "Included"), "True");
}

TEST_F(ConfigFileTest, ExistsOnlyForSomethingThatIsNotADirectory) {
  EXPECT_FALSE(ConfigFileExists(""));
  EXPECT_FALSE(ConfigFileExists(dir_));
  EXPECT_FALSE(ConfigFileExists(dir_ + "/missing.ini"));
  std::filesystem::create_directory(dir_ + "/Bd_Config.ini");
  EXPECT_FALSE(ConfigFileExists(ConfigFilePath(dir_)));
  EXPECT_FALSE(WriteDefaultConfigFile(ConfigFilePath(dir_)));
}

}  // namespace
}  // namespace qc
