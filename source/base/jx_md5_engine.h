// The MD5 engine behind jx_md5_string, usable incrementally so that files can
// be digested in pieces.
#ifndef JX_BASE_JX_MD5_ENGINE_H_
#define JX_BASE_JX_MD5_ENGINE_H_

#include <cstddef>
#include <cstdint>

namespace jx {

class Md5 {
 public:
  Md5();
  ~Md5();  // clears the working state
  Md5(const Md5&) = delete;
  Md5& operator=(const Md5&) = delete;

  void Update(const void* data, size_t length);
  // Writes the 32 lower-case hex characters of the digest of everything
  // updated so far (no NUL). Call once.
  void FinishHex(char hex[32]);

 private:
  void Transform(const unsigned char* block);

  uint32_t state_[4];
  uint64_t length_ = 0;  // bytes so far
  unsigned char buffer_[64];
};

}  // namespace jx

#endif  // JX_BASE_JX_MD5_ENGINE_H_
