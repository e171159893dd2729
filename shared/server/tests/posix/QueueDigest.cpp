#include <openssl/evp.h>

#include "QueueTestSupport.h"

queuetest::Bytes queuetest::independentSha1(const Bytes& data)
{
    uint8_t digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    EVP_Digest(data.data(), data.size(), digest, &length, EVP_sha1(), nullptr);
    return Bytes(digest, digest + length);
}
