// The clipboard object against the system clipboard: text, raw buffers of registered
// formats, several formats in one opening, counted opens, and failure while another
// thread holds the clipboard.
#include <gtest/gtest.h>

#include <algorithm>
#include <thread>

#include "host/Clipboard.h"
#include "host/Win.h"

using namespace kw;

namespace {

std::vector<unsigned> AllFormats(TClipboard& cb) {
  std::vector<unsigned> formats;
  int n = cb.FormatCount();
  for (int i = 0; i < n; ++i) formats.push_back(cb.Formats(i));
  return formats;
}

bool Has(const std::vector<unsigned>& v, unsigned f) { return std::find(v.begin(), v.end(), f) != v.end(); }

}  // namespace

TEST(ClipboardText, RoundTripsUnicodeAndReplacesEarlierData) {
  TClipboard cb;
  String text = L"Zeile 1\r\ncaf\u00e9 \U0001F600";
  cb.SetAsText(text);
  EXPECT_TRUE(cb.HasFormat(CF_UNICODETEXT));
  EXPECT_EQ(cb.AsText(), text);
  cb.SetAsText(L"second");
  EXPECT_EQ(cb.AsText(), L"second");
  cb.Clear();
  EXPECT_FALSE(cb.HasFormat(CF_UNICODETEXT));
  EXPECT_EQ(cb.AsText(), L"");
  EXPECT_EQ(cb.FormatCount(), 0);
  EXPECT_EQ(cb.OpenCount(), 0);
}

TEST(ClipboardText, StopsAtTheFirstNull) {
  TClipboard cb;
  const wchar_t raw[] = L"ab\0cd";
  cb.SetBuffer(CF_UNICODETEXT, raw, sizeof(raw));
  EXPECT_EQ(cb.AsText(), L"ab");
}

TEST(ClipboardFormats, RegisteredFormatsCarryBuffersBesideText) {
  unsigned fmt = KwRegisterClipboardFormat(L"KwSuite.Test.Format");
  ASSERT_GE(fmt, 0xC000u);
  EXPECT_EQ(KwRegisterClipboardFormat(L"kwsuite.test.format"), fmt);  // names match without case
  EXPECT_NE(KwRegisterClipboardFormat(L"KwSuite.Test.Other"), fmt);

  TClipboard cb;
  TBytes data(1000);
  for (size_t i = 0; i < data.size(); ++i) data[i] = Byte(i * 7);
  cb.Open();
  EXPECT_NE(cb.Handle(), nullptr);
  cb.SetBuffer(fmt, data.data(), data.size());
  cb.SetAsText(L"with text");
  EXPECT_EQ(cb.OpenCount(), 1);
  cb.Close();
  EXPECT_EQ(cb.Handle(), nullptr);

  EXPECT_TRUE(cb.HasFormat(fmt));
  EXPECT_TRUE(cb.HasFormat(CF_UNICODETEXT));
  TBytes back = cb.GetBuffer(fmt);
  ASSERT_GE(back.size(), data.size());
  EXPECT_TRUE(std::equal(data.begin(), data.end(), back.begin()));
  EXPECT_EQ(cb.AsText(), L"with text");
  auto formats = AllFormats(cb);
  EXPECT_TRUE(Has(formats, fmt));
  EXPECT_TRUE(Has(formats, CF_UNICODETEXT));
  EXPECT_EQ(cb.Formats(int(formats.size()) + 5), 0u);
  EXPECT_EQ(cb.Formats(-1), 0u);

  // Outside an explicit opening each call empties the clipboard first.
  cb.SetAsText(L"alone");
  EXPECT_FALSE(cb.HasFormat(fmt));
  EXPECT_TRUE(cb.GetBuffer(fmt).empty());
}

TEST(ClipboardFormats, HandlesPassOwnership) {
  unsigned fmt = KwRegisterClipboardFormat(L"KwSuite.Test.Handle");
  HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, 4);
  ASSERT_NE(block, nullptr);
  auto* p = static_cast<Byte*>(GlobalLock(block));
  p[0] = 9; p[1] = 8; p[2] = 7; p[3] = 6;
  GlobalUnlock(block);
  TClipboard cb;
  cb.SetAsHandle(fmt, block);
  void* h = cb.GetAsHandle(fmt);
  ASSERT_NE(h, nullptr);
  TBytes back = cb.GetBuffer(fmt);
  ASSERT_GE(back.size(), 4u);
  EXPECT_EQ(back[0], 9);
  EXPECT_EQ(back[3], 6);
  EXPECT_EQ(cb.GetAsHandle(KwRegisterClipboardFormat(L"KwSuite.Test.Absent")), nullptr);
}

TEST(ClipboardOpen, NestedOpensCloseOnceAndExtraClosesAreHarmless) {
  TClipboard cb;
  cb.Open();
  cb.Open();
  EXPECT_EQ(cb.OpenCount(), 2);
  void* owner = cb.Handle();
  cb.SetAsText(L"inside");  // opens and closes around itself without closing the clipboard
  EXPECT_EQ(cb.OpenCount(), 2);
  EXPECT_EQ(cb.Handle(), owner);
  EXPECT_EQ(GetOpenClipboardWindow(), static_cast<HWND>(owner));
  cb.Close();
  EXPECT_EQ(GetOpenClipboardWindow(), static_cast<HWND>(owner));
  cb.Close();
  EXPECT_EQ(cb.OpenCount(), 0);
  EXPECT_EQ(GetOpenClipboardWindow(), nullptr);
  cb.Close();
  EXPECT_EQ(cb.OpenCount(), 0);
  EXPECT_EQ(cb.AsText(), L"inside");
}

TEST(ClipboardOpen, FailsWhileAnotherThreadHoldsIt) {
  HANDLE opened = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  HANDLE release = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  bool heldOpen = false;
  std::thread holder([&] {
    heldOpen = OpenClipboard(nullptr) != 0;
    SetEvent(opened);
    WaitForSingleObject(release, 10000);
    if (heldOpen) CloseClipboard();
  });
  WaitForSingleObject(opened, 10000);
  TClipboard cb;
  String message;
  try {
    cb.Open();
  } catch (const Exception& e) {
    message = e.Message();
  }
  SetEvent(release);
  holder.join();
  CloseHandle(opened);
  CloseHandle(release);
  ASSERT_TRUE(heldOpen);
  EXPECT_EQ(message, L"Cannot open clipboard");
  EXPECT_EQ(cb.OpenCount(), 0);
  EXPECT_EQ(cb.Handle(), nullptr);
  cb.Open();  // free again
  EXPECT_EQ(cb.OpenCount(), 1);
  cb.Close();
}

TEST(ClipboardGlobal, CreatedOnceAndSwappable) {
  TClipboard* first = Clipboard();
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(Clipboard(), first);
  auto* mine = new TClipboard();
  EXPECT_EQ(SetClipboard(mine), first);
  EXPECT_EQ(Clipboard(), mine);
  EXPECT_EQ(SetClipboard(first), mine);
  delete mine;
  EXPECT_EQ(Clipboard(), first);
  EXPECT_TRUE(Clipboard()->InheritsFrom(TPersistent::StaticClass()));
}
