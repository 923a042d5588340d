#pragma once
// A source of bytes read in order, such as a request body kept in a file.

#include <cstddef>
#include <cstdint>

namespace net {

class InputStream {
public:
    virtual ~InputStream() = default;
    // Copies up to maxLength bytes: the count, 0 at the end, -1 on an error.
    virtual long read(uint8_t* buffer, size_t maxLength) = 0;
};

}  // namespace net
