// The JSON classes used as a program outside the library uses them: linked
// against the shared library, building a small report.
#include <cstdio>
#include <string>
#include <vector>

#include "base/jx_jvalue.h"
#include "base/jx_memory.h"

int main() {
  std::vector<jx::Jvalue> files;
  for (const char* name : {"bin/a.dll", "data/v1.2/b.pak"}) {
    jx::Jvalue file;
    jx_json_set_cstr(file.handle, nullptr, name);
    files.push_back(file);
  }
  jx::Jvalue report;
  jx::Jpath path("fileLists");
  bool ok = report.SetArray(path, files);
  ok = jx_json_set_int64(report.handle, jx::Jpath().AppendKey("count.all").ToText().c_str(),
                         static_cast<int64_t>(files.size())) &&
       ok;

  char* text = nullptr;
  uint32_t length = 0;
  ok = jx_json_to_jstr(report.handle, &text, &length) && ok;
  const std::string expected =
      "{\"fileLists\":[\"bin/a.dll\",\"data/v1.2/b.pak\"],\"count.all\":2}";
  ok = ok && std::string(text, length) == expected;
  jx_free(text);
  std::puts(ok ? "jvalue_example: ok" : "jvalue_example: FAILED");
  return ok ? 0 : 1;
}
