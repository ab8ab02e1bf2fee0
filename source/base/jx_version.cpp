// The toolkit's version text.
#include "base/jx_config.h"

namespace {
constexpr char kVersion[] = "2.7.1.08091622";
}  // namespace

extern "C" const char* jx_version(void) { return kVersion; }
