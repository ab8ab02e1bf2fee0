// Windows implementation of the error text.
#include <windows.h>

#include <memory>
#include <string>
#include <string_view>

#include "platform/jx_os.h"
#include "platform/win/win_text.h"

namespace jx::os {

namespace {
struct LocalFreer {
  void operator()(void* block) const { LocalFree(block); }
};
}  // namespace

std::string LastError() {
  const DWORD error = GetLastError();
  wchar_t* raw = nullptr;
  const DWORD length = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, error, 0, reinterpret_cast<wchar_t*>(&raw), 0, nullptr);
  const std::unique_ptr<wchar_t, LocalFreer> text(raw);
  std::wstring_view message(text.get(), text != nullptr ? length : 0);
  // Messages end in ".\r\n", some with blanks between.
  while (!message.empty() &&
         std::wstring_view(L" .\r\n").find(message.back()) != std::wstring_view::npos) {
    message.remove_suffix(1);
  }
  if (message.empty()) return "error " + std::to_string(error);
  return FromWide(message);
}

}  // namespace jx::os
