// Uses the library through its installed headers: the C toolkit and the
// exported C++ classes. Usage: consumer [VERSION], where VERSION is the
// version the build system found; jx_version's text must begin with it.
// Prints "consumer ok" and exits 0 when every result is right.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "base/jx_config.h"
#include "base/jx_jvalue.h"
#include "base/jx_md5.h"
#include "base/jx_memory.h"
#include "mird_check.h"

namespace {

bool Check(bool ok, const char* what) {
  if (!ok) std::fprintf(stderr, "consumer: %s\n", what);
  return ok;
}

}  // namespace

int main(int argc, char** argv) {
  bool ok = true;

  const std::string version = jx_version();
  if (argc > 1) {
    const std::string wanted = std::string(argv[1]) + ".";
    ok &= Check(version.compare(0, wanted.size(), wanted) == 0,
                "jx_version is not the version found");
  }

  char* digest = nullptr;
  uint32_t length = 0;
  ok &= Check(jx_md5_string("abc", 3, &digest, &length) == 32 && length == 32 &&
                  std::string(digest, length) == "900150983cd24fb0d6963f7d28e17f72",
              "jx_md5_string(\"abc\") is wrong");
  jx_free(digest);

  // The C++ classes: their constructors, members and destructors are
  // exports of the library.
  std::vector<jx::Jvalue> items(1);
  jx::Jvalue document;
  char* text = nullptr;
  ok &= Check(jx_json_set_int64(items[0].handle, nullptr, 7) &&
                  document.SetArray(jx::Jpath("list").AppendKey("a.b"), items) &&
                  jx_json_to_jstr(document.handle, &text, &length) &&
                  std::string(text, length) == "{\"list\":{\"a.b\":[7]}}",
              "jx::Jvalue::SetArray built the wrong document");
  jx_free(text);

  if (!ok) return 1;
  std::printf("consumer ok: %s\n", version.c_str());
  return 0;
}
