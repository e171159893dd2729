// Throughput of our SHA-1 and AES-128-CBC beside OpenSSL's on the same
// buffers, 64 KiB and 1 KiB. Each pair reports bytes per second; the
// "ratio" counter of an "Ours" benchmark is OpenSSL's time divided by ours
// (1.0 = as fast, 0.25 = four times slower), measured in the same run.
#include <benchmark/benchmark.h>

#include <openssl/evp.h>

#include <ctime>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "shared/server/CRijndael.h"
#include "shared/server/HashDevice.h"
#include "shared/server/SecurityConstants.h"

namespace {

std::vector<uint8_t> buffer(size_t n)
{
    std::vector<uint8_t> data(n);
    for (size_t i = 0; i < n; ++i)
        data[i] = static_cast<uint8_t>(i * 131 + 7);
    return data;
}

const uint8_t Key[16] = {0x2b, 0x7e, 0x15, 0x16, 0x28, 0xae, 0xd2, 0xa6,
                         0xab, 0xf7, 0x15, 0x88, 0x09, 0xcf, 0x4f, 0x3c};

void oursSha1(const std::vector<uint8_t>& data)
{
    Sha1 sha;
    sha.update(data.data(), data.size());
    uint8_t digest[20];
    sha.finish(digest);
    benchmark::DoNotOptimize(digest);
}

void opensslSha1(const std::vector<uint8_t>& data)
{
    uint8_t digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    EVP_Digest(data.data(), data.size(), digest, &length, EVP_sha1(), nullptr);
    benchmark::DoNotOptimize(digest);
}

// As the envelope does it: a fresh cipher object per message.
void oursCbc(const std::vector<uint8_t>& data, std::vector<uint8_t>& out)
{
    CRijndael cipher;
    cipher.MakeKey(Key, SecurityConstants::EnvelopeIV, 16, 16);
    cipher.Encrypt(data.data(), out.data(), data.size(), CRijndael::CBC);
    benchmark::DoNotOptimize(out.data());
}

void opensslCbc(const std::vector<uint8_t>& data, std::vector<uint8_t>& out)
{
    EVP_CIPHER_CTX* ctx = EVP_CIPHER_CTX_new();
    EVP_EncryptInit_ex(ctx, EVP_aes_128_cbc(), nullptr, Key, SecurityConstants::EnvelopeIV);
    EVP_CIPHER_CTX_set_padding(ctx, 0);
    int n = 0;
    EVP_EncryptUpdate(ctx, out.data(), &n, data.data(), static_cast<int>(data.size()));
    EVP_CIPHER_CTX_free(ctx);
    benchmark::DoNotOptimize(out.data());
}

// Processor seconds per call of f, over about 0.2 s of processor time:
// other work on a shared machine then does not skew the ratio.
template <typename F>
double secondsPerCall(F f)
{
    size_t calls = 0;
    const std::clock_t start = std::clock();
    std::clock_t now = start;
    do {
        for (int i = 0; i < 16; ++i)
            f();
        calls += 16;
        now = std::clock();
    } while (now - start < CLOCKS_PER_SEC / 5);
    return static_cast<double>(now - start) / CLOCKS_PER_SEC / static_cast<double>(calls);
}

void BM_Sha1_Ours(benchmark::State& state)
{
    auto data = buffer(static_cast<size_t>(state.range(0)));
    for (auto _ : state)
        oursSha1(data);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * state.range(0));
    state.counters["ratio"] =
        secondsPerCall([&] { opensslSha1(data); }) / secondsPerCall([&] { oursSha1(data); });
}

void BM_Sha1_OpenSsl(benchmark::State& state)
{
    auto data = buffer(static_cast<size_t>(state.range(0)));
    for (auto _ : state)
        opensslSha1(data);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * state.range(0));
}

void BM_Aes128Cbc_Ours(benchmark::State& state)
{
    auto data = buffer(static_cast<size_t>(state.range(0)));
    std::vector<uint8_t> out(data.size());
    for (auto _ : state)
        oursCbc(data, out);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * state.range(0));
    state.counters["ratio"] = secondsPerCall([&] { opensslCbc(data, out); }) /
                              secondsPerCall([&] { oursCbc(data, out); });
}

void BM_Aes128Cbc_OpenSsl(benchmark::State& state)
{
    auto data = buffer(static_cast<size_t>(state.range(0)));
    std::vector<uint8_t> out(data.size());
    for (auto _ : state)
        opensslCbc(data, out);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * state.range(0));
}

} // namespace

BENCHMARK(BM_Sha1_Ours)->Arg(64 * 1024)->Arg(1024);
BENCHMARK(BM_Sha1_OpenSsl)->Arg(64 * 1024)->Arg(1024);
BENCHMARK(BM_Aes128Cbc_Ours)->Arg(64 * 1024)->Arg(1024);
BENCHMARK(BM_Aes128Cbc_OpenSsl)->Arg(64 * 1024)->Arg(1024);

BENCHMARK_MAIN();
