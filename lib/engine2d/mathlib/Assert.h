#pragma once
// The engine's assertions for misuse: the message names the function, the
// module, the condition and the text, and stops a debug build; a release
// build carries on (the caller then ignores the request).

#include <cstdio>
#include <cstdlib>

namespace engine2d {

[[noreturn]] inline void assertionFailed(const char* func, const char* module, const char* cond, const char* msg) {
    std::fprintf(stderr, "%s (%s): Assertion `%s' failed. %s\n", func, module, cond, msg);
    std::abort();
}

}  // namespace engine2d

#ifdef NDEBUG
#define GX_ASSERT(module, cond, msg) ((void)0)
#else
#define GX_ASSERT(module, cond, msg) ((cond) ? (void)0 : ::engine2d::assertionFailed(__func__, module, #cond, msg))
#endif
