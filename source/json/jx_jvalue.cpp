// jx::Jpath and jx::Jvalue, over the jx_json_ calls.
#include "base/jx_jvalue.h"

#include <utility>

#include "json/jx_json_path.h"

namespace jx {

namespace {

// Room reserved per element when a path is written as text.
constexpr size_t kTextBytesPerElement = 56;

void AppendElements(std::string_view text, std::vector<Jpath::Element>* elements) {
  for (PathReader reader(text); !reader.AtEnd(); reader.Advance()) {
    elements->push_back({reader.kind(), std::string(reader.name())});
  }
}

}  // namespace

Jpath::Jpath(const char* text) { AppendElements(text != nullptr ? text : "", &elements_); }

Jpath::Jpath(const Jpath& other) = default;

Jpath& Jpath::operator=(const Jpath& other) = default;

Jpath::~Jpath() = default;

Jpath& Jpath::AppendPath(const std::string& text) {
  std::vector<Element> longer = elements_;
  AppendElements(text, &longer);
  elements_.swap(longer);
  return *this;
}

Jpath& Jpath::AppendKey(const std::string& name) {
  if (name.empty()) return *this;
  std::vector<Element> longer = elements_;
  longer.push_back({'.', name});
  elements_.swap(longer);
  return *this;
}

Jpath& Jpath::AppendIndex(uint32_t index) {
  std::vector<Element> longer = elements_;
  longer.push_back({':', std::to_string(index)});
  elements_.swap(longer);
  return *this;
}

const std::vector<Jpath::Element>& Jpath::Elements() const { return elements_; }

std::string Jpath::ToText() const {
  std::string text;
  text.reserve(elements_.size() * kTextBytesPerElement);
  for (const Element& element : elements_) {
    text += element.kind;
    for (char c : element.text) {
      if (c == '.' || c == ':') text += '\\';
      text += c;
    }
  }
  return text;
}

Jvalue::Jvalue() : handle(jx_json_build()) {}

Jvalue::Jvalue(const Jvalue& other) : handle(jx_json_copy(other.handle)) {}

Jvalue& Jvalue::operator=(const Jvalue& other) {
  Jvalue copy(other);
  std::swap(handle, copy.handle);
  return *this;
}

Jvalue::~Jvalue() { jx_json_destroy(handle); }

bool Jvalue::SetArray(const Jpath& path, const std::vector<Jvalue>& values) {
  // Built aside in a fresh document, whose null root becomes an array at the
  // first ":0", then copied in whole; an empty list leaves it null.
  Jvalue array;
  for (size_t i = 0; i < values.size(); ++i) {
    const std::string slot = ":" + std::to_string(i);
    if (!jx_json_set_jvalue(array.handle, slot.c_str(), values[i].handle)) return false;
  }
  return jx_json_set_jvalue(handle, path.ToText().c_str(), array.handle);
}

}  // namespace jx
