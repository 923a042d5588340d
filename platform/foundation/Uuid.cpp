#include "platform/foundation/Uuid.h"

#include <sys/random.h>

#include <cstdio>
#include <random>

namespace foundation {

std::vector<uint8_t> randomBytes(size_t n) {
    std::vector<uint8_t> out(n);
    size_t got = 0;
    while (got < n) {
        ssize_t r = ::getrandom(out.data() + got, n - got, 0);
        if (r <= 0) break;
        got += size_t(r);
    }
    if (got < n) {  // no kernel source: fall back to the library's
        std::random_device rd;
        for (; got < n; ++got) out[got] = uint8_t(rd());
    }
    return out;
}

std::string createUUID() {
    auto b = randomBytes(16);
    b[6] = uint8_t((b[6] & 0x0F) | 0x40);
    b[8] = uint8_t((b[8] & 0x3F) | 0x80);
    char buf[37];
    std::snprintf(buf, sizeof buf, "%02X%02X%02X%02X-%02X%02X-%02X%02X-%02X%02X-%02X%02X%02X%02X%02X%02X", b[0], b[1],
                  b[2], b[3], b[4], b[5], b[6], b[7], b[8], b[9], b[10], b[11], b[12], b[13], b[14], b[15]);
    return buf;
}

}  // namespace foundation
