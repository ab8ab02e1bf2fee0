// The JSON classes used as a program outside the library uses them: linked
// against the shared library, building a small report.
#include "base/jx_jvalue.h"
#include "base/jx_memory.h"

int main() {
  std::vector<jx::Jvalue> files(2);
  jx::Jvalue report;
  char* text = nullptr;
  uint32_t length = 0;
  const bool ok =
      jx_json_set_cstr(files[0].handle, nullptr, "bin/a.dll") &&
      report.SetArray(jx::Jpath("fileLists"), files) &&
      jx_json_set_int64(report.handle, jx::Jpath().AppendKey("n.all").ToText().c_str(), 1) &&
      jx_json_to_jstr(report.handle, &text, &length) &&
      std::string(text, length) == "{\"fileLists\":[\"bin/a.dll\",null],\"n.all\":1}";
  jx_free(text);
  return ok ? 0 : 1;
}
