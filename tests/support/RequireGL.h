#pragma once
// Skips the running test where this machine has no EGL display to draw on,
// saying why; GL tests start with it.

#include <gtest/gtest.h>

#include "platform/gl/Context.h"

#define REQUIRE_GL()                                                                                   \
    do {                                                                                               \
        if (!gl::Context::available()) GTEST_SKIP() << "no EGL display: " << gl::Context::lastError(); \
    } while (0)
