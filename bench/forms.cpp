// Form benchmark: create, show, paint and free a form of 500 controls (labels, buttons, edits
// and check boxes on five panels); prints times, memory, and window and GDI objects per control.
#include <chrono>
#include <cstdio>

#include "host/Application.h"
#include "host/Bitmap.h"
#include "host/ExtCtrls.h"
#include "host/Forms.h"
#include "host/Graphics.h"
#include "host/StdCtrls.h"
#include "host/Win.h"

#define PSAPI_VERSION 2
#include <psapi.h>

using namespace kw;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int kPanels = 5;
constexpr int kPerPanel = 100;
constexpr int kControls = kPanels * kPerPanel;

double Ms(Clock::time_point a, Clock::time_point b) {
  return std::chrono::duration<double, std::milli>(b - a).count();
}

size_t PrivateBytes() {
  // The heap's committed bytes: what the controls and their windows' client-side data take.
  PROCESS_MEMORY_COUNTERS_EX pmc{};
  pmc.cb = sizeof(pmc);
  K32GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&pmc), sizeof(pmc));
  return pmc.PrivateUsage ? pmc.PrivateUsage : pmc.PagefileUsage ? pmc.PagefileUsage : pmc.WorkingSetSize;
}

int CountWindows() {
  int count = 0;
  EnumThreadWindows(
      GetCurrentThreadId(),
      [](HWND w, LPARAM lp) -> BOOL {
        auto* n = reinterpret_cast<int*>(lp);
        ++*n;
        EnumChildWindows(
            w, [](HWND, LPARAM p) -> BOOL { return ++*reinterpret_cast<int*>(p), TRUE; }, lp);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&count));
  return count;
}

TForm* Build() {
  TForm* form = new TForm(nullptr);
  form->AfterConstruction();
  form->SetBounds(0, 0, 1000, 700);
  for (int p = 0; p < kPanels; ++p) {
    auto* panel = new TPanel(form);
    panel->SetParent(form);
    panel->SetBounds(p * 200, 0, 200, 700);
    for (int i = 0; i < kPerPanel; ++i) {
      int row = i / 4, col = i % 4;
      TControl* c = nullptr;
      switch (col) {
        case 0: c = new TLabel(form); break;
        case 1: c = new TButton(form); break;
        case 2: c = new TEdit(form); break;
        default: c = new TCheckBox(form); break;
      }
      c->SetParent(panel);
      c->SetBounds(2 + col * 49, 2 + row * 27, 47, 24);
      c->SetText(L"C" + std::to_wstring(p * kPerPanel + i));
    }
  }
  return form;
}

void PumpAll() { Application()->ProcessMessages(); }

// The same windows made straight through the platform, for the ratio: what the host adds.
double RawWindows() {
  auto t0 = Clock::now();
  HWND top = CreateWindowExW(0, L"STATIC", L"raw", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, 0, 0, 1000, 700,
                             nullptr, nullptr, nullptr, nullptr);
  HFONT font = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
  for (int p = 0; p < kPanels; ++p) {
    HWND panel = CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, p * 200, 0, 200, 700,
                                 top, nullptr, nullptr, nullptr);
    for (int i = 0; i < kPerPanel; ++i) {
      int row = i / 4, col = i % 4;
      if (col == 0) continue;  // labels have no window
      const wchar_t* cls = col == 2 ? L"EDIT" : L"BUTTON";
      DWORD style = WS_CHILD | WS_VISIBLE | WS_TABSTOP | (col == 3 ? BS_AUTOCHECKBOX : 0);
      HWND w = CreateWindowExW(col == 2 ? WS_EX_CLIENTEDGE : 0, cls, L"C", style, 2 + col * 49, 2 + row * 27, 47,
                               24, panel, nullptr, nullptr, nullptr);
      SendMessageW(w, WM_SETFONT, reinterpret_cast<WPARAM>(font), 0);
    }
  }
  ShowWindow(top, SW_SHOW);
  UpdateWindow(top);
  PumpAll();
  DestroyWindow(top);
  PumpAll();
  return Ms(t0, Clock::now());
}

}  // namespace

int wmain() {
  Application()->OnException = [](TObject*, const Exception& e) {
    std::fwprintf(stderr, L"bench_forms: %ls\n", e.Message().c_str());
  };
  // One warm-up round loads the window classes, fonts and code pages.
  {
    TForm* f = Build();
    f->Show();
    PumpAll();
    delete f;
    PumpAll();
  }
  constexpr int rounds = 3;
  double create = 0, show = 0, paint = 0, paintTo = 0, destroy = 0;
  long long memory = 0;
  int windows = 0, gdiOwn = 0, gdiProcess = 0, userProcess = 0;
  for (int r = 0; r < rounds; ++r) {
    int windows0 = CountWindows();
    int gdi0 = KwGdiTotal();
    int gdiP0 = int(GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS));
    int user0 = int(GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS));
    size_t mem0 = PrivateBytes();
    auto t0 = Clock::now();
    TForm* form = Build();
    auto t1 = Clock::now();
    form->Show();
    PumpAll();
    auto t2 = Clock::now();
    form->Repaint();
    PumpAll();
    auto t3 = Clock::now();
    {
      TBitmap bmp;
      bmp.SetSize(form->ClientWidth(), form->ClientHeight());
      form->PaintTo(bmp.Canvas(), 0, 0);
    }
    auto t4 = Clock::now();
    memory += (long long)PrivateBytes() - (long long)mem0;
    windows += CountWindows() - windows0;
    gdiOwn += KwGdiTotal() - gdi0;
    gdiProcess += int(GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS)) - gdiP0;
    userProcess += int(GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS)) - user0;
    auto t5 = Clock::now();
    delete form;
    PumpAll();
    auto t6 = Clock::now();
    create += Ms(t0, t1);
    show += Ms(t1, t2);
    paint += Ms(t2, t3);
    paintTo += Ms(t3, t4);
    destroy += Ms(t5, t6);
    if (KwGdiTotal() != gdi0) std::printf("leak_gdi_objects: %d count\n", KwGdiTotal() - gdi0);
    if (CountWindows() != windows0) std::printf("leak_windows: %d count\n", CountWindows() - windows0);
  }
  double raw = 0;
  for (int r = 0; r < rounds; ++r) raw += RawWindows();
  raw /= rounds;
  double ours = (create + show + destroy) / rounds;
  std::printf("controls: %d count\n", kControls);
  std::printf("raw_platform_windows_make_show_free: %.1f ms\n", raw);
  std::printf("host_make_show_free: %.1f ms\n", ours);
  std::printf("host_to_raw_ratio: %.2f ratio\n", ours / raw);
  std::printf("create: %.1f ms\n", create / rounds);
  std::printf("show: %.1f ms\n", show / rounds);
  std::printf("repaint: %.1f ms\n", paint / rounds);
  std::printf("paint_to_bitmap: %.1f ms\n", paintTo / rounds);
  std::printf("free: %.1f ms\n", destroy / rounds);
  std::printf("total_per_control: %.3f ms\n", (create + show + paint + destroy) / rounds / kControls);
  std::printf("memory_per_control: %.0f bytes\n", double(memory) / rounds / kControls);
  std::printf("windows_per_control: %.2f count\n", double(windows) / rounds / kControls);
  std::printf("own_gdi_objects_per_control: %.3f count\n", double(gdiOwn) / rounds / kControls);
  std::printf("process_gdi_objects_per_control: %.3f count\n", double(gdiProcess) / rounds / kControls);
  std::printf("process_user_objects_per_control: %.3f count\n", double(userProcess) / rounds / kControls);
  KwDoneApplication();
  return 0;
}
