// The update library's export table. Programs load "update.dll" by name and bind each function
// with GetProcAddress under the name given here; nothing links against the library.
// No export throws or crashes on a null or hostile argument; each reports failure by its result
// and leaves the Windows error in the thread's last-error value.
#pragma once

#include <windows.h>
#include <wininet.h>

#ifdef __cplusplus
extern "C" {
#endif

// openCon() -> a WinINet session with the library's time-outs, or null (last error from WinINet).
// The caller owns the handle and closes it with InternetCloseHandle.
typedef HINTERNET (*OPENCON)(void);

// downloadFile(session, url, destination, 0) -> one of DOWNLOAD_*.
// Only http:// and https:// addresses are fetched. The body goes to a temporary file beside the
// destination that is moved into place only when it is complete, so a failure never leaves a
// partial file and never disturbs a file already at the destination.
typedef int (*DOWNLOADFILE)(HINTERNET session, const wchar_t* url, const wchar_t* destination, int reserved);

enum {
    DOWNLOAD_OK = 0,
    DOWNLOAD_BAD_ARGUMENT = 1, // null session or text, empty, overlong or not an http(s) address
    DOWNLOAD_NO_RESPONSE = 2,  // no connection, name not resolved, time-out before an answer
    DOWNLOAD_CREATE_FAILED = 3,
    DOWNLOAD_HTTP_STATUS = 4,  // the server answered other than 200; last error = the HTTP status
    DOWNLOAD_WRITE_FAILED = 5,
    DOWNLOAD_INCOMPLETE = 6,   // connection lost, time-out mid-body, or shorter than announced
    DOWNLOAD_UNSIGNED = 7,     // downloadSigned: no signature beside the file (last error the HTTP status), or
                               // one that does not verify with the release key (last error NTE_BAD_SIGNATURE)
};

// downloadSigned(session, url, destination, 0) -> one of DOWNLOAD_*.
// For files that must come from the release key's holder (the program database, the news): also
// fetches url + ".sig", the detached signature, and lets the file reach the destination only when
// that signature verifies. Nothing unverified is ever left at the destination.
typedef int (*DOWNLOADSIGNED)(HINTERNET session, const wchar_t* url, const wchar_t* destination, int reserved);

// checkUpdates(quiet, definition) -> -1 error, 0 no update, 1 an update that includes the updater
// (TolvaUpdater.exe or update.dll), 2 an update of the suite's files, 3 only a re-install helps.
// The library never shows a window; `quiet` is accepted for the callers' sake and changes nothing.
// With `definition` non-zero, a result of 1 or 2 leaves the signed definition in
// "%TEMP%\Tolva_update.def"; any other result removes a definition file left by an earlier check.
typedef int (*CHECKUPDATES)(int quiet, int definition);

// shuffleMirrors() -> a null-terminated array of at least two mirror host texts in the order to try
// them, or null when memory is exhausted. The texts live inside the array's own block: free the
// array with free() and never its entries.
typedef wchar_t** (*SHUFFLEMIRRORS)(void);

// md5(path) -> malloc'ed narrow text: 32 lower-case hexadecimal digits. When the file cannot be
// read (missing, a folder, a read error, null path) the text is MD5_UNREADABLE, which is not
// hexadecimal and so equals no digest. The caller frees it with free(). Null only when the
// heap cannot give 33 bytes.
typedef char* (*MD5)(const wchar_t* path);

#define MD5_UNREADABLE "--------------------------------"

#ifdef __cplusplus
}
#endif

#ifdef __cplusplus
// GetProcAddress's FARPROC converted to one of the types above without -Wcast-function-type noise:
//   auto check = updateProc<CHECKUPDATES>(module, "checkUpdates");
template <typename F>
inline F updateProc(HMODULE module, const char* name) {
    return reinterpret_cast<F>(reinterpret_cast<void (*)(void)>(GetProcAddress(module, name)));
}
#endif
