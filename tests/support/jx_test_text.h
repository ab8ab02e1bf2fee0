// Shared test helpers for texts the library hands out: copied into a
// std::string and released with jx_free.
#ifndef JX_TESTS_SUPPORT_JX_TEST_TEXT_H_
#define JX_TESTS_SUPPORT_JX_TEST_TEXT_H_

#include <cstdint>
#include <functional>
#include <string>

#include "base/jx_json.h"

namespace jx::test {

// A call that hands out a text of a length, as the library's getters do.
using TextGetter = std::function<bool(char** text, uint32_t* length)>;

// The text `getter` hands out, released; `failed` when it returns false, after
// checking that it then left both outputs alone. A success that hands out
// nothing (an empty text) must leave both outputs alone and gives "".
std::string TextOf(const TextGetter& getter, const std::string& failed = "");

// The compact JSON text of the document `h`; "<none>" when it cannot be written.
std::string JsonText(jx_json_t h);

}  // namespace jx::test

#endif  // JX_TESTS_SUPPORT_JX_TEST_TEXT_H_
