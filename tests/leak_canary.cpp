// Leaks one block on purpose. The suite's leak checking is only worth its
// pass if a leak would fail it: this program must make LeakSanitizer report.
#include <cstdio>

int main() {
  volatile char* block = new char[64];
  block[0] = 1;
  block = nullptr;
  std::puts("leaked 64 bytes");
  return 0;
}
