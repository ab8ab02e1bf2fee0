// The inside of a document handle, and the pieces that the document calls and
// the path calls share: bounded parsing, compact writing, nesting depth and
// handing texts to the caller.
#ifndef JX_JSON_JX_JSON_DOCUMENT_H_
#define JX_JSON_JX_JSON_DOCUMENT_H_

#include <rapidjson/document.h>
#include <rapidjson/stringbuffer.h>

#include <cstddef>
#include <cstdint>

#include "base/jx_hand_out.h"
#include "base/jx_json.h"
#include "json/jx_json_allocator.h"

namespace jx {

using JsonValue = rapidjson::GenericValue<rapidjson::UTF8<>, JXJsonAllocator>;
using JsonBuffer = rapidjson::GenericStringBuffer<rapidjson::UTF8<>, JXJsonAllocator>;

// The source tag and lines under which the buffers handed out are recorded.
inline constexpr char kJsonSourceTag[] = "source/json/jx_json";

// The tag of a buffer the JSON calls hand out at `line`.
constexpr SourceTag JsonTag(int line) { return SourceTag{kJsonSourceTag, line}; }
inline constexpr int kBuildLine = 22;
inline constexpr int kCopyLine = 32;
inline constexpr int kParseMessageLine = 46;
inline constexpr int kToJstrLine = 58;
inline constexpr int kMapKeyLine = 94;
inline constexpr int kGetCstrLine = 258;

// Parses the NUL-terminated `text` as one JSON value nesting at most
// JX_JSON_MAX_DEPTH levels. On success swaps the result into `*root` (the old
// tree is freed) and returns true; on failure leaves `*root` alone, fills
// `*result` when given, and returns false.
bool ParseJson(const char* text, JsonValue* root, rapidjson::ParseResult* result);

// Appends `value` to `*out` as compact JSON text. Returns false for a null
// value, or when the writer refuses a number (NaN or infinite); `*out` then
// holds an unspecified part of the text.
bool WriteJson(const JsonValue& value, JsonBuffer* out);

// The number of objects and arrays on the longest chain from `value` down:
// 0 for a scalar, 1 for an empty object or array.
int NestingDepth(const JsonValue& value);

// The jx_json_value_type of `value`.
int JsonType(const JsonValue& value);

// Hands `value` to the caller as compact JSON text, as jx::HandOut does.
// Returns false where WriteJson or HandOut would.
bool HandOutJson(const JsonValue& value, int line, char** out, uint32_t* out_len);

}  // namespace jx

// A document handle: the root value, then the (stateless) allocator.
struct jx_json_s {
  jx::JsonValue root;
  jx::JXJsonAllocator allocator;
};

#endif  // JX_JSON_JX_JSON_DOCUMENT_H_
