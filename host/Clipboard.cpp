// TClipboard over the user32 clipboard calls and movable global memory, its private owner
// window class, and the process-wide clipboard object; pictures through their graphics'
// clipboard formats.
#include "host/Clipboard.h"

#include <cstring>

#include "host/Picture.h"
#include "host/Typreg.h"
#include "host/Win.h"

namespace kw {

KW_REGISTER_CLASS(TClipboard, TPersistent)

namespace {

const wchar_t* const OwnerClassName = L"KwClipboardOwner";

HWND CreateOwnerWindow() {
  static const bool registered = [] {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = OwnerClassName;
    return RegisterClassExW(&wc) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
  }();
  if (!registered) return nullptr;
  // A message-only window: never shown, never enumerated, but able to own the clipboard.
  return CreateWindowExW(0, OwnerClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, GetModuleHandleW(nullptr),
                         nullptr);
}

// Another process may hold the clipboard for a moment; a few short retries spare callers
// spurious failures.
bool OpenWithRetry(HWND owner) {
  for (int attempt = 0; attempt < 5; ++attempt) {
    if (OpenClipboard(owner)) return true;
    Sleep(10);
  }
  return false;
}

struct TClipboardHolder {
  TClipboard* Object = nullptr;
  ~TClipboardHolder() { FreeAndNil(Object); }
};

TClipboardHolder& Holder() {
  static TClipboardHolder holder;
  return holder;
}

}  // namespace

unsigned KwRegisterClipboardFormat(const String& name) { return RegisterClipboardFormatW(name.c_str()); }

TClipboard::~TClipboard() {
  if (FOpenRefCount > 0) {
    FOpenRefCount = 1;
    Close();
  }
}

void TClipboard::Open() {
  if (FOpenRefCount == 0) {
    HWND owner = CreateOwnerWindow();
    if (!owner || !OpenWithRetry(owner)) {
      if (owner) DestroyWindow(owner);
      throw Exception(SRes::SCannotOpenClipboard);
    }
    FWindow = owner;
    FEmptied = false;
  }
  ++FOpenRefCount;
}

void TClipboard::Close() {
  if (FOpenRefCount == 0) return;
  if (--FOpenRefCount > 0) return;
  CloseClipboard();
  DestroyWindow(static_cast<HWND>(FWindow));
  FWindow = nullptr;
}

void TClipboard::Adding() {
  if (FOpenRefCount != 0 && !FEmptied) {
    EmptyClipboard();
    FEmptied = true;
  }
}

void TClipboard::Clear() {
  Open();
  EmptyClipboard();
  FEmptied = true;
  Close();
}

bool TClipboard::HasFormat(unsigned format) const { return IsClipboardFormatAvailable(format) != 0; }

String TClipboard::AsText() {
  Open();
  String result;
  if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
    if (auto* p = static_cast<const wchar_t*>(GlobalLock(data))) {
      result.assign(p, wcsnlen(p, GlobalSize(data) / sizeof(wchar_t)));
      GlobalUnlock(data);
    }
  }
  Close();
  return result;
}

void TClipboard::SetAsText(const String& value) {
  SetBuffer(CF_UNICODETEXT, value.c_str(), (value.size() + 1) * sizeof(wchar_t));
}

void TClipboard::SetBuffer(unsigned format, const void* data, std::size_t size) {
  Open();
  try {
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, size);
    if (!block) throw EOutOfMemory(SRes::SOutOfMemory);
    void* p = GlobalLock(block);
    if (!p) {
      GlobalFree(block);
      throw EOutOfMemory(SRes::SOutOfMemory);
    }
    if (size) std::memcpy(p, data, size);
    GlobalUnlock(block);
    Adding();
    // The clipboard owns the block only when SetClipboardData succeeds.
    if (!SetClipboardData(format, block)) {
      DWORD code = GetLastError();
      GlobalFree(block);
      RaiseLastOSError(code);
    }
  } catch (...) {
    Close();
    throw;
  }
  Close();
}

TBytes TClipboard::GetBuffer(unsigned format) {
  Open();
  TBytes result;
  if (HANDLE data = GetClipboardData(format)) {
    SIZE_T size = GlobalSize(data);
    if (const void* p = size ? GlobalLock(data) : nullptr) {
      result.assign(static_cast<const Byte*>(p), static_cast<const Byte*>(p) + size);
      GlobalUnlock(data);
    }
  }
  Close();
  return result;
}

void* TClipboard::GetAsHandle(unsigned format) {
  Open();
  void* result = GetClipboardData(format);
  Close();
  return result;
}

void TClipboard::SetAsHandle(unsigned format, void* handle) {
  Open();
  Adding();
  bool ok = SetClipboardData(format, handle) != nullptr;
  DWORD code = GetLastError();
  Close();
  if (!ok) RaiseLastOSError(code);
}

int TClipboard::FormatCount() {
  Open();
  int count = 0;
  for (UINT f = EnumClipboardFormats(0); f != 0; f = EnumClipboardFormats(f)) ++count;
  Close();
  return count;
}

unsigned TClipboard::Formats(int index) {
  Open();
  UINT f = index >= 0 ? EnumClipboardFormats(0) : 0;
  while (f != 0 && index-- > 0) f = EnumClipboardFormats(f);
  Close();
  return f;
}

void TClipboard::Assign(const TPersistent* source) {
  auto* picture = dynamic_cast<const TPicture*>(source);
  TGraphic* graphic = picture ? picture->Graphic() : const_cast<TGraphic*>(dynamic_cast<const TGraphic*>(source));
  if (!graphic) {
    TPersistent::Assign(source);
    return;
  }
  Word format = 0;
  void* data = nullptr;
  HPALETTE__* palette = nullptr;
  graphic->SaveToClipboardFormat(format, data, palette);
  Open();
  try {
    try {
      SetAsHandle(format, data);
    } catch (...) {
      // Still ours when the clipboard refused it.
      if (format == CF_ENHMETAFILE) DeleteEnhMetaFile(static_cast<HENHMETAFILE>(data));
      else if (format == CF_BITMAP) DeleteObject(static_cast<HGDIOBJ>(data));
      else GlobalFree(data);
      if (palette) DeleteObject(palette);
      throw;
    }
    if (palette) SetAsHandle(CF_PALETTE, palette);
  } catch (...) {
    Close();
    throw;
  }
  Close();
}

void TClipboard::AssignTo(TPersistent* dest) const {
  auto* self = const_cast<TClipboard*>(this);
  auto* picture = dynamic_cast<TPicture*>(dest);
  auto* graphic = dynamic_cast<TGraphic*>(dest);
  if (!picture && !graphic) {
    TPersistent::AssignTo(dest);
    return;
  }
  self->Open();
  try {
    for (UINT f = EnumClipboardFormats(0); f != 0; f = EnumClipboardFormats(f)) {
      TGraphicClass cls = TPicture::ClipboardFormatClass(Word(f));
      if (!cls || (graphic && !graphic->InheritsFrom(cls))) continue;
      void* data = GetClipboardData(f);
      if (!data) continue;
      auto* palette = static_cast<HPALETTE__*>(IsClipboardFormatAvailable(CF_PALETTE) ? GetClipboardData(CF_PALETTE) : nullptr);
      if (picture) picture->LoadFromClipboardFormat(Word(f), data, palette);
      else graphic->LoadFromClipboardFormat(Word(f), data, palette);
      self->Close();
      return;
    }
  } catch (...) {
    self->Close();
    throw;
  }
  self->Close();
  TPersistent::AssignTo(dest);
}

TClipboard* Clipboard() {
  TClipboardHolder& h = Holder();
  if (!h.Object) h.Object = new TClipboard();
  return h.Object;
}

TClipboard* SetClipboard(TClipboard* clipboard) {
  TClipboardHolder& h = Holder();
  TClipboard* old = h.Object;
  h.Object = clipboard;
  return old;
}

}  // namespace kw
