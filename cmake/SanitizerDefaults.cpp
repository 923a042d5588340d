// Built into every program of a sanitizer build (QUENTA_SANITIZE). Settings
// given in ASAN_OPTIONS at run time still win over these.
#include <sanitizer/asan_interface.h>

// The sanitizer runtime of g++ 12 hooks __tls_get_addr to learn where the
// dynamic TLS blocks of libraries loaded after start lie, so that the exit
// leak scan can read them. When such a block starts 16 bytes past a page
// boundary, the runtime takes the 16 bytes before it for the header an old C
// library put there; with today's C library they are AddressSanitizer's own
// chunk header. It then keeps a block at a nonsense address and length, and
// LeakSanitizer's tracer dies reading it at exit ("Tracer caught signal 11",
// after "DTLS <n> at 0x..." with log_threads=1). Mesa's software driver loads
// the LLVM library, whose 24-byte block is one malloc chunk of 48 bytes: every
// 256th chunk of that size starts on a page, so whether a GL program meets the
// fault depends only on how many such chunks it took before (even the length
// of its command line changes it). Without the hook the scan still reaches
// every dynamic TLS block: the C library keeps each in the thread's vector of
// blocks, which the scan reaches from the thread's static TLS, and what the
// loader allocates is a root of the scan besides.
extern "C" const char* __asan_default_options() { return "intercept_tls_get_addr=0"; }
