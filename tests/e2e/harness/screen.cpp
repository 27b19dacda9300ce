// Reading message boxes and pixels off the screen.
#include <algorithm>
#include <cstddef>
#include <cstdio>
#include <vector>

#include "harness/bench.h"

namespace e2e {
namespace {

Pixels Capture(HDC source, int x, int y, int width, int height) {
  Pixels pixels;
  if (width <= 0 || height <= 0) return pixels;
  pixels.width = width;
  pixels.height = height;
  pixels.data.resize(static_cast<size_t>(width) * height);
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;  // top-down
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HDC memory = CreateCompatibleDC(source);
  HBITMAP bitmap = CreateDIBSection(memory, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ kept = SelectObject(memory, bitmap);
  BitBlt(memory, 0, 0, width, height, source, x, y, SRCCOPY);
  GdiFlush();
  for (size_t i = 0; i < pixels.data.size(); ++i) pixels.data[i] = static_cast<DWORD*>(bits)[i] & 0xFFFFFF;
  SelectObject(memory, kept);
  DeleteObject(bitmap);
  DeleteDC(memory);
  return pixels;
}

Pixels CaptureScreen(const RECT& rect) {
  HDC screen = GetDC(nullptr);
  Pixels pixels = Capture(screen, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top);
  ReleaseDC(nullptr, screen);
  return pixels;
}

// The stock icon drawn by this process over a uniform background.
Pixels RenderIcon(LPCSTR stockId, int size, DWORD background) {
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, size, size);
  HGDIOBJ kept = SelectObject(memory, bitmap);
  HBRUSH brush = CreateSolidBrush(RGB((background >> 16) & 0xFF, (background >> 8) & 0xFF, background & 0xFF));
  RECT all = {0, 0, size, size};
  FillRect(memory, &all, brush);
  DeleteObject(brush);
  DrawIcon(memory, 0, 0, LoadIconA(nullptr, stockId));
  Pixels pixels = Capture(memory, 0, 0, size, size);
  SelectObject(memory, kept);
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  return pixels;
}

size_t Differences(const Pixels& a, const Pixels& b) {
  size_t count = 0;
  for (size_t i = 0; i < a.data.size() && i < b.data.size(); ++i) count += a.data[i] != b.data[i];
  return count;
}

struct IconCandidate {
  StockIcon icon;
  LPCSTR id;
};
// clang-format off
const IconCandidate kStockIcons[] = {
    {StockIcon::Hand,        IDI_HAND},
    {StockIcon::Question,    IDI_QUESTION},
    {StockIcon::Exclamation, IDI_EXCLAMATION},
    {StockIcon::Asterisk,    IDI_ASTERISK},
};
// clang-format on

// Which stock icon the icon control of a message box shows, by comparing its
// pixels on the screen with each stock icon drawn here over the same background.
// Icon handles of another process cannot be compared, so the pixels are.
StockIcon IdentifyIcon(HWND iconControl) {
  RECT rect = WindowRect(iconControl);
  const int size = GetSystemMetrics(SM_CXICON);
  rect.right = rect.left + size;
  rect.bottom = rect.top + size;
  // The box may be painted a moment after it appears.
  for (DWORD attempt = 0; attempt < Scaled(20); ++attempt, Sleep(100)) {
    Pixels shown = CaptureScreen(rect);
    const DWORD background = shown.data.front();
    StockIcon best = StockIcon::Unknown;
    size_t fewest = shown.data.size() / 20;  // at most 5 % of the pixels may differ
    for (const IconCandidate& candidate : kStockIcons) {
      size_t differences = Differences(shown, RenderIcon(candidate.id, size, background));
      if (differences < fewest) {
        fewest = differences;
        best = candidate.icon;
      }
    }
    if (best != StockIcon::Unknown) return best;
  }
  return StockIcon::Unknown;
}

BOOL CALLBACK ReadBoxChild(HWND child, LPARAM param) {
  auto* box = reinterpret_cast<MessageBoxInfo*>(param);
  const std::string className = ClassName(child);
  if (className == "Button" && IsWindowVisible(child)) {
    box->buttons.push_back(GetDlgCtrlID(child));
  } else if (className == "Static") {
    if ((GetWindowLongA(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON) {
      if (IsWindowVisible(child)) box->icon = IdentifyIcon(child);
    } else if (box->text.empty()) {
      box->text = WindowText(child);
    }
  }
  return TRUE;
}

}  // namespace

const char* IconName(StockIcon icon) {
  switch (icon) {
    case StockIcon::None:
      return "none";
    case StockIcon::Hand:
      return "stop";
    case StockIcon::Question:
      return "question";
    case StockIcon::Exclamation:
      return "warning";
    case StockIcon::Asterisk:
      return "information";
    case StockIcon::Unknown:
      break;
  }
  return "unknown";
}

MessageBoxInfo WaitForMessageBox(DWORD pid, const char* caption, DWORD timeoutMs) {
  MessageBoxInfo box;
  box.window = WaitForDialog(pid, caption, timeoutMs);
  if (box.window == nullptr) return box;
  box.caption = WindowText(box.window);
  box.owner = GetWindow(box.window, GW_OWNER);
  EnumChildWindows(box.window, ReadBoxChild, reinterpret_cast<LPARAM>(&box));
  return box;
}

Pixels CaptureWindow(HWND window) {
  RECT rect = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  if (window != nullptr && !GetWindowRect(window, &rect)) return {};
  return CaptureScreen(rect);
}

bool ShowsSomething(const Pixels& pixels) {
  return std::any_of(pixels.data.begin(), pixels.data.end(), [&](DWORD pixel) { return pixel != pixels.data.front(); });
}

bool SavePixels(const Pixels& pixels, const std::string& path) {
  const int rowBytes = (pixels.width * 3 + 3) & ~3;
  BITMAPFILEHEADER file = {};
  BITMAPINFOHEADER header = {};
  header.biSize = sizeof header;
  header.biWidth = pixels.width;
  header.biHeight = pixels.height;  // bottom-up, as BMP files usually are
  header.biPlanes = 1;
  header.biBitCount = 24;
  header.biSizeImage = static_cast<DWORD>(rowBytes) * static_cast<DWORD>(pixels.height);
  file.bfType = 0x4D42;
  file.bfOffBits = sizeof file + sizeof header;
  file.bfSize = file.bfOffBits + header.biSizeImage;
  FILE* out = std::fopen(path.c_str(), "wb");
  if (out == nullptr) return false;
  std::fwrite(&file, sizeof file, 1, out);
  std::fwrite(&header, sizeof header, 1, out);
  std::vector<unsigned char> row(rowBytes, 0);
  for (int y = pixels.height - 1; y >= 0; --y) {
    for (int x = 0; x < pixels.width; ++x) {
      const DWORD pixel = pixels.data[static_cast<size_t>(y) * pixels.width + x];
      row[static_cast<size_t>(x) * 3] = pixel & 0xFF;
      row[static_cast<size_t>(x) * 3 + 1] = (pixel >> 8) & 0xFF;
      row[static_cast<size_t>(x) * 3 + 2] = (pixel >> 16) & 0xFF;
    }
    std::fwrite(row.data(), 1, row.size(), out);
  }
  return std::fclose(out) == 0;
}

bool SaveScreenshot(HWND window, const std::string& path) {
  const Pixels pixels = CaptureWindow(window);
  return ShowsSomething(pixels) && SavePixels(pixels, path);
}

}  // namespace e2e
