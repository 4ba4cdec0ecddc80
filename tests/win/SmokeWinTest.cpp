// Proves the Windows route: a real window and the Windows locale under a Japanese setting.
#include <windows.h>

#include <gtest/gtest.h>

#include "platform/Locale.h"

TEST(WinSmoke, CreatesAWindowAndDecodesCodePage932) {
  HWND hwnd = CreateWindowExW(0, L"STATIC", L"Tessarine", WS_OVERLAPPED, 0, 0, 100, 50, nullptr, nullptr,
                              GetModuleHandleW(nullptr), nullptr);
  ASSERT_NE(hwnd, nullptr);
  wchar_t text[32] = {};
  GetWindowTextW(hwnd, text, 32);
  EXPECT_STREQ(text, L"Tessarine");
  DestroyWindow(hwnd);
  EXPECT_EQ(GetACP(), 932u) << "the Windows tests expect a Japanese locale";
  EXPECT_EQ(tess::CurrentLocale().DecodeAnsi("\x83\x4A\x83\x81\x83\x89"), u"カメラ");
  EXPECT_EQ(tess::CurrentLocale().ShortDayName(1), u"日");
}
