// Times 10,000 calls each of a vertical gradient, a gradient round rectangle and a hatched star
// against one FillRect of the same 200 x 30 rectangle, in one run on one bitmap. Prints
// "name: value unit" lines, the best of several rounds for each.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>

#include "host/Bitmap.h"
#include "skin/Kwdrawutil.h"

using namespace kw;

namespace {

constexpr int Calls = 10000;
constexpr int Rounds = 3;

double BestMicros(const std::function<void()>& call) {
  double best = 1e300;
  for (int round = 0; round < Rounds; round++) {
    auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < Calls; i++) call();
    double us = std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start).count() / Calls;
    best = std::min(best, us);
  }
  return best;
}

}  // namespace

int wmain() {
  TBitmap bmp(220, 50);
  bmp.SetPixelFormat(pf32bit);
  TCanvas* c = bmp.Canvas();
  const TRect r(10, 10, 210, 40);
  double fill = BestMicros([&] {
    c->Brush()->SetColor(clTeal);
    c->FillRect(r);
  });
  double gradient = BestMicros(
      [&] { KwDrawGradient(c, r, bgsDown, clWhite, clNavy, clSilver, nullptr, false, 0); });
  double roundRect = BestMicros([&] {
    KwDrawGradientShape(c, r, bgsDown, clWhite, clNavy, clSilver, shaRoundRect, false, sorDefault, nullptr, false, 2,
                        pesSolid, false, 0);
  });
  double star = BestMicros([&] {
    KwDrawSolidShape(c, r, dssSolid, shaStar, false, sorDefault, brsDiagCross, clRed, pesSolid, clMaroon, 1);
  });
  std::printf("fillrect: %.2f us/call\n", fill);
  std::printf("gradient_vertical: %.2f us/call\n", gradient);
  std::printf("gradient_roundrect: %.2f us/call\n", roundRect);
  std::printf("solid_star_hatched: %.2f us/call\n", star);
  std::printf("gradient_vertical_ratio: %.1f x fillrect\n", gradient / fill);
  std::printf("gradient_roundrect_ratio: %.1f x fillrect\n", roundRect / fill);
  std::printf("solid_star_hatched_ratio: %.1f x fillrect\n", star / fill);
  return 0;
}
