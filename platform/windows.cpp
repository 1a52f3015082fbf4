// Message windows: a window here is a procedure and a context pointer that
// SendMessageA calls synchronously on the calling thread.
#include <map>
#include <mutex>

#include "platform/internal.h"
#include "platform/platform.h"

namespace {

struct Window {
    WNDPROC proc = nullptr;
    void* context = nullptr;
};

struct Windows {
    std::mutex mutex;
    std::map<uintptr_t, Window> windows;
    uintptr_t next = 1;
    std::map<std::string, UINT> messages;  // upper-cased name -> number
};

Windows& windows()
{
    static Windows w;
    return w;
}

bool find(HWND window, Window& out)
{
    Windows& w = windows();
    std::lock_guard lock(w.mutex);
    auto it = w.windows.find(reinterpret_cast<uintptr_t>(window));
    if (it == w.windows.end())
        return false;
    out = it->second;
    return true;
}

}  // namespace

extern "C" UINT RegisterWindowMessageA(LPCSTR name)
{
    if (!name || !*name) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    std::string key(name);
    for (char& c : key)
        c = platform::detail::upperAscii(c);
    Windows& w = windows();
    std::lock_guard lock(w.mutex);
    auto [it, inserted] = w.messages.try_emplace(key, 0);
    if (inserted)
        it->second = 0xC000u + static_cast<UINT>(w.messages.size() - 1);
    return it->second;
}

extern "C" HWND CreateMessageWindow(WNDPROC proc, void* context)
{
    if (!proc) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    Windows& w = windows();
    std::lock_guard lock(w.mutex);
    // Handles are never reused, so a stale one cannot reach a new window.
    uintptr_t value = (w.next++ << 4) | 0x2;
    w.windows[value] = Window{proc, context};
    return reinterpret_cast<HWND>(value);
}

extern "C" void* GetWindowContext(HWND window)
{
    Window found;
    if (!find(window, found)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return nullptr;
    }
    return found.context;
}

extern "C" BOOL DestroyWindow(HWND window)
{
    Windows& w = windows();
    std::lock_guard lock(w.mutex);
    if (!w.windows.erase(reinterpret_cast<uintptr_t>(window))) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    return TRUE;
}

extern "C" BOOL IsWindow(HWND window)
{
    Window found;
    return find(window, found) ? TRUE : FALSE;
}

extern "C" LRESULT SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    Window found;
    if (!find(window, found)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    // Called without the lock: the procedure may send or destroy windows.
    return found.proc(window, message, wParam, lParam);
}

extern "C" LRESULT DefWindowProcA(HWND, UINT, WPARAM, LPARAM)
{
    return 0;
}

extern "C" BOOL SetForegroundWindow(HWND)
{
    return TRUE;
}
