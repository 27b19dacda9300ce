#include "harness/wizard_steps.h"

#include <gtest/gtest.h>

namespace e2e {

HWND WaitForDialogWith(DWORD pid, const char* caption, int id, DWORD timeoutMs) {
  const DWORD start = GetTickCount();
  do {
    for (const auto& dialog : VisibleDialogs(pid)) {
      if (dialog.second == caption && GetDlgItem(dialog.first, id) != nullptr) {
        Sleep(Scaled(150));  // let WM_INITDIALOG finish
        return dialog.first;
      }
    }
    Sleep(50);
  } while (GetTickCount() - start < Scaled(timeoutMs));
  return nullptr;
}

HWND ReachDestination(SetupProcess& setup) {
  HWND welcome = WaitForDialog(setup.pid(), "Welcome");
  if (welcome == nullptr) return nullptr;
  Press(welcome, 1001);
  return WaitForDialogWith(setup.pid(), "Setup", 1006);
}

HWND ReachCopy(SetupProcess& setup) {
  HWND options = ReachDestination(setup);
  if (options == nullptr) return nullptr;
  Press(options, 1006);
  return WaitForDialogWith(setup.pid(), "Setup", 1011);
}

HWND ReachSuccess(SetupProcess& setup) {
  if (ReachDestination(setup) == nullptr) return nullptr;
  HWND options = WaitForDialogWith(setup.pid(), "Setup", 1006);
  Press(options, 1006);
  return WaitForDialog(setup.pid(), "Setup Complete!", 30000);
}

void ExpectCentred(HWND dialog, int offset) {
  const SIZE client = ClientSize(dialog);
  const RECT outer = WindowRect(dialog);
  EXPECT_EQ(outer.left, GetSystemMetrics(SM_CXFULLSCREEN) / 2 + (0 - client.cx) / 2);
  EXPECT_EQ(outer.top, GetSystemMetrics(SM_CYFULLSCREEN) / 2 + (0 - client.cy) / 2 + offset);
}

DWORD ClientPixel(HWND window, int x, int y) {
  POINT point = {x, y};
  ClientToScreen(window, &point);
  HDC screen = GetDC(nullptr);
  const COLORREF color = GetPixel(screen, point.x, point.y);
  ReleaseDC(nullptr, screen);
  return (GetRValue(color) << 16) | (GetGValue(color) << 8) | GetBValue(color);
}

}  // namespace e2e
