#include "base/jx_json.h"

#include <gtest/gtest.h>

#include <cmath>
#include <sstream>

#include "base/jx_memory.h"
#include "support/jx_test_text.h"

namespace {

// A document that frees itself, optionally parsed from a text.
struct Doc {
  Doc() = default;
  explicit Doc(const std::string& text) { EXPECT_TRUE(jx_json_parse(h, text.c_str(), nullptr)); }
  ~Doc() { jx_json_destroy(h); }
  Doc(const Doc&) = delete;
  Doc& operator=(const Doc&) = delete;
  operator jx_json_t() const { return h; }  // NOLINT: used where a handle is
  jx_json_t h = jx_json_build();
};

using jx::test::JsonText;

// The text jx_json_get_cstr gives for `path`, or "<none>" when it fails.
std::string GetText(jx_json_t h, const char* path) {
  return jx::test::TextOf(
      [&](char** out, uint32_t* n) { return jx_json_get_cstr(h, path, out, n); }, "<none>");
}

std::string Arrays(int levels) { return std::string(levels, '[') + std::string(levels, ']'); }

TEST(JsonPath, SettersCreatePadReplaceAndMergeWhatIsOnTheWay) {
  Doc doc;
  // Empty elements vanish; set_as_array keeps an array's elements.
  EXPECT_TRUE(jx_json_set_int64(doc, "a.b:2", 5) && jx_json_set_int64(doc, "a.b:0", 1) &&
              jx_json_set_cstr(doc, ".a..c.", "x") && jx_json_set_as_array(doc, "a.b"));
  EXPECT_EQ(JsonText(doc), "{\"a\":{\"b\":[1,null,5],\"c\":\"x\"}}");
  EXPECT_TRUE(jx_json_set_bool(doc, "a.b.d", true) && jx_json_set_as_map(doc, "a") &&
              jx_json_set_as_empty_array(doc, "e"));
  EXPECT_EQ(JsonText(doc), "{\"a\":{\"b\":{\"d\":true},\"c\":\"x\"},\"e\":[]}");
  EXPECT_TRUE(jx_json_set_as_empty_map(doc, "a"));
  EXPECT_TRUE(jx_json_set_jvalue(doc, "s", doc));  // the source taken before the walk
  EXPECT_EQ(JsonText(doc), "{\"a\":{},\"e\":[],\"s\":{\"a\":{},\"e\":[]}}");
  EXPECT_TRUE(jx_json_get_jvalue(doc, "s.e", doc));
  EXPECT_EQ(JsonText(doc), "[]");
  // Merging moves array elements out, leaving nulls, merges objects by member
  // and replaces anything else.
  Doc source("{\"a\":{\"x\":1},\"l\":[2],\"n\":{\"z\":[]}}");
  EXPECT_TRUE(jx_json_parse(doc, "{\"a\":{\"y\":2},\"l\":[1]}", nullptr) &&
              jx_json_merge_set_jvalue(doc, "", source) &&
              jx_json_merge_set_jvalue(doc, "n.z:1", Doc("7")));
  EXPECT_EQ(JsonText(doc) + JsonText(source),
            "{\"a\":{\"y\":2,\"x\":1},\"l\":[1,2],\"n\":{\"z\":[null,7]}}"
            "{\"a\":{\"x\":1},\"l\":[null],\"n\":{\"z\":[]}}");
}

// Whichever step refuses, and whatever the walk changed before it, the
// document is left as it was.
TEST(JsonPath, RefusedSettersLeaveTheDocumentAsItWas) {
  std::string hostile;
  for (int i = 0; i < 50000; ++i) hostile += ".a";
  // A scalar fits at the end of this path, a container does not.
  const std::string at_limit = hostile.substr(0, 2 * JX_JSON_MAX_DEPTH);
  Doc deep(Arrays(JX_JSON_MAX_DEPTH));
  const std::string before = R"({"n":5,"arr":[1],"s":"hello","t":"{ \"y\" : 2 }"})";
  for (const std::string& path :
       {at_limit, "n" + at_limit, hostile, std::string("a.b:16777216"), std::string("arr:3:-1"),
        std::string("s.x"), std::string("t.y:-1")}) {
    Doc doc(before);
    EXPECT_FALSE(jx_json_set_as_map(doc, path.c_str()) ||
                 jx_json_set_jvalue(doc, path.c_str(), deep) ||
                 jx_json_merge_set_jvalue(doc, path.c_str(), deep));
    EXPECT_EQ(JsonText(doc), JsonText(Doc(before))) << path.substr(0, 20);
  }
  Doc fits;
  EXPECT_TRUE(jx_json_set_int64(fits, at_limit.c_str(), 1));
  EXPECT_TRUE(jx_json_set_jvalue(fits, "x", Doc(Arrays(JX_JSON_MAX_DEPTH - 1))));
  EXPECT_TRUE(jx_json_set_jvalue(fits, nullptr, deep));  // the root always fits
}

TEST(JsonGet, GettersReadEveryTypeAsTypeTextAndNumbers) {
  Doc doc(
      "{\"d\":-2.9,\"t\":true,\"f\":false,\"i\":-42,\"u\":18446744073709551615,\"o\":{\"k\":[1]},"
      "\"s\":\" -1.5e3xyz\",\"big\":1e22,\"p\":9223372036854775808.0,\"n\":null,\"e\":\"\","
      "\"a\":[10,11,12],\"j\":\"{ \\\"y\\\" : [ 1 ] }\"}");
  // Per path: the type, the text ("" for an empty string, a success that hands out
  // nothing), the integer and the double, "-" where the getter fails. Index
  // texts are read leniently ("x" is 0, "TRUE" 1, only the low 32 bits count).
  // A string holding JSON is walked into, and written back compactly once the
  // walk succeeded.
  std::string read;
  Doc value;
  std::istringstream paths(
      "d|t|f|i|u|o|s|big|p|n|e|a|a:x|a:4294967296|a: 2 "
      "|a:TRUE|a:-1|a:4294967295|j.x|j|j.y:0|j|s.y");
  for (std::string text; std::getline(paths, text, '|');) {
    const char* path = text.c_str();
    int64_t integer = 0;
    double number = 0;
    read += std::to_string(jx_json_get_jvalue(doc, path, value) ? jx_json_type(value) : -1) + ":";
    read += GetText(doc, path) + "/";
    read += jx_json_get_int64(doc, path, &integer) ? std::to_string(integer) + "/" : "-/";
    read += jx_json_get_double(doc, path, &number) ? std::to_string(number) + " " : "- ";
  }
  EXPECT_EQ(read,
            "3:-2.900000/-2/-2.900000 1:1/1/1.000000 1:0/0/0.000000 2:-42/-42/-42.000000 "
            "2:18446744073709551615/-1/18446744073709551616.000000 5:{\"k\":[1]}/0/0.000000 "
            "4: -1.5e3xyz/-1/-1500.000000 3:10000000000000000000000.000000/9223372036854775807/"
            "10000000000000000000000.000000 3:9223372036854775808.000000/9223372036854775807/"
            "9223372036854775808.000000 0:<none>/-/- 4:/0/0.000000 6:[10,11,12]/0/0.000000 "
            "2:10/10/10.000000 2:10/10/10.000000 2:12/12/12.000000 2:11/11/11.000000 "
            "-1:<none>/-/- -1:<none>/-/- -1:<none>/-/- 4:{ \"y\" : [ 1 ] }/0/0.000000 "
            "2:1/1/1.000000 4:{\"y\":[1]}/0/0.000000 -1:<none>/-/- ");
  EXPECT_TRUE(jx_json_set_int64(doc, "j.x", 1));
  EXPECT_EQ(GetText(doc, "j"), "{\"y\":[1],\"x\":1}");
  ASSERT_TRUE(jx_json_set_double(doc, "e", NAN));
  EXPECT_EQ(GetText(doc, ""), "<none>");  // no text for a NaN
}

}  // namespace
