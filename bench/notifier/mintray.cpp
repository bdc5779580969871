// The yardstick for the notifier's idle cost: a tray program that does nothing but keep its icon
// and wait for messages. run.sh builds it with the same compiler and flags.
#include <windows.h>
#include <shellapi.h>

static LRESULT CALLBACK proc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_DESTROY) PostQuitMessage(0);
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR, int) {
    WNDCLASSW wc{};
    wc.lpfnWndProc = proc;
    wc.hInstance = instance;
    wc.lpszClassName = L"MinTray";
    RegisterClassW(&wc);
    HWND hwnd = CreateWindowW(L"MinTray", L"MinTray", WS_OVERLAPPEDWINDOW, 0, 0, 0, 0, nullptr, nullptr, instance, nullptr);
    NOTIFYICONDATAW nid{};
    nid.cbSize = sizeof nid;
    nid.hWnd = hwnd;
    nid.uID = 1;
    nid.uFlags = NIF_ICON | NIF_TIP | NIF_MESSAGE;
    nid.uCallbackMessage = WM_USER;
    nid.hIcon = LoadIconW(nullptr, IDI_APPLICATION);
    lstrcpyW(nid.szTip, L"MinTray");
    Shell_NotifyIconW(NIM_ADD, &nid);
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) DispatchMessageW(&msg);
    Shell_NotifyIconW(NIM_DELETE, &nid);
    return 0;
}
