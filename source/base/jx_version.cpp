// The toolkit's version text.
#include "base/jx_config.h"

namespace {
constexpr char kVersion[] = JX_VERSION_TEXT;  // set by the build from the project's version
}  // namespace

extern "C" const char* jx_version(void) { return kVersion; }
