#pragma once
// An error as the SQLite layer reports it: the foundation's error (domain,
// code, message), with "SqlDatabase" or SQLite's own message as its domain.

#include "platform/foundation/Error.h"

using SqlError = foundation::Error;
