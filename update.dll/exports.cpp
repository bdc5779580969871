// The library's C export table. Nothing may escape these functions: every one catches all and
// answers with its failure value.
#include "update.h"

#include "updcore.h"

#include <cstdlib>
#include <cstring>
#include <cwchar>

extern "C" {

HINTERNET openCon(void) {
    try {
        return openSession();
    } catch (...) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
}

int downloadFile(HINTERNET session, const wchar_t* url, const wchar_t* destination, int) {
    try {
        if (!session || !url) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return DOWNLOAD_BAD_ARGUMENT;
        }
        return downloadToFile(session, url, destination);
    } catch (...) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return DOWNLOAD_WRITE_FAILED;
    }
}

int downloadSigned(HINTERNET session, const wchar_t* url, const wchar_t* destination, int) {
    try {
        return downloadSignedFile(session, url, destination, RELEASE_KEY);
    } catch (...) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return DOWNLOAD_WRITE_FAILED;
    }
}

int checkUpdates(int, int definition) {
    try {
        return checkForUpdates(definition != 0);
    } catch (...) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return -1;
    }
}

wchar_t** shuffleMirrors(void) {
    try {
        std::vector<std::wstring> hosts = configuredMirrors();
        if (hosts.empty()) return nullptr; // the built-in list is never empty; only a broken build lands here
        shuffleHosts(hosts);
        if (hosts.size() == 1) hosts.push_back(hosts[0]); // callers try two entries
        // One block: the pointer table, its null end, then the texts, so one free() releases all.
        size_t table = (hosts.size() + 1) * sizeof(wchar_t*);
        size_t bytes = table;
        for (const std::wstring& host : hosts) bytes += (host.size() + 1) * sizeof(wchar_t);
        auto** result = static_cast<wchar_t**>(malloc(bytes));
        if (!result) {
            SetLastError(ERROR_NOT_ENOUGH_MEMORY);
            return nullptr;
        }
        auto* text = reinterpret_cast<wchar_t*>(reinterpret_cast<char*>(result) + table);
        for (size_t i = 0; i < hosts.size(); ++i) {
            result[i] = text;
            wmemcpy(text, hosts[i].c_str(), hosts[i].size() + 1);
            text += hosts[i].size() + 1;
        }
        result[hosts.size()] = nullptr;
        return result;
    } catch (...) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
}

char* md5(const wchar_t* path) {
    char hex[33];
    bool ok;
    try {
        ok = md5File(path, hex);
    } catch (...) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        ok = false;
    }
    auto* result = static_cast<char*>(malloc(33));
    if (result) memcpy(result, ok ? hex : MD5_UNREADABLE, 33);
    return result;
}

} // extern "C"
