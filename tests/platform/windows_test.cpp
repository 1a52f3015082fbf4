#include <gtest/gtest.h>

#include <cstring>

#include "platform/platform.h"

namespace {

struct Context {
    int calls = 0;
    UINT lastMessage = 0;
    WPARAM lastW = 0;
    LPARAM lastL = 0;
};

LRESULT recordingProc(HWND window, UINT message, WPARAM w, LPARAM l)
{
    auto* c = static_cast<Context*>(GetWindowContext(window));
    ++c->calls;
    c->lastMessage = message;
    c->lastW = w;
    c->lastL = l;
    return message == 0x10 ? DefWindowProcA(window, message, w, l) : 42;
}

LRESULT selfDestroyingProc(HWND window, UINT, WPARAM, LPARAM)
{
    DestroyWindow(window);
    return 7;
}

TEST(WindowMessages, RegisteredNumbersAreStablePerName)
{
    UINT a = RegisterWindowMessageA("wm_arcextract");
    UINT b = RegisterWindowMessageA("WM_ARCEXTRACT");
    UINT c = RegisterWindowMessageA("tidebell-test-other");
    EXPECT_GE(a, 0xC000u);
    EXPECT_EQ(a, b);
    EXPECT_NE(a, c);
    EXPECT_GE(c, 0xC000u);
    EXPECT_EQ(RegisterWindowMessageA(""), 0u);
}

TEST(WindowMessages, SendCallsTheProcedureSynchronously)
{
    Context context;
    HWND window = CreateMessageWindow(recordingProc, &context);
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(IsWindow(window));
    EXPECT_EQ(GetWindowContext(window), &context);
    EXPECT_EQ(SendMessageA(window, 0xC123, 5, -6), 42);
    EXPECT_EQ(context.calls, 1);
    EXPECT_EQ(context.lastMessage, 0xC123u);
    EXPECT_EQ(context.lastW, 5u);
    EXPECT_EQ(context.lastL, -6);
    EXPECT_EQ(SendMessageA(window, 0x10, 0, 0), 0);  // DefWindowProcA answers 0
    EXPECT_TRUE(SetForegroundWindow(window));
    EXPECT_TRUE(DestroyWindow(window));

    // A destroyed or unknown window: 0 and an error, never a call.
    SetLastError(0);
    EXPECT_EQ(SendMessageA(window, 0xC123, 0, 0), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
    EXPECT_EQ(context.calls, 2);
    EXPECT_FALSE(IsWindow(window));
    EXPECT_FALSE(DestroyWindow(window));
    EXPECT_EQ(SendMessageA(reinterpret_cast<HWND>(0x4321), 1, 0, 0), 0);
    EXPECT_EQ(SendMessageA(nullptr, 1, 0, 0), 0);

    HWND self = CreateMessageWindow(selfDestroyingProc, nullptr);
    EXPECT_EQ(SendMessageA(self, 1, 0, 0), 7);
    EXPECT_FALSE(IsWindow(self));
}

}  // namespace
