#pragma once
// An error of the JSON reader or writer: the foundation's error with the
// reader's or writer's domain, code 0 and the message.

#include "platform/foundation/Error.h"

using JsonError = foundation::Error;
