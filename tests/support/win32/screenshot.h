// Screenshots of the GUI tests: 32-bit top-down bitmaps written to QV_SCREENSHOT_DIR/<name>.bmp
// (the including test defines the folder's Linux path), for people to look at. Windows build only.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

#include "base/utf16.h"

#ifndef QV_SCREENSHOT_DIR
#error QV_SCREENSHOT_DIR must name the folder the screenshots are written to
#endif

namespace qv::test {

// Writes the pixels (0x00RRGGBB, top row first) as <name>.bmp, every pixel opaque (a 32-bit
// bitmap's fourth byte is read as alpha by image viewers).
inline void WriteScreenshotFile(const wchar_t* name, int width, int height,
                                std::vector<std::uint32_t> pixels) {
  for (std::uint32_t& p : pixels) p |= 0xFF000000u;
  BITMAPINFOHEADER info{sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  const std::string folder = "Z:" + std::string(QV_SCREENSHOT_DIR);
  CreateDirectoryA(folder.c_str(), nullptr);
  std::ofstream file(folder + "/" + ToUtf8(name) + ".bmp", std::ios::binary);
  const auto imageBytes = static_cast<DWORD>(pixels.size() * 4);
  BITMAPFILEHEADER header{};
  header.bfType = 0x4D42;  // "BM"
  header.bfOffBits = sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER);
  header.bfSize = header.bfOffBits + imageBytes;
  file.write(reinterpret_cast<const char*>(&header), sizeof(header));
  file.write(reinterpret_cast<const char*>(&info), sizeof(info));
  file.write(reinterpret_cast<const char*>(pixels.data()), imageBytes);
  EXPECT_TRUE(file.good()) << "cannot write the screenshot " << ToUtf8(name);
}

// The whole window, frame and children, as the screen shows it, to <name>.bmp.
inline void CaptureScreenshot(HWND window, const wchar_t* name) {
  RECT rect{};
  if (!GetWindowRect(window, &rect)) {
    ADD_FAILURE() << "no window for the screenshot " << ToUtf8(name);
    return;
  }
  const int width = rect.right - rect.left;
  const int height = rect.bottom - rect.top;
  BITMAPINFO info{};
  info.bmiHeader = {sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (bits != nullptr) {
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, screen, rect.left, rect.top, SRCCOPY);
    GdiFlush();
    const auto* first = static_cast<const std::uint32_t*>(bits);
    WriteScreenshotFile(name, width, height,
                        std::vector<std::uint32_t>(first, first + static_cast<std::size_t>(width) * height));
    SelectObject(memory, old);
  } else {
    ADD_FAILURE() << "no bitmap for the screenshot " << ToUtf8(name);
  }
  if (bitmap != nullptr) DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
}

}  // namespace qv::test
