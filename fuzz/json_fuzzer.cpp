// JSON parsing, writing and the path grammar and walker.
//
// Properties: a failed parse reports a known code at an offset inside the
// text; a document that parsed writes out text that parses back to the same
// document (a double may move a few units in the last place: the parse is
// the fast one); a setter that succeeds is seen by the
// getter on the same path; the members listed are as many as the size says;
// after any series of setters the document still writes out valid text.
// Paths with five digits in a row are skipped: padding an array with millions
// of nulls up to a far slot is right but takes seconds under the sanitizers.
#include <fuzzer/FuzzedDataProvider.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "base/jx_json.h"
#include "base/jx_memory.h"
#include "fuzz_support.h"

namespace {

// The compact text of the document, or "" when it has none (null root).
std::string TextOf(jx_json_t document) {
  char* text = nullptr;
  uint32_t length = 0;
  if (!jx_json_to_jstr(document, &text, &length)) return "";
  std::string result(text, length);
  jx_free(text);
  return result;
}

bool SameDocument(jx_json_t a, jx_json_t b);

// Within the fast conversion's reach: a few units in the last place.
bool SameNumber(double a, double b) { return a == b || std::fabs(a - b) <= std::fabs(a) * 1e-15; }

// Compares the element `path` of two documents.
bool SameElement(jx_json_t a, jx_json_t b, const char* path) {
  jx_json_t left = jx_json_build();
  jx_json_t right = jx_json_build();
  const bool same = jx_json_get_jvalue(a, path, left) && jx_json_get_jvalue(b, path, right) &&
                    SameDocument(left, right);
  jx_json_destroy(left);
  jx_json_destroy(right);
  return same;
}

bool SameDocument(jx_json_t a, jx_json_t b) {
  const int type = jx_json_type(a);
  if (type != jx_json_type(b)) return false;
  if (type == JX_JSON_DOUBLE) {
    double left = 0;
    double right = 0;
    return jx_json_get_double(a, nullptr, &left) && jx_json_get_double(b, nullptr, &right) &&
           SameNumber(left, right);
  }
  if (type == JX_JSON_ARRAY) {
    if (jx_json_array_size(a) != jx_json_array_size(b)) return false;
    for (int i = 0; i < jx_json_array_size(a); ++i) {
      if (!SameElement(a, b, (":" + std::to_string(i)).c_str())) return false;
    }
    return true;
  }
  if (type == JX_JSON_MAP) {
    // Member names may repeat or hold "." and ":", so compare the listed
    // members pairwise rather than by path.
    const int count = jx_json_map_size(a);
    if (count != jx_json_map_size(b)) return false;
    std::vector<jx_json_item> left(static_cast<size_t>(count) + 1);
    std::vector<jx_json_item> right(static_cast<size_t>(count) + 1);
    FUZZ_CHECK(jx_json_map_items(a, left.data()) && jx_json_map_items(b, right.data()));
    bool same = true;
    for (int i = 0; i < count; ++i) {
      same = same && std::strcmp(left[i].key, right[i].key) == 0 &&
             SameDocument(left[i].value, right[i].value);
      for (jx_json_item* item : {&left[i], &right[i]}) {
        jx_free(item->key);
        jx_json_destroy(item->value);
      }
    }
    return same;
  }
  return TextOf(a) == TextOf(b);
}

// Writes and parses back; the two documents must match.
void CheckRoundTrip(jx_json_t document) {
  const std::string text = TextOf(document);
  if (text.empty()) {
    FUZZ_CHECK(jx_json_type(document) == JX_JSON_NULL);
    return;
  }
  jx_json_t again = jx_json_build();
  FUZZ_CHECK(jx_json_parse(again, text.c_str(), nullptr));
  FUZZ_CHECK(SameDocument(document, again));
  jx_json_destroy(again);
}

bool NamesFarSlot(const std::string& path) {
  int run = 0;
  for (const char c : path) {
    run = (c >= '0' && c <= '9') ? run + 1 : 0;
    if (run == 5) return true;
  }
  return false;
}

void Parse(jx_json_t document, const std::string& text) {
  jx_json_parse_error error{};
  if (jx_json_parse(document, text.c_str(), &error)) return;
  if (text.empty()) return;
  FUZZ_CHECK(error.code >= 1 && error.code <= 17);
  FUZZ_CHECK(error.offset <= text.size());
  FUZZ_CHECK(error.message != nullptr && error.message_length > 0);
  jx_free(error.message);
}

void CheckMembers(jx_json_t document) {
  const int count = jx_json_map_size(document);
  if (jx_json_type(document) != JX_JSON_MAP) {
    FUZZ_CHECK(count == 0);
    return;
  }
  auto* items = new jx_json_item[static_cast<size_t>(count) + 1];
  FUZZ_CHECK(jx_json_map_items(document, items));
  for (int i = 0; i < count; ++i) {
    FUZZ_CHECK(items[i].key != nullptr && items[i].value != nullptr);
    jx_free(items[i].key);
    jx_json_destroy(items[i].value);
  }
  delete[] items;
}

void CheckSetThenGet(jx_json_t document, const std::string& path, int64_t number,
                     const std::string& text) {
  int64_t got = 0;
  if (jx_json_set_int64(document, path.c_str(), number)) {
    FUZZ_CHECK(jx_json_get_int64(document, path.c_str(), &got));
    FUZZ_CHECK(got == number);
  }
  if (jx_json_set_cstr(document, path.c_str(), text.c_str())) {
    char* out = nullptr;
    uint32_t length = 0;
    const bool read = jx_json_get_cstr(document, path.c_str(), &out, &length);
    FUZZ_CHECK(read);
    FUZZ_CHECK(std::string(out == nullptr ? "" : out, length) == text);
    jx_free(out);
  }
}

void CheckValueCopies(jx_json_t document, const std::string& from, const std::string& to) {
  jx_json_t value = jx_json_build();
  if (jx_json_get_jvalue(document, from.c_str(), value)) {
    jx_json_t copy = jx_json_copy(document);
    if (jx_json_set_jvalue(copy, to.c_str(), value)) {
      jx_json_t read = jx_json_build();
      FUZZ_CHECK(jx_json_get_jvalue(copy, to.c_str(), read));
      FUZZ_CHECK(TextOf(read) == TextOf(value));
      jx_json_destroy(read);
    }
    jx_json_merge_set_jvalue(copy, to.c_str(), value);
    CheckRoundTrip(copy);
    jx_json_destroy(copy);
  }
  jx_json_destroy(value);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider provider(data, size);
  const std::string path = provider.ConsumeRandomLengthString(48);
  const std::string other_path = provider.ConsumeRandomLengthString(48);
  const std::string value_text = provider.ConsumeRandomLengthString(32);
  const auto number = provider.ConsumeIntegral<int64_t>();
  const std::string text = provider.ConsumeRemainingBytesAsString();
  if (NamesFarSlot(path) || NamesFarSlot(other_path)) return 0;

  jx_json_t document = jx_json_build();
  Parse(document, std::string(text.c_str()));
  CheckRoundTrip(document);
  CheckMembers(document);
  CheckValueCopies(document, path, other_path);
  CheckSetThenGet(document, path, number, std::string(value_text.c_str()));
  jx_json_set_as_empty_map(document, other_path.c_str());
  CheckRoundTrip(document);
  jx_json_destroy(document);
  return 0;
}
