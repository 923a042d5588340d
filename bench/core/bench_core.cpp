// One-time passwords per second (ours against liboath, same key and times),
// and the envelope of a 300-byte payload against bare OpenSSL raw RSA calls
// on a key parsed once.
#define OPENSSL_SUPPRESS_DEPRECATED
#include <benchmark/benchmark.h>
#include <liboath/oath.h>
#include <openssl/bn.h>
#include <openssl/rsa.h>

#include <string>
#include <vector>

#include "app/core/Deployment.h"
#include "app/core/GetOtp.h"
#include "app/core/rsaUtil.h"
#include "platform/foundation/Clock.h"

namespace {

const char* kKeyHex = "3132333435363738393031323334353637383930";
const char* kKey = "12345678901234567890";
const int64_t kTimes[] = {59, 1111111109, 1111111111, 1234567890, 2000000000, 20000000000};

void BM_OtpCreate(benchmark::State& state) {
    auto clock = std::make_shared<foundation::ManualClock>(0.0);
    foundation::setClock(clock);
    size_t i = 0;
    for (auto _ : state) {
        clock->setWallTime(double(kTimes[i++ % 6]));
        benchmark::DoNotOptimize(GetOtp::otpCreate(kKeyHex, "0"));
    }
    foundation::setClock(nullptr);
    state.SetItemsProcessed(int64_t(state.iterations()));
}
BENCHMARK(BM_OtpCreate);

// The same with a different key on every call (no state reused).
void BM_OtpCreateNewKeyEachTime(benchmark::State& state) {
    auto clock = std::make_shared<foundation::ManualClock>(0.0);
    foundation::setClock(clock);
    const std::string keys[2] = {kKeyHex, "3132333435363738393031323334353637383931"};
    size_t i = 0;
    for (auto _ : state) {
        clock->setWallTime(double(kTimes[i % 6]));
        benchmark::DoNotOptimize(GetOtp::otpCreate(keys[i++ % 2], "0"));
    }
    foundation::setClock(nullptr);
    state.SetItemsProcessed(int64_t(state.iterations()));
}
BENCHMARK(BM_OtpCreateNewKeyEachTime);

void BM_LiboathTotp(benchmark::State& state) {
    oath_init();
    char out[10];
    size_t i = 0;
    for (auto _ : state) {
        int rc = oath_totp_generate(kKey, 20, time_t(kTimes[i++ % 6]), 30, 0, 6, out);
        benchmark::DoNotOptimize(rc);
        benchmark::DoNotOptimize(out);
    }
    oath_done();
    state.SetItemsProcessed(int64_t(state.iterations()));
}
BENCHMARK(BM_LiboathTotp);

const std::string kPayload = [] {
    std::string s = "28;";
    while (s.size() < 300) s += "%E5%AE%89%E5%85%A8,feedback text,";
    return s.substr(0, 300);
}();

void BM_EnvelopeEncrypt(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(rsaUtil::RSA_encrypt(kPayload));
}
BENCHMARK(BM_EnvelopeEncrypt);

void BM_EnvelopeDecrypt(benchmark::State& state) {
    std::string cipher = *rsaUtil::RSA_encrypt(kPayload);
    for (auto _ : state) benchmark::DoNotOptimize(rsaUtil::RSA_decrypt(cipher));
}
BENCHMARK(BM_EnvelopeDecrypt);

// Bare OpenSSL: an RSA object with n, e and d parsed once, and the raw calls
// on the same three blocks; no hex, no percent escapes.
struct BareKey {
    RSA* rsa = RSA_new();
    BareKey() {
        BIGNUM *n = nullptr, *e = BN_new(), *d = nullptr;
        BN_hex2bn(&n, Deployment::kRsaModulusHex);
        BN_hex2bn(&d, Deployment::kRsaPrivateExponentHex);
        BN_set_word(e, Deployment::kRsaPublicExponent);
        RSA_set0_key(rsa, n, e, d);
    }
    ~BareKey() { RSA_free(rsa); }
};

std::vector<uint8_t> plainBlocks() {
    std::vector<uint8_t> blocks(3 * 128, 0);
    std::copy(kPayload.begin(), kPayload.end(), blocks.begin());
    return blocks;
}

void BM_BareOpenSslEncrypt(benchmark::State& state) {
    BareKey key;
    std::vector<uint8_t> in = plainBlocks(), out(in.size());
    for (auto _ : state) {
        for (size_t b = 0; b < 3; ++b) {
            RSA_public_encrypt(128, in.data() + 128 * b, out.data() + 128 * b, key.rsa, RSA_NO_PADDING);
        }
        benchmark::DoNotOptimize(out.data());
    }
}
BENCHMARK(BM_BareOpenSslEncrypt);

void BM_BareOpenSslDecrypt(benchmark::State& state) {
    BareKey key;
    std::vector<uint8_t> in = plainBlocks(), cipher(in.size()), out(in.size());
    for (size_t b = 0; b < 3; ++b) {
        RSA_public_encrypt(128, in.data() + 128 * b, cipher.data() + 128 * b, key.rsa, RSA_NO_PADDING);
    }
    for (auto _ : state) {
        for (size_t b = 0; b < 3; ++b) {
            RSA_private_decrypt(128, cipher.data() + 128 * b, out.data() + 128 * b, key.rsa, RSA_NO_PADDING);
        }
        benchmark::DoNotOptimize(out.data());
    }
}
BENCHMARK(BM_BareOpenSslDecrypt);

}  // namespace

BENCHMARK_MAIN();
