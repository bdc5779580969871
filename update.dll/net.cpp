// HTTP through WinINet. A download is either complete at its destination or not there at all.
#include "updcore.h"

#include "common.h"
#include "update.h"

#include <cwchar>

namespace {

// Long enough for a slow mirror, short enough that a dead one does not freeze a check for minutes.
constexpr DWORD CONNECT_TIMEOUT_MS = 15000;
constexpr DWORD TRANSFER_TIMEOUT_MS = 30000; // without a byte received; HKLM UpdateTimeout overrides
constexpr DWORD MIN_TIMEOUT_MS = 500, MAX_TIMEOUT_MS = 600000;
constexpr size_t MAX_URL = 2048;
constexpr DWORD BUFFER_SIZE = 256 * 1024;

struct Internet {
    HINTERNET h = nullptr;
    explicit Internet(HINTERNET x) : h(x) {}
    Internet(const Internet&) = delete;
    Internet& operator=(const Internet&) = delete;
    // Closing must not overwrite the error the caller is about to report.
    ~Internet() {
        if (!h) return;
        DWORD error = GetLastError();
        InternetCloseHandle(h);
        SetLastError(error);
    }
};

bool isHttpUrl(const wchar_t* url) {
    size_t n = wcsnlen(url, MAX_URL + 1);
    if (n == 0 || n > MAX_URL) return false;
    for (size_t i = 0; i < n; ++i)
        if (url[i] <= L' ' || url[i] == 0x7F) return false; // no header splitting, no blanks
    URL_COMPONENTSW parts{};
    parts.dwStructSize = sizeof parts;
    parts.dwHostNameLength = 1;
    if (!InternetCrackUrlW(url, static_cast<DWORD>(n), 0, &parts)) return false;
    if (parts.dwHostNameLength == 0) return false;
    return parts.nScheme == INTERNET_SCHEME_HTTP || parts.nScheme == INTERNET_SCHEME_HTTPS;
}

bool queryLength(HINTERNET request, ULONGLONG& length) {
    wchar_t text[32];
    DWORD size = sizeof text;
    if (!HttpQueryInfoW(request, HTTP_QUERY_CONTENT_LENGTH, text, &size, nullptr)) return false;
    wchar_t* end = nullptr;
    length = wcstoull(text, &end, 10);
    return end != text && *end == 0;
}

struct FileSink {
    HANDLE file;
};

bool writeToFile(void* context, const void* data, DWORD size) {
    HANDLE file = static_cast<FileSink*>(context)->file;
    DWORD written = 0;
    return WriteFile(file, data, size, &written, nullptr) && written == size;
}

struct MemorySink {
    std::string* out;
    size_t limit;
    bool tooLarge;
};

bool appendToMemory(void* context, const void* data, DWORD size) {
    auto* sink = static_cast<MemorySink*>(context);
    if (sink->out->size() + size > sink->limit) {
        sink->tooLarge = true;
        return false;
    }
    sink->out->append(static_cast<const char*>(data), size);
    return true;
}

// Folder part of a path, for a temporary file beside it; "." when the path names no folder.
std::wstring folderOf(const wchar_t* path) {
    const wchar_t* slash = nullptr;
    for (const wchar_t* p = path; *p; ++p)
        if (*p == L'\\' || *p == L'/') slash = p;
    if (!slash) return L".";
    if (slash == path) return std::wstring(path, 1);
    if (slash == path + 2 && path[1] == L':') return std::wstring(path, 3); // "C:\name"
    return std::wstring(path, slash);
}

} // namespace

DWORD transferTimeout() {
    RegKey key;
    DWORD value = 0, size = sizeof value, type = 0;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, TOLVA_KEY, 0, KEY_QUERY_VALUE, key.out()) != ERROR_SUCCESS ||
        RegQueryValueExW(key, L"UpdateTimeout", nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) !=
            ERROR_SUCCESS ||
        type != REG_DWORD || size != sizeof value)
        return TRANSFER_TIMEOUT_MS;
    return value < MIN_TIMEOUT_MS ? MIN_TIMEOUT_MS : (value > MAX_TIMEOUT_MS ? MAX_TIMEOUT_MS : value);
}

HINTERNET openSession() {
    HINTERNET session = InternetOpenW(L"Tolva", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
    if (!session) return nullptr;
    DWORD connect = CONNECT_TIMEOUT_MS, transfer = transferTimeout();
    InternetSetOptionW(session, INTERNET_OPTION_CONNECT_TIMEOUT, &connect, sizeof connect);
    InternetSetOptionW(session, INTERNET_OPTION_RECEIVE_TIMEOUT, &transfer, sizeof transfer);
    InternetSetOptionW(session, INTERNET_OPTION_SEND_TIMEOUT, &transfer, sizeof transfer);
    return session;
}

int fetchUrl(HINTERNET session, const wchar_t* url, BodySink sink, void* context) {
    if (!session || !url || !sink || !isHttpUrl(url)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return DOWNLOAD_BAD_ARGUMENT;
    }
    wchar_t host[INTERNET_MAX_HOST_NAME_LENGTH];
    std::vector<wchar_t> path(MAX_URL + 1);
    URL_COMPONENTSW parts{};
    parts.dwStructSize = sizeof parts;
    parts.lpszHostName = host;
    parts.dwHostNameLength = INTERNET_MAX_HOST_NAME_LENGTH;
    parts.lpszUrlPath = path.data();
    parts.dwUrlPathLength = static_cast<DWORD>(path.size());
    if (!InternetCrackUrlW(url, 0, 0, &parts)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return DOWNLOAD_BAD_ARGUMENT;
    }
    std::wstring object = path[0] ? path.data() : L"/";
    Internet connection(InternetConnectW(session, host, parts.nPort, nullptr, nullptr, INTERNET_SERVICE_HTTP, 0, 0));
    if (!connection.h) return DOWNLOAD_NO_RESPONSE;
    // Always from the server: a cached definition would hide a new release, or revive an old one.
    DWORD flags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_PRAGMA_NOCACHE |
                  INTERNET_FLAG_NO_COOKIES | INTERNET_FLAG_NO_UI | INTERNET_FLAG_NO_AUTH;
    if (parts.nScheme == INTERNET_SCHEME_HTTPS) flags |= INTERNET_FLAG_SECURE;
    Internet request(HttpOpenRequestW(connection.h, L"GET", object.c_str(), nullptr, nullptr, nullptr, flags, 0));
    if (!request.h) return DOWNLOAD_NO_RESPONSE;

    // The caller's receive time-out on the session wins. Some WinINets (Wine's) neither report
    // nor pass down a session's time-out, so it goes on the request itself, before it connects.
    DWORD timeout = 0, timeoutSize = sizeof timeout;
    if (!InternetQueryOptionW(session, INTERNET_OPTION_RECEIVE_TIMEOUT, &timeout, &timeoutSize) || !timeout)
        timeout = transferTimeout();
    InternetSetOptionW(request.h, INTERNET_OPTION_RECEIVE_TIMEOUT, &timeout, sizeof timeout);
    InternetSetOptionW(request.h, INTERNET_OPTION_SEND_TIMEOUT, &timeout, sizeof timeout);

    int result = DOWNLOAD_OK;
    DWORD error = 0;
    if (!HttpSendRequestW(request.h, nullptr, 0, nullptr, 0)) {
        result = DOWNLOAD_NO_RESPONSE;
    } else {
        DWORD status = 0, size = sizeof status;
        ULONGLONG announced = 0;
        bool known = false;
        if (!HttpQueryInfoW(request.h, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size, nullptr)) {
            result = DOWNLOAD_NO_RESPONSE;
        } else if (status != 200) {
            result = DOWNLOAD_HTTP_STATUS;
            error = status;
        } else {
            known = queryLength(request.h, announced);
        }
        std::vector<unsigned char> buffer(result == DOWNLOAD_OK ? BUFFER_SIZE : 0);
        ULONGLONG total = 0;
        while (result == DOWNLOAD_OK) {
            DWORD got = 0;
            if (!InternetReadFile(request.h, buffer.data(), BUFFER_SIZE, &got)) {
                result = DOWNLOAD_INCOMPLETE;
                break;
            }
            if (got == 0) {
                // WinINet reports a connection closed early as a clean end; only the length tells.
                if (known && total != announced) {
                    result = DOWNLOAD_INCOMPLETE;
                    error = ERROR_INTERNET_CONNECTION_RESET;
                }
                break;
            }
            total += got;
            if (known && total > announced) {
                result = DOWNLOAD_INCOMPLETE;
                error = ERROR_INVALID_DATA;
            } else if (!sink(context, buffer.data(), got)) {
                result = DOWNLOAD_WRITE_FAILED;
            }
        }
    }
    if (!error) error = GetLastError();
    SetLastError(error);
    return result;
}

int downloadToFile(HINTERNET session, const wchar_t* url, const wchar_t* destination) {
    if (!destination || !*destination || wcsnlen(destination, 32768) >= 32768) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return DOWNLOAD_BAD_ARGUMENT;
    }
    std::wstring folder = folderOf(destination);
    wchar_t temp[MAX_PATH];
    if (folder.size() >= MAX_PATH - 14 || !GetTempFileNameW(folder.c_str(), L"tlv", 0, temp))
        return DOWNLOAD_CREATE_FAILED;
    int result;
    DWORD error = 0;
    {
        Handle file(CreateFileW(temp, GENERIC_WRITE, 0, nullptr, TRUNCATE_EXISTING, FILE_ATTRIBUTE_TEMPORARY, nullptr));
        if (file == INVALID_HANDLE_VALUE) {
            error = GetLastError();
            DeleteFileW(temp);
            SetLastError(error);
            return DOWNLOAD_CREATE_FAILED;
        }
        FileSink sink{file};
        result = fetchUrl(session, url, writeToFile, &sink);
        error = GetLastError();
    }
    if (result == DOWNLOAD_OK && !MoveFileExW(temp, destination, MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED)) {
        result = DOWNLOAD_CREATE_FAILED;
        error = GetLastError();
    }
    if (result != DOWNLOAD_OK) {
        DeleteFileW(temp);
        SetLastError(error);
    }
    return result;
}

int downloadToMemory(HINTERNET session, const wchar_t* url, size_t limit, std::string& out) {
    out.clear();
    MemorySink sink{&out, limit, false};
    int result = fetchUrl(session, url, appendToMemory, &sink);
    if (sink.tooLarge) {
        SetLastError(ERROR_FILE_TOO_LARGE);
        return DOWNLOAD_INCOMPLETE;
    }
    return result;
}

bool writeFileAtomically(const std::wstring& path, const std::string& bytes) {
    std::wstring folder = folderOf(path.c_str());
    wchar_t temp[MAX_PATH];
    if (folder.size() >= MAX_PATH - 14 || !GetTempFileNameW(folder.c_str(), L"tlv", 0, temp)) return false;
    bool ok;
    {
        Handle file(CreateFileW(temp, GENERIC_WRITE, 0, nullptr, TRUNCATE_EXISTING, 0, nullptr));
        DWORD written = 0;
        ok = file != INVALID_HANDLE_VALUE &&
             WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
             written == bytes.size();
    }
    ok = ok && MoveFileExW(temp, path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED);
    if (!ok) {
        DWORD error = GetLastError();
        DeleteFileW(temp);
        SetLastError(error);
    }
    return ok;
}
