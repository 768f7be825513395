// Draws the same 10,000 mixed primitives with changing pens, brushes and fonts through TCanvas
// and through raw GDI calls into one DIB section, in one run: once with every tool alive
// throughout (held TPen/TBrush/TFont objects keep the cache's handles; raw GDI makes its
// handles up front), once with tools made and freed as they change. Prints "name: value unit"
// lines; the best of several rounds is kept for each.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

#include "host/Graphics.h"
#include "host/Win.h"

using namespace kw;

namespace {

constexpr int Calls = 10000;
constexpr int Rounds = 7;
const TColor Colors[] = {clRed, clBlue, clLime, clBlack, clNavy, clTeal, clMaroon, clGray};
constexpr int ColorCount = 8;
constexpr int FontSizes = 4;

double Seconds(std::chrono::steady_clock::duration d) { return std::chrono::duration<double>(d).count(); }

void DrawCanvas(TCanvas& c) {
  for (int i = 0; i < Calls; i++) {
    int k = i % 8, x = i % 97, y = i % 89;
    switch (k) {
      case 0: c.Pen()->SetColor(Colors[i / 8 % ColorCount]); break;
      case 1: c.Brush()->SetColor(Colors[(i / 8 + 3) % ColorCount]); break;
      case 2: c.Font()->SetSize(8 + i / 8 % FontSizes); break;
      case 3: c.Rectangle(x, y, x + 40, y + 30); break;
      case 4: c.Ellipse(x, y, x + 30, y + 30); break;
      case 5: c.MoveTo(x, y); c.LineTo(x + 50, y + 20); break;
      case 6: c.FillRect(Rect(x, y, x + 20, y + 20)); break;
      case 7: c.TextOut(x, y, L"Bench"); break;
    }
  }
}

struct TRawTools {
  HPEN Pens[ColorCount];
  HBRUSH Brushes[ColorCount];
  HFONT Fonts[FontSizes];
};

// The drawing calls of the mix (kinds 3 to 7), shared by both raw runs.
inline void DrawRawShape(HDC dc, int kind, int x, int y, HBRUSH brush) {
  switch (kind) {
    case 3: ::Rectangle(dc, x, y, x + 40, y + 30); break;
    case 4: ::Ellipse(dc, x, y, x + 30, y + 30); break;
    case 5: ::MoveToEx(dc, x, y, nullptr); ::LineTo(dc, x + 50, y + 20); break;
    case 6: {
      RECT r{x, y, x + 20, y + 20};
      ::FillRect(dc, &r, brush);
      break;
    }
    case 7: ::ExtTextOutW(dc, x, y, 0, nullptr, L"Bench", 5, nullptr); break;
  }
}

// Each change makes its handle and frees the one it replaces, as plain GDI code does when it
// does not keep its tools.
void DrawRawTransient(HDC dc) {
  HPEN pen = ::CreatePen(PS_SOLID, 1, ColorToRGB(Colors[0]));
  HBRUSH brush = ::CreateSolidBrush(ColorToRGB(Colors[3]));
  HFONT font = ::CreateFontW(-::MulDiv(8, KwScreenPixelsPerInch(), 72), 0, 0, 0, FW_NORMAL, 0, 0, 0,
                             DEFAULT_CHARSET, 0, 0, 0, 0, L"Tahoma");
  HGDIOBJ oldPen = ::SelectObject(dc, pen);
  HGDIOBJ oldBrush = ::SelectObject(dc, brush);
  HGDIOBJ oldFont = ::SelectObject(dc, font);
  auto swap = [dc](auto& cur, auto made) {
    ::SelectObject(dc, made);
    ::DeleteObject(cur);
    cur = made;
  };
  for (int i = 0; i < Calls; i++) {
    int k = i % 8, x = i % 97, y = i % 89;
    switch (k) {
      case 0: swap(pen, ::CreatePen(PS_SOLID, 1, ColorToRGB(Colors[i / 8 % ColorCount]))); break;
      case 1:
        swap(brush, ::CreateSolidBrush(ColorToRGB(Colors[(i / 8 + 3) % ColorCount])));
        ::SetBkColor(dc, ColorToRGB(Colors[(i / 8 + 3) % ColorCount]));
        break;
      case 2:
        swap(font, ::CreateFontW(-::MulDiv(8 + i / 8 % FontSizes, KwScreenPixelsPerInch(), 72), 0, 0, 0, FW_NORMAL,
                                 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, L"Tahoma"));
        break;
      default: DrawRawShape(dc, k, x, y, brush); break;
    }
  }
  ::SelectObject(dc, oldPen);
  ::SelectObject(dc, oldBrush);
  ::SelectObject(dc, oldFont);
  ::DeleteObject(pen);
  ::DeleteObject(brush);
  ::DeleteObject(font);
}

void DrawRaw(HDC dc, const TRawTools& t) {
  HGDIOBJ oldPen = ::SelectObject(dc, t.Pens[0]);
  HGDIOBJ oldBrush = ::SelectObject(dc, t.Brushes[0]);
  HGDIOBJ oldFont = ::SelectObject(dc, t.Fonts[0]);
  HBRUSH brush = t.Brushes[0];
  for (int i = 0; i < Calls; i++) {
    int k = i % 8, x = i % 97, y = i % 89;
    switch (k) {
      case 0: ::SelectObject(dc, t.Pens[i / 8 % ColorCount]); break;
      case 1:
        brush = t.Brushes[(i / 8 + 3) % ColorCount];
        ::SelectObject(dc, brush);
        ::SetBkColor(dc, ColorToRGB(Colors[(i / 8 + 3) % ColorCount]));
        break;
      case 2: ::SelectObject(dc, t.Fonts[i / 8 % FontSizes]); break;
      default: DrawRawShape(dc, k, x, y, brush); break;
    }
  }
  ::SelectObject(dc, oldPen);
  ::SelectObject(dc, oldBrush);
  ::SelectObject(dc, oldFont);
}

}  // namespace

int wmain() {
  BITMAPINFO bi{};
  bi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  bi.bmiHeader.biWidth = 256;
  bi.bmiHeader.biHeight = -256;
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  HDC dc = KwCreateCompatibleDC(nullptr);
  HBITMAP dib = KwCreateDIBSection(dc, &bi, DIB_RGB_COLORS, &bits);
  HGDIOBJ oldBitmap = ::SelectObject(dc, dib);

  TRawTools tools;
  for (int i = 0; i < ColorCount; i++) {
    tools.Pens[i] = ::CreatePen(PS_SOLID, 1, ColorToRGB(Colors[i]));
    tools.Brushes[i] = ::CreateSolidBrush(ColorToRGB(Colors[i]));
  }
  for (int i = 0; i < FontSizes; i++)
    tools.Fonts[i] = ::CreateFontW(-::MulDiv(8 + i, KwScreenPixelsPerInch(), 72), 0, 0, 0, FW_NORMAL, 0, 0, 0,
                                   DEFAULT_CHARSET, 0, 0, 0, 0, L"Tahoma");

  int gdiBefore = KwGdiTotal();
  double canvasBest = 1e9, rawBest = 1e9, canvasTransientBest = 1e9, rawTransientBest = 1e9;
  for (int round = 0; round < Rounds; round++) {
    auto t0 = std::chrono::steady_clock::now();
    {
      // Tools of every description in use elsewhere, as a skin's controls hold them.
      std::vector<TPen> pens(ColorCount);
      std::vector<TBrush> brushes(ColorCount);
      std::vector<TFont> fonts(FontSizes);
      for (int i = 0; i < ColorCount; i++) {
        pens[i].SetColor(Colors[i]);
        pens[i].Handle();
        brushes[i].SetColor(Colors[i]);
        brushes[i].Handle();
      }
      for (int i = 0; i < FontSizes; i++) {
        fonts[i].SetSize(8 + i);
        fonts[i].Handle();
      }
      t0 = std::chrono::steady_clock::now();
      TCanvas c;
      c.SetHandle(dc);
      DrawCanvas(c);
      c.SetHandle(nullptr);
      ::GdiFlush();
      canvasBest = std::min(canvasBest, Seconds(std::chrono::steady_clock::now() - t0));
    }
    auto t1 = std::chrono::steady_clock::now();
    DrawRaw(dc, tools);
    ::GdiFlush();
    auto t2 = std::chrono::steady_clock::now();
    {
      TCanvas c;
      c.SetHandle(dc);
      DrawCanvas(c);
      ::GdiFlush();
    }
    auto t3 = std::chrono::steady_clock::now();
    DrawRawTransient(dc);
    ::GdiFlush();
    auto t4 = std::chrono::steady_clock::now();
    rawBest = std::min(rawBest, Seconds(t2 - t1));
    canvasTransientBest = std::min(canvasTransientBest, Seconds(t3 - t2));
    rawTransientBest = std::min(rawTransientBest, Seconds(t4 - t3));
  }
  int gdiAfter = KwGdiTotal();

  std::printf("canvas_primitives: %d calls\n", Calls);
  std::printf("canvas_held_tools_time: %.2f ms\n", canvasBest * 1000);
  std::printf("raw_gdi_made_up_front_time: %.2f ms\n", rawBest * 1000);
  std::printf("canvas_over_raw_ratio: %.3f x\n", canvasBest / rawBest);
  std::printf("canvas_transient_tools_time: %.2f ms\n", canvasTransientBest * 1000);
  std::printf("raw_gdi_made_per_change_time: %.2f ms\n", rawTransientBest * 1000);
  std::printf("canvas_over_raw_transient_ratio: %.3f x\n", canvasTransientBest / rawTransientBest);
  std::printf("canvas_gdi_objects_left: %d objects\n", gdiAfter - gdiBefore);

  for (int i = 0; i < ColorCount; i++) {
    ::DeleteObject(tools.Pens[i]);
    ::DeleteObject(tools.Brushes[i]);
  }
  for (HFONT f : tools.Fonts) ::DeleteObject(f);
  ::SelectObject(dc, oldBitmap);
  KwDeleteObject(gkBitmap, dib);
  KwDeleteDC(dc);
  return 0;
}
