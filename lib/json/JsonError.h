#pragma once
// An error of the JSON reader or writer: the foundation's error with the
// reader's or writer's domain, code 0 and the message.

#include "platform/foundation/Error.h"

using JsonError = foundation::Error;

// The deepest nesting a reader that builds values accepts, whatever limit a
// caller sets: values are read, copied, compared, written and freed by
// recursion, and this many levels fit on a thread's stack (with room to
// spare in a sanitizer build). A larger limit is lowered to this one.
inline constexpr unsigned kJsonDeepestNesting = 1024;
