// Where the update server is, and whether the installation differs from the published release.
#include "updcore.h"

#include "common.h"
#include "update.h"
#include "update_config.h" // DEFAULT_MIRRORS, chosen when the library is built

#include <bcrypt.h>

#include <cwchar>

namespace {

constexpr wchar_t DEFINITION_PATH[] = L"/program/update.def";
constexpr wchar_t DEFINITION_FILE[] = L"%TEMP%\\Tolva_update.def";
constexpr size_t MAX_HOST = 200;

// Files the running updater holds: replacing them takes the three-process hand-over.
constexpr const char* UPDATER_FILES[] = {"/TolvaUpdater.exe", "/update.dll"};

bool isHostChar(wchar_t c) {
    return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z') || (c >= L'0' && c <= L'9') || c == L'.' ||
           c == L'-' || c == L'_' || c == L':' || c == L'/' || c == L'[' || c == L']';
}

bool isValidHost(const std::wstring& host) {
    if (host.empty() || host.size() > MAX_HOST || host[0] == L'/' || host[0] == L':') return false;
    for (wchar_t c : host)
        if (!isHostChar(c)) return false;
    // "http://host" typed by an administrator would give "http://http://host/..."; ".." would climb.
    return host.find(L"//") == std::wstring::npos && host.find(L"..") == std::wstring::npos &&
           host.back() != L'/';
}

std::wstring installedPath(const std::wstring& installDir, const std::string& path) {
    std::wstring result = installDir;
    while (!result.empty() && (result.back() == L'\\' || result.back() == L'/')) result.pop_back();
    for (char c : path) result += c == '/' ? L'\\' : static_cast<wchar_t>(c);
    return result;
}

bool differs(const DefEntry& entry, const std::wstring& installDir) {
    std::wstring target = installedPath(installDir, entry.path);
    DWORD attributes = GetFileAttributesW(target.c_str());
    bool exists = attributes != INVALID_FILE_ATTRIBUTES;
    bool folder = exists && (attributes & FILE_ATTRIBUTE_DIRECTORY);
    if (entry.tag == "+f") {
        char hex[33];
        return !md5File(target.c_str(), hex) || _stricmp(hex, entry.digest.c_str()) != 0;
    }
    if (entry.tag == "-f") return exists && !folder;
    if (entry.tag == "+d") return !folder;
    return exists; // "-d"
}

} // namespace

std::vector<std::wstring> parseMirrorList(const wchar_t* text) {
    std::vector<std::wstring> hosts;
    if (!text) return hosts;
    std::wstring current;
    for (const wchar_t* p = text;; ++p) {
        if (*p == 0 || *p == L';' || *p == L',' || *p == L' ' || *p == L'\t' || *p == L'\r' || *p == L'\n') {
            if (isValidHost(current) && hosts.size() < 16) hosts.push_back(current);
            current.clear();
            if (*p == 0) break;
        } else if (current.size() <= MAX_HOST) {
            current += *p;
        }
    }
    return hosts;
}

std::vector<std::wstring> configuredMirrors() {
    HeapText configured(getStringSetting(L"UpdateMirrors"));
    std::vector<std::wstring> hosts = parseMirrorList(configured);
    if (hosts.empty()) hosts = parseMirrorList(DEFAULT_MIRRORS);
    return hosts;
}

void shuffleHosts(std::vector<std::wstring>& hosts) {
    // Spreads the load over the mirrors; the order carries no trust, so a weak source would do.
    for (size_t i = hosts.size(); i > 1; --i) {
        ULONG r = 0;
        if (!BCRYPT_SUCCESS(BCryptGenRandom(nullptr, reinterpret_cast<PUCHAR>(&r), sizeof r,
                                            BCRYPT_USE_SYSTEM_PREFERRED_RNG)))
            r = GetTickCount() * 2654435761u;
        std::swap(hosts[i - 1], hosts[r % i]);
    }
}

int decideUpdate(const Definition& def, const std::wstring& installDir, const std::string& installed) {
    if (!installed.empty()) {
        if (compareVersions(def.version, installed) < 0) return 0; // an older release is never offered
        if (compareVersions(installed, def.minVersion) < 0) return 3;
    }
    bool changed = false, updater = false;
    for (const DefEntry& entry : def.entries) {
        if (entry.tag == "+s" || !differs(entry, installDir)) continue;
        changed = true;
        for (const char* name : UPDATER_FILES)
            if (_stricmp(entry.path.c_str(), name) == 0) updater = true;
    }
    if (!changed) return 0;
    return updater ? 1 : 2;
}

int checkForUpdates(bool keepDefinition) {
    HeapText definitionFile(expand(DEFINITION_FILE));
    // A definition from an earlier check must not outlive this one's verdict.
    auto forget = [&] {
        DWORD error = GetLastError();
        if (keepDefinition && definitionFile.get()) DeleteFileW(definitionFile);
        SetLastError(error);
    };

    HeapText installDir(getStringSetting(L"InstallDir"));
    if (!installDir.get() || !*installDir.get()) {
        SetLastError(ERR_NO_INSTALLDIR);
        forget();
        return -1;
    }
    std::string installed;
    if (HeapText version(getStringSetting(L"CurrentVersion")); version.get()) {
        for (const wchar_t* p = version; *p; ++p) installed += *p < 0x80 ? static_cast<char>(*p) : '?';
        if (!isVersion(installed)) installed.clear(); // unreadable: judge by the files alone
    }

    HINTERNET session = openSession();
    if (!session) {
        forget();
        return -1;
    }
    std::vector<std::wstring> hosts = configuredMirrors();
    shuffleHosts(hosts);
    std::string bytes;
    Definition def;
    bool found = false;
    DWORD error = ERROR_INVALID_DATA;
    for (const std::wstring& host : hosts) {
        std::wstring url = L"http://" + host + DEFINITION_PATH;
        if (downloadToMemory(session, url.c_str(), DEF_MAX_SIZE, bytes) != DOWNLOAD_OK) {
            error = GetLastError();
            continue;
        }
        // A mirror with a damaged or forged definition is passed over like one that is down.
        if (checkDefinition(bytes.data(), bytes.size(), def) == DEF_OK) {
            found = true;
            break;
        }
        error = ERROR_INVALID_DATA;
    }
    InternetCloseHandle(session);
    if (!found) {
        SetLastError(error);
        forget();
        return -1;
    }

    int result = decideUpdate(def, std::wstring(installDir.get()), installed);
    if (!keepDefinition) return result;
    // A re-install needs the definition too: it alone carries the setup program's digest.
    if (result != 1 && result != 2 && result != 3) {
        forget();
        return result;
    }
    if (!definitionFile.get() || !writeFileAtomically(definitionFile.get(), bytes)) {
        forget();
        return -1;
    }
    return result;
}

int downloadSignedFile(HINTERNET session, const wchar_t* url, const wchar_t* destination,
                       const unsigned char publicXY[64]) {
    if (!session || !url || !destination || !*destination) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return DOWNLOAD_BAD_ARGUMENT;
    }
    std::string body, signature;
    int result = downloadToMemory(session, url, SIGNED_FILE_LIMIT, body);
    if (result != DOWNLOAD_OK) return result;
    result = downloadToMemory(session, (std::wstring(url) + L".sig").c_str(), SIGNATURE_FILE_LIMIT, signature);
    // A mirror that has no signature (or something too long to be one) serves an unsigned file;
    // one that stops answering is down, as with any other download.
    if (result == DOWNLOAD_HTTP_STATUS || (result == DOWNLOAD_INCOMPLETE && GetLastError() == ERROR_FILE_TOO_LARGE))
        return DOWNLOAD_UNSIGNED;
    if (result != DOWNLOAD_OK) return result;
    if (!verifyDetached(body, signature, publicXY)) {
        SetLastError(static_cast<DWORD>(NTE_BAD_SIGNATURE));
        return DOWNLOAD_UNSIGNED;
    }
    if (!writeFileAtomically(destination, body)) return DOWNLOAD_CREATE_FAILED;
    SetLastError(0);
    return DOWNLOAD_OK;
}
