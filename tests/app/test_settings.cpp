#include <gtest/gtest.h>

#include "app/app_state.h"
#include "app/config_file.h"
#include "app/endpoints.h"
#include "app/memory_window.h"
#include "app/profile_file.h"
#include "app/settings.h"
#include "support/engine_temp_dir.h"

namespace qc {
namespace {

class SettingsTest : public ::testing::Test {
 protected:
  void SetUp() override { state.runDirectory = dir.path(); }
  std::string Config() const { return ConfigFilePath(dir.path()); }
  Text Stored(const char* section, const char* key) const { return ReadProfileString(Config(), section, key); }

  test::TempDir dir;
  AppState state;
  MemoryWindow window;
};

TEST_F(SettingsTest, DefaultFileLoadsIntoBoxesAndStaysByteForByte) {
  ASSERT_TRUE(WriteDefaultConfigFile(Config()));
  LoadSettings(state, window);

  EXPECT_EQ(window.ReadText(Control::SiteBox), "");
  EXPECT_EQ(window.ReadText(Control::TokenBox), "");
  EXPECT_EQ(window.ReadText(Control::QuotaBox), "");
  EXPECT_EQ(window.ReadText(Control::UrlPatternBox), R"(href *= *['"]*(\S+)["'])");
  EXPECT_EQ(window.ReadText(Control::ContentTypeBox), "javascript,image,css,font,woff,xml,json");
  EXPECT_EQ(state.ContentTypeKeywords(), (TextArray{"javascript", "image", "css", "font", "woff", "xml", "json"}));
  EXPECT_TRUE(window.FilterIndexedChecked());
  EXPECT_TRUE(state.filterIndexed.load());
  // Loading writes the pattern, keywords and quota back in stored form,
  // which for the default content changes nothing.
  EXPECT_EQ(test::ReadFileBytes(Config()), std::string(DefaultConfigContent()));
}

TEST_F(SettingsTest, LoadRewritesHandEditedValuesInStoredForm) {
  ASSERT_TRUE(test::WriteFileBytes(Config(),
                                   "[Api]\r\nSite=http://a.example/\r\nToken=tok\r\nremain=12\r\n"
                                   "[filter]\r\nregular=a%20b%2bc\r\nContent_type=css,,image,\r\nIncluded=true\r\n"));
  LoadSettings(state, window);
  EXPECT_EQ(window.ReadText(Control::SiteBox), "http://a.example/");
  EXPECT_EQ(window.ReadText(Control::TokenBox), "tok");
  EXPECT_EQ(window.ReadText(Control::QuotaBox), "12");
  EXPECT_EQ(window.ReadText(Control::UrlPatternBox), "a b+c");
  EXPECT_EQ(Stored("filter", "regular"), "a+b%2Bc");
  EXPECT_EQ(Stored("filter", "Content_type"), "css%2C%2Cimage%2C");
  // Empty pieces are dropped: an empty keyword would reject every page.
  EXPECT_EQ(state.ContentTypeKeywords(), (TextArray{"css", "image"}));
  // Only the exact text "True" ticks the box; the file keeps its value
  // until the box is clicked.
  EXPECT_FALSE(window.FilterIndexedChecked());
  EXPECT_FALSE(state.filterIndexed.load());
  EXPECT_EQ(Stored("filter", "Included"), "true");
}

TEST_F(SettingsTest, ChangeHandlersWriteTheirKeys) {
  ASSERT_TRUE(WriteDefaultConfigFile(Config()));
  window.WriteText(Control::QuotaBox, "3000");
  OnQuotaChanged(state, window);
  EXPECT_EQ(Stored("Api", "remain"), "3000");

  window.WriteText(Control::UrlPatternBox, "a b+c");
  OnUrlPatternChanged(state, window);
  EXPECT_EQ(Stored("filter", "regular"), "a+b%2Bc");

  window.WriteText(Control::ContentTypeBox, "image,css");
  OnContentTypesChanged(state, window);
  EXPECT_EQ(Stored("filter", "Content_type"), "image%2Ccss");
  EXPECT_EQ(state.ContentTypeKeywords(), (TextArray{"image", "css"}));

  for (bool checked : {false, true}) {
    window.SetFilterIndexedChecked(checked);
    OnFilterIndexedClicked(state, window);
    EXPECT_EQ(Stored("filter", "Included"), checked ? "True" : "False");
    EXPECT_EQ(state.filterIndexed.load(), checked);
  }

  window.WriteText(Control::SiteBox, "http://a.example/");
  window.WriteText(Control::TokenBox, "t&k");
  SaveSiteAndToken(state, window);
  EXPECT_EQ(Stored("Api", "Site"), "http://a.example/");
  EXPECT_EQ(Stored("Api", "Token"), "t&k");
}

TEST_F(SettingsTest, MissingFileThatCannotBeCreatedGivesTheDefaults) {
  state.runDirectory = dir.File("no-such-dir");
  LoadSettings(state, window);
  EXPECT_EQ(window.ReadText(Control::ContentTypeBox), "javascript,image,css,font,woff,xml,json");
  EXPECT_EQ(state.ContentTypeKeywords().Count(), 7u);
  EXPECT_TRUE(state.filterIndexed.load());
}

TEST_F(SettingsTest, EndpointsTakeDefaultsAndNormaliseBaseUrls) {
  ASSERT_TRUE(WriteDefaultConfigFile(Config()));
  Endpoints endpoints = LoadEndpoints(Config());
  EXPECT_EQ(endpoints.pushApi, "http://data.zz.baidu.com");
  EXPECT_EQ(endpoints.search, "http://www.baidu.com");
  EXPECT_EQ(endpoints.updateServer, "");

  ASSERT_TRUE(WriteProfileString(Config(), "Endpoints", "PushApi", "http://127.0.0.1:8080/"));
  ASSERT_TRUE(WriteProfileString(Config(), "Endpoints", "Search", "127.0.0.1:9090"));
  ASSERT_TRUE(WriteProfileString(Config(), "Endpoints", "UpdateServer", "HTTPS://u.example"));
  endpoints = LoadEndpoints(Config());
  EXPECT_EQ(endpoints.pushApi, "http://127.0.0.1:8080");
  EXPECT_EQ(endpoints.search, "http://127.0.0.1:9090");
  EXPECT_EQ(endpoints.updateServer, "HTTPS://u.example");
}

}  // namespace
}  // namespace qc
