// JSON documents: handles, parsing, compact writing and the calls that look
// at the root.
#include "base/jx_json.h"

#include <rapidjson/error/en.h>
#include <rapidjson/reader.h>
#include <rapidjson/writer.h>

#include <algorithm>
#include <cmath>
#include <new>

#include "base/jx_guard.h"
#include "base/jx_memory.h"
#include "json/jx_json_document.h"

namespace jx {

namespace {

using JsonDocument =
    rapidjson::GenericDocument<rapidjson::UTF8<>, JXJsonAllocator, JXJsonAllocator>;
using JsonReader = rapidjson::GenericReader<rapidjson::UTF8<>, rapidjson::UTF8<>, JXJsonAllocator>;
using JsonWriter =
    rapidjson::Writer<JsonBuffer, rapidjson::UTF8<>, rapidjson::UTF8<>, JXJsonAllocator>;

// Passes the reader's events on to the document being built and stops the
// parse at the first object or array nested deeper than the limit. The
// reader descends recursively, so this bounds its stack use as well as the
// depth of the tree that later calls copy, write and free recursively.
class DepthLimitedBuilder {
 public:
  explicit DepthLimitedBuilder(JsonDocument& document) : document_(document) {}

  bool Null() { return document_.Null(); }
  bool Bool(bool b) { return document_.Bool(b); }
  bool Int(int i) { return document_.Int(i); }
  bool Uint(unsigned u) { return document_.Uint(u); }
  bool Int64(int64_t i) { return document_.Int64(i); }
  bool Uint64(uint64_t u) { return document_.Uint64(u); }
  // The fast conversion lets some numbers past the double range through as
  // infinity (33e307); they fail here like every other too big number.
  bool Double(double d) {
    if (std::isfinite(d)) return document_.Double(d);
    number_too_big_ = true;
    return false;
  }
  bool RawNumber(const char* text, rapidjson::SizeType length, bool copy) {
    return document_.RawNumber(text, length, copy);
  }
  bool String(const char* text, rapidjson::SizeType length, bool copy) {
    return document_.String(text, length, copy);
  }
  bool Key(const char* text, rapidjson::SizeType length, bool copy) {
    return document_.Key(text, length, copy);
  }
  bool StartObject() { return Enter() && document_.StartObject(); }
  bool EndObject(rapidjson::SizeType members) {
    --depth_;
    return document_.EndObject(members);
  }
  bool StartArray() { return Enter() && document_.StartArray(); }
  bool EndArray(rapidjson::SizeType elements) {
    --depth_;
    return document_.EndArray(elements);
  }
  bool number_too_big() const { return number_too_big_; }

 private:
  bool Enter() { return ++depth_ <= JX_JSON_MAX_DEPTH; }

  JsonDocument& document_;
  int depth_ = 0;
  bool number_too_big_ = false;
};

// The parser's initial work stack, in bytes.
constexpr size_t kParseStackCapacity = 1024;

jx_json_t NewDocument(int line) {
  void* block = jx_trace_malloc(kJsonSourceTag, line, sizeof(jx_json_s), true);
  return new (block) jx_json_s();
}

void FillParseError(const rapidjson::ParseResult& result, jx_json_parse_error* err) {
  const char* message = rapidjson::GetParseError_En(result.Code());
  err->code = static_cast<uint32_t>(result.Code());
  err->offset = static_cast<uint32_t>(result.Offset());
  HandOut(message, JsonTag(kParseMessageLine), &err->message, &err->message_length);
}

// Fills `item` with a copy of `member`; false when the name is too long to
// hand out.
bool FillItem(const JsonValue::Member& member, jx_json_item* item) {
  item->key =
      HandOutWithNul(std::string_view(member.name.GetString(), member.name.GetStringLength()),
                     JsonTag(kMapKeyLine));
  if (item->key == nullptr) return false;
  item->value = NewDocument(kBuildLine);
  item->value->root.CopyFrom(member.value, item->value->allocator);
  return true;
}

}  // namespace

bool ParseJson(const char* text, JsonValue* root, rapidjson::ParseResult* result) {
  JXJsonAllocator allocator;
  JsonDocument document(&allocator, kParseStackCapacity, &allocator);
  rapidjson::ParseResult parsed;
  auto parse = [&](JsonDocument& target) {
    DepthLimitedBuilder builder(target);
    JsonReader reader(&allocator);
    rapidjson::GenericStringStream<rapidjson::UTF8<>> stream(text);
    // The fast number conversion, a few units in the last place off at worst:
    // RapidJSON 1.1's exact one reads zeros with large exponents ("0.0e92")
    // as garbage.
    parsed = reader.Parse<rapidjson::kParseDefaultFlags>(stream, builder);
    if (builder.number_too_big()) parsed.Set(rapidjson::kParseErrorNumberTooBig, parsed.Offset());
    return !parsed.IsError();
  };
  document.Populate(parse);
  if (parsed.IsError()) {
    if (result != nullptr) *result = parsed;
    return false;
  }
  root->Swap(document);  // the old tree leaves with the temporary document
  return true;
}

bool WriteJson(const JsonValue& value, JsonBuffer* out) {
  if (value.IsNull()) return false;
  JXJsonAllocator allocator;
  JsonWriter writer(*out, &allocator);
  return value.Accept(writer);
}

int JsonType(const JsonValue& value) {
  switch (value.GetType()) {
    case rapidjson::kFalseType:
    case rapidjson::kTrueType:
      return JX_JSON_BOOL;
    case rapidjson::kNumberType:
      return value.IsDouble() ? JX_JSON_DOUBLE : JX_JSON_INT;
    case rapidjson::kStringType:
      return JX_JSON_STRING;
    case rapidjson::kObjectType:
      return JX_JSON_MAP;
    case rapidjson::kArrayType:
      return JX_JSON_ARRAY;
    case rapidjson::kNullType:
      break;
  }
  return JX_JSON_NULL;
}

int NestingDepth(const JsonValue& value) {
  int deepest = 0;
  if (value.IsObject()) {
    for (auto m = value.MemberBegin(); m != value.MemberEnd(); ++m) {
      deepest = std::max(deepest, NestingDepth(m->value));
    }
  } else if (value.IsArray()) {
    for (auto e = value.Begin(); e != value.End(); ++e)
      deepest = std::max(deepest, NestingDepth(*e));
  } else {
    return 0;
  }
  return deepest + 1;
}

bool HandOutJson(const JsonValue& value, int line, char** out, uint32_t* out_len) {
  JXJsonAllocator allocator;
  JsonBuffer text(&allocator);
  return WriteJson(value, &text) &&
         HandOut(std::string_view(text.GetString(), text.GetSize()), JsonTag(line), out, out_len);
}

}  // namespace jx

jx_json_t jx_json_build(void) { return jx::NewDocument(jx::kBuildLine); }

jx_json_t jx_json_copy(jx_json_t src) {
  if (src == nullptr) return nullptr;
  jx_json_t copy = jx::NewDocument(jx::kCopyLine);
  copy->root.CopyFrom(src->root, copy->allocator);
  return copy;
}

void jx_json_destroy(jx_json_t h) {
  if (h == nullptr) return;
  h->~jx_json_s();
  jx_free(h);
}

bool jx_json_parse(jx_json_t h, const char* text, jx_json_parse_error* err) {
  if (h == nullptr || text == nullptr || *text == '\0') return false;
  return jx::Guarded(false, [&] {
    rapidjson::ParseResult result;
    if (jx::ParseJson(text, &h->root, &result)) return true;
    if (err != nullptr) jx::FillParseError(result, err);
    return false;
  });
}

bool jx_json_to_jstr(jx_json_t h, char** out, uint32_t* out_len) {
  if (h == nullptr || out == nullptr || out_len == nullptr) return false;
  return jx::Guarded(false,
                     [&] { return jx::HandOutJson(h->root, jx::kToJstrLine, out, out_len); });
}

int jx_json_type(jx_json_t h) { return h == nullptr ? JX_JSON_NULL : jx::JsonType(h->root); }

int jx_json_array_size(jx_json_t h) {
  return h != nullptr && h->root.IsArray() ? static_cast<int>(h->root.Size()) : 0;
}

int jx_json_map_size(jx_json_t h) {
  return h != nullptr && h->root.IsObject() ? static_cast<int>(h->root.MemberCount()) : 0;
}

bool jx_json_map_items(jx_json_t h, jx_json_item* items) {
  if (h == nullptr || !h->root.IsObject()) return false;
  const jx::JsonValue& root = h->root;
  if (items == nullptr) return root.MemberCount() == 0;
  size_t filled = 0;
  for (auto m = root.MemberBegin(); m != root.MemberEnd(); ++m, ++filled) {
    if (!jx::FillItem(*m, &items[filled])) {
      for (size_t i = 0; i < filled; ++i) {
        jx_free(items[i].key);
        jx_json_destroy(items[i].value);
      }
      return false;
    }
  }
  return true;
}
