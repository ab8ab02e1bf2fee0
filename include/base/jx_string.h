// Path names and text helpers. None of them touches the file system.
//
// The name helpers never copy: each returns a pointer into the text it was
// given. The path normaliser turns "\" into "/", collapses repeated
// separators and resolves "." and ".." segments textually.
#ifndef JX_BASE_JX_STRING_H_
#define JX_BASE_JX_STRING_H_

#include "base/jx_api.h"

JX_EXTERN_C_BEGIN

// jx_file_base_name
//
// The part of `text` after its last "/" or "\" within `length` bytes (0 means
// up to the NUL); the start of the text when it has no separator. Returns
// null for a null text.
JX_API const char* jx_file_base_name(const char* text, int length);

// jx_file_suffix
//
// The part of the base name after its last "."; the whole base name when it
// has no ".". `length` as for jx_file_base_name. Returns null for a null text.
JX_API const char* jx_file_suffix(const char* text, int length);

// jx_func_base_name
//
// The part of a function name after its last ":" within `length` bytes, so
// ns::Class::Method gives Method. A null text or a length of 0 returns the
// text unchanged (the length is not measured here).
JX_API const char* jx_func_base_name(const char* text, int length);

// fix_file_path
//
// Normalises the `length` bytes of `text` in place (0 means up to the NUL),
// fills the rest of those bytes with NULs and returns the new length. The
// normal form is never longer than the source, whatever its length. Returns
// 0 for a null text.
JX_API unsigned int fix_file_path(char* text, int length);

// fix_file_path_to_dest
//
// Writes the normal form of `source` (`length` bytes, 0 means up to the NUL)
// to `dest` and returns the number of bytes written. No NUL is added: pass a
// zeroed buffer at least as long as the source. Returns 0 for a null source
// or a null destination.
JX_API unsigned int fix_file_path_to_dest(const char* source, int length, char* dest);

JX_EXTERN_C_END

#endif  // JX_BASE_JX_STRING_H_
