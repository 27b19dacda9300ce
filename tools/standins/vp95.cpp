// vp95.exe on the installation disk: a stand-in of the Vantrix mouse utility.
//
// Setup recognises a running utility only by its main window's title, so this
// program's whole job is to own a window titled "Vantrix Studio Station" that
// says what it is and closes on its close box. It links no C runtime, like
// SETUP.EXE, so it runs on a bare Windows 95 and under Wine alike.
#include <windows.h>

namespace {

constexpr char kClassName[] = "VantrixStandIn";
constexpr char kTitle[] = "Vantrix Studio Station";
constexpr char kText[] =
    "This is the stand-in of the Vantrix mouse utility (vp95.exe) "
    "installed by the Vantrix mouse setup disk.";

LRESULT CALLBACK StandInWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_PAINT: {
      PAINTSTRUCT paint;
      HDC dc = BeginPaint(window, &paint);
      RECT client;
      GetClientRect(window, &client);
      InflateRect(&client, -12, -12);
      SetBkMode(dc, TRANSPARENT);
      DrawTextA(dc, kText, -1, &client, DT_LEFT | DT_WORDBREAK);
      EndPaint(window, &paint);
      return 0;
    }
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

int RunStandIn(HINSTANCE instance) {
  WNDCLASSA windowClass;
  windowClass.style = CS_HREDRAW | CS_VREDRAW;
  windowClass.lpfnWndProc = StandInWndProc;
  windowClass.cbClsExtra = 0;
  windowClass.cbWndExtra = 0;
  windowClass.hInstance = instance;
  windowClass.hIcon = LoadIconA(nullptr, IDI_APPLICATION);
  windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  windowClass.lpszMenuName = nullptr;
  windowClass.lpszClassName = kClassName;
  if (RegisterClassA(&windowClass) == 0) return 1;

  HWND window = CreateWindowExA(0, kClassName, kTitle, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT, 360, 140,
                                nullptr, nullptr, instance, nullptr);
  if (window == nullptr) return 1;
  ShowWindow(window, SW_SHOWNORMAL);
  UpdateWindow(window);

  MSG message;
  while (GetMessageA(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
  return static_cast<int>(message.wParam);
}

}  // namespace

extern "C" void WinMainCRTStartup() { ExitProcess(static_cast<UINT>(RunStandIn(GetModuleHandleA(nullptr)))); }
