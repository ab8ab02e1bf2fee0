// C++ helpers over the JSON documents of base/jx_json.h: jx::Jpath builds
// path texts from member names and indexes without escaping by hand, and
// jx::Jvalue owns a document handle.
//
// Both are plain values used by one thread at a time; neither locks. They
// call only the jx_json_ interface, so what holds for it (ownership, limits,
// results) holds for them.
#ifndef JX_BASE_JX_JVALUE_H_
#define JX_BASE_JX_JVALUE_H_

#ifndef __cplusplus
#error "base/jx_jvalue.h is a C++ header: include it from C++ (C code uses base/jx_json.h)"
#else

#include <cstdint>
#include <string>
#include <vector>

#include "base/jx_api.h"
#include "base/jx_json.h"

namespace jx {

// A path held as its list of elements.
//
//   jx::Jpath path("report");
//   path.AppendKey("v1.2").AppendIndex(0);  // ToText() == ".report.v1\.2:0"
//
// Every append builds the new list aside and then replaces the old one, so a
// failing append (out of memory) leaves the path unchanged.
class JX_API Jpath {
 public:
  struct Element {
    char kind;         // '.' member, ':' index
    std::string text;  // the member name, or the index in decimal
  };

  // The path that `text` names, read with the path grammar of jx_json.h; a
  // null or empty text names the root.
  explicit Jpath(const char* text = "");
  Jpath(const Jpath& other);
  Jpath& operator=(const Jpath& other);
  virtual ~Jpath();

  // Adds the elements read from `text` at the end; "" adds nothing.
  virtual Jpath& AppendPath(const std::string& text);
  // Adds one member element named `name`, byte for byte (no escapes are
  // read); "" adds nothing.
  virtual Jpath& AppendKey(const std::string& name);
  // Adds one index element.
  virtual Jpath& AppendIndex(uint32_t index);
  virtual const std::vector<Element>& Elements() const;
  // The path as text for the jx_json_ calls: each element's kind, then its
  // text with a backslash before every "." and ":". A name that ends in a
  // backslash, or holds a NUL byte, does not read back unchanged.
  virtual std::string ToText() const;

 private:
  std::vector<Element> elements_;
};

// Owns one document handle. Copies are deep: two objects never share a tree.
class JX_API Jvalue {
 public:
  // A null document.
  Jvalue();
  Jvalue(const Jvalue& other);
  Jvalue& operator=(const Jvalue& other);
  virtual ~Jvalue();

  // Sets the value at `path` to an array holding deep copies of `values`, in
  // order; an empty list sets null. Returns false, leaving the document
  // unchanged, when a value cannot be stored (too deep), and otherwise what
  // jx_json_set_jvalue returns for the path.
  bool SetArray(const Jpath& path, const std::vector<Jvalue>& values);

  // The document, for the jx_json_ calls. Owned by this object: do not
  // destroy it, and do not keep it beyond the object's life.
  jx_json_t handle;
};

}  // namespace jx

#endif  // __cplusplus
#endif  // JX_BASE_JX_JVALUE_H_
