#pragma once
// The text of a connection failure (code 1) for the stream error under it.

#include <string>

#include "platform/net/NetError.h"

namespace http {

// "A connection failure occurred", with the SSL hint for TLS errors of the
// secure-transport range (-9818 ... -9800).
std::string connectionFailureReason(const net::StreamError& underlying);

}  // namespace http
