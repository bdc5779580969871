// The update library's inner units, kept in the static library `updcore` so the tests can reach the
// pure logic and the updater can check a definition with the very code that accepted it.
#pragma once

#include <windows.h>
#include <wininet.h>

#include <string>
#include <vector>

// ---- Update definition (definition.cpp) ----------------------------------------------------------
//
// The definition as published on the mirrors and as left in %TEMP%\Tolva_update.def, byte for byte:
//   line 1  "TOLVADEF 1 min=<version>"  format tag; installations older than <version> need a re-install
//   line 2  "SIG <base64>"              ECDSA P-256 over SHA-256 of the file with line 2 taken out
//   line 3  "<version>"                 the release
//   line 4+ "+f/path:md5", "-f/path", "+d/path", "-d/path" (tag, then the path at once), or empty;
//           at most one "+s/name:md5", the setup program for a re-install (never installed)
// Every line ends with CR LF and is at most DEF_MAX_LINE bytes with it (the updater's line buffer).

constexpr size_t DEF_MAX_LINE = 96;
constexpr size_t DEF_MAX_SIZE = 64 * 1024;
constexpr size_t SIGNATURE_SIZE = 64; // r || s, 32 bytes each

struct DefEntry {
    std::string tag;    // "+f", "-f", "+d", "-d" or "+s"
    std::string path;   // "/name" or "/folder/name"
    std::string digest; // "+f" and "+s" only: 32 hexadecimal digits
};

struct Definition {
    std::string minVersion;
    std::string version;
    std::vector<DefEntry> entries;
    std::string signedBytes;                 // line 1 and lines 3 on, as the signature covers them
    unsigned char signature[SIGNATURE_SIZE]; // decoded from line 2
};

enum DefStatus {
    DEF_OK = 0,
    DEF_BAD_FORMAT,    // size, line ends, line length, bytes outside printable ASCII, header lines
    DEF_BAD_VERSION,   // line 1's minimum or line 3
    DEF_BAD_ENTRY,     // an entry's shape or digest
    DEF_BAD_PATH,      // an entry path that could leave the installation folder or alias a file
    DEF_BAD_SIGNATURE, // does not verify with the library's release key
};

// Checks shape and paths only; the signature is decoded but not verified.
DefStatus parseDefinition(const char* data, size_t size, Definition& out);
// parseDefinition, then the signature against the release key built into this library.
DefStatus checkDefinition(const char* data, size_t size, Definition& out);
// The same check against another P-256 public key (X || Y, 64 bytes); for tests and key rotation.
DefStatus checkDefinitionWithKey(const char* data, size_t size, const unsigned char publicXY[64], Definition& out);

// A detached signature, the file "<name>.sig" published beside a signed file: "SIG <base64 of r || s>"
// and an optional CR LF, nothing else. The signature covers the signed file's SHA-256, byte for byte.
constexpr size_t SIGNATURE_FILE_LIMIT = 512;
bool parseDetachedSignature(const char* data, size_t size, unsigned char signature[SIGNATURE_SIZE]);
// True when `signatureFile` is a detached signature of `body` by the key (X || Y).
bool verifyDetached(const std::string& body, const std::string& signatureFile, const unsigned char publicXY[64]);

// A path the updater may join to the installation folder: "/" then names of letters, digits,
// '.', '_', '-' and ' ' joined by "/"; no "." or ".." name, no name ending in '.' or ' ', no
// device name. "+f" files may lie only at the top or in /lang/, the temporary store's layout.
bool isSafeEntryPath(const std::string& path, bool isFile);

// Dotted decimal versions of 1 to 4 parts, each at most 9 digits.
bool isVersion(const std::string& text);
// <0, 0, >0 as a is older, equal, newer than b; missing trailing parts count as 0. Both must be valid.
int compareVersions(const std::string& a, const std::string& b);

// Strict base64 (no whitespace, padding required); false on any stray character.
bool decodeBase64(const std::string& text, std::vector<unsigned char>& out);
// "SIG <base64 of r || s>", the definition's line 2 and a detached signature's one line.
bool parseSignatureLine(const std::string& line, unsigned char signature[SIGNATURE_SIZE]);

// ---- Hashing and signatures (crypto.cpp): MD5 of our own, SHA-256 and ECDSA on Windows' CNG -----------------------------

// MD5 of a file as 32 lower-case hex digits; false when it cannot be read to the end.
bool md5File(const wchar_t* path, char hex[33]);
// The same from the current position of an open file to its end.
bool md5Handle(HANDLE file, char hex[33]);
// MD5 in pieces, for data hashed on its way somewhere else.
struct Md5 {
    unsigned int state[4];
    unsigned long long length;
    unsigned char buffer[64];
};
void md5Init(Md5& m);
void md5Update(Md5& m, const void* data, size_t size);
void md5Final(Md5& m, char hex[33]);
bool sha256(const void* data, size_t size, unsigned char digest[32]);
bool verifyP256(const void* message, size_t size, const unsigned char signature[SIGNATURE_SIZE],
                const unsigned char publicXY[64]);
// The release key compiled into this build (X || Y).
extern const unsigned char RELEASE_KEY[64];

// ---- Network (net.cpp) ----------------------------------------------------------------------------

HINTERNET openSession();
// Milliseconds a transfer may go without receiving a byte: HKLM UpdateTimeout (REG_DWORD,
// 500..600000) or 30 s. Applied to every session we open and enforced by our own watchdog.
DWORD transferTimeout();
// Sink for a body: false stops the transfer as a write failure.
typedef bool (*BodySink)(void* context, const void* data, DWORD size);
// One GET; a DOWNLOAD_* result (never DOWNLOAD_CREATE_FAILED).
int fetchUrl(HINTERNET session, const wchar_t* url, BodySink sink, void* context);
int downloadToFile(HINTERNET session, const wchar_t* url, const wchar_t* destination);
// At most `limit` bytes into `out`; a longer body is DOWNLOAD_INCOMPLETE.
int downloadToMemory(HINTERNET session, const wchar_t* url, size_t limit, std::string& out);

// ---- Mirrors and the update check (check.cpp) ------------------------------------------------------

// Hosts from a list separated by ';', ',' or white space. A host is "name[:port][/prefix]" of
// letters, digits and ".-_:/[]"; anything else (a scheme, "..", '@', '\', controls) is dropped.
std::vector<std::wstring> parseMirrorList(const wchar_t* text);
// The administrator's list (HKLM UpdateMirrors) when it holds a valid host, else the built-in one.
std::vector<std::wstring> configuredMirrors();
void shuffleHosts(std::vector<std::wstring>& hosts);

// Decides -1/0/1/2/3 for a checked definition against an installation.
// `installed` may be empty (no CurrentVersion): then neither rollback nor minimum can be judged.
int decideUpdate(const Definition& def, const std::wstring& installDir, const std::string& installed);
// The whole check behind the checkUpdates export.
int checkForUpdates(bool keepDefinition);

// The largest signed file (the database, the news) taken; a longer one is DOWNLOAD_INCOMPLETE.
constexpr size_t SIGNED_FILE_LIMIT = 1024 * 1024;
// Fetches `url` and `url` + ".sig"; only a body whose signature verifies with the key reaches
// `destination` (atomically). A DOWNLOAD_* result, DOWNLOAD_UNSIGNED for a missing or bad signature.
int downloadSignedFile(HINTERNET session, const wchar_t* url, const wchar_t* destination,
                       const unsigned char publicXY[64]);

// Writes beside `path` and moves into place; false leaves nothing new behind.
bool writeFileAtomically(const std::wstring& path, const std::string& bytes);
