#include "base/jx_jvalue.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "base/jx_memory.h"
#include "support/jx_test_text.h"

namespace {

using Elements = std::vector<std::pair<char, std::string>>;

Elements ElementsOf(const jx::Jpath& path) {
  Elements elements;
  for (const auto& element : path.Elements()) elements.emplace_back(element.kind, element.text);
  return elements;
}

std::string Text(const jx::Jvalue& value) { return jx::test::JsonText(value.handle); }

jx::Jvalue Parsed(const char* text) {
  jx::Jvalue value;
  EXPECT_TRUE(jx_json_parse(value.handle, text, nullptr)) << text;
  return value;
}

TEST(Jpath, ReadsTheGrammarOfPathTexts) {
  EXPECT_EQ(ElementsOf(jx::Jpath(".a..b.")), (Elements{{'.', "a"}, {'.', "b"}}));
  EXPECT_EQ(ElementsOf(jx::Jpath("a.:1:.b")), (Elements{{'.', "a"}, {':', "1"}, {'.', "b"}}));
  EXPECT_EQ(ElementsOf(jx::Jpath("a\\.b")), (Elements{{'.', "a.b"}}));
  EXPECT_EQ(ElementsOf(jx::Jpath("a\\:b")), (Elements{{'.', "a:b"}}));
  EXPECT_EQ(ElementsOf(jx::Jpath("a\\b")), (Elements{{'.', "a\\b"}}));
  EXPECT_EQ(ElementsOf(jx::Jpath("a\\\\b")), (Elements{{'.', "a\\\\b"}}));
  EXPECT_EQ(ElementsOf(jx::Jpath("a\\")), (Elements{{'.', "a"}}));
  EXPECT_EQ(ElementsOf(jx::Jpath("\xff.\xc3")), (Elements{{'.', "\xff"}, {'.', "\xc3"}}));
}

TEST(Jpath, EmptyTextNamesTheRoot) {
  for (const char* text : {"", "...", ":", static_cast<const char*>(nullptr)}) {
    jx::Jpath path(text);
    EXPECT_TRUE(path.Elements().empty());
    EXPECT_EQ(path.ToText(), "");
  }
  jx::Jvalue value;
  ASSERT_TRUE(jx_json_set_int64(value.handle, jx::Jpath("").ToText().c_str(), 3));
  EXPECT_EQ(Text(value), "3");
}

TEST(Jpath, AppendsKeysAndIndexesThatReadBack) {
  jx::Jpath path("report");
  path.AppendKey("a.b").AppendIndex(7).AppendKey("").AppendKey("c:d\\e").AppendPath("").AppendPath(
      "x:2");
  EXPECT_EQ(
      ElementsOf(path),
      (Elements{
          {'.', "report"}, {'.', "a.b"}, {':', "7"}, {'.', "c:d\\e"}, {'.', "x"}, {':', "2"}}));
  EXPECT_EQ(path.ToText(), ".report.a\\.b:7.c\\:d\\e.x:2");
  EXPECT_EQ(ElementsOf(jx::Jpath(path.ToText().c_str())), ElementsOf(path));
  EXPECT_EQ(jx::Jpath().AppendIndex(7).ToText(), ":7");
  EXPECT_EQ(jx::Jpath().AppendIndex(4294967295u).ToText(), ":4294967295");
  // A trailing backslash in a name escapes the next separator.
  EXPECT_EQ(jx::Jpath().AppendKey("a\\").AppendKey("b").ToText(), ".a\\.b");
}

TEST(Jpath, EscapedNamesReachTheSameMembersThroughTheCInterface) {
  jx::Jvalue value;
  jx::Jpath path;
  path.AppendKey("v1.2").AppendKey("os:win").AppendIndex(1);
  ASSERT_TRUE(jx_json_set_cstr(value.handle, path.ToText().c_str(), "x"));
  EXPECT_EQ(Text(value), "{\"v1.2\":{\"os:win\":[null,\"x\"]}}");
  char* out = nullptr;
  uint32_t length = 0;
  ASSERT_TRUE(jx_json_get_cstr(value.handle, "v1\\.2.os\\:win:1", &out, &length));
  EXPECT_EQ(std::string(out, length), "x");
  jx_free(out);
}

TEST(Jvalue, CopiesShareNothing) {
  jx::Jvalue first = Parsed("{\"a\":[1]}");
  jx::Jvalue second(first);
  ASSERT_TRUE(jx_json_set_int64(second.handle, "a:0", 2));
  EXPECT_EQ(Text(first), "{\"a\":[1]}");
  EXPECT_EQ(Text(second), "{\"a\":[2]}");
  jx::Jvalue third;
  third = second;
  third = third;  // self-assignment keeps the document
  ASSERT_TRUE(jx_json_set_bool(second.handle, "a", true));
  EXPECT_EQ(Text(third), "{\"a\":[2]}");
}

TEST(Jvalue, SetArrayStoresCopiesInOrder) {
  std::vector<jx::Jvalue> files;
  for (const char* text : {"\"a/b.dll\"", "{\"k\":1}", "[2]"}) files.push_back(Parsed(text));
  jx::Jvalue report;
  EXPECT_TRUE(report.SetArray(jx::Jpath("fileLists"), files));
  EXPECT_EQ(Text(report), "{\"fileLists\":[\"a/b.dll\",{\"k\":1},[2]]}");
  ASSERT_TRUE(jx_json_set_int64(files[1].handle, "k", 5));
  EXPECT_EQ(Text(report), "{\"fileLists\":[\"a/b.dll\",{\"k\":1},[2]]}");

  jx::Jvalue empty;
  EXPECT_TRUE(empty.SetArray(jx::Jpath("fileLists"), {}));
  EXPECT_EQ(Text(empty), "{\"fileLists\":null}");
}

TEST(Jvalue, SetArrayRefusesValuesTooDeepToStore) {
  std::string deep(JX_JSON_MAX_DEPTH, '[');
  deep += std::string(JX_JSON_MAX_DEPTH, ']');
  jx::Jvalue report = Parsed("{\"keep\":1}");
  EXPECT_FALSE(report.SetArray(jx::Jpath("list"), {jx::Jvalue(), Parsed(deep.c_str())}));
  EXPECT_EQ(Text(report), "{\"keep\":1}");
}

}  // namespace
