#include "base/jx_json.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <functional>
#include <initializer_list>
#include <limits>
#include <random>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "base/jx_memory.h"
#include "json/jx_json_allocator.h"
#include "json/jx_json_document.h"
#include "json/jx_json_path.h"
#include "support/jx_test_text.h"

namespace {

// A document that frees itself, optionally parsed from a text.
struct Doc {
  Doc() = default;
  explicit Doc(const char* text) { EXPECT_TRUE(jx_json_parse(h, text, nullptr)) << text; }
  ~Doc() { jx_json_destroy(h); }
  Doc(const Doc&) = delete;
  Doc& operator=(const Doc&) = delete;
  operator jx_json_t() const { return h; }  // NOLINT: used where a handle is
  jx_json_t h = jx_json_build();
};

std::string Text(jx_json_t h) { return jx::test::JsonText(h); }

// The text jx_json_get_cstr gives for `path`, or "<none>" when it fails.
std::string GetText(jx_json_t h, const char* path) {
  return jx::test::TextOf(
      [&](char** out, uint32_t* n) { return jx_json_get_cstr(h, path, out, n); }, "<none>");
}

std::string Nested(int levels, const char* open, const char* inner, const char* close) {
  std::string text;
  for (int i = 0; i < levels; ++i) text += open;
  text += inner;
  for (int i = 0; i < levels; ++i) text += close;
  return text;
}

TEST(JsonAllocator, ZeroFillsAndReallocates) {
  jx::JXJsonAllocator allocator;
  EXPECT_EQ(allocator.Malloc(0), nullptr);
  auto* block = static_cast<unsigned char*>(allocator.Malloc(5));
  ASSERT_NE(block, nullptr);
  for (int i = 0; i < 5; ++i) EXPECT_EQ(block[i], 0);
  std::memcpy(block, "abcde", 5);
  block = static_cast<unsigned char*>(allocator.Realloc(block, 5, 4096));
  EXPECT_EQ(std::memcmp(block, "abcde", 5), 0);
  EXPECT_EQ(allocator.Realloc(block, 4096, 0), nullptr);  // freed
  void* fresh = allocator.Realloc(nullptr, 0, 16);
  ASSERT_NE(fresh, nullptr);
  jx::JXJsonAllocator::Free(fresh);
  jx::JXJsonAllocator::Free(nullptr);
}

TEST(JsonDocument, StartsNullAndCannotBeWrittenUntilSet) {
  Doc doc;
  EXPECT_EQ(jx_json_type(doc), JX_JSON_NULL);
  EXPECT_EQ(Text(doc), "<none>");  // and the outputs untouched
  EXPECT_TRUE(jx_json_set_cstr(doc, nullptr, "x"));
  EXPECT_EQ(Text(doc), "\"x\"");  // a lone string is its three bytes
}

TEST(JsonDocument, RoundTripsNestedDocumentsCompactly) {
  const char* text =
      " { \"a\" : [ 1 , -2 , 3.5 , 1e300 , true , false , null , \"s\\u0000t\\n\" ] ,\n"
      "   \"b\" : { \"c\" : { \"d\" : [ [ ] , { } ] } } , \"\\u00e9\" : 18446744073709551615 } ";
  Doc first(text);
  const std::string written = Text(first);
  EXPECT_EQ(written,
            "{\"a\":[1,-2,3.5,1e300,true,false,null,\"s\\u0000t\\n\"],"
            "\"b\":{\"c\":{\"d\":[[],{}]}},\"\xc3\xa9\":18446744073709551615}");
  Doc second(written.c_str());
  EXPECT_EQ(Text(second), written);
}

TEST(JsonDocument, ParseFailureFillsTheRecordAndKeepsTheRoot) {
  struct Case {
    const char* text;
    uint32_t code;
    uint32_t offset;
  };
  // 33e307 is past the double range only once multiplied out.
  const Case cases[] = {
      {"  ", 1, 2},          {"{} x", 2, 3},         {"[1,]", 3, 3},           {"nul", 3, 3},
      {"{1:2}", 4, 1},       {"{\"a\" 1}", 5, 5},    {"{\"a\":1 \"b\"", 6, 7}, {"[1 2]", 7, 3},
      {"\"\\u12G4\"", 8, 1}, {"\"\\uD800x\"", 9, 1}, {"\"\\x\"", 10, 1},       {"\"abc", 11, 4},
      {"1e999", 13, 0},      {"-1e999", 13, 0},      {"[1,33e307]", 13, 3},    {"1.", 14, 2},
      {"1e", 15, 2}};
  Doc doc("[7]");
  for (const Case& c : cases) {
    jx_json_parse_error err{};
    EXPECT_FALSE(jx_json_parse(doc, c.text, &err)) << c.text;
    EXPECT_EQ(err.code, c.code) << c.text;
    EXPECT_EQ(err.offset, c.offset) << c.text;
    ASSERT_NE(err.message, nullptr);
    EXPECT_GT(err.message_length, 10u);
    jx_free(err.message);
    EXPECT_EQ(Text(doc), "[7]") << c.text;
  }
  jx_json_parse_error err{};
  ASSERT_FALSE(jx_json_parse(doc, "{\"a\" 1}", &err));
  EXPECT_EQ(std::string(err.message, err.message_length),
            "Missing a colon after a name of object member.");
  jx_free(err.message);
}

TEST(JsonDocument, ParseRefusesMissingArgumentsWithoutTouchingTheRecord) {
  Doc doc("1");
  jx_json_parse_error err{99, 99, nullptr, 99};
  EXPECT_FALSE(jx_json_parse(doc, "", &err));
  EXPECT_FALSE(jx_json_parse(doc, nullptr, &err));
  EXPECT_FALSE(jx_json_parse(nullptr, "1", &err));
  EXPECT_EQ(err.code, 99u);
  EXPECT_EQ(err.message, nullptr);
  EXPECT_FALSE(jx_json_parse(doc, "[", nullptr));  // no record wanted
  EXPECT_EQ(Text(doc), "1");
}

TEST(JsonDocument, TypesAndSizesOfTheRoot) {
  const std::pair<const char*, int> types[] = {{"null", JX_JSON_NULL},
                                               {"true", JX_JSON_BOOL},
                                               {"-3", JX_JSON_INT},
                                               {"1.0", JX_JSON_DOUBLE},
                                               {"\"\"", JX_JSON_STRING},
                                               {"{}", JX_JSON_MAP},
                                               {"[]", JX_JSON_ARRAY},
                                               {"18446744073709551615", JX_JSON_INT},
                                               {"123456789012345678901234567890", JX_JSON_DOUBLE}};
  for (const auto& [text, type] : types) {
    Doc doc(text);
    EXPECT_EQ(jx_json_type(doc), type) << text;
  }
  Doc array("[1,[2,3],4]");
  Doc map("{\"a\":1,\"b\":2}");
  EXPECT_EQ(jx_json_array_size(array), 3);
  EXPECT_EQ(jx_json_map_size(array), 0);
  EXPECT_EQ(jx_json_map_size(map), 2);
  EXPECT_EQ(jx_json_array_size(map), 0);
  EXPECT_EQ(jx_json_type(nullptr), JX_JSON_NULL);
  EXPECT_EQ(jx_json_array_size(nullptr), 0);
  EXPECT_EQ(jx_json_map_size(nullptr), 0);
}

TEST(JsonDocument, MapItemsHandsOutCopiesInMemberOrder) {
  Doc map("{\"z\":{\"k\":[1]},\"a\":\"x\",\"z\":2}");
  jx_json_item items[3] = {};
  ASSERT_TRUE(jx_json_map_items(map, items));
  const char* keys[] = {"z", "a", "z"};
  const char* values[] = {"{\"k\":[1]}", "\"x\"", "2"};
  for (int i = 0; i < 3; ++i) {
    EXPECT_STREQ(items[i].key, keys[i]);
    EXPECT_EQ(Text(items[i].value), values[i]);
  }
  ASSERT_TRUE(jx_json_set_int64(items[0].value, "k:0", 9));  // a copy, not a view
  EXPECT_EQ(Text(map), "{\"z\":{\"k\":[1]},\"a\":\"x\",\"z\":2}");
  for (jx_json_item& item : items) {
    jx_free(item.key);
    jx_json_destroy(item.value);
  }

  Doc array("[1]");
  Doc empty("{}");
  EXPECT_FALSE(jx_json_map_items(array, items));
  EXPECT_TRUE(jx_json_map_items(empty, nullptr));
  EXPECT_FALSE(jx_json_map_items(map, nullptr));
  EXPECT_FALSE(jx_json_map_items(nullptr, items));
}

TEST(JsonDocument, CopiesAreDeepAndNullHandlesAreHarmless) {
  Doc original("{\"a\":[1,2]}");
  jx_json_t copy = jx_json_copy(original);
  ASSERT_TRUE(jx_json_set_cstr(copy, "a:1", "changed"));
  EXPECT_EQ(Text(original), "{\"a\":[1,2]}");
  EXPECT_EQ(Text(copy), "{\"a\":[1,\"changed\"]}");
  jx_json_destroy(copy);
  EXPECT_EQ(jx_json_copy(nullptr), nullptr);
  jx_json_destroy(nullptr);
  char* out = nullptr;
  uint32_t length = 0;
  EXPECT_FALSE(jx_json_to_jstr(nullptr, &out, &length));
  EXPECT_FALSE(jx_json_to_jstr(original, nullptr, &length));
  EXPECT_FALSE(jx_json_to_jstr(original, &out, nullptr));
}

TEST(JsonDocument, TakesInvalidUtf8ByteForByte) {
  Doc doc("{\"\xff\":\"\xc3\x28\xfe\"}");
  EXPECT_EQ(Text(doc), "{\"\xff\":\"\xc3\x28\xfe\"}");
  EXPECT_EQ(GetText(doc, "\xff"), "\xc3\x28\xfe");
  ASSERT_TRUE(jx_json_set_cstr(doc, "\xe0\x80", "\x80"));
  EXPECT_EQ(GetText(doc, "\xe0\x80"), "\x80");
}

TEST(JsonDocument, NonFiniteNumbersCannotBeWritten) {
  Doc doc;
  ASSERT_TRUE(jx_json_set_double(doc, "a", std::numeric_limits<double>::quiet_NaN()));
  EXPECT_EQ(Text(doc), "<none>");
  EXPECT_EQ(GetText(doc, ""), "<none>");
  double value = 0;
  EXPECT_TRUE(jx_json_get_double(doc, "a", &value));
  EXPECT_TRUE(std::isnan(value));
  int64_t integer = 5;
  EXPECT_TRUE(jx_json_get_int64(doc, "a", &integer));
  EXPECT_EQ(integer, 0);
}

TEST(JsonDepth, ParseStopsCleanlyBeyondTheLimit) {
  Doc doc("0");
  const std::string deepest = Nested(JX_JSON_MAX_DEPTH, "[", "1", "]");
  ASSERT_TRUE(jx_json_parse(doc, deepest.c_str(), nullptr));
  EXPECT_EQ(Text(doc), deepest);
  jx_json_t copy = jx_json_copy(doc);
  EXPECT_EQ(Text(copy), deepest);
  jx_json_destroy(copy);

  for (int levels : {JX_JSON_MAX_DEPTH + 1, 5000, 100000}) {
    for (const std::string& text :
         {Nested(levels, "[", "", "]"), Nested(levels, "{\"a\":", "1", "}"),
          std::string(static_cast<size_t>(levels), '[')}) {
      jx_json_parse_error err{};
      EXPECT_FALSE(jx_json_parse(doc, text.c_str(), &err)) << levels;
      EXPECT_EQ(err.code, 16u);
      jx_free(err.message);
    }
  }
  EXPECT_EQ(Text(doc), deepest);
}

TEST(JsonDepth, SettersStopAtTheLimit) {
  std::string path;
  for (int i = 0; i < 100000; ++i) path += ".a";
  Doc doc;
  EXPECT_FALSE(jx_json_set_int64(doc, path.c_str(), 1));
  EXPECT_EQ(jx_json_type(doc), JX_JSON_NULL);
  int64_t value = 0;
  EXPECT_FALSE(jx_json_get_int64(doc, path.c_str(), &value));

  // A value that would end up one level too deep is refused whole.
  Doc deep(Nested(JX_JSON_MAX_DEPTH, "[", "", "]").c_str());
  Doc target;
  EXPECT_FALSE(jx_json_set_jvalue(target, "x", deep));
  EXPECT_FALSE(jx_json_merge_set_jvalue(target, "x", deep));
  EXPECT_TRUE(jx_json_set_jvalue(target, nullptr, deep));  // the root always fits
  EXPECT_EQ(jx::NestingDepth(target.h->root), JX_JSON_MAX_DEPTH);
  EXPECT_FALSE(jx_json_set_jvalue(target, ":0", deep));

  const std::string last = path.substr(0, 2 * (JX_JSON_MAX_DEPTH - 1));
  Doc map;
  EXPECT_TRUE(jx_json_set_as_map(map, last.c_str()));
  EXPECT_FALSE(jx_json_set_as_array(map, (last + ".b").c_str()));
  EXPECT_TRUE(jx_json_set_int64(map, (last + ".b").c_str(), 1));
}

// The path grammar read the plain way, one byte at a time.
std::vector<std::pair<char, std::string>> ReferenceElements(const std::string& text) {
  std::vector<std::pair<char, std::string>> elements;
  char kind = '.';
  std::string name;
  bool escaped = false;
  for (char c : text) {
    if (c == '\\' && !escaped) {
      escaped = true;
    } else if (c == '\\') {
      name += "\\\\";
      escaped = false;
    } else if ((c == '.' || c == ':') && escaped) {
      name += c;
      escaped = false;
    } else if (c == '.' || c == ':') {
      if (!name.empty()) elements.emplace_back(kind, name);
      name.clear();
      kind = c;
    } else {
      if (escaped) name += '\\';
      name += c;
      escaped = false;
    }
  }
  if (!name.empty()) elements.emplace_back(kind, name);
  return elements;
}

TEST(JsonPath, ReaderAgreesWithTheGrammarOnRandomTexts) {
  std::mt19937 random(20240611);
  const char alphabet[] = {'a', 'b', '.', ':', '\\'};
  for (int round = 0; round < 20000; ++round) {
    std::string text(random() % 12, ' ');
    for (char& c : text) c = alphabet[random() % sizeof(alphabet)];
    std::vector<std::pair<char, std::string>> read;
    for (jx::PathReader reader(text); !reader.AtEnd(); reader.Advance()) {
      read.emplace_back(reader.kind(), std::string(reader.name()));
    }
    ASSERT_EQ(read, ReferenceElements(text)) << text;
  }
}

TEST(JsonPath, SetCreatesMembersPadsArraysAndReplacesWrongKinds) {
  Doc doc;
  EXPECT_TRUE(jx_json_set_int64(doc, "a.b:2", 5));
  EXPECT_EQ(Text(doc), "{\"a\":{\"b\":[null,null,5]}}");
  EXPECT_TRUE(jx_json_set_int64(doc, "a.b:0", 1));    // an existing slot is kept in place
  EXPECT_TRUE(jx_json_set_cstr(doc, ".a..c.", "x"));  // empty elements vanish
  EXPECT_EQ(Text(doc), "{\"a\":{\"b\":[1,null,5],\"c\":\"x\"}}");
  // Values of the wrong kind on the way are replaced.
  EXPECT_TRUE(jx_json_set_bool(doc, "a.b.d", true));
  EXPECT_EQ(GetText(doc, "a.b"), "{\"d\":true}");
  EXPECT_TRUE(jx_json_set_bool(doc, "a:1", false));
  EXPECT_EQ(Text(doc), "{\"a\":[null,false]}");
}

TEST(JsonPath, IndexTextsAreReadLeniently) {
  Doc doc("{\"a\":[10,11,12]}");
  // "x" reads as 0, 4294967296 keeps its low 32 bits (0), "TRUE" is 1.
  const std::pair<const char*, int64_t> found[] = {
      {"a:x", 10}, {"a:4294967296", 10}, {"a: 2 ", 12}, {"a:TRUE", 11}};
  for (const auto& [path, expected] : found) {
    int64_t value = 0;
    EXPECT_TRUE(jx_json_get_int64(doc, path, &value)) << path;
    EXPECT_EQ(value, expected) << path;
  }
  int64_t value = 99;
  for (const char* missing : {"a:-1", "a:4294967295", "a:3"}) {
    EXPECT_FALSE(jx_json_get_int64(doc, missing, &value)) << missing;
  }
  EXPECT_EQ(value, 99);
}

// Whichever step refuses, and whatever the walk changed before it, the
// document is left as it was.
TEST(JsonPath, RefusedSettersLeaveTheDocumentAsItWas) {
  std::string at_limit;  // a scalar fits at its end, a container does not
  for (int i = 0; i < JX_JSON_MAX_DEPTH; ++i) at_limit += ".a";
  const std::string too_deep = at_limit + ".a";
  Doc deep(Nested(JX_JSON_MAX_DEPTH, "[", "", "]").c_str());
  const std::pair<const char*, std::function<bool(jx_json_t)>> refusals[] = {
      {"too deep", [&](jx_json_t h) { return jx_json_set_cstr(h, too_deep.c_str(), "x"); }},
      {"too deep below a replaced value",
       [&](jx_json_t h) { return jx_json_set_int64(h, ("n" + too_deep).c_str(), 1); }},
      {"container too deep", [&](jx_json_t h) { return jx_json_set_as_map(h, at_limit.c_str()); }},
      {"value too deep", [&](jx_json_t h) { return jx_json_set_jvalue(h, "new.x", deep); }},
      {"index past the cap", [](jx_json_t h) { return jx_json_set_bool(h, "a.b:16777216", 1); }},
      {"negative index in a padded array",
       [](jx_json_t h) { return jx_json_set_double(h, "arr:3:-1", 1); }},
      {"string that is not JSON", [](jx_json_t h) { return jx_json_set_int64(h, "s.x", 1); }},
      {"refused inside a string", [](jx_json_t h) { return jx_json_set_as_null(h, "t.y:-1"); }},
  };
  for (const auto& [what, set] : refusals) {
    Doc doc(R"({"n":5,"arr":[1],"s":"hello","t":"{ \"y\" : 2 }"})");
    const std::string before = Text(doc);
    EXPECT_FALSE(set(doc)) << what;
    EXPECT_EQ(Text(doc), before) << what;
  }
}

TEST(JsonPath, NullHandlesFailAndNullPathsNameTheRoot) {
  char* text = nullptr;
  uint32_t length = 0;
  int64_t integer = 0;
  double number = 0;
  Doc other;
  EXPECT_FALSE(jx_json_get_cstr(nullptr, "a", &text, &length));
  EXPECT_FALSE(jx_json_get_int64(nullptr, "a", &integer));
  EXPECT_FALSE(jx_json_get_double(nullptr, "a", &number));
  EXPECT_FALSE(jx_json_get_jvalue(nullptr, "a", other));
  EXPECT_FALSE(jx_json_set_bool(nullptr, "a", true));
  EXPECT_FALSE(jx_json_set_int64(nullptr, "a", 1));
  EXPECT_FALSE(jx_json_set_double(nullptr, "a", 1));
  EXPECT_FALSE(jx_json_set_cstr(nullptr, "a", "x"));
  EXPECT_FALSE(jx_json_set_jvalue(nullptr, "a", other));
  EXPECT_FALSE(jx_json_merge_set_jvalue(nullptr, "a", other));
  EXPECT_FALSE(jx_json_set_as_map(nullptr, "a"));
  EXPECT_FALSE(jx_json_set_as_array(nullptr, "a"));
  EXPECT_FALSE(jx_json_set_as_empty_map(nullptr, "a"));
  EXPECT_FALSE(jx_json_set_as_empty_array(nullptr, "a"));
  EXPECT_FALSE(jx_json_set_as_null(nullptr, "a"));

  Doc doc;
  EXPECT_TRUE(jx_json_set_cstr(doc, nullptr, nullptr));
  EXPECT_EQ(Text(doc), "\"\"");
  EXPECT_TRUE(jx_json_set_double(doc, "", 2.5));
  EXPECT_TRUE(jx_json_get_int64(doc, nullptr, &integer));
  EXPECT_EQ(integer, 2);
  EXPECT_FALSE(jx_json_get_int64(doc, nullptr, nullptr));
  EXPECT_FALSE(jx_json_get_double(doc, nullptr, nullptr));
  EXPECT_FALSE(jx_json_get_cstr(doc, nullptr, nullptr, &length));
  EXPECT_FALSE(jx_json_get_jvalue(doc, nullptr, nullptr));
  EXPECT_FALSE(jx_json_set_jvalue(doc, nullptr, nullptr));
  EXPECT_FALSE(jx_json_merge_set_jvalue(doc, nullptr, nullptr));
}

TEST(JsonGet, TextFormOfEveryType) {
  Doc doc(
      "{\"d\":1.5,\"t\":true,\"f\":false,\"i\":-42,\"u\":18446744073709551615,"
      "\"o\":{\"k\":[1,2]},\"s\":\"abc\",\"big\":1e22,\"n\":null}");
  EXPECT_EQ(GetText(doc, "d"), "1.500000");
  EXPECT_EQ(GetText(doc, "t"), "1");
  EXPECT_EQ(GetText(doc, "f"), "0");
  EXPECT_EQ(GetText(doc, "i"), "-42");
  EXPECT_EQ(GetText(doc, "u"), "18446744073709551615");
  EXPECT_EQ(GetText(doc, "o"), "{\"k\":[1,2]}");
  EXPECT_EQ(GetText(doc, "s"), "abc");
  EXPECT_EQ(GetText(doc, "big"), "10000000000000000000000.000000");
  EXPECT_EQ(GetText(doc, "n"), "<none>");
  EXPECT_EQ(GetText(doc, "missing"), "<none>");
  ASSERT_TRUE(jx_json_set_cstr(doc, "e", ""));
  EXPECT_EQ(GetText(doc, "e"), "");  // a success that hands out nothing
}

TEST(JsonGet, DoublesReadLikePrintfFixed) {
  Doc doc;
  for (double d : {1e300, -0.1, 2.5e-7, 123.4567895, 0.0, -1e-300}) {
    ASSERT_TRUE(jx_json_set_double(doc, "d", d));
    char expected[400];
    std::snprintf(expected, sizeof(expected), "%f", d);
    EXPECT_EQ(GetText(doc, "d"), expected) << d;
  }
}

// Reads each path of `doc` through `get`; null and missing values fail and
// leave the output alone.
template <class T>
void ExpectNumbers(bool (*get)(jx_json_t, const char*, T*), jx_json_t doc,
                   std::initializer_list<std::pair<const char*, T>> cases) {
  for (const auto& [path, expected] : cases) {
    SCOPED_TRACE(path);
    T value = 12345;
    EXPECT_TRUE(get(doc, path, &value));
    EXPECT_EQ(value, expected);
  }
  T value = 12345;
  EXPECT_FALSE(get(doc, "n", &value));
  EXPECT_FALSE(get(doc, "o.y", &value));
  EXPECT_EQ(value, 12345);
}

TEST(JsonGet, NumberFormsOfEveryType) {
  Doc doc(
      "{\"s1\":\" 42abc\",\"s2\":\"TRUE\",\"s3\":\"abc\",\"s4\":\" -1.5e3xyz\",\"s5\":\"1e\","
      "\"d\":-2.9,\"huge\":1e300,\"i\":-3,\"u\":18446744073709551615,\"b\":true,"
      "\"o\":{\"x\":1},\"a\":[1],\"n\":null}");
  ExpectNumbers<int64_t>(jx_json_get_int64, doc,
                         {{"s1", 42},
                          {"s2", 1},
                          {"s3", 0},
                          {"d", -2},
                          {"huge", INT64_MAX},
                          {"u", -1},
                          {"b", 1},
                          {"o", 0}});
  ExpectNumbers<double>(jx_json_get_double, doc,
                        {{"s4", -1500.0},
                         {"s5", 0.0},
                         {"i", -3.0},
                         {"u", 18446744073709551615.0},
                         {"b", 1.0},
                         {"a", 0.0}});
}

TEST(JsonGet, JvalueCopiesTheSubtreeEvenIntoItself) {
  Doc doc("{\"a\":{\"b\":[1,2]}}");
  Doc out("\"old\"");
  EXPECT_TRUE(jx_json_get_jvalue(doc, "a", out));
  EXPECT_EQ(Text(out), "{\"b\":[1,2]}");
  EXPECT_FALSE(jx_json_get_jvalue(doc, "zz", out));
  EXPECT_EQ(Text(out), "{\"b\":[1,2]}");
  EXPECT_TRUE(jx_json_get_jvalue(doc, "a.b", doc));
  EXPECT_EQ(Text(doc), "[1,2]");
}

TEST(JsonSet, ContainerSettersKeepOrEmptyWhatIsThere) {
  Doc doc("{\"m\":{\"k\":1},\"a\":[1,2],\"s\":\"x\"}");
  EXPECT_TRUE(jx_json_set_as_map(doc, "m"));
  EXPECT_TRUE(jx_json_set_as_array(doc, "a"));
  EXPECT_EQ(Text(doc), "{\"m\":{\"k\":1},\"a\":[1,2],\"s\":\"x\"}");
  EXPECT_TRUE(jx_json_set_as_array(doc, "m"));
  EXPECT_TRUE(jx_json_set_as_map(doc, "a"));
  EXPECT_EQ(Text(doc), "{\"m\":[],\"a\":{},\"s\":\"x\"}");
  EXPECT_TRUE(jx_json_set_int64(doc, "m:1", 1));
  EXPECT_TRUE(jx_json_set_int64(doc, "a.k", 1));
  EXPECT_TRUE(jx_json_set_as_empty_array(doc, "m"));
  EXPECT_TRUE(jx_json_set_as_empty_map(doc, "a"));
  EXPECT_TRUE(jx_json_set_as_empty_map(doc, "new"));
  EXPECT_EQ(Text(doc), "{\"m\":[],\"a\":{},\"s\":\"x\",\"new\":{}}");
}

TEST(JsonSet, JvalueCopiesTheSourceTakenBeforeTheWalk) {
  Doc doc("{\"a\":1}");
  EXPECT_TRUE(jx_json_set_jvalue(doc, "b", doc));
  EXPECT_EQ(Text(doc), "{\"a\":1,\"b\":{\"a\":1}}");
  Doc src("[true]");
  EXPECT_TRUE(jx_json_set_jvalue(doc, "a", src));
  EXPECT_TRUE(jx_json_set_bool(src, ":0", false));
  EXPECT_EQ(Text(doc), "{\"a\":[true],\"b\":{\"a\":1}}");
}

TEST(JsonEmbedded, SetterWritesIntoAStringHoldingJson) {
  Doc doc;
  ASSERT_TRUE(jx_json_set_cstr(doc, "s", "{\"y\":2}"));
  EXPECT_TRUE(jx_json_set_int64(doc, "s.x", 1));
  EXPECT_EQ(GetText(doc, "s"), "{\"y\":2,\"x\":1}");
}

TEST(JsonEmbedded, GetterRewritesValidJsonCompactlyAndLeavesTheRest) {
  Doc doc;
  ASSERT_TRUE(jx_json_set_cstr(doc, "ok", " { \"y\" : [ 1 , 2 ] } "));
  ASSERT_TRUE(jx_json_set_cstr(doc, "bad", "{oops"));
  ASSERT_TRUE(jx_json_set_cstr(doc, "nul", "null"));
  EXPECT_EQ(GetText(doc, "ok.y:1"), "2");
  EXPECT_EQ(GetText(doc, "ok"), "{\"y\":[1,2]}");
  EXPECT_EQ(GetText(doc, "bad.y"), "<none>");
  EXPECT_EQ(GetText(doc, "bad"), "{oops");
  EXPECT_EQ(GetText(doc, "nul.y"), "<none>");
  EXPECT_EQ(GetText(doc, "nul"), "null");
}

TEST(JsonEmbedded, WalksThroughStringsInsideStrings) {
  Doc doc("{\"s\":\"{\\\"t\\\":\\\"{\\\\\\\"u\\\\\\\":1}\\\"}\"}");
  int64_t value = 0;
  EXPECT_TRUE(jx_json_get_int64(doc, "s.t.u", &value));
  EXPECT_EQ(value, 1);
  EXPECT_TRUE(jx_json_set_cstr(doc, "s.t.v", "w"));
  EXPECT_EQ(GetText(doc, "s.t"), "{\"u\":1,\"v\":\"w\"}");
}

// Arrays take the source's elements out, leaving nulls behind; added members
// are copies.
TEST(JsonMerge, MergesObjectsMemberByMemberAndAppendsArrays) {
  Doc target("{\"a\":{\"y\":2},\"l\":[1]}");
  Doc source("{\"a\":{\"x\":1},\"l\":[2],\"n\":{\"z\":[]}}");
  EXPECT_TRUE(jx_json_merge_set_jvalue(target, "", source));
  EXPECT_EQ(Text(target), "{\"a\":{\"y\":2,\"x\":1},\"l\":[1,2],\"n\":{\"z\":[]}}");
  EXPECT_EQ(GetText(source, "l"), "[null]");
  EXPECT_TRUE(jx_json_set_int64(source, "n.z:0", 5));
  EXPECT_EQ(GetText(target, "n"), "{\"z\":[]}");
}

TEST(JsonMerge, ReplacesEverythingElseAndCreatesThePath) {
  Doc target("{\"a\":1}");
  Doc seven("7");
  EXPECT_TRUE(jx_json_merge_set_jvalue(target, nullptr, seven));
  EXPECT_EQ(Text(target), "7");
  EXPECT_TRUE(jx_json_merge_set_jvalue(target, "p:1", seven));
  EXPECT_EQ(Text(target), "{\"p\":[null,7]}");
  EXPECT_FALSE(jx_json_merge_set_jvalue(target, "p", target));
}

std::string RandomText(std::mt19937& random, const std::string& alphabet, size_t longest) {
  std::string text(random() % (longest + 1), ' ');
  for (char& c : text) c = alphabet[random() % alphabet.size()];
  return text;
}

TEST(JsonRandom, ParsedTextsRoundTripAndOthersFailCleanly) {
  std::mt19937 random(7);
  // No fractions or exponents: with its default flags the reader may read a
  // double's shortest text back as a neighbouring double.
  const std::string alphabet = "{}[]\":,0123456789+-\\tfnrul \x01\xc3";
  int parsed = 0;
  for (int round = 0; round < 50000; ++round) {
    const std::string text = RandomText(random, alphabet, 24);
    Doc doc;
    jx_json_parse_error err{};
    if (!jx_json_parse(doc, text.c_str(), &err)) {
      jx_free(err.message);
      continue;
    }
    ++parsed;
    const std::string written = Text(doc);
    Doc again(written.c_str());
    ASSERT_EQ(Text(again), written) << text;
  }
  EXPECT_GT(parsed, 100);
}

TEST(JsonRandom, RandomPathsNeverBreakADocument) {
  std::mt19937 random(11);
  const std::string alphabet = "ab.:0123-\\ ";
  Doc doc("{\"a\":[1,{\"b\":\"[2]\"}],\"b\":\"{\\\"a\\\":3}\"}");
  Doc other("{\"a\":[true]}");
  for (int round = 0; round < 20000; ++round) {
    const std::string path = RandomText(random, alphabet, 10);
    const std::string before = Text(doc);
    bool refused = false;
    switch (random() % 6) {
      case 0:
        refused = !jx_json_set_int64(doc, path.c_str(), round);
        break;
      case 1:
        refused = !jx_json_set_cstr(doc, path.c_str(), round % 2 ? "{\"a\":[0]}" : "x");
        break;
      case 2:
        refused = !jx_json_merge_set_jvalue(doc, path.c_str(), other);
        break;
      case 3:
        refused = !jx_json_set_as_empty_map(doc, path.c_str());
        break;
      default:
        GetText(doc, path.c_str());
        break;
    }
    if (refused) {
      ASSERT_EQ(Text(doc), before) << path;
    }
    if (jx_json_type(doc) != JX_JSON_NULL) {
      ASSERT_NE(Text(doc), "<none>") << path;
    }
    if (round % 1000 == 999) {
      ASSERT_TRUE(jx_json_parse(doc, "{\"a\":[1]}", nullptr));  // keep it small
    }
  }
}

TEST(JsonThreads, DocumentsOnDifferentThreadsWorkAtOnce) {
  std::vector<std::thread> threads;
  std::atomic<int> failures{0};
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([t, &failures] {
      for (int i = 0; i < 300; ++i) {
        Doc doc("{\"list\":[],\"text\":\"{}\"}");
        const std::string slot = "list:" + std::to_string(i % 7);
        bool ok = jx_json_set_int64(doc, slot.c_str(), t) && jx_json_set_int64(doc, "text.n", i);
        jx_json_t copy = jx_json_copy(doc);
        ok = ok && GetText(copy, slot.c_str()) == std::to_string(t) &&
             GetText(copy, "text") == "{\"n\":" + std::to_string(i) + "}";
        jx_json_destroy(copy);
        if (!ok) ++failures;
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(failures.load(), 0);
}

}  // namespace
