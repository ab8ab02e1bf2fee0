// The lenient text-to-number conversions.
//
// Properties: any text converts without fault; case and surrounding white
// space never change the result; base 2 reads at most eight digits; a number
// written in decimal, hex (as AppendZeroPadded writes it) or with full
// precision reads back as itself.
#include <fuzzer/FuzzedDataProvider.h>

#include <cctype>
#include <cmath>
#include <cstdio>
#include <string>

#include "base/jx_number_text.h"
#include "fuzz_support.h"

namespace {

constexpr int kBases[] = {2, 8, 10, 16, 0, 7};

std::string Upper(std::string text) {
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

bool SameDouble(double a, double b) { return a == b || (std::isnan(a) && std::isnan(b)); }

void CheckAnyText(const std::string& text) {
  const std::string padded = " \t" + text + "\r\n ";
  for (const int base : kBases) {
    const int64_t value = jx::TextToInteger(text, base);
    FUZZ_CHECK(jx::TextToInteger(Upper(text), base) == value);
    FUZZ_CHECK(jx::TextToInteger(padded, base) == value);
    if (base == 2) FUZZ_CHECK(value >= 0 && value <= 255);
  }
  const double value = jx::TextToDouble(text);
  FUZZ_CHECK(SameDouble(jx::TextToDouble(Upper(text)), value));
  FUZZ_CHECK(SameDouble(jx::TextToDouble(padded), value));
}

void CheckRoundTrips(int64_t integer, double real, int width) {
  FUZZ_CHECK(jx::TextToInteger(std::to_string(integer), 10) == integer);
  std::string hex;
  jx::AppendZeroPadded(&hex, integer, width, 16);
  FUZZ_CHECK(jx::TextToInteger(hex, 16) == integer);
  std::string decimal;
  jx::AppendZeroPadded(&decimal, integer, width);
  FUZZ_CHECK(jx::TextToInteger(decimal, 10) == integer);

  if (!std::isfinite(real)) return;
  char text[64];
  std::snprintf(text, sizeof(text), "%.17g", real);
  FUZZ_CHECK(jx::TextToDouble(text) == real);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  CheckAnyText(std::string(jx::fuzz::AsText(data, size)));
  FuzzedDataProvider provider(data, size);
  const auto integer = provider.ConsumeIntegral<int64_t>();
  const auto real = provider.ConsumeFloatingPoint<double>();
  CheckRoundTrips(integer, real, provider.ConsumeIntegralInRange(0, 30));
  return 0;
}
