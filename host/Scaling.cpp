// Scaling of controls by a ratio: bounds, constraints and fonts through the control tree, the
// scroll ranges of scrolling containers, forms scaled after loading and on a change of the
// monitor's DPI. The screen's own resolution comes from Graphics.cpp.
#include "host/Forms.h"
#include "host/Win.h"

namespace kw {

namespace {

constexpr TScalingFlags AllScalingFlags{sfLeft, sfTop, sfWidth, sfHeight, sfFont};

int Scale(int v, int m, int d) { return MulDiv(v, m, d); }

}  // namespace

void TControl::ChangeScale(int m, int d) {
  if (m == d || d == 0) return;
  TScalingFlags flags = FComponentState.Contains(csLoading) ? FScalingFlags : AllScalingFlags;
  FScalingFlags = {};
  if (flags.Empty()) return;
  ScaleConstraintsAndFont(m, d, flags);
  ScaleBounds(m, d, flags);
}

void TControl::ScaleConstraintsAndFont(int m, int d, TScalingFlags flags) {
  if (flags.Contains(sfWidth) || flags.Contains(sfHeight)) {
    TSizeConstraints* c = FConstraints.get();
    // Set together, so that no half-scaled pair clamps the control in between.
    TSizeConstraints scaled;
    scaled.SetMaxWidth(Scale(c->MaxWidth(), m, d));
    scaled.SetMinWidth(Scale(c->MinWidth(), m, d));
    scaled.SetMaxHeight(Scale(c->MaxHeight(), m, d));
    scaled.SetMinHeight(Scale(c->MinHeight(), m, d));
    if (c->MinWidth() || c->MaxWidth() || c->MinHeight() || c->MaxHeight()) {
      auto saved = c->OnChange;
      c->OnChange = nullptr;
      c->Assign(&scaled);
      c->OnChange = saved;
    }
  }
  // A font that follows the parent changes when the parent's does.
  if (flags.Contains(sfFont) && !FParentFont) FFont->SetSize(Scale(FFont->Size(), m, d));
}

void TControl::ScaleBounds(int m, int d, TScalingFlags flags) {
  // Sides are scaled, not sizes, so that controls touching before touch after.
  int left = flags.Contains(sfLeft) ? Scale(FLeft, m, d) : FLeft;
  int top = flags.Contains(sfTop) ? Scale(FTop, m, d) : FTop;
  int width = flags.Contains(sfWidth) ? Scale(FLeft + FWidth, m, d) - Scale(FLeft, m, d) : FWidth;
  int height = flags.Contains(sfHeight) ? Scale(FTop + FHeight, m, d) - Scale(FTop, m, d) : FHeight;
  SetBounds(left, top, width, height);
}

void TWinControl::ChangeScale(int m, int d) {
  if (m == d || d == 0) return;
  DisableAlign();
  try {
    // The container first: children then take their anchors from its new client size.
    TControl::ChangeScale(m, d);
    std::vector<TControl*> all(FControls.begin(), FControls.end());
    all.insert(all.end(), FWinControls.begin(), FWinControls.end());
    for (TControl* c : all) c->ChangeScale(m, d);
  } catch (...) {
    EnableAlign();
    throw;
  }
  EnableAlign();
}

void TScrollingWinControl::ChangeScale(int m, int d) {
  if (m == d || d == 0) return;
  // While loading, a container that read nothing of its own this time was scaled before.
  if (!FComponentState.Contains(csLoading) || !FScalingFlags.Empty()) {
    for (TControlScrollBar* bar : {FHorzScrollBar.get(), FVertScrollBar.get()}) {
      bar->FIncrement = std::max(1, Scale(bar->FIncrement, m, d));
      bar->FMargin = Scale(bar->FMargin, m, d);
      if (bar->FUserRange) bar->FRange = Scale(bar->FRange, m, d);
      bar->FPosition = Scale(bar->FPosition, m, d);
    }
  }
  // Scrolled children are scaled with their offset, which the scaled position matches.
  TWinControl::ChangeScale(m, d);
  UpdateScrollBars();
}

void TCustomForm::ChangeScale(int m, int d) {
  TScrollingWinControl::ChangeScale(m, d);
  FCurrentPPI = Scale(FCurrentPPI, m, d);
}

void TCustomForm::ScaleBounds(int m, int d, TScalingFlags flags) {
  if (FParent) {
    TScrollingWinControl::ScaleBounds(m, d, flags);
    return;
  }
  // A window on the screen keeps its place; its client area is what the layout needs. On a
  // DPI change the platform's suggested rectangle gives the size instead.
  if (FDpiChanging) return;
  TRect client = ClientRect();
  int width = flags.Contains(sfWidth) ? Scale(client.Width(), m, d) : client.Width();
  int height = flags.Contains(sfHeight) ? Scale(client.Height(), m, d) : client.Height();
  SetBounds(FLeft, FTop, width + FWidth - client.Width(), height + FHeight - client.Height());
}

void TCustomForm::DpiChanged(TMessage& message) {
  int dpi = LOWORD(message.WParam);
  auto* suggested = reinterpret_cast<const RECT*>(message.LParam);
  message.Result = 0;
  if (dpi <= 0 || !FHandle) return;
  int old = FCurrentPPI;
  // Nothing is drawn while the tree changes: the moves and font changes of every control
  // would otherwise each repaint. One invalidation afterwards paints everything once.
  SendMessageW(FHandle, WM_SETREDRAW, FALSE, 0);
  FDpiChanging = true;
  DisableAlign();
  std::weak_ptr<int> life = FLife;
  try {
    if (dpi != old) ChangeScale(dpi, old);
    if (suggested) {
      SetWindowPos(FHandle, nullptr, suggested->left, suggested->top, suggested->right - suggested->left,
                   suggested->bottom - suggested->top, SWP_NOZORDER | SWP_NOACTIVATE);
    }
  } catch (...) {
    if (!life.expired()) {
      FDpiChanging = false;
      EnableAlign();
      SendMessageW(FHandle, WM_SETREDRAW, TRUE, 0);
    }
    throw;
  }
  if (life.expired()) return;
  FDpiChanging = false;
  EnableAlign();
  FPixelsPerInch = FCurrentPPI = dpi;
  SendMessageW(FHandle, WM_SETREDRAW, TRUE, 0);
  RedrawWindow(FHandle, nullptr, nullptr, RDW_ERASE | RDW_FRAME | RDW_INVALIDATE | RDW_ALLCHILDREN);
}

}  // namespace kw
