// Values inside JSON documents addressed by path texts: the path grammar, the
// walker, the getters, the setters and the merge.
#include <charconv>
#include <cmath>
#include <cstring>
#include <forward_list>
#include <limits>
#include <string_view>

#include "base/jx_guard.h"
#include "base/jx_json.h"
#include "base/jx_number_text.h"
#include "json/jx_json_document.h"
#include "json/jx_json_path.h"

namespace jx {

namespace {

bool IsSeparator(char c) { return c == '.' || c == ':'; }

}  // namespace

void PathReader::Advance() {
  // Most elements hold no backslash: their name is a view of the text.
  for (;;) {
    const size_t begin = next_;
    size_t end = begin;
    while (end < text_.size() && !IsSeparator(text_[end]) && text_[end] != '\\') ++end;
    if (end < text_.size() && text_[end] == '\\') return ReadEscaped(begin);
    if (end == begin) {
      if (end == text_.size()) break;
      next_kind_ = text_[next_++];  // an empty element vanishes
      continue;
    }
    kind_ = next_kind_;
    name_ = text_.substr(begin, end - begin);
    next_ = end;
    if (next_ < text_.size()) next_kind_ = text_[next_++];
    return;
  }
  kind_ = next_kind_;
  name_ = {};
  at_end_ = true;
}

void PathReader::ReadEscaped(size_t begin) {
  unescaped_.clear();
  next_ = begin;
  bool escaped = false;
  while (next_ < text_.size()) {
    const char c = text_[next_++];
    if (c == '\\') {
      if (escaped) unescaped_ += "\\\\";
      escaped = !escaped;
    } else if (IsSeparator(c) && !escaped) {
      if (!unescaped_.empty()) {
        kind_ = next_kind_;
        next_kind_ = c;
        name_ = unescaped_;
        return;
      }
      next_kind_ = c;
    } else {
      if (escaped && !IsSeparator(c)) unescaped_ += '\\';
      unescaped_ += c;
      escaped = false;
    }
  }
  kind_ = next_kind_;
  name_ = unescaped_;
  at_end_ = unescaped_.empty();
}

namespace {

constexpr size_t kMaxStringLength = std::numeric_limits<rapidjson::SizeType>::max() - 1;

// What a call does to the value its path reaches. `level` is the number of
// objects and arrays above that value in its document. Holds a reference to
// the callable, which must outlive it.
class Operation {
 public:
  template <class F>
  Operation(F& f)  // implicit: every call passes its lambda straight in
      : target_(&f), call_([](void* target, JsonValue& v, int level) {
          return (*static_cast<F*>(target))(v, level);
        }) {}

  bool operator()(JsonValue& v, int level) const { return call_(target_, v, level); }

 private:
  void* target_;
  bool (*call_)(void*, JsonValue&, int);
};

// A string value that a walk entered as a document of its own.
struct EmbeddedDocument {
  explicit EmbeddedDocument(JsonValue* text) : string(text) {}
  JsonValue* string;  // the string value, in the enclosing document
  JsonValue root;
};

// Writes the embedded document back into its string; false, with the old
// text kept, when it cannot be written.
bool WriteBack(EmbeddedDocument& embedded, JXJsonAllocator& allocator) {
  JsonBuffer text(&allocator);
  if (!WriteJson(embedded.root, &text)) return false;
  embedded.string->SetString(text.GetString(), static_cast<rapidjson::SizeType>(text.GetSize()),
                             allocator);
  return true;
}

// Enters the string `text` as a document of its own, put first in `embedded`:
// its root, or null when the text is not JSON.
JsonValue* Enter(std::forward_list<EmbeddedDocument>* embedded, JsonValue* text) {
  EmbeddedDocument& inner = embedded->emplace_front(text);
  return ParseJson(text->GetString(), &inner.root, nullptr) ? &inner.root : nullptr;
}

// Puts back what a setter's walk changed unless the walk is kept, so a failed
// call leaves its document as it was. Only the first change to a value that
// existed before needs a record: every later one happens inside what that
// change added.
class Rollback {
 public:
  Rollback() = default;
  Rollback(const Rollback&) = delete;
  Rollback& operator=(const Rollback&) = delete;
  ~Rollback() {
    if (changed_ != nullptr && !kept_) Revert();
  }

  // Makes `v` an empty container of `type` in place of what it holds.
  void Replace(JsonValue& v, rapidjson::Type type) {
    JsonValue fresh(type);
    if (changed_ == nullptr) {
      changed_ = &v;
      replaced_ = true;
      old_.Swap(v);  // held aside whole: cheaper than a copy
    }
    v.Swap(fresh);
  }

  // Call before the object or array `v` gains members or elements.
  void Grow(JsonValue& v) {
    if (changed_ != nullptr) return;
    changed_ = &v;
    size_ = v.IsObject() ? v.MemberCount() : v.Size();
  }

  void Keep() { kept_ = true; }

 private:
  void Revert() {
    if (replaced_) {
      changed_->Swap(old_);
    } else if (changed_->IsObject()) {
      changed_->EraseMember(changed_->MemberBegin() + size_, changed_->MemberEnd());
    } else {
      changed_->Erase(changed_->Begin() + size_, changed_->End());
    }
  }

  JsonValue* changed_ = nullptr;
  JsonValue old_;  // what `changed_` held when it was replaced
  bool replaced_ = false;
  rapidjson::SizeType size_ = 0;  // members or elements before growing
  bool kept_ = false;
};

bool MayNestBelow(int level) { return level < JX_JSON_MAX_DEPTH; }

// Whether `value` placed `level` levels deep keeps the document within the
// nesting limit. Every document is within it, so the root always fits.
bool FitsAt(int level, const JsonValue& value) {
  return level == 0 || level + NestingDepth(value) <= JX_JSON_MAX_DEPTH;
}

// The element `index` of `v`, or null. When creating (`changes` given) `v`
// becomes an array and grows with nulls up to the slot first.
JsonValue* StepToIndex(JsonValue& v, int32_t index, int level, Rollback* changes,
                       JXJsonAllocator& allocator) {
  if (index < 0) return nullptr;
  const auto slot = static_cast<rapidjson::SizeType>(index);
  const bool exists = v.IsArray() && slot < v.Size();
  if (changes != nullptr && !exists) {
    if (slot > JX_JSON_MAX_CREATED_INDEX) return nullptr;
    if (v.IsArray()) {
      changes->Grow(v);
    } else {
      if (!MayNestBelow(level)) return nullptr;
      changes->Replace(v, rapidjson::kArrayType);
    }
    v.Reserve(slot + 1, allocator);
    while (v.Size() <= slot) v.PushBack(JsonValue(), allocator);
  }
  return v.IsArray() && slot < v.Size() ? &v[slot] : nullptr;
}

// The first member of `v` called `name`, or null. When creating (`changes`
// given) `v` becomes an object and gains the member, holding null, first.
JsonValue* StepToMember(JsonValue& v, std::string_view name, int level, Rollback* changes,
                        JXJsonAllocator& allocator) {
  if (name.size() > kMaxStringLength) return nullptr;
  const auto length = static_cast<rapidjson::SizeType>(name.size());
  if (changes != nullptr && !v.IsObject()) {
    if (!MayNestBelow(level)) return nullptr;
    changes->Replace(v, rapidjson::kObjectType);
  }
  if (!v.IsObject()) return nullptr;
  const JsonValue key(rapidjson::StringRef(name.data(), length));
  const auto member = v.FindMember(key);
  if (member != v.MemberEnd()) return &member->value;
  if (changes == nullptr) return nullptr;
  changes->Grow(v);
  v.AddMember(JsonValue(name.data(), length, allocator), JsonValue(), allocator);
  return &(v.MemberEnd() - 1)->value;
}

// An index text as a slot number: the lenient integer, of which the low 32
// bits count as a signed value. Plain short digit strings, by far the most
// common, are read directly.
int32_t IndexOf(std::string_view text) {
  constexpr size_t kSafeDigits = 9;  // below 2^31 whatever the digits
  if (text.size() <= kSafeDigits) {
    int32_t index = 0;
    size_t i = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
      index = index * 10 + (text[i] - '0');
    }
    if (i == text.size()) return index;
  }
  return static_cast<int32_t>(static_cast<uint32_t>(TextToInteger(text, 10)));
}

// Resolves `path` in `h` and applies `operation` to the value it reaches.
// Strings met with elements left are walked as embedded documents and
// written back afterwards, innermost first; the walk keeps them in a list on
// the heap rather than recursing. A walk that fails writes nothing back and
// takes back what it created, so the document stays as it was.
bool Walk(jx_json_t h, const char* path, bool creating, Operation operation) {
  if (h == nullptr) return false;
  PathReader reader(path != nullptr ? path : "");
  std::forward_list<EmbeddedDocument> embedded;  // innermost first
  Rollback changes;  // declared after `embedded`: undone before those documents go
  Rollback* const creation = creating ? &changes : nullptr;
  JsonValue* v = &h->root;
  int level = 0;
  bool ok;
  for (;;) {
    if (v == nullptr) {
      ok = false;
      break;
    }
    if (reader.AtEnd()) {
      ok = operation(*v, level);
      break;
    }
    if (v->IsString()) {
      v = Enter(&embedded, v);
      level = 0;
      continue;
    }
    v = reader.kind() == ':'
            ? StepToIndex(*v, IndexOf(reader.name()), level, creation, h->allocator)
            : StepToMember(*v, reader.name(), level, creation, h->allocator);
    ++level;
    reader.Advance();
  }
  // Only the outermost write touches `h`, and it comes last.
  for (EmbeddedDocument& inner : embedded) ok = ok && WriteBack(inner, h->allocator);
  if (ok) changes.Keep();
  return ok;
}

bool Get(jx_json_t h, const char* path, Operation operation) {
  return Guarded(false, [&] { return Walk(h, path, false, operation); });
}

bool Set(jx_json_t h, const char* path, Operation operation) {
  return Guarded(false, [&] { return Walk(h, path, true, operation); });
}

// Truncates toward zero, clamping to the int64 range; NaN gives 0.
int64_t TruncateToInt64(double d) {
  if (std::isnan(d)) return 0;
  if (d >= 0x1p63) return std::numeric_limits<int64_t>::max();
  if (d <= -0x1p63) return std::numeric_limits<int64_t>::min();
  return static_cast<int64_t>(d);
}

std::string_view TextOf(const JsonValue& v) { return {v.GetString(), v.GetStringLength()}; }

template <class T>
bool HandOutNumber(T number, char** out, uint32_t* out_len) {
  char text[32];
  const auto written = std::to_chars(text, text + sizeof(text), number);
  return HandOut(std::string_view(text, static_cast<size_t>(written.ptr - text)),
                 JsonTag(kGetCstrLine), out, out_len);
}

bool HandOutFixed(double number, char** out, uint32_t* out_len) {
  char text[400];  // "%f" of the largest double: 309 digits, point, 6 digits
  const auto written =
      std::to_chars(text, text + sizeof(text), number, std::chars_format::fixed, 6);
  return HandOut(std::string_view(text, static_cast<size_t>(written.ptr - text)),
                 JsonTag(kGetCstrLine), out, out_len);
}

bool HandOutText(const JsonValue& v, char** out, uint32_t* out_len) {
  switch (JsonType(v)) {
    case JX_JSON_NULL:
      return false;
    case JX_JSON_BOOL:
      return HandOut(v.GetBool() ? "1" : "0", JsonTag(kGetCstrLine), out, out_len);
    case JX_JSON_INT:
      return v.IsInt64() ? HandOutNumber(v.GetInt64(), out, out_len)
                         : HandOutNumber(v.GetUint64(), out, out_len);
    case JX_JSON_DOUBLE:
      return HandOutFixed(v.GetDouble(), out, out_len);
    case JX_JSON_STRING:
      // An empty text is a success with nothing to hand out.
      return v.GetStringLength() == 0 || HandOut(TextOf(v), JsonTag(kGetCstrLine), out, out_len);
    default:
      return HandOutJson(v, kGetCstrLine, out, out_len);
  }
}

int64_t IntegerOf(const JsonValue& v) {
  switch (JsonType(v)) {
    case JX_JSON_BOOL:
      return v.GetBool() ? 1 : 0;
    case JX_JSON_INT:
      return v.IsInt64() ? v.GetInt64() : static_cast<int64_t>(v.GetUint64());
    case JX_JSON_DOUBLE:
      return TruncateToInt64(v.GetDouble());
    case JX_JSON_STRING:
      return TextToInteger(TextOf(v), 10);
    default:
      return 0;
  }
}

double DoubleOf(const JsonValue& v) {
  switch (JsonType(v)) {
    case JX_JSON_BOOL:
      return v.GetBool() ? 1.0 : 0.0;
    case JX_JSON_INT:
    case JX_JSON_DOUBLE:
      return v.GetDouble();
    case JX_JSON_STRING:
      return TextToDouble(TextOf(v));
    default:
      return 0.0;
  }
}

// Makes `v` an object or array of `type` unless it is one already, emptying
// it when asked.
bool BecomeContainer(JsonValue& v, int level, rapidjson::Type type, bool emptied) {
  if (v.GetType() != type) {
    if (!MayNestBelow(level)) return false;
    JsonValue fresh(type);
    v.Swap(fresh);
  } else if (emptied && v.IsObject()) {
    v.RemoveAllMembers();
  } else if (emptied) {
    v.Clear();
  }
  return true;
}

// Reads the value at `path` as a number of type T into `*out`; a null value
// names nothing.
template <class T>
bool GetNumber(jx_json_t h, const char* path, T* out, T (*convert)(const JsonValue&)) {
  if (out == nullptr) return false;
  auto number = [&](JsonValue& v, int) {
    if (v.IsNull()) return false;
    *out = convert(v);
    return true;
  };
  return Get(h, path, number);
}

// Sets the value at `path` to the bool or number `v`.
template <class T>
bool SetScalar(jx_json_t h, const char* path, T v) {
  auto assign = [&](JsonValue& target, int) {
    JsonValue fresh(v);
    target.Swap(fresh);
    return true;
  };
  return Set(h, path, assign);
}

// Sets the value at `path` to a container of `type` (see BecomeContainer).
bool SetContainer(jx_json_t h, const char* path, rapidjson::Type type, bool emptied) {
  auto become = [=](JsonValue& v, int level) { return BecomeContainer(v, level, type, emptied); };
  return Set(h, path, become);
}

// Merges `source` into `target`: arrays append the source's elements (moved
// out, leaving nulls), objects merge member by member, anything else is
// replaced by a copy. The recursion follows the source, whose depth is
// bounded like every document's.
void Merge(JsonValue& target, JsonValue& source, JXJsonAllocator& allocator) {
  if (target.IsArray() && source.IsArray()) {
    target.Reserve(target.Size() + source.Size(), allocator);
    for (auto e = source.Begin(); e != source.End(); ++e) target.PushBack(*e, allocator);
  } else if (target.IsObject() && source.IsObject()) {
    for (auto m = source.MemberBegin(); m != source.MemberEnd(); ++m) {
      const auto found = target.FindMember(m->name);
      if (found != target.MemberEnd()) {
        Merge(found->value, m->value, allocator);
      } else {
        target.AddMember(JsonValue(m->name, allocator), JsonValue(m->value, allocator), allocator);
      }
    }
  } else {
    target.CopyFrom(source, allocator);
  }
}

}  // namespace

}  // namespace jx

using jx::JsonValue;

bool jx_json_get_cstr(jx_json_t h, const char* path, char** out, uint32_t* out_len) {
  if (out == nullptr || out_len == nullptr) return false;
  auto text = [&](JsonValue& v, int) { return jx::HandOutText(v, out, out_len); };
  return jx::Get(h, path, text);
}

bool jx_json_get_int64(jx_json_t h, const char* path, int64_t* out) {
  return jx::GetNumber(h, path, out, jx::IntegerOf);
}

bool jx_json_get_double(jx_json_t h, const char* path, double* out) {
  return jx::GetNumber(h, path, out, jx::DoubleOf);
}

bool jx_json_get_jvalue(jx_json_t h, const char* path, jx_json_t out) {
  if (h == nullptr || out == nullptr) return false;
  return jx::Guarded(false, [&] {
    // Copied aside and swapped in after the walk: `out` may be `h`, whose
    // tree the walk must not lose while it still writes strings back.
    JsonValue copy;
    auto take = [&](JsonValue& v, int) {
      copy.CopyFrom(v, out->allocator);
      return true;
    };
    if (!jx::Walk(h, path, false, take)) return false;
    out->root.Swap(copy);
    return true;
  });
}

bool jx_json_set_bool(jx_json_t h, const char* path, bool v) { return jx::SetScalar(h, path, v); }

bool jx_json_set_int64(jx_json_t h, const char* path, int64_t v) {
  return jx::SetScalar(h, path, v);
}

bool jx_json_set_double(jx_json_t h, const char* path, double v) {
  return jx::SetScalar(h, path, v);
}

bool jx_json_set_cstr(jx_json_t h, const char* path, const char* v) {
  const char* text = v != nullptr ? v : "";
  const size_t length = std::strlen(text);
  if (length > jx::kMaxStringLength) return false;
  auto assign = [&](JsonValue& target, int) {
    target.SetString(text, static_cast<rapidjson::SizeType>(length), h->allocator);
    return true;
  };
  return jx::Set(h, path, assign);
}

bool jx_json_set_jvalue(jx_json_t h, const char* path, jx_json_t src) {
  if (h == nullptr || src == nullptr) return false;
  return jx::Guarded(false, [&] {
    // Copied before the walk, which may change `src` when it is `h`.
    JsonValue copy(src->root, h->allocator);
    auto assign = [&](JsonValue& target, int level) {
      if (!jx::FitsAt(level, copy)) return false;
      target.Swap(copy);
      return true;
    };
    return jx::Walk(h, path, true, assign);
  });
}

bool jx_json_merge_set_jvalue(jx_json_t h, const char* path, jx_json_t src) {
  if (src == nullptr || src == h) return false;
  auto merge = [&](JsonValue& target, int level) {
    if (!jx::FitsAt(level, src->root)) return false;
    jx::Merge(target, src->root, h->allocator);
    return true;
  };
  return jx::Set(h, path, merge);
}

bool jx_json_set_as_map(jx_json_t h, const char* path) {
  return jx::SetContainer(h, path, rapidjson::kObjectType, false);
}

bool jx_json_set_as_array(jx_json_t h, const char* path) {
  return jx::SetContainer(h, path, rapidjson::kArrayType, false);
}

bool jx_json_set_as_empty_map(jx_json_t h, const char* path) {
  return jx::SetContainer(h, path, rapidjson::kObjectType, true);
}

bool jx_json_set_as_empty_array(jx_json_t h, const char* path) {
  return jx::SetContainer(h, path, rapidjson::kArrayType, true);
}

bool jx_json_set_as_null(jx_json_t h, const char* path) {
  auto clear = [](JsonValue& v, int) {
    v.SetNull();
    return true;
  };
  return jx::Set(h, path, clear);
}
