// A stand-in for update.dll beside the Updates page's tests, answering what each test put in the
// environment, so news, mirrors and update checks need no network:
//   TOLVA_FAKE_MIRRORS  hosts shuffleMirrors lists, separated by ';' (unset: it returns null)
//   TOLVA_FAKE_DEAD     hosts whose downloads find no server, separated by ';'
//   TOLVA_FAKE_DOWNLOAD the result every other download gives, writing nothing
//   TOLVA_FAKE_NEWS     else: the file a download delivers (unset: no server answers)
//   TOLVA_FAKE_CHECK    checkUpdates' result (unset: -1)
//   TOLVA_FAKE_STALL    an event: downloads and checks wait for it first (at most 30 s)
//   TOLVA_FAKE_LOG      each call appends "download URL|DESTINATION", "signed URL|DESTINATION" (downloadSigned)
//                       or "check QUIET,DEFINITION"
#include <windows.h>
#include <wininet.h>

#include <cstdlib>
#include <string>

#include "update.h"

namespace {

std::wstring env(const wchar_t* name, bool* set = nullptr) {
    wchar_t value[1024] = L"";
    DWORD n = GetEnvironmentVariableW(name, value, 1024);
    if (set) *set = n > 0 && n < 1024;
    return n < 1024 ? value : L"";
}

void note(const std::wstring& line) {
    std::wstring path = env(L"TOLVA_FAKE_LOG");
    if (path.empty()) return;
    std::wstring text = line + L"\n";
    int n = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string utf8(n, '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, utf8.data(), n, nullptr, nullptr);
    HANDLE f = CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS, 0,
                           nullptr);
    if (f == INVALID_HANDLE_VALUE) return;
    DWORD written;
    WriteFile(f, utf8.data(), static_cast<DWORD>(utf8.size() - 1), &written, nullptr);
    CloseHandle(f);
}

void stall() {
    std::wstring name = env(L"TOLVA_FAKE_STALL");
    if (name.empty()) return;
    if (HANDLE event = OpenEventW(SYNCHRONIZE, FALSE, name.c_str())) {
        WaitForSingleObject(event, 30000);
        CloseHandle(event);
    }
}

bool listed(const std::wstring& list, const std::wstring& host) {
    size_t start = 0;
    while (start <= list.size()) {
        size_t end = list.find(L';', start);
        if (end == std::wstring::npos) end = list.size();
        if (end > start && _wcsicmp(list.substr(start, end - start).c_str(), host.c_str()) == 0) return true;
        start = end + 1;
    }
    return false;
}

int fakeDownload(const wchar_t* call, HINTERNET session, const wchar_t* url, const wchar_t* destination) {
    if (!session || !url || !destination) return DOWNLOAD_BAD_ARGUMENT;
    note(std::wstring(call) + url + L"|" + destination);
    stall();
    std::wstring address = url;
    size_t from = address.find(L"://");
    from = from == std::wstring::npos ? 0 : from + 3;
    size_t to = address.find(L"/program/", from);
    if (listed(env(L"TOLVA_FAKE_DEAD"), address.substr(from, to == std::wstring::npos ? to : to - from)))
        return DOWNLOAD_NO_RESPONSE;
    bool forced = false;
    std::wstring result = env(L"TOLVA_FAKE_DOWNLOAD", &forced);
    if (forced) return _wtoi(result.c_str());
    std::wstring news = env(L"TOLVA_FAKE_NEWS");
    if (news.empty()) return DOWNLOAD_NO_RESPONSE;
    return CopyFileW(news.c_str(), destination, FALSE) ? DOWNLOAD_OK : DOWNLOAD_CREATE_FAILED;
}

} // namespace

extern "C" __declspec(dllexport) HINTERNET openCon(void) {
    return InternetOpenW(L"Tolva test", INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0);
}

extern "C" __declspec(dllexport) int downloadFile(HINTERNET session, const wchar_t* url, const wchar_t* destination,
                                                  int) {
    return fakeDownload(L"download ", session, url, destination);
}

// The signature check is the real library's to test; here a signed download is any download.
extern "C" __declspec(dllexport) int downloadSigned(HINTERNET session, const wchar_t* url, const wchar_t* destination,
                                                    int) {
    return fakeDownload(L"signed ", session, url, destination);
}

extern "C" __declspec(dllexport) wchar_t** shuffleMirrors(void) {
    bool set = false;
    std::wstring list = env(L"TOLVA_FAKE_MIRRORS", &set);
    if (!set) return nullptr;
    // One block as the real library hands it out: the pointer table, then the texts.
    size_t count = 1;
    for (wchar_t c : list) count += c == L';';
    size_t tableBytes = (count + 1) * sizeof(wchar_t*);
    auto* block = static_cast<char*>(malloc(tableBytes + (list.size() + 1) * sizeof(wchar_t)));
    if (!block) return nullptr;
    auto** table = reinterpret_cast<wchar_t**>(block);
    auto* texts = reinterpret_cast<wchar_t*>(block + tableBytes);
    wmemcpy(texts, list.c_str(), list.size() + 1);
    size_t n = 0;
    table[n++] = texts;
    for (wchar_t* p = texts; *p; ++p)
        if (*p == L';') {
            *p = L'\0';
            table[n++] = p + 1;
        }
    table[n] = nullptr;
    return table;
}

extern "C" __declspec(dllexport) int checkUpdates(int quiet, int definition) {
    note(L"check " + std::to_wstring(quiet) + L"," + std::to_wstring(definition));
    stall();
    bool set = false;
    std::wstring result = env(L"TOLVA_FAKE_CHECK", &set);
    return set ? _wtoi(result.c_str()) : -1;
}
