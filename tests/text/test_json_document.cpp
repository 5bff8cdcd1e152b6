#include "text/json_document.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace qc {
namespace {

// Test texts are written in UTF-8 and handed over as GBK.
Text G(const char* utf8) { return Utf8ToText(utf8); }

JsonDocument Parsed(const Text& json) {
  JsonDocument doc;
  EXPECT_TRUE(doc.Parse(json)) << json;
  return doc;
}

// --- What the push client reads --------------------------------------------

TEST(JsonDocumentPushReply, ReadsNumbersAndMissingMembers) {
  JsonDocument doc;
  ASSERT_TRUE(doc.Parse(R"({"remain":3000,"success":2})"));
  EXPECT_EQ(doc.GetText("remain"), "3000");
  EXPECT_EQ(doc.GetText("success"), "2");
  EXPECT_EQ(doc.GetText("not_valid"), "");
  EXPECT_EQ(doc.GetText("not_same_site"), "");
}

TEST(JsonDocumentPushReply, NotValidListJoinsWithCommas) {
  JsonDocument doc;
  ASSERT_TRUE(doc.Parse(R"({"remain":4999,"success":0,"not_valid":["http://a.cn/1","http://a.cn/2"]})"));
  EXPECT_EQ(doc.GetText("not_valid"), "http://a.cn/1,http://a.cn/2");
  EXPECT_EQ(doc.GetText("not_valid", true), R"(["http://a.cn/1","http://a.cn/2"])");
  EXPECT_EQ(doc.GetText("success"), "0");
}

TEST(JsonDocumentPushReply, HtmlPageIsNotJson) {
  JsonDocument doc;
  ScriptError error;
  EXPECT_FALSE(doc.Parse(G("<html><head><title>502 错误</title></head><body>网关错误</body></html>"), false, &error));
  for (const char* member : {"remain", "success", "not_valid", "not_same_site"}) {
    EXPECT_EQ(doc.GetText(member), "") << member;
  }
  EXPECT_EQ(doc.ToText(), "null");
  EXPECT_EQ(doc.GetType(), kJsonTypeNull);
  EXPECT_EQ(doc.GetType("remain"), kJsonTypeInvalid);
  EXPECT_EQ(doc.GetCount("remain"), 0);
  EXPECT_NE(error.number, 0);
  EXPECT_EQ(error.line, 1);
  EXPECT_EQ(error.column, 1);
  EXPECT_FALSE(error.description.empty());
}

TEST(JsonDocumentPushReply, ChineseMembersComeBackAsGbk) {
  JsonDocument doc;
  ASSERT_TRUE(doc.Parse(G(R"({"message":"站点未验证","名称":"值"})")));
  EXPECT_EQ(doc.GetText("message"), G("站点未验证"));
  EXPECT_EQ(doc.GetText(G("名称")), G("值"));
  EXPECT_EQ(doc.ToText(), G(R"({"message":"站点未验证","名称":"值"})"));
}

// --- Reading ----------------------------------------------------------------

TEST(JsonDocumentRead, TypeCodes) {
  const JsonDocument doc =
      Parsed(R"({"t":true,"n":1.5,"o":{},"a":[],"s":"x","z":null,"deep":{"k":{"v":1}}})");
  const struct {
    const char* path;
    int type;
  } cases[] = {
      {"missing", kJsonTypeNull}, {"z", kJsonTypeNull},           {"missing.b", kJsonTypeInvalid},
      {"z.b", kJsonTypeInvalid},  {"t", kJsonTypeBoolean},        {"n", kJsonTypeNumber},
      {"o", kJsonTypeObject},     {"a", kJsonTypeArray},          {"s", kJsonTypeString},
      {"", kJsonTypeObject},      {"deep.k.v", kJsonTypeNumber},  {"a.length", kJsonTypeNumber},
      {"s.length", kJsonTypeNumber}, {"n.x", kJsonTypeNull},      {"a b", kJsonTypeInvalid},
      {"a-b", kJsonTypeInvalid},  {"0", kJsonTypeInvalid},        {"o[", kJsonTypeInvalid},
  };
  for (const auto& c : cases) EXPECT_EQ(doc.GetType(c.path), c.type) << c.path;
}

TEST(JsonDocumentRead, TextForms) {
  const JsonDocument doc = Parsed(
      R"({"int":3000,"neg":-12,"half":1.5,"tenth":0.1,"big":1e21,"under":1e20,"small":1e-7,"micro":0.000001,)"
      R"("huge":123456789012345678901,"exact":9007199254740993,"frac":123.456e2,"zero":-0,)"
      R"("t":true,"f":false,"z":null,"o":{"a":1},"s":"a\\b\"c",)"
      R"("list":[1,[2,3],null,"x",{"k":1},true],"empty":[]})");
  const struct {
    const char* path;
    const char* text;
    const char* json;
  } cases[] = {
      {"int", "3000", "3000"},
      {"neg", "-12", "-12"},
      {"half", "1.5", "1.5"},
      {"tenth", "0.1", "0.1"},
      {"big", "1e+21", "1e+21"},
      {"under", "100000000000000000000", "100000000000000000000"},
      {"small", "1e-7", "1e-7"},
      {"micro", "0.000001", "0.000001"},
      {"huge", "123456789012345680000", "123456789012345680000"},
      {"exact", "9007199254740992", "9007199254740992"},
      {"frac", "12345.6", "12345.6"},
      {"zero", "0", "0"},
      {"t", "true", "true"},
      {"f", "false", "false"},
      {"z", "", "null"},
      {"missing", "", ""},
      {"o", "[object Object]", R"({"a":1})"},
      {"s", "a\\b\"c", R"("a\\b\"c")"},
      {"list", "1,2,3,,x,[object Object],true", R"([1,[2,3],null,"x",{"k":1},true])"},
      {"empty", "", "[]"},
      {"list.length", "6", "6"},
      {"s.length", "5", "5"},
      {"s[1]", "\\", R"("\\")"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(doc.GetText(c.path), c.text) << c.path;
    EXPECT_EQ(doc.GetText(c.path, true), c.json) << c.path;
    EXPECT_EQ(doc.GetJson(c.path), c.json) << c.path;
  }
}

TEST(JsonDocumentRead, PathForms) {
  const JsonDocument doc = Parsed(
      R"({"list":[{"url":"u0"},{"url":"u1"}],"a":{"b":"ab"},"a b":"spaced","da":"member da",)"
      R"("data":"plain","x\"y":"quoted","5":"five"})");
  const struct {
    const char* path;
    const char* text;
  } cases[] = {
      {"list[0].url", "u0"},
      {"list[1]['url']", "u1"},
      {"list[ 1 ].url", "u1"},
      {"list[2].url", ""},
      {"a.b", "ab"},
      {"a['b']", "ab"},
      {"da.a.b", "ab"},
      {"['a b']", "spaced"},
      {"[\"a b\"]", "spaced"},
      {"['x\\\"y']", "quoted"},
      {"[5]", "five"},
      {"da", "[object Object]"},  // the variable name is the whole document
      {"da.da", "member da"},
      {"data", "plain"},          // starts like the name, but is a member
  };
  for (const auto& c : cases) EXPECT_EQ(doc.GetText(c.path), c.text) << c.path;

  const JsonDocument array = Parsed(R"(["a","b",["c"]])");
  EXPECT_EQ(array.GetText("[1]"), "b");
  EXPECT_EQ(array.GetText("[2][0]"), "c");
  EXPECT_EQ(array.GetText("da[0]"), "a");
  EXPECT_EQ(array.GetText("['1']"), "b");
}

TEST(JsonDocumentRead, ResolvePathRewritesToTheVariable) {
  const JsonDocument doc = Parsed(R"({"remain":1,"da":{"x":2}})");
  const struct {
    const char* path;
    const char* resolved;
    bool exists;
  } cases[] = {
      {"remain", "da.remain", true},   {"da.remain", "da.remain", true}, {"", "da", true},
      {"[0]", "da[0]", false},          {"da.newkey", "da.da.newkey", false},
      {"da.x", "da.da.x", true},        {"da.da.y", "da.da.da.y", false},    {"dax", "da.dax", false},
  };
  for (const auto& c : cases) {
    Text path = c.path;
    EXPECT_EQ(doc.ResolvePath(path), c.exists) << c.path;
    EXPECT_EQ(path, c.resolved) << c.path;
  }
}

TEST(JsonDocumentRead, MemberNamesCountsAndNodeValues) {
  const JsonDocument doc = Parsed(R"({"a":1,"b":{"c":"x"},"d":[true]})");
  std::vector<Text> list{"stale"};
  EXPECT_EQ(doc.GetNodeValues(list), 1);
  EXPECT_EQ(list, (std::vector<Text>{"1"}));
  EXPECT_EQ(doc.GetNodeValues(list, "", true), 3);
  EXPECT_EQ(list, (std::vector<Text>{"1", "x", "true"}));
  EXPECT_EQ(doc.GetNodeValues(list, "missing", true), 0);
  EXPECT_TRUE(list.empty());

  EXPECT_EQ(doc.GetMemberNames(list), 3);
  EXPECT_EQ(list, (std::vector<Text>{"a", "b", "c" == std::string() ? "" : "d"}));
  EXPECT_EQ(doc.GetMemberNames(list, "d"), 0);
  EXPECT_TRUE(list.empty());

  const JsonDocument two = Parsed(R"({"a":1,"b":2})");
  EXPECT_EQ(two.GetMemberNames(list), 2);
  EXPECT_EQ(list, (std::vector<Text>{"a", "b"}));
  EXPECT_EQ(Parsed("[1,2,3]").GetCount(), 3);
  EXPECT_EQ(two.GetCount(), 0);
  EXPECT_EQ(two.GetCount("missing.x"), 0);
}

TEST(JsonDocumentRead, ValuesComeBackExactlyAsStored) {
  // Separator-like texts, an empty last value, names with line breaks and
  // U+2400 all come back whole.
  const JsonDocument doc =
      Parsed(G(R"({"a":"x[2020年7月20日20时0分0秒]y","n\r\nm":"␀","last":""})"));
  std::vector<Text> list;
  EXPECT_EQ(doc.GetNodeValues(list), 3);
  EXPECT_EQ(list, (std::vector<Text>{G("x[2020年7月20日20时0分0秒]y"), G("␀"), ""}));
  EXPECT_EQ(doc.GetMemberNames(list), 3);
  EXPECT_EQ(list[1], "n\r\nm");
  EXPECT_EQ(doc.GetText("['n\\r\\nm']"), G("␀"));
}

TEST(JsonDocumentRead, Numbers) {
  const JsonDocument doc = Parsed(R"({"n":2.5,"s":" 12.5 ","t":true,"w":"12px","o":{}})");
  EXPECT_EQ(doc.GetNumber("n"), 2.5);
  EXPECT_EQ(doc.GetNumber("s"), 12.5);
  EXPECT_EQ(doc.GetNumber("t"), 1);
  EXPECT_EQ(doc.GetNumber("w"), 0);
  EXPECT_EQ(doc.GetNumber("o"), 0);
  EXPECT_EQ(doc.GetNumber("missing"), 0);
}

// --- Writing ----------------------------------------------------------------

TEST(JsonDocumentWrite, PlainTextIsStoredExactly) {
  JsonDocument doc;
  const Text value = G("C:\\dir\\\"名\"\r\n'q'␀");
  ASSERT_TRUE(doc.SetValue("name", value));
  EXPECT_EQ(doc.GetText("name"), value);
  EXPECT_EQ(doc.ToText(), G(R"({"name":"C:\\dir\\\"名\"\r\n'q'␀"})"));
  // The written JSON reads back to the same text.
  JsonDocument again;
  ASSERT_TRUE(again.Parse(doc.ToText()));
  EXPECT_EQ(again.GetText("name"), value);
  std::vector<Text> values;
  doc.GetNodeValues(values);
  EXPECT_EQ(values, std::vector<Text>{value});
}

TEST(JsonDocumentWrite, PrefixedPathForANewMemberFails) {
  JsonDocument doc;
  EXPECT_FALSE(doc.SetValue("da.newkey", "v"));
  EXPECT_TRUE(doc.SetValue("newkey", "v"));
  EXPECT_EQ(doc.GetText("da.newkey"), "v");
  EXPECT_TRUE(doc.SetValue("da.newkey", "w"));  // exists now: used as written
  EXPECT_EQ(doc.ToText(), R"({"newkey":"w"})");
}

TEST(JsonDocumentWrite, JsonValuesMergeOrReplace) {
  const struct {
    const char* start;
    const char* path;
    const char* value;
    bool ok;
    const char* after;
  } cases[] = {
      {R"({"a":"x"})", "", R"({"b":2})", true, R"({"a":"x","b":2})"},
      {R"({"o":{"a":"x"}})", "o", R"({"b":2})", true, R"({"o":{"a":"x","b":2}})"},
      {R"({})", "m", R"({"b":2})", true, R"({"m":{"b":2}})"},
      {R"({"o":{"s":"old","t":true,"k":{"x":1},"l":[1]}})", "o",
       R"({"s":"new","t":false,"k":{"y":2},"l":[2,3],"u":null})", true,
       R"({"o":{"s":"new","t":false,"k":{"x":1,"y":2},"l":[1,2,3],"u":null}})"},
      // A number member stops the merge, and nothing is changed.
      {R"({"o":{"s":"old","n":1}})", "o", R"({"s":"new","n":2})", false, R"({"o":{"s":"old","n":1}})"},
      // Members cannot be merged into null.
      {R"({"o":{"z":null}})", "o", R"({"z":{"a":1}})", false, R"({"o":{"z":null}})"},
      {R"({"o":{"a":"x"}})", "o", "", true, R"({"o":{"a":"x"}})"},
      {R"({"o":"text"})", "o", "[1,2]", true, R"({"o":[1,2]})"},
      {R"({"o":1})", "o", "not json", false, R"({"o":1})"},
      {R"({"o":1})", "o", "", false, R"({})"},
      {R"({})", "a.b", "1", false, R"({})"},
  };
  for (const auto& c : cases) {
    JsonDocument doc = Parsed(c.start);
    EXPECT_EQ(doc.SetValue(c.path, c.value, true), c.ok) << c.start << " <- " << c.value;
    EXPECT_EQ(doc.ToText(), c.after) << c.start << " <- " << c.value;
  }
}

TEST(JsonDocumentWrite, FalsyValuesAreStoredAndReported) {
  JsonDocument doc;
  EXPECT_TRUE(doc.SetValue("e", ""));
  EXPECT_TRUE(doc.SetCode("z", "0"));
  EXPECT_TRUE(doc.SetCode("f", "false"));
  EXPECT_TRUE(doc.SetCode("n", "null"));
  EXPECT_TRUE(doc.SetNumber("x", 0));
  EXPECT_EQ(doc.ToText(), R"({"e":"","z":0,"f":false,"n":null,"x":0})");
  EXPECT_FALSE(doc.SetCode("x", ""));  // no value: the member goes
  EXPECT_EQ(doc.ToText(), R"({"e":"","z":0,"f":false,"n":null})");
}

TEST(JsonDocumentWrite, ArrayOperations) {
  JsonDocument doc = Parsed(R"({"list":"not an array","keep":1})");
  EXPECT_TRUE(doc.AddElement("b", "list"));
  EXPECT_TRUE(doc.AddElement("a'quote\"", "list", false, true));
  EXPECT_TRUE(doc.AddElement(R"({"k":[1]})", "list", true));
  EXPECT_FALSE(doc.AddElement("{broken", "list", true));
  EXPECT_EQ(doc.GetText("list", true), R"(["a'quote\"","b",{"k":[1]}])");
  EXPECT_EQ(doc.GetCount("list"), 3);

  EXPECT_EQ(doc.GetElementText(0, "list"), "a'quote\"");
  EXPECT_EQ(doc.GetElementText(2, "list"), "");  // only strings as plain text
  EXPECT_EQ(doc.GetElementText(2, "list", true), R"({"k":[1]})");
  EXPECT_EQ(doc.GetElementText(9, "list", true), "");

  EXPECT_TRUE(doc.SetElement(1, "list", "it's"));
  EXPECT_TRUE(doc.SetElement(4, "list", "true", true));  // past the end pads with null
  EXPECT_FALSE(doc.SetElement(-1, "list", "x"));
  EXPECT_FALSE(doc.SetElement(2000000000, "list", "x"));
  EXPECT_EQ(doc.GetText("list", true), R"(["a'quote\"","it's",{"k":[1]},null,true])");

  EXPECT_TRUE(doc.RemoveElement(0, "list"));
  EXPECT_TRUE(doc.RemoveElement(-1, "list"));  // counts from the end
  EXPECT_FALSE(doc.RemoveElement(7, "list"));
  EXPECT_FALSE(doc.RemoveElement(0, "keep"));
  EXPECT_EQ(doc.GetText("list", true), R"(["it's",{"k":[1]},null])");

  EXPECT_TRUE(doc.Remove("list[0]"));  // an element leaves a hole
  EXPECT_TRUE(doc.Remove("keep"));
  EXPECT_TRUE(doc.Remove("gone"));
  EXPECT_FALSE(doc.Remove("gone.deeper"));
  EXPECT_FALSE(doc.Remove(""));
  EXPECT_EQ(doc.ToText(), R"({"list":[null,{"k":[1]},null]})");

  JsonDocument object;
  EXPECT_TRUE(object.SetElement(3, "", "three"));  // on an object: member "3"
  EXPECT_EQ(object.ToText(), R"({"3":"three"})");
}

TEST(JsonDocumentWrite, NumbersAndClear) {
  JsonDocument doc;
  EXPECT_TRUE(doc.SetNumber("pi", 3.25));
  EXPECT_TRUE(doc.SetNumber("big", 1e21));
  EXPECT_TRUE(doc.SetNumber("count", 42));
  EXPECT_EQ(doc.ToText(), R"({"pi":3.25,"big":1e+21,"count":42})");
  EXPECT_EQ(doc.GetNumber("pi"), 3.25);
  EXPECT_TRUE(doc.Clear());
  EXPECT_EQ(doc.ToText(), "{}");
  EXPECT_TRUE(doc.SetNumber("", 7));  // the whole document
  EXPECT_EQ(doc.ToText(), "7");
}

// --- Documents as values ----------------------------------------------------

TEST(JsonDocumentCopies, SubDocumentsAreIndependent) {
  JsonDocument doc = Parsed(R"({"o":{"a":1},"list":["s",{"b":2}],"z":null})");
  JsonDocument sub = doc.GetSubDocument("o");
  EXPECT_EQ(sub.ToText(), R"({"a":1})");
  EXPECT_TRUE(sub.SetNumber("a", 5));
  EXPECT_EQ(doc.GetText("o.a"), "1");

  EXPECT_EQ(doc.GetElementDocument(1, "list").ToText(), R"({"b":2})");
  EXPECT_EQ(doc.GetElementDocument(0, "list").GetText(), "s");
  EXPECT_EQ(doc.GetSubDocument("z").ToText(), "null");
  EXPECT_EQ(doc.GetSubDocument("missing").ToText(), "");
  EXPECT_EQ(doc.GetSubDocument().ToText(), doc.ToText());
}

TEST(JsonDocumentCopies, CopiesShareTheValueUntilParse) {
  JsonDocument a = Parsed(R"({"x":1})");
  JsonDocument b = a;
  EXPECT_TRUE(b.SetNumber("x", 2));
  EXPECT_EQ(a.GetText("x"), "2");
  EXPECT_TRUE(b.Parse(R"({"x":3})"));
  EXPECT_EQ(a.GetText("x"), "2");
  EXPECT_EQ(b.GetText("x"), "3");
  EXPECT_EQ(a.variableName(), "da");
}

// --- Bad input --------------------------------------------------------------

TEST(JsonDocumentBadInput, TextsThatAreNotJson) {
  const char* cases[] = {
      R"({"remain":30)", R"({"a":)", "[1,2", R"("open)", "{", "tru",     "NaN",  "Infinity", "-Infinity",
      "undefined",       "{a:1}",    "['x']", "[1,]", "01",   "1 2", "function(){}", "alert(1)", "\"\\u12\"",
      "1e400",           R"({"x":-1e999})",
  };
  for (const char* text : cases) {
    JsonDocument doc;
    ScriptError error;
    EXPECT_FALSE(doc.Parse(text, false, &error)) << text;
    EXPECT_EQ(doc.ToText(), "null") << text;
    EXPECT_NE(error.number, 0) << text;
    EXPECT_GE(error.column, 1) << text;
  }
  for (const char* blank : {"", "  \r\n\t"}) {
    JsonDocument doc;
    ScriptError error;
    EXPECT_FALSE(doc.Parse(blank, false, &error));
    EXPECT_EQ(doc.ToText(), "");
    EXPECT_EQ(doc.GetType(), kJsonTypeNull);
    EXPECT_EQ(error.number, 0);
  }
  JsonDocument null;
  EXPECT_FALSE(null.Parse("null"));
  EXPECT_EQ(null.ToText(), "null");
}

TEST(JsonDocumentBadInput, AStringIsNeverReadAgainAsCode) {
  JsonDocument doc;
  EXPECT_TRUE(doc.Parse(R"("{\"remain\":1}")"));
  EXPECT_EQ(doc.GetType(), kJsonTypeString);
  EXPECT_EQ(doc.GetText(), R"({"remain":1})");
  EXPECT_EQ(doc.GetText("remain"), "");
  EXPECT_FALSE(doc.SetCode("x", "new Date()"));
  EXPECT_FALSE(doc.SetValue("", "eval('1')", true));
  EXPECT_EQ(doc.GetType(), kJsonTypeString);
}

TEST(JsonDocumentBadInput, ErrorPositionIsLineAndColumn) {
  JsonDocument doc;
  ScriptError error;
  EXPECT_FALSE(doc.Parse(G("{\n  \"名\": x\n}"), false, &error));
  EXPECT_EQ(error.line, 2);
  EXPECT_EQ(error.column, 8);
  EXPECT_EQ(error.text, G("  \"名\": x"));
  EXPECT_NE(error.description.find("invalid literal"), Text::npos) << error.description;

  ASSERT_TRUE(doc.Parse("{}", false, &error));
  EXPECT_EQ(error.number, 0);
  EXPECT_EQ(error.description, "");
}

TEST(JsonDocumentBadInput, NestingIsBounded) {
  JsonDocument doc;
  EXPECT_TRUE(doc.Parse(std::string(512, '[') + std::string(512, ']')));
  ScriptError error;
  EXPECT_FALSE(doc.Parse(std::string(513, '[') + std::string(513, ']'), false, &error));
  EXPECT_NE(error.description.find("512"), Text::npos);
  EXPECT_FALSE(doc.Parse(std::string(1000000, '[')));
  EXPECT_FALSE(doc.Parse(std::string(1000000, '{')));
  // Brackets inside strings do not count.
  EXPECT_TRUE(doc.Parse("[\"" + std::string(100000, '[') + "\"]"));

  // Writes cannot build a deeper tree either.
  const Text deep = std::string(511, '[') + std::string(511, ']');
  ASSERT_TRUE(doc.Parse("{}"));
  EXPECT_TRUE(doc.SetCode("a", deep));
  EXPECT_FALSE(doc.SetCode("b", "[" + deep + "]"));
  EXPECT_FALSE(doc.AddElement(deep, "a[0]", true));
  EXPECT_EQ(doc.GetType("b"), kJsonTypeNull);
}

TEST(JsonDocumentBadInput, HugeStrings) {
  const std::string big(10 * 1024 * 1024, 'x');
  JsonDocument doc;
  ASSERT_TRUE(doc.Parse("{\"s\":\"" + big + "\"}"));
  EXPECT_EQ(doc.GetText("s").size(), big.size());
  EXPECT_EQ(doc.ToText().size(), big.size() + 8);

  ScriptError error;
  EXPECT_FALSE(doc.Parse("{\"s\":\"" + big, false, &error));  // never closed
  EXPECT_LE(error.description.size(), 200u);
  EXPECT_LE(error.text.size(), 200u);
}

TEST(JsonDocumentBadInput, MalformedBytesInsideStrings) {
  // Bytes that are neither GBK nor UTF-8 are replaced on the way in; the
  // document stays readable and writes valid JSON.
  JsonDocument doc;
  ASSERT_TRUE(doc.Parse("{\"s\":\"a\xC3\x28\xFF\xFE z\",\"t\":\"\x80\"}"));
  EXPECT_EQ(doc.GetType("s"), kJsonTypeString);
  EXPECT_EQ(doc.GetType("t"), kJsonTypeString);
  JsonDocument again;
  EXPECT_TRUE(again.Parse(doc.ToText()));
  EXPECT_EQ(again.GetText("s"), doc.GetText("s"));
}

TEST(JsonDocumentBadInput, ControlCharactersAreEscapedOnOutput) {
  JsonDocument doc;
  ASSERT_TRUE(doc.Parse(R"({"c":"\u0001\b\f\n\r\t\u001f/"})"));
  EXPECT_EQ(doc.GetText("c"), "\x01\b\f\n\r\t\x1f/");
  EXPECT_EQ(doc.ToText(), R"({"c":"\u0001\b\f\n\r\t\u001f/"})");
}

TEST(JsonDocumentBadInput, MovedFromDocumentFailsQuietly) {
  JsonDocument a;
  JsonDocument b = std::move(a);
  EXPECT_EQ(a.ToText(), "");                   // NOLINT(bugprone-use-after-move)
  EXPECT_EQ(a.GetType("x"), kJsonTypeInvalid);  // NOLINT(bugprone-use-after-move)
  EXPECT_FALSE(a.SetValue("x", "1"));           // NOLINT(bugprone-use-after-move)
  EXPECT_TRUE(a.Parse("[1]"));                  // NOLINT(bugprone-use-after-move)
  EXPECT_EQ(a.GetText("[0]"), "1");
  EXPECT_EQ(b.ToText(), "{}");
}

}  // namespace
}  // namespace qc
