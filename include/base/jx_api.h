// Export and linkage macros shared by every public header of the toolkit.
//
// JX_API marks a function or class as part of the library's binary interface:
// dllexport while the library itself is built, dllimport for its users on
// Windows, default visibility elsewhere (the library is built with
// -fvisibility=hidden, so nothing else leaves it).
#ifndef JX_BASE_JX_API_H_
#define JX_BASE_JX_API_H_

#include <stddef.h>
#include <stdint.h>
#ifndef __cplusplus
#include <stdbool.h>
#endif

#if defined(_WIN32)
#if defined(JX_BUILDING_LIBRARY)
#define JX_API __declspec(dllexport)
#elif defined(JX_STATIC)
#define JX_API
#else
#define JX_API __declspec(dllimport)
#endif
#elif defined(__GNUC__)
#define JX_API __attribute__((visibility("default")))
#else
#define JX_API
#endif

#ifdef __cplusplus
#define JX_EXTERN_C_BEGIN extern "C" {
#define JX_EXTERN_C_END }
#else
#define JX_EXTERN_C_BEGIN
#define JX_EXTERN_C_END
#endif

#endif  // JX_BASE_JX_API_H_
