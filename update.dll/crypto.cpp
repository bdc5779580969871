// MD5 and signature checks through Windows' own CNG providers; no hashing code of our own.
#include "updcore.h"

#include "common.h"

#include <bcrypt.h>

#include "release_key.inc" // RELEASE_KEY_BYTES: X || Y of the release key, generated from a PEM file

const unsigned char RELEASE_KEY[64] = {RELEASE_KEY_BYTES};

namespace {

struct Algorithm {
    BCRYPT_ALG_HANDLE h = nullptr;
    explicit Algorithm(const wchar_t* id) {
        if (!BCRYPT_SUCCESS(BCryptOpenAlgorithmProvider(&h, id, nullptr, 0))) h = nullptr;
    }
    Algorithm(const Algorithm&) = delete;
    Algorithm& operator=(const Algorithm&) = delete;
    ~Algorithm() { if (h) BCryptCloseAlgorithmProvider(h, 0); }
};

struct Hash {
    BCRYPT_HASH_HANDLE h = nullptr;
    explicit Hash(BCRYPT_ALG_HANDLE alg) {
        if (!alg || !BCRYPT_SUCCESS(BCryptCreateHash(alg, &h, nullptr, 0, nullptr, 0, 0))) h = nullptr;
    }
    Hash(const Hash&) = delete;
    Hash& operator=(const Hash&) = delete;
    ~Hash() { if (h) BCryptDestroyHash(h); }
};

struct Key {
    BCRYPT_KEY_HANDLE h = nullptr;
    Key() = default;
    Key(const Key&) = delete;
    Key& operator=(const Key&) = delete;
    ~Key() { if (h) BCryptDestroyKey(h); }
};

} // namespace

bool md5File(const wchar_t* path, char hex[33]) {
    hex[0] = 0;
    if (!path || !*path) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    // Share everything: the updater hashes programs that are running and files being replaced.
    Handle file(CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (file == INVALID_HANDLE_VALUE) return false;
    Algorithm alg(BCRYPT_MD5_ALGORITHM);
    Hash hash(alg.h);
    if (!hash.h) {
        SetLastError(ERROR_NOT_SUPPORTED);
        return false;
    }
    std::vector<unsigned char> buffer(1 << 20);
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(file, buffer.data(), static_cast<DWORD>(buffer.size()), &got, nullptr)) return false;
        if (got == 0) break;
        if (!BCRYPT_SUCCESS(BCryptHashData(hash.h, buffer.data(), got, 0))) {
            SetLastError(ERROR_INVALID_DATA);
            return false;
        }
    }
    unsigned char digest[16];
    if (!BCRYPT_SUCCESS(BCryptFinishHash(hash.h, digest, sizeof digest, 0))) {
        SetLastError(ERROR_INVALID_DATA);
        return false;
    }
    static const char DIGITS[] = "0123456789abcdef";
    for (int i = 0; i < 16; ++i) {
        hex[2 * i] = DIGITS[digest[i] >> 4];
        hex[2 * i + 1] = DIGITS[digest[i] & 15];
    }
    hex[32] = 0;
    return true;
}

bool sha256(const void* data, size_t size, unsigned char digest[32]) {
    Algorithm alg(BCRYPT_SHA256_ALGORITHM);
    Hash hash(alg.h);
    if (!hash.h) return false;
    const unsigned char* p = static_cast<const unsigned char*>(data);
    while (size) {
        ULONG chunk = size > 0x40000000 ? 0x40000000 : static_cast<ULONG>(size);
        if (!BCRYPT_SUCCESS(BCryptHashData(hash.h, const_cast<unsigned char*>(p), chunk, 0))) return false;
        p += chunk;
        size -= chunk;
    }
    return BCRYPT_SUCCESS(BCryptFinishHash(hash.h, digest, 32, 0));
}

bool verifyP256(const void* message, size_t size, const unsigned char signature[SIGNATURE_SIZE],
                const unsigned char publicXY[64]) {
    unsigned char digest[32];
    if (!sha256(message, size, digest)) return false;
    Algorithm alg(BCRYPT_ECDSA_P256_ALGORITHM);
    if (!alg.h) return false;
    struct {
        BCRYPT_ECCKEY_BLOB header;
        unsigned char xy[64];
    } blob;
    blob.header.dwMagic = BCRYPT_ECDSA_PUBLIC_P256_MAGIC;
    blob.header.cbKey = 32;
    memcpy(blob.xy, publicXY, 64);
    Key key;
    if (!BCRYPT_SUCCESS(BCryptImportKeyPair(alg.h, nullptr, BCRYPT_ECCPUBLIC_BLOB, &key.h,
                                            reinterpret_cast<PUCHAR>(&blob), sizeof blob, 0)))
        return false;
    unsigned char sig[SIGNATURE_SIZE];
    memcpy(sig, signature, SIGNATURE_SIZE);
    return BCRYPT_SUCCESS(BCryptVerifySignature(key.h, nullptr, digest, sizeof digest, sig, sizeof sig, 0));
}
