// Package benchmark: loading and saving a 1,000-image package of PNG images beside reading the
// same bytes and decoding the PNGs directly; Color() of a checked style set beside a plain field
// read; KwUpdateImages with 10,000 live references after one image changes. Prints
// "name: value unit" lines.
#include <chrono>
#include <cstdio>
#include <memory>
#include <vector>

#include "core/Kwlinks.h"
#include "host/Application.h"
#include "host/Imaging.h"
#include "host/Streams.h"
#include "packages/Kwpkgdisplay.h"
#include "packages/Kwpkgimages.h"

using namespace kw;
using Clock = std::chrono::steady_clock;

namespace {

double Ms(Clock::time_point a, Clock::time_point b) { return std::chrono::duration<double, std::milli>(b - a).count(); }
double Ns(Clock::time_point a, Clock::time_point b) { return std::chrono::duration<double, std::nano>(b - a).count(); }

TKwAppImages GApp;
const TKwAppImages* App() { return &GApp; }
TKwStyleLists GLists;
const TKwStyleLists* Lists() { return &GLists; }

struct TPlain {
  TColor Color = clRed;
};

}  // namespace

int wmain() {
  KwInitMainUnit();
  KwSetAppImagesAccessor(&App);
  KwSetStyleListsAccessor(&Lists);

  // 1,000 small PNGs of different colours.
  std::vector<TBytes> pngs;
  for (int i = 0; i < 1000; ++i) {
    TBitmap bmp(24, 24);
    bmp.Canvas()->Brush()->SetColor(TColor(i * 2654435761u & 0xFFFFFF));
    bmp.Canvas()->FillRect(TRect(0, 0, 24, 24));
    TPngImage png;
    png.Assign(&bmp);
    TBytesStream s;
    png.SaveToStream(s);
    pngs.push_back(s.Bytes());
  }
  TKwPkgImages pkg(nullptr);
  pkg.SetPkgName(L"Bench");
  for (int i = 0; i < 1000; ++i) {
    TBytesStream s(pngs[size_t(i)]);
    pkg.Images()->Add(i)->LoadFromStream(s, TPngImage::StaticClass());
  }
  TBytesStream file;
  auto t0 = Clock::now();
  pkg.SaveToStream(file);
  auto t1 = Clock::now();
  TKwPkgImages loaded(nullptr);
  loaded.LoadFromStream(file);
  auto t2 = Clock::now();
  // The same work without the package: the bytes copied, each PNG decoded once.
  long long pixels = 0;
  auto t3 = Clock::now();
  for (const TBytes& b : pngs) {
    TBytesStream s(b);
    TPngImage png;
    png.LoadFromStream(s);
    pixels += png.Width() * png.Height();
  }
  auto t4 = Clock::now();
  // The same bytes copied into streams of their own, as the package holds them.
  auto t5 = Clock::now();
  std::vector<std::unique_ptr<TMemoryStream>> copies;
  for (const TBytes& b : pngs) {
    copies.push_back(std::make_unique<TMemoryStream>());
    copies.back()->Write(b.data(), Int64(b.size()));
  }
  auto t6 = Clock::now();
  // Decoding every loaded image through the package, as a first paint would.
  auto t7 = Clock::now();
  for (int i = 0; i < loaded.Images()->Count(); ++i) pixels += loaded.Images()->GetItems(i)->NewGraphic()->Width();
  auto t8 = Clock::now();
  std::printf("package_save_1000_png: %.1f ms\n", Ms(t0, t1));
  std::printf("package_load_1000_png: %.2f ms\n", Ms(t1, t2));
  std::printf("copy_same_bytes_directly: %.2f ms\n", Ms(t5, t6));
  std::printf("package_load_over_copy: %.1f x\n", Ms(t1, t2) / std::max(Ms(t5, t6), 0.001));
  std::printf("decode_through_package: %.1f ms\n", Ms(t7, t8));
  std::printf("decode_1000_png_directly: %.1f ms\n", Ms(t3, t4));
  std::printf("package_decode_over_direct: %.2f x\n", Ms(t7, t8) / Ms(t3, t4));
  std::printf("package_file_size: %lld bytes\n", static_cast<long long>(file.Size()));

  // A checked style set beside a plain field read.
  TKwPkgDisplaySetsColor colors(nullptr);
  colors.Add(L"Title")->SetColor(clNavy);
  GLists.Colors = &colors;
  TKwSetColor set(KwSetColText, false);
  set.SetName(L"Title");
  set.Color();
  auto plain = std::make_unique<TPlain>();
  volatile TPlain* p = plain.get();
  const int reads = 10000000;
  long long sum = 0;
  auto c0 = Clock::now();
  for (int i = 0; i < reads; ++i) sum += set.Color();
  auto c1 = Clock::now();
  for (int i = 0; i < reads; ++i) sum += p->Color;
  auto c2 = Clock::now();
  std::printf("set_color_checked: %.2f ns\n", Ns(c0, c1) / reads);
  std::printf("plain_field_read: %.2f ns\n", Ns(c1, c2) / reads);
  std::printf("set_color_over_field: %.1f x\n", Ns(c0, c1) / std::max(Ns(c1, c2), 1.0));

  // 10,000 references, one image changes.
  std::vector<std::unique_ptr<TKwMemoryImage>> refs;
  int told = 0;
  for (int i = 0; i < 10000; ++i) {
    refs.push_back(std::make_unique<TKwMemoryImage>());
    refs.back()->PkgId(L"Bench", i % 1000);
    refs.back()->OnChange = [&told](TObject*) { ++told; };
    refs.back()->Info();
  }
  told = 0;
  TBytesStream again(pngs[0]);
  auto u0 = Clock::now();
  pkg.Images()->FindId(7)->LoadFromStream(again, TPngImage::StaticClass());
  auto u1 = Clock::now();
  std::printf("update_images_10000_refs_one_change: %.3f ms\n", Ms(u0, u1));
  std::printf("references_told: %d count\n", told);
  std::printf("checksum: %lld count\n", (sum + pixels) % 1000);
  refs.clear();
  GLists = {};
  KwSetStyleListsAccessor(nullptr);
  KwSetAppImagesAccessor(nullptr);
  KwDoneApplication();
  return 0;
}
