#include "QueueTestSupport.h"
#include "base/win32/WindowsSupport.h"

#include <wincrypt.h>

queuetest::Bytes queuetest::independentSha1(const Bytes& data)
{
    Bytes digest;
    HCRYPTPROV provider = 0;
    if (!CryptAcquireContextW(&provider, nullptr, nullptr, PROV_RSA_FULL, CRYPT_VERIFYCONTEXT))
        return digest;
    HCRYPTHASH hash = 0;
    if (CryptCreateHash(provider, CALG_SHA1, 0, 0, &hash)) {
        DWORD length = 20;
        digest.resize(length);
        if (!CryptHashData(hash, data.data(), static_cast<DWORD>(data.size()), 0) ||
            !CryptGetHashParam(hash, HP_HASHVAL, digest.data(), &length, 0))
            digest.clear();
        CryptDestroyHash(hash);
    }
    CryptReleaseContext(provider, 0);
    return digest;
}
