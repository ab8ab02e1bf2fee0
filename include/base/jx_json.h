// JSON documents: parse, build, read and write JSON values addressed by path
// texts.
//
// A jx_json_t owns one document: a root value and the whole tree below it.
// Nothing is shared between handles, and no call hands out a pointer into a
// document: getters copy values out, setters copy them in.
//
// Paths. A path text names a value inside a document as a list of elements:
// ".name" an object member (the name taken byte for byte) and ":n" an array
// slot, n in decimal. The leading "." may be left out, so "data.items:2.name"
// is the member name of the third element of the member items of the member
// data. Empty elements vanish ("a..b" and ".a.b." both name a.b); a null or
// empty path names the root. A backslash makes the following "." or ":" part
// of the name ("a\.b" is the single member a.b); before any other byte it is
// kept ("a\b" is the member a\b), and two backslashes stay two. An index text
// is read leniently: white space and case are ignored, "true" is 1, text that
// does not start with a number is 0, and of the number only the low 32 bits
// count, as a signed value; a negative index names nothing.
//
// Getters never create anything; they fail when the path names nothing.
// Setters create what is missing on the way: a member that does not exist is
// added holding null, a value that is not an object (or array) where a member
// (or slot) is named is replaced by an empty one, and an array too short for a
// slot is padded with nulls. A setter that fails leaves the document exactly
// as it was, whatever step refused.
//
// Strings on the way. A string value met with path elements left is read as a
// JSON document of its own: its text is parsed, the rest of the path is walked
// inside it, and once that succeeded it is written back as compact JSON text,
// even by a getter. The call succeeds only when the text parsed, the walk
// inside succeeded and the result was written back: so setting "s.x" where s
// holds the text {"y":2} leaves {"y":2,"x":1} and succeeds, while where s
// holds hello it fails and s keeps its text.
//
// Limits. A document nests at most JX_JSON_MAX_DEPTH objects and arrays, so
// no call needs more than a bounded amount of the calling thread's stack
// (under 100 KB in optimised builds), however deep the input. Parsing deeper
// text fails with code 16, and a setter whose result would be deeper fails. A
// setter creates array slots up to index JX_JSON_MAX_CREATED_INDEX only; a
// higher index names nothing for a setter (getters still reach existing
// slots).
//
// Texts are UTF-8 and are taken byte for byte: invalid sequences are neither
// checked nor repaired. Texts handed out come from jx_trace_malloc and are
// released with jx_free; those with a separate length have no terminating NUL.
//
// Threads: a handle may be used by one thread at a time; different handles
// may be used by different threads at once. No call logs anything.
#ifndef JX_BASE_JX_JSON_H_
#define JX_BASE_JX_JSON_H_

#include "base/jx_api.h"

JX_EXTERN_C_BEGIN

typedef struct jx_json_s* jx_json_t;

// The deepest nesting of objects and arrays a document may hold, so that
// hostile input cannot exhaust the host process's stack.
#define JX_JSON_MAX_DEPTH 512
// The highest array index a setter creates, so that a hostile path cannot
// make the host process allocate gigabytes of padding.
#define JX_JSON_MAX_CREATED_INDEX 16777215

// Types reported by jx_json_type.
typedef enum jx_json_value_type {
  JX_JSON_NULL = 0,
  JX_JSON_BOOL = 1,
  JX_JSON_INT = 2,  // any integer, signed or unsigned, up to 64 bits
  JX_JSON_DOUBLE = 3,
  JX_JSON_STRING = 4,
  JX_JSON_MAP = 5,  // object
  JX_JSON_ARRAY = 6
} jx_json_value_type;

// Why a parse failed. `message` is the English text for `code`, exactly
// `message_length` bytes with no terminating NUL; the caller releases it with
// jx_free. Codes: 1 empty document, 2 root followed by other values, 3
// invalid value, 4 missing member name, 5 missing colon, 6 missing comma or
// '}', 7 missing comma or ']', 8 bad hex digit after \u, 9 invalid surrogate
// pair, 10 invalid escape, 11 missing closing quotation mark, 12 invalid
// encoding, 13 number too big for a double, 14 missing fraction, 15 missing
// exponent, 16 parsing stopped (nesting deeper than JX_JSON_MAX_DEPTH), 17
// unspecific syntax error.
typedef struct jx_json_parse_error {
  uint32_t code;
  uint32_t offset;  // byte offset in the text where the error was found
  char* message;
  uint32_t message_length;
} jx_json_parse_error;

// One member of an object, from jx_json_map_items. The caller owns both:
// release `key` (a NUL-terminated copy of the name) with jx_free and `value`
// (a new document holding a copy of the member's value) with jx_json_destroy.
typedef struct jx_json_item {
  char* key;
  jx_json_t value;
} jx_json_item;

// jx_json_build
//
// A new document whose root is null. Never returns null. Release it with
// jx_json_destroy.
JX_API jx_json_t jx_json_build(void);

// jx_json_copy
//
// A new document holding a deep copy of the root of `src`. Returns null when
// `src` is null. Release it with jx_json_destroy.
JX_API jx_json_t jx_json_copy(jx_json_t src);

// jx_json_destroy
//
// Frees the document and its whole tree. A null handle is ignored.
JX_API void jx_json_destroy(jx_json_t h);

// jx_json_parse
//
// Parses `text` as one standard JSON value, optionally surrounded by white
// space, and makes it the root of `h`, freeing the old tree. On failure the
// document is unchanged and, when `err` is not null, `*err` receives the code,
// offset and message (the caller releases err->message with jx_free). Returns
// false at once, without touching `*err`, when `h` is null or `text` is null
// or empty. Numbers are converted fast: one with more than 15 significant
// digits or a large exponent may land a few units in the last place away
// from the nearest double.
JX_API bool jx_json_parse(jx_json_t h, const char* text, jx_json_parse_error* err);

// jx_json_to_jstr
//
// Writes the root of `h` as compact JSON text (no spaces or line breaks) into
// a new buffer: *out receives the buffer and *out_len its length; there is no
// terminating NUL. The caller releases *out with jx_free. Returns false, with
// the outputs untouched, when the root is null, when it holds a NaN or
// infinite number (JSON has no text for them), when the text would exceed
// 2^31 - 1 bytes, or when an argument is null.
JX_API bool jx_json_to_jstr(jx_json_t h, char** out, uint32_t* out_len);

// jx_json_type
//
// The jx_json_value_type of the root. A null handle reads as JX_JSON_NULL.
JX_API int jx_json_type(jx_json_t h);

// jx_json_array_size, jx_json_map_size
//
// The number of elements (members) of the root when it is an array (object),
// else 0. A null handle gives 0.
JX_API int jx_json_array_size(jx_json_t h);
JX_API int jx_json_map_size(jx_json_t h);

// jx_json_map_items
//
// Fills items[0] to items[n - 1] with the members of the root in their order,
// n being jx_json_map_size(h); the caller supplies room for n records and
// owns what they receive (see jx_json_item). Returns false, filling nothing,
// unless the root is an object; an empty object succeeds and fills nothing.
// `items` may be null only for an empty object.
JX_API bool jx_json_map_items(jx_json_t h, jx_json_item* items);

// Getters. Each reads the value at `path` (null is the root) without creating
// anything. They return false, leaving the outputs untouched, when `h` or an
// output is null or when the path names nothing; the three converting getters
// (cstr, int64, double) also fail for a null value.

// jx_json_get_cstr
//
// The value as text: a string's bytes, "1" or "0" for a boolean, decimal
// digits for an integer, the printf "%f" form of a double (1.5 gives
// "1.500000"), compact JSON text for an object or array. *out receives a new
// buffer of exactly *out_len bytes with no terminating NUL; the caller
// releases it with jx_free. An empty string succeeds and leaves *out and
// *out_len untouched. Returns false also when the text would exceed 2^31 - 1
// bytes or an object or array holds a NaN or infinite number.
JX_API bool jx_json_get_cstr(jx_json_t h, const char* path, char** out, uint32_t* out_len);

// jx_json_get_int64
//
// The value as a 64-bit integer: a boolean gives 1 or 0, an unsigned value
// above INT64_MAX keeps its 64 bits, a double is truncated toward zero (and
// clamped to the int64 range, NaN giving 0), a string is read leniently like
// an index text (" 42abc" gives 42, "TRUE" 1, "abc" 0), an object or array
// gives 0.
JX_API bool jx_json_get_int64(jx_json_t h, const char* path, int64_t* out);

// jx_json_get_double
//
// The value as a double: numbers converted, a boolean gives 1.0 or 0.0, a
// string gives the number at its start (sign, fraction and exponent allowed;
// 0.0 when there is none), an object or array gives 0.0.
JX_API bool jx_json_get_double(jx_json_t h, const char* path, double* out);

// jx_json_get_jvalue
//
// Replaces the root of the caller's document `out` with a deep copy of the
// value at `path`, freeing its old tree. `out` may be `h` itself.
JX_API bool jx_json_get_jvalue(jx_json_t h, const char* path, jx_json_t out);

// Setters. Each makes the value at `path` (null is the root) its new value,
// creating the path as described above and freeing what the value held
// before. They return false when `h` is null, when the path names nothing
// (a negative or too high index, or a string on the way that is not JSON
// text), or when the result would nest deeper than JX_JSON_MAX_DEPTH; then
// the document is left exactly as it was.

// The value becomes true for any non-zero `v`, else false.
JX_API bool jx_json_set_bool(jx_json_t h, const char* path, bool v);
JX_API bool jx_json_set_int64(jx_json_t h, const char* path, int64_t v);
JX_API bool jx_json_set_double(jx_json_t h, const char* path, double v);

// The value becomes a string holding a copy of `v`; null counts as "".
JX_API bool jx_json_set_cstr(jx_json_t h, const char* path, const char* v);

// jx_json_set_jvalue
//
// The value becomes a deep copy of the root of `src`, taken before the path is
// walked (so `src` may be `h` itself). Returns false when `src` is null.
JX_API bool jx_json_set_jvalue(jx_json_t h, const char* path, jx_json_t src);

// jx_json_merge_set_jvalue
//
// Merges the root of `src` into the value at `path`. Two arrays: the elements
// of src are moved to the end of the target, and src keeps its length with
// null in every slot moved. Two objects: each member of src whose name the
// target lacks is copied to the end of the target, and each whose name it has
// (its first member of that name) is merged into that member by these same
// rules. Anything else: the target becomes a deep copy of src. Returns false
// when `src` is null or is `h` itself.
JX_API bool jx_json_merge_set_jvalue(jx_json_t h, const char* path, jx_json_t src);

// jx_json_set_as_map, jx_json_set_as_array
//
// The value becomes an empty object (array), unless it already is an object
// (array): then it is left as it is, with its members (elements).
JX_API bool jx_json_set_as_map(jx_json_t h, const char* path);
JX_API bool jx_json_set_as_array(jx_json_t h, const char* path);

// jx_json_set_as_empty_map, jx_json_set_as_empty_array
//
// The value becomes an object (array) with no members (elements); an existing
// one is emptied in place.
JX_API bool jx_json_set_as_empty_map(jx_json_t h, const char* path);
JX_API bool jx_json_set_as_empty_array(jx_json_t h, const char* path);

// The value becomes null.
JX_API bool jx_json_set_as_null(jx_json_t h, const char* path);

JX_EXTERN_C_END

#endif  // JX_BASE_JX_JSON_H_
