// MD5 of files, and signature checks through Windows' own CNG providers. The MD5 is our own (RFC
// 1321): some CNG providers (Wine's) hash at a tenth of the disk's speed, and every file of an
// update is hashed twice, once downloaded and once as it is copied.
#include "updcore.h"

#include "common.h"

#include <bcrypt.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

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

void md5Init(Md5& m) {
    m.state[0] = 0x67452301;
    m.state[1] = 0xefcdab89;
    m.state[2] = 0x98badcfe;
    m.state[3] = 0x10325476;
    m.length = 0;
}

static inline uint32_t rotl(uint32_t x, int n) { return (x << n) | (x >> (32 - n)); }

// One step per line, as RFC 1321 writes them: unrolled, the compiler keeps a, b, c, d in registers.
#define MD5_STEP(f, a, b, c, d, x, k, r) a = b + rotl(a + f(b, c, d) + x + k, r)
#define MD5_F(x, y, z) (z ^ (x & (y ^ z)))
#define MD5_G(x, y, z) (y ^ (z & (x ^ y)))
#define MD5_H(x, y, z) (x ^ y ^ z)
#define MD5_I(x, y, z) (y ^ (x | ~z))

static void md5Blocks(uint32_t state[4], const unsigned char* p, size_t blocks) {
    for (; blocks; --blocks, p += 64) {
        uint32_t w[16];
        memcpy(w, p, 64); // x86 and ARM Windows are little-endian, as MD5's words are
        uint32_t a = state[0], b = state[1], c = state[2], d = state[3];
        MD5_STEP(MD5_F, a, b, c, d, w[0], 0xd76aa478, 7);
        MD5_STEP(MD5_F, d, a, b, c, w[1], 0xe8c7b756, 12);
        MD5_STEP(MD5_F, c, d, a, b, w[2], 0x242070db, 17);
        MD5_STEP(MD5_F, b, c, d, a, w[3], 0xc1bdceee, 22);
        MD5_STEP(MD5_F, a, b, c, d, w[4], 0xf57c0faf, 7);
        MD5_STEP(MD5_F, d, a, b, c, w[5], 0x4787c62a, 12);
        MD5_STEP(MD5_F, c, d, a, b, w[6], 0xa8304613, 17);
        MD5_STEP(MD5_F, b, c, d, a, w[7], 0xfd469501, 22);
        MD5_STEP(MD5_F, a, b, c, d, w[8], 0x698098d8, 7);
        MD5_STEP(MD5_F, d, a, b, c, w[9], 0x8b44f7af, 12);
        MD5_STEP(MD5_F, c, d, a, b, w[10], 0xffff5bb1, 17);
        MD5_STEP(MD5_F, b, c, d, a, w[11], 0x895cd7be, 22);
        MD5_STEP(MD5_F, a, b, c, d, w[12], 0x6b901122, 7);
        MD5_STEP(MD5_F, d, a, b, c, w[13], 0xfd987193, 12);
        MD5_STEP(MD5_F, c, d, a, b, w[14], 0xa679438e, 17);
        MD5_STEP(MD5_F, b, c, d, a, w[15], 0x49b40821, 22);
        MD5_STEP(MD5_G, a, b, c, d, w[1], 0xf61e2562, 5);
        MD5_STEP(MD5_G, d, a, b, c, w[6], 0xc040b340, 9);
        MD5_STEP(MD5_G, c, d, a, b, w[11], 0x265e5a51, 14);
        MD5_STEP(MD5_G, b, c, d, a, w[0], 0xe9b6c7aa, 20);
        MD5_STEP(MD5_G, a, b, c, d, w[5], 0xd62f105d, 5);
        MD5_STEP(MD5_G, d, a, b, c, w[10], 0x02441453, 9);
        MD5_STEP(MD5_G, c, d, a, b, w[15], 0xd8a1e681, 14);
        MD5_STEP(MD5_G, b, c, d, a, w[4], 0xe7d3fbc8, 20);
        MD5_STEP(MD5_G, a, b, c, d, w[9], 0x21e1cde6, 5);
        MD5_STEP(MD5_G, d, a, b, c, w[14], 0xc33707d6, 9);
        MD5_STEP(MD5_G, c, d, a, b, w[3], 0xf4d50d87, 14);
        MD5_STEP(MD5_G, b, c, d, a, w[8], 0x455a14ed, 20);
        MD5_STEP(MD5_G, a, b, c, d, w[13], 0xa9e3e905, 5);
        MD5_STEP(MD5_G, d, a, b, c, w[2], 0xfcefa3f8, 9);
        MD5_STEP(MD5_G, c, d, a, b, w[7], 0x676f02d9, 14);
        MD5_STEP(MD5_G, b, c, d, a, w[12], 0x8d2a4c8a, 20);
        MD5_STEP(MD5_H, a, b, c, d, w[5], 0xfffa3942, 4);
        MD5_STEP(MD5_H, d, a, b, c, w[8], 0x8771f681, 11);
        MD5_STEP(MD5_H, c, d, a, b, w[11], 0x6d9d6122, 16);
        MD5_STEP(MD5_H, b, c, d, a, w[14], 0xfde5380c, 23);
        MD5_STEP(MD5_H, a, b, c, d, w[1], 0xa4beea44, 4);
        MD5_STEP(MD5_H, d, a, b, c, w[4], 0x4bdecfa9, 11);
        MD5_STEP(MD5_H, c, d, a, b, w[7], 0xf6bb4b60, 16);
        MD5_STEP(MD5_H, b, c, d, a, w[10], 0xbebfbc70, 23);
        MD5_STEP(MD5_H, a, b, c, d, w[13], 0x289b7ec6, 4);
        MD5_STEP(MD5_H, d, a, b, c, w[0], 0xeaa127fa, 11);
        MD5_STEP(MD5_H, c, d, a, b, w[3], 0xd4ef3085, 16);
        MD5_STEP(MD5_H, b, c, d, a, w[6], 0x04881d05, 23);
        MD5_STEP(MD5_H, a, b, c, d, w[9], 0xd9d4d039, 4);
        MD5_STEP(MD5_H, d, a, b, c, w[12], 0xe6db99e5, 11);
        MD5_STEP(MD5_H, c, d, a, b, w[15], 0x1fa27cf8, 16);
        MD5_STEP(MD5_H, b, c, d, a, w[2], 0xc4ac5665, 23);
        MD5_STEP(MD5_I, a, b, c, d, w[0], 0xf4292244, 6);
        MD5_STEP(MD5_I, d, a, b, c, w[7], 0x432aff97, 10);
        MD5_STEP(MD5_I, c, d, a, b, w[14], 0xab9423a7, 15);
        MD5_STEP(MD5_I, b, c, d, a, w[5], 0xfc93a039, 21);
        MD5_STEP(MD5_I, a, b, c, d, w[12], 0x655b59c3, 6);
        MD5_STEP(MD5_I, d, a, b, c, w[3], 0x8f0ccc92, 10);
        MD5_STEP(MD5_I, c, d, a, b, w[10], 0xffeff47d, 15);
        MD5_STEP(MD5_I, b, c, d, a, w[1], 0x85845dd1, 21);
        MD5_STEP(MD5_I, a, b, c, d, w[8], 0x6fa87e4f, 6);
        MD5_STEP(MD5_I, d, a, b, c, w[15], 0xfe2ce6e0, 10);
        MD5_STEP(MD5_I, c, d, a, b, w[6], 0xa3014314, 15);
        MD5_STEP(MD5_I, b, c, d, a, w[13], 0x4e0811a1, 21);
        MD5_STEP(MD5_I, a, b, c, d, w[4], 0xf7537e82, 6);
        MD5_STEP(MD5_I, d, a, b, c, w[11], 0xbd3af235, 10);
        MD5_STEP(MD5_I, c, d, a, b, w[2], 0x2ad7d2bb, 15);
        MD5_STEP(MD5_I, b, c, d, a, w[9], 0xeb86d391, 21);
        state[0] += a;
        state[1] += b;
        state[2] += c;
        state[3] += d;
    }
}

void md5Update(Md5& m, const void* data, size_t size) {
    const unsigned char* p = static_cast<const unsigned char*>(data);
    size_t used = static_cast<size_t>(m.length & 63);
    m.length += size;
    if (used) {
        size_t take = std::min(size, 64 - used);
        memcpy(m.buffer + used, p, take);
        p += take;
        size -= take;
        if (used + take < 64) return;
        md5Blocks(m.state, m.buffer, 1);
    }
    md5Blocks(m.state, p, size / 64);
    memcpy(m.buffer, p + size / 64 * 64, size % 64);
}

void md5Final(Md5& m, char hex[33]) {
    uint64_t bits = m.length * 8;
    static const unsigned char PAD[64] = {0x80};
    size_t used = static_cast<size_t>(m.length & 63);
    md5Update(m, PAD, used < 56 ? 56 - used : 120 - used);
    unsigned char tail[8];
    for (int i = 0; i < 8; ++i) tail[i] = static_cast<unsigned char>(bits >> (8 * i));
    md5Update(m, tail, 8);
    static const char DIGITS[] = "0123456789abcdef";
    for (int i = 0; i < 16; ++i) {
        unsigned char byte = static_cast<unsigned char>(m.state[i / 4] >> (8 * (i % 4)));
        hex[2 * i] = DIGITS[byte >> 4];
        hex[2 * i + 1] = DIGITS[byte & 15];
    }
    hex[32] = 0;
}

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
    return md5Handle(file, hex);
}

bool md5Handle(HANDLE file, char hex[33]) {
    hex[0] = 0;
    Md5 m;
    md5Init(m);
    std::vector<unsigned char> buffer(1 << 20);
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(file, buffer.data(), static_cast<DWORD>(buffer.size()), &got, nullptr)) return false;
        if (got == 0) break;
        md5Update(m, buffer.data(), got);
    }
    md5Final(m, hex);
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
