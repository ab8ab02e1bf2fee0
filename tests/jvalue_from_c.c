// C code that includes the C++ JSON classes: it must not compile, and the
// one error must name the C header to use instead.
#include "base/jx_jvalue.h"

int main(void) { return 0; }
