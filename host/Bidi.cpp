// Right-to-left controls: the BiDi mode and its inheritance, the text flags and window styles
// it gives, mirroring children; and the input method state a window control asks for on focus
// (imm32 is loaded when first needed). The controls that use the flags apply them themselves.
#include <unordered_map>

#include "host/StdCtrls.h"
#include "host/Typreg.h"
#include "host/Win.h"

namespace kw {

KW_DEFINE_ENUM(TBiDiMode, L"bdLeftToRight", L"bdRightToLeft", L"bdRightToLeftNoAlign", L"bdRightToLeftReadingOnly")
KW_DEFINE_ENUM(TImeMode, L"imDisable", L"imClose", L"imOpen", L"imDontCare", L"imSAlpha", L"imAlpha", L"imHira",
               L"imSKata", L"imKata", L"imChinese", L"imSHanguel", L"imHanguel")

namespace {

// Set while a window control rebuilds its window for a new mode: its children's windows are
// rebuilt with it, so they only take the new mode.
thread_local int GBiDiRebuilding = 0;

}  // namespace

void ChangeBiDiModeAlignment(TAlignment& alignment) {
  if (alignment == taLeftJustify) alignment = taRightJustify;
  else if (alignment == taRightJustify) alignment = taLeftJustify;
}

void TControl::SetBiDiMode(TBiDiMode v) {
  FParentBiDiMode = false;
  if (v == FBiDiMode) return;
  FBiDiMode = v;
  Perform(CM_BIDIMODECHANGED, 0, 0);
}

void TControl::SetParentBiDiMode(bool v) {
  if (v == FParentBiDiMode) return;
  FParentBiDiMode = v;
  if (v && FParent && !FComponentState.Contains(csReading)) Perform(CM_PARENTBIDIMODECHANGED, 0, 0);
}

bool TControl::UseRightToLeftAlignment() const { return FBiDiMode == bdRightToLeft; }
bool TControl::UseRightToLeftReading() const { return FBiDiMode != bdLeftToRight; }
bool TControl::UseRightToLeftScrollBar() const {
  return FBiDiMode == bdRightToLeft || FBiDiMode == bdRightToLeftNoAlign;
}

unsigned TControl::DrawTextBiDiModeFlags(unsigned flags) const {
  if (UseRightToLeftAlignment()) {
    // DT_LEFT is zero: a text without DT_RIGHT or DT_CENTER is a left one.
    if (flags & DT_RIGHT) flags &= ~unsigned(DT_RIGHT);
    else if (!(flags & DT_CENTER)) flags |= DT_RIGHT;
  }
  return flags | DrawTextBiDiModeFlagsReadingOnly();
}

unsigned TControl::DrawTextBiDiModeFlagsReadingOnly() const { return UseRightToLeftReading() ? DT_RTLREADING : 0; }

void TControl::BiDiMessage(TMessage& m) {
  if (m.Msg == CM_PARENTBIDIMODECHANGED) {
    if (FParentBiDiMode && FParent && FBiDiMode != FParent->FBiDiMode) {
      FBiDiMode = FParent->FBiDiMode;
      Perform(CM_BIDIMODECHANGED, 0, 0);
    }
    return;
  }
  auto* w = dynamic_cast<TWinControl*>(this);
  if (!w) {
    Invalidate();
    return;
  }
  // The window's reading order and scroll bar side are creation styles.
  bool rebuild = w->HandleAllocated() && GBiDiRebuilding == 0;
  ++GBiDiRebuilding;
  try {
    w->NotifyControls(CM_PARENTBIDIMODECHANGED);
  } catch (...) {
    --GBiDiRebuilding;
    throw;
  }
  --GBiDiRebuilding;
  if (rebuild) w->RecreateWnd();
}

void TWinControl::AddBiDiModeExStyle(Cardinal& exStyle) const {
  if (UseRightToLeftReading()) exStyle |= WS_EX_RTLREADING;
  if (UseRightToLeftScrollBar()) exStyle |= WS_EX_LEFTSCROLLBAR;
}

void TWinControl::FlipChildren(bool allLevels) {
  if (ControlCount() == 0) return;
  int width = ClientWidth();
  std::vector<TControl*> all(FControls.begin(), FControls.end());
  all.insert(all.end(), FWinControls.begin(), FWinControls.end());
  DisableAlign();
  try {
    for (TControl* c : all) {
      if (c->FAlign == alLeft) c->SetAlign(alRight);
      else if (c->FAlign == alRight) c->SetAlign(alLeft);
      TAnchors a = c->FAnchors;
      if (a.Contains(akLeft) != a.Contains(akRight)) {
        if (a.Contains(akLeft)) a.Exclude(akLeft).Include(akRight);
        else a.Exclude(akRight).Include(akLeft);
        c->SetAnchors(a);
      }
      c->SetBounds(width - c->FLeft - c->FWidth, c->FTop, c->FWidth, c->FHeight);
    }
    if (allLevels) {
      for (TControl* c : all) {
        if (auto* w = dynamic_cast<TWinControl*>(c)) w->FlipChildren(true);
      }
    }
  } catch (...) {
    EnableAlign();
    throw;
  }
  EnableAlign();
}

// --- input method ------------------------------------------------------------------------------

namespace {

// imm32 is not linked: the functions are looked up once, and a system without it has no IME.
struct TImm {
  using GetContextFn = void*(WINAPI*)(HWND);
  using ReleaseContextFn = BOOL(WINAPI*)(HWND, void*);
  using SetOpenStatusFn = BOOL(WINAPI*)(void*, BOOL);
  using GetConversionFn = BOOL(WINAPI*)(void*, DWORD*, DWORD*);
  using SetConversionFn = BOOL(WINAPI*)(void*, DWORD, DWORD);
  using AssociateFn = void*(WINAPI*)(HWND, void*);
  using IsImeFn = BOOL(WINAPI*)(HKL);
  using DescriptionFn = UINT(WINAPI*)(HKL, wchar_t*, UINT);
  GetContextFn GetContext = nullptr;
  ReleaseContextFn ReleaseContext = nullptr;
  SetOpenStatusFn SetOpenStatus = nullptr;
  GetConversionFn GetConversion = nullptr;
  SetConversionFn SetConversion = nullptr;
  AssociateFn Associate = nullptr;
  IsImeFn IsIme = nullptr;
  DescriptionFn Description = nullptr;
  bool Loaded = false;

  TImm() {
    HMODULE lib = LoadLibraryW(L"imm32.dll");
    if (!lib) return;
    auto get = [lib](auto& fn, const char* name) {
      fn = reinterpret_cast<std::remove_reference_t<decltype(fn)>>(reinterpret_cast<void*>(GetProcAddress(lib, name)));
      return fn != nullptr;
    };
    Loaded = get(GetContext, "ImmGetContext") && get(ReleaseContext, "ImmReleaseContext") &&
             get(SetOpenStatus, "ImmSetOpenStatus") && get(GetConversion, "ImmGetConversionStatus") &&
             get(SetConversion, "ImmSetConversionStatus") && get(Associate, "ImmAssociateContext") &&
             get(IsIme, "ImmIsIME") && get(Description, "ImmGetDescriptionW");
  }
};

TImm& Imm() {
  static TImm imm;
  return imm;
}

// The input contexts taken from windows with imDisable, given back when they ask for one.
std::unordered_map<HWND, void*>& DetachedContexts() {
  static std::unordered_map<HWND, void*> map;
  return map;
}

constexpr DWORD CModeNative = 0x1, CModeKatakana = 0x2, CModeFullShape = 0x8;

}  // namespace

bool TWinControl::SetIme() {
  TImm& imm = Imm();
  if (!imm.Loaded || !FHandle) return false;
  if (!FImeName.empty()) {
    HKL layouts[64];
    int n = GetKeyboardLayoutList(64, layouts);
    for (int i = 0; i < n; ++i) {
      wchar_t name[256] = {};
      if (imm.IsIme(layouts[i]) && imm.Description(layouts[i], name, 255) && FImeName == name) {
        ActivateKeyboardLayout(layouts[i], 0);
        break;
      }
    }
  }
  auto& detached = DetachedContexts();
  if (FImeMode == imDisable) {
    void* old = imm.Associate(FHandle, nullptr);
    if (old) detached[FHandle] = old;
    return true;
  }
  auto it = detached.find(FHandle);
  if (it != detached.end()) {
    imm.Associate(FHandle, it->second);
    detached.erase(it);
  }
  if (FImeMode == imDontCare) return true;
  void* ctx = imm.GetContext(FHandle);
  if (!ctx) return false;
  if (FImeMode == imClose) {
    imm.SetOpenStatus(ctx, FALSE);
  } else {
    imm.SetOpenStatus(ctx, TRUE);
    DWORD conversion = 0, sentence = 0;
    imm.GetConversion(ctx, &conversion, &sentence);
    DWORD mode = conversion;
    switch (FImeMode) {
      case imSAlpha: mode = 0; break;
      case imAlpha: mode = CModeFullShape; break;
      case imHira: mode = CModeNative | CModeFullShape; break;
      case imSKata: mode = CModeNative | CModeKatakana; break;
      case imKata: mode = CModeNative | CModeKatakana | CModeFullShape; break;
      case imChinese: mode = CModeNative | CModeFullShape; break;
      case imSHanguel: mode = CModeNative; break;
      case imHanguel: mode = CModeNative | CModeFullShape; break;
      default: break;
    }
    if (mode != conversion) imm.SetConversion(ctx, mode, sentence);
  }
  imm.ReleaseContext(FHandle, ctx);
  return true;
}

}  // namespace kw
