// WinMain and the backdrop: the program's only top-level window. It paints the
// splash picture and, 100 ms after it is created, runs the whole wizard inside
// the dispatch of its one timer message. One Setup runs at a time.
#include <windows.h>
#include <commctrl.h>

#include "resources/resource_ids.h"
#include "shell/dialog_frame_win32.h"
#include "shell/wizard_win32.h"

namespace vx {

HINSTANCE appInstance = nullptr;
HWND backdropWindow = nullptr;

namespace {

constexpr char kClassName[] = "VPSETUP";
constexpr char kTitle[] = "Vantrix Setup";
constexpr int kWidth = 550;
constexpr int kHeight = 380;
constexpr UINT kStartTimer = 0;
constexpr UINT kStartDelayMs = 100;
// The picture is 426 x 253, but its last column and row are left out.
constexpr int kPictureWidth = 425;
constexpr int kPictureHeight = 252;

void PaintPicture(HWND window) {
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(window, &paint);
  RECT client;
  GetClientRect(window, &client);
  // Loaded and freed on every paint: the picture is painted rarely and this keeps
  // no GDI object alive between paints.
  HBITMAP picture = LoadBitmapA(appInstance, MAKEINTRESOURCEA(IDB_SPLASH));
  HDC memory = CreateCompatibleDC(dc);
  HGDIOBJ kept = SelectObject(memory, picture);
  StretchBlt(dc, 0, 0, client.right, client.bottom, memory, 0, 0, kPictureWidth, kPictureHeight, SRCCOPY);
  SelectObject(memory, kept);
  DeleteObject(picture);
  DeleteDC(memory);
  EndPaint(window, &paint);
}

LRESULT CALLBACK BackdropWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE:
      SetTimer(window, kStartTimer, kStartDelayMs, nullptr);
      ShowWindow(window, SW_SHOWNORMAL);
      return 0;
    case WM_PAINT:
      PaintPicture(window);
      return 0;
    case WM_TIMER:
      // Killed first: the wizard's modal loops dispatch timer messages too, and
      // the wizard must run once.
      KillTimer(window, kStartTimer);
      RunWizard();
      PostQuitMessage(0);
      return 0;
    case WM_SYSCOMMAND:
      // Every system command is consumed, so the backdrop cannot be moved,
      // minimised or maximised; closing it ends the program.
      if ((wParam & 0xFFF0) == SC_CLOSE) PostQuitMessage(0);
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    default:
      if (IsDialogColorMessage(message)) return HandleDialogColor(message, reinterpret_cast<HDC>(wParam));
      return DefWindowProcA(window, message, wParam, lParam);
  }
}

// A plain name: the "Global\" and "Local\" prefixes came with Terminal Services,
// and without one Windows NT puts the name in the session's own namespace.
constexpr char kRunningMutex[] = "VantrixSetupRunning";

// Whether another Setup runs; if so its active window, the dialog it shows or
// else its backdrop, is brought to the front. The mutex decides, not the
// window: a Setup started a moment earlier may not have made its backdrop yet,
// and then there is nothing to bring forward. The handle is never closed, so
// the mutex lives exactly as long as this Setup.
bool AnotherSetupRuns() {
  if (CreateMutexA(nullptr, FALSE, kRunningMutex) == nullptr || GetLastError() != ERROR_ALREADY_EXISTS) return false;
  HWND backdrop = FindWindowA(kClassName, kTitle);
  if (backdrop != nullptr) SetForegroundWindow(GetLastActivePopup(backdrop));
  return true;
}

}  // namespace
}  // namespace vx

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  // A second Setup would copy over the files the first one copies, and edit the
  // same start-up files: it shows nothing of its own.
  if (vx::AnotherSetupRuns()) return 0;

  // Before any dialog creates the progress bar of the copy dialog.
  InitCommonControls();

  WNDCLASSA windowClass = {};
  windowClass.style = CS_HREDRAW | CS_VREDRAW;
  windowClass.lpfnWndProc = vx::BackdropWndProc;
  windowClass.hInstance = instance;
  windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
  windowClass.lpszClassName = vx::kClassName;
  if (RegisterClassA(&windowClass) == 0) return 0;
  vx::appInstance = instance;

  // Halves truncate toward zero, so the outer rectangle is centred on the
  // full-screen point whatever the parity of the screen size.
  const int x = GetSystemMetrics(SM_CXFULLSCREEN) / 2 - vx::kWidth / 2;
  const int y = GetSystemMetrics(SM_CYFULLSCREEN) / 2 - vx::kHeight / 2;
  vx::backdropWindow = CreateWindowExA(0, vx::kClassName, vx::kTitle, WS_OVERLAPPED, x, y, vx::kWidth, vx::kHeight,
                                       nullptr, nullptr, instance, nullptr);
  if (vx::backdropWindow == nullptr) return 0;
  ShowWindow(vx::backdropWindow, SW_SHOW);
  UpdateWindow(vx::backdropWindow);

  MSG message;
  while (GetMessageA(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
  return static_cast<int>(message.wParam);
}
