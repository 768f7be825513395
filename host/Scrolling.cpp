// Scrolling containers: the window's own scroll bars as TControlScrollBar, children moved by
// scrolling, automatic ranges from the children's extent, wheel and scroll messages, TScrollBox.
// Stand-alone scroll bar controls (the SCROLLBAR class) belong to the standard controls.
#include "host/Scrolling.h"

#include <algorithm>

#include "host/Typreg.h"
#include "host/Win.h"

namespace kw {

KW_DEFINE_ENUM(TScrollBarKind, L"sbHorizontal", L"sbVertical")

namespace {

int BarId(TScrollBarKind kind) { return kind == sbHorizontal ? SB_HORZ : SB_VERT; }

bool BarShownNow(HWND wnd, TScrollBarKind kind) {
  LONG_PTR style = GetWindowLongPtrW(wnd, GWL_STYLE);
  return (style & (kind == sbHorizontal ? WS_HSCROLL : WS_VSCROLL)) != 0;
}

// Children that follow the far edge (aligned to it, stretched, or anchored to it) grow with the
// client, so counting them would make the range chase the window's size.
bool CountsHorizontally(const TControl* c) {
  switch (c->Align()) {
    case alNone: return !c->Anchors().Contains(akRight);
    case alLeft: return true;
    default: return false;
  }
}

bool CountsVertically(const TControl* c) {
  switch (c->Align()) {
    case alNone: return !c->Anchors().Contains(akBottom);
    case alTop: return true;
    default: return false;
  }
}

bool KeepsPlace(const TControl* c) {
  TAnchors a = c->Anchors();
  return a.Contains(akLeft) && a.Contains(akTop) && !a.Contains(akRight) && !a.Contains(akBottom);
}

}  // namespace

// --- TControlScrollBar --------------------------------------------------------------------

KW_BEGIN_CLASS(TControlScrollBar, TPersistent) {
  b.Prop(L"Increment", &TControlScrollBar::Increment, &TControlScrollBar::SetIncrement).Default(8);
  b.Prop(L"Margin", &TControlScrollBar::Margin, &TControlScrollBar::SetMargin).Default(0);
  b.Prop(L"Range", &TControlScrollBar::Range, &TControlScrollBar::SetRange)
      .Stored(&TControlScrollBar::RangeStored);
  b.Prop(L"Position", &TControlScrollBar::Position, &TControlScrollBar::SetPosition).Default(0);
  b.Prop(L"Tracking", &TControlScrollBar::Tracking, &TControlScrollBar::SetTracking).Default(false);
  b.Prop(L"Visible", &TControlScrollBar::Visible, &TControlScrollBar::SetVisible).Default(true);
}

TControlScrollBar::TControlScrollBar(TScrollingWinControl* control, TScrollBarKind kind)
    : FControl(control), FKind(kind) {}

TPersistent* TControlScrollBar::GetOwner() const { return FControl; }

void TControlScrollBar::Assign(const TPersistent* source) {
  if (auto* s = dynamic_cast<const TControlScrollBar*>(source)) {
    FIncrement = s->FIncrement;
    FMargin = s->FMargin;
    FVisible = s->FVisible;
    FTracking = s->FTracking;
    FUserRange = s->FUserRange;
    if (s->FUserRange) FRange = s->FRange;
    FControl->Realign();
    SetPosition(s->FPosition);
    return;
  }
  TPersistent::Assign(source);
}

void TControlScrollBar::SetIncrement(int v) {
  FIncrement = std::max(v, 1);
}

void TControlScrollBar::SetMargin(int v) {
  v = std::max(v, 0);
  if (v == FMargin) return;
  FMargin = v;
  if (FControl->AutoScroll()) FControl->Realign();
}

void TControlScrollBar::SetRange(int v) {
  v = std::max(v, 0);
  FUserRange = true;
  if (v == FRange) return;
  FRange = v;
  // The range is the area aligned children fill, so the layout depends on it.
  FControl->Realign();
}

void TControlScrollBar::SetVisible(bool v) {
  if (v == FVisible) return;
  FVisible = v;
  FControl->Realign();
}

int TControlScrollBar::ControlSize() const {
  TRect r = FControl->ClientRect();
  return FKind == sbHorizontal ? r.Width() : r.Height();
}

bool TControlScrollBar::IsScrollBarVisible() const { return FVisible && FRange > ControlSize(); }

void TControlScrollBar::SetPosition(int v) {
  // A stream gives the position before the children and the range exist; the children are
  // already where that position put them.
  if (FControl->ComponentState().Contains(csLoading)) {
    FPosition = std::max(v, 0);
    return;
  }
  int limit = IsScrollBarVisible() ? std::max(FRange - ControlSize(), 0) : 0;
  v = std::clamp(v, 0, limit);
  if (v == FPosition) return;
  int delta = FPosition - v;
  FPosition = v;
  if (FKind == sbHorizontal) FControl->ScrollBy(delta, 0);
  else FControl->ScrollBy(0, delta);
  if (FControl->HandleAllocated()) SetScrollPos(FControl->Handle(), BarId(FKind), FPosition, TRUE);
}

void TControlScrollBar::Update(bool controlsOnly) {
  bool shown = IsScrollBarVisible();
  int page = ControlSize();
  int limit = shown ? std::max(FRange - page, 0) : 0;
  if (FPosition > limit || FPosition < 0) {
    int v = std::clamp(FPosition, 0, limit);
    int delta = FPosition - v;
    FPosition = v;
    if (FKind == sbHorizontal) FControl->ScrollBy(delta, 0);
    else FControl->ScrollBy(0, delta);
  }
  if (controlsOnly || !FControl->HandleAllocated()) return;
  HWND wnd = FControl->Handle();
  SCROLLINFO si{};
  si.cbSize = sizeof(si);
  si.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
  // An empty range hides a standard bar; a full one shows it.
  if (shown) {
    si.nMax = FRange - 1;
    si.nPage = UINT(page);
    si.nPos = FPosition;
  }
  SetScrollInfo(wnd, BarId(FKind), &si, TRUE);
  if (BarShownNow(wnd, FKind) != shown) ShowScrollBar(wnd, BarId(FKind), shown);
}

void TControlScrollBar::CalcAutoRange(int extent) {
  if (FUserRange) return;
  FRange = extent > 0 ? extent + FMargin : 0;
}

void TControlScrollBar::ScrollMessage(TScrollCode code, int pos) {
  switch (code) {
    case scLineUp: SetPosition(FPosition - FIncrement); break;
    case scLineDown: SetPosition(FPosition + FIncrement); break;
    case scPageUp: SetPosition(FPosition - std::max(ControlSize(), 1)); break;
    case scPageDown: SetPosition(FPosition + std::max(ControlSize(), 1)); break;
    case scPosition: SetPosition(pos); break;
    case scTrack:
      if (FTracking) SetPosition(pos);
      break;
    case scTop: SetPosition(0); break;
    case scBottom: SetPosition(FRange); break;
    case scEndScroll: break;
  }
}

// --- TScrollingWinControl ---------------------------------------------------------------------

KW_BEGIN_CLASS(TScrollingWinControl, TWinControl) {
  b.Prop(L"AutoScroll", &TScrollingWinControl::AutoScroll, &TScrollingWinControl::SetAutoScroll).Default(false);
  b.Prop(L"HorzScrollBar", &TScrollingWinControl::HorzScrollBar, &TScrollingWinControl::SetHorzScrollBar);
  b.Prop(L"VertScrollBar", &TScrollingWinControl::VertScrollBar, &TScrollingWinControl::SetVertScrollBar);
}

TScrollingWinControl::TScrollingWinControl(TComponent* owner)
    : TWinControl(owner),
      FHorzScrollBar(std::make_unique<TControlScrollBar>(this, sbHorizontal)),
      FVertScrollBar(std::make_unique<TControlScrollBar>(this, sbVertical)) {}

TScrollingWinControl::~TScrollingWinControl() = default;

void TScrollingWinControl::SetAutoScroll(bool v) {
  if (v == FAutoScroll) return;
  FAutoScroll = v;
  if (!v) {
    // Computed ranges go; ranges the user set stay.
    FHorzScrollBar->CalcAutoRange(0);
    FVertScrollBar->CalcAutoRange(0);
  }
  Realign();
}

void TScrollingWinControl::CreateParams(TCreateParams& p) { TWinControl::CreateParams(p); }

void TScrollingWinControl::InitializeWnd() {
  TWinControl::InitializeWnd();
  UpdateScrollBars();
}

void TScrollingWinControl::Loaded() {
  TWinControl::Loaded();
  Realign();
}

void TScrollingWinControl::AdjustClientRect(TRect& rect) {
  TWinControl::AdjustClientRect(rect);
  // Aligned children fill the whole scrollable area, moved by the scroll.
  int width = rect.Width(), height = rect.Height();
  if (FHorzScrollBar->IsScrollBarVisible()) width = std::max(width, FHorzScrollBar->Range());
  if (FVertScrollBar->IsScrollBarVisible()) height = std::max(height, FVertScrollBar->Range());
  int left = rect.Left - FHorzScrollBar->Position();
  int top = rect.Top - FVertScrollBar->Position();
  rect = Bounds(left, top, width, height);
}

void TScrollingWinControl::NoteOrigins() {
  TPoint scroll(FHorzScrollBar->Position(), FVertScrollBar->Position());
  auto note = [&](TControl* c) {
    auto it = FPlaces.find(c);
    // Moved by someone else since we placed it: its anchor origin is where it is now.
    if (it == FPlaces.end() || !(it->second.Bounds == c->BoundsRect())) FPlaces[c] = TChildPlace{c->BoundsRect(), scroll};
  };
  for (TControl* c : FControls) note(c);
  for (TControl* c : FWinControls) note(c);
}

void TScrollingWinControl::NotePlaces() {
  for (TControl* c : FControls) FPlaces[c].Bounds = c->BoundsRect();
  for (TControl* c : FWinControls) FPlaces[c].Bounds = c->BoundsRect();
}

void TScrollingWinControl::AlignControls(TControl* control, TRect& rect) {
  NoteOrigins();
  TWinControl::AlignControls(control, rect);
  // The base layout put anchored children where their origin says, in the coordinates of the
  // scroll at that time.
  TPoint scroll(FHorzScrollBar->Position(), FVertScrollBar->Position());
  std::vector<TControl*> all(FControls.begin(), FControls.end());
  all.insert(all.end(), FWinControls.begin(), FWinControls.end());
  for (TControl* c : all) {
    if (c->Align() != alNone || KeepsPlace(c)) continue;
    const TPoint& origin = FPlaces[c].OriginScroll;
    int dx = scroll.X - origin.X, dy = scroll.Y - origin.Y;
    if (dx != 0 || dy != 0) SetChildBounds(c, c->Left() - dx, c->Top() - dy, c->Width(), c->Height());
  }
  NotePlaces();
  UpdateScrollBars();
}

void TScrollingWinControl::UpdateScrollBars() {
  if (FUpdatingScrollBars) return;
  FUpdatingScrollBars = true;
  struct Reset {
    bool& flag;
    ~Reset() { flag = false; }
  } reset{FUpdatingScrollBars};
  TControlScrollBar& h = *FHorzScrollBar;
  TControlScrollBar& v = *FVertScrollBar;
  // Showing a bar narrows the client, which can call for the other bar or move children: a few
  // rounds settle it.
  for (int round = 0; round < 3; ++round) {
    if (FAutoScroll) {
      int right = 0, bottom = 0;
      auto measure = [&](TControl* c) {
        if (!c->Visible() && !c->ComponentState().Contains(csDesigning)) return;
        if (CountsHorizontally(c)) right = std::max(right, c->Left() + c->Width() + h.Position());
        if (CountsVertically(c)) bottom = std::max(bottom, c->Top() + c->Height() + v.Position());
      };
      for (TControl* c : FControls) measure(c);
      for (TControl* c : FWinControls) measure(c);
      h.CalcAutoRange(right);
      v.CalcAutoRange(bottom);
    }
    TRect before = ClientRect();
    if (HandleAllocated()) {
      HWND wnd = Handle();
      bool hasH = BarShownNow(wnd, sbHorizontal), hasV = BarShownNow(wnd, sbVertical);
      int cxV = GetSystemMetrics(SM_CXVSCROLL), cyH = GetSystemMetrics(SM_CYHSCROLL);
      // The client as it would be without either bar.
      int width = before.Width() + (hasV ? cxV : 0);
      int height = before.Height() + (hasH ? cyH : 0);
      bool needH = h.Visible() && h.Range() > width;
      bool needV = v.Visible() && v.Range() > height;
      if (needH && !needV) needV = v.Visible() && v.Range() > height - cyH;
      if (needV && !needH) needH = h.Visible() && h.Range() > width - cxV;
      if (needH && !needV) needV = v.Visible() && v.Range() > height - cyH;
      if (needH != hasH) ShowScrollBar(wnd, SB_HORZ, needH);
      if (needV != hasV) ShowScrollBar(wnd, SB_VERT, needV);
    }
    h.Update();
    v.Update();
    TRect after = ClientRect();
    if (after == before) break;
    // The client changed without the window changing size: lay the children out again.
    Realign();
  }
}

void TScrollingWinControl::ScrollBy(int dx, int dy) {
  if (dx == 0 && dy == 0) return;
  if (HandleAllocated()) {
    // Only the pixels: children are moved one by one below so that each keeps its anchor
    // origin (a window moved by the system would take its new place as the origin).
    ScrollWindowEx(Handle(), dx, dy, nullptr, nullptr, nullptr, nullptr, SW_INVALIDATE | SW_ERASE);
  }
  // Children not placed by a layout yet took their anchor origin before this scroll.
  TPoint before(FHorzScrollBar->Position() + dx, FVertScrollBar->Position() + dy);
  std::vector<TControl*> all(FControls.begin(), FControls.end());
  all.insert(all.end(), FWinControls.begin(), FWinControls.end());
  for (TControl* c : all) {
    SetChildBounds(c, c->Left() + dx, c->Top() + dy, c->Width(), c->Height());
    auto it = FPlaces.find(c);
    if (it == FPlaces.end()) FPlaces[c] = TChildPlace{c->BoundsRect(), before};
    else it->second.Bounds = c->BoundsRect();
  }
}

void TScrollingWinControl::ScrollInView(TControl* control) {
  if (!control || !ContainsControl(control) || control == this) return;
  TRect r = control->BoundsRect();
  for (TWinControl* p = control->Parent(); p && p != this; p = p->Parent()) OffsetRect(r, p->Left(), p->Top());
  TRect client = ClientRect();
  auto bring = [](TControlScrollBar& bar, int lo, int hi, int size) {
    int pos = bar.Position();
    if (lo < 0) {
      pos += lo - bar.Margin();
    } else if (hi > size) {
      // The far edge comes in, but never at the cost of the near one.
      pos += std::min(hi - size + bar.Margin(), lo);
    } else {
      return;
    }
    bar.SetPosition(pos);
  };
  bring(*FHorzScrollBar, r.Left, r.Right, client.Width());
  bring(*FVertScrollBar, r.Top, r.Bottom, client.Height());
}

bool TScrollingWinControl::DoMouseWheel(TShiftState shift, int delta, TPoint pos) {
  if (TWinControl::DoMouseWheel(shift, delta, pos)) return true;
  bool horizontal = shift.Contains(ssShift) || shift.Contains(ssHorizontal);
  TControlScrollBar& bar = horizontal ? *FHorzScrollBar : *FVertScrollBar;
  if (!bar.IsScrollBarVisible()) return false;
  // Three lines a notch; forward (or a tilt to the left) goes back.
  int step = MulDiv(delta, 3 * bar.Increment(), WHEEL_DELTA);
  if (shift.Contains(ssHorizontal)) bar.SetPosition(bar.Position() + step);
  else bar.SetPosition(bar.Position() - step);
  return true;
}

void TScrollingWinControl::WndProc(TMessage& m) {
  switch (m.Msg) {
    case WM_HSCROLL:
    case WM_VSCROLL:
      if (m.LParam == 0) {
        TControlScrollBar& bar = m.Msg == WM_HSCROLL ? *FHorzScrollBar : *FVertScrollBar;
        int code = m.WParamLo();
        int pos = m.WParamHi();
        if ((code == SB_THUMBTRACK || code == SB_THUMBPOSITION) && HandleAllocated()) {
          // The message carries 16 bits; the bar knows the full position.
          SCROLLINFO si{};
          si.cbSize = sizeof(si);
          si.fMask = SIF_TRACKPOS;
          if (GetScrollInfo(Handle(), m.Msg == WM_HSCROLL ? SB_HORZ : SB_VERT, &si)) pos = si.nTrackPos;
        }
        if (code <= SB_ENDSCROLL) bar.ScrollMessage(TScrollCode(code), pos);
        m.Result = 0;
        return;
      }
      break;
    case CM_CONTROLLISTCHANGE:
      if (m.LParam == 0) FPlaces.erase(reinterpret_cast<const TControl*>(m.WParam));
      break;
  }
  TWinControl::WndProc(m);
}

// --- TScrollBox ---------------------------------------------------------------------------------

KW_BEGIN_CLASS(TScrollBox, TScrollingWinControl) {
  b.Prop(L"AutoScroll", &TScrollBox::AutoScroll, &TScrollBox::SetAutoScroll).Default(true);
  b.Prop(L"BorderStyle", &TScrollBox::BorderStyle, &TScrollBox::SetBorderStyle).Default(bsSingle);
  b.Prop(L"Color", &TScrollBox::Color, &TScrollBox::SetColor).Stored(&TScrollBox::ColorStored);
  b.Prop(L"Font", &TScrollBox::Font, &TScrollBox::SetFont).Stored(&TScrollBox::FontStored);
  b.Prop(L"ParentColor", &TScrollBox::ParentColor, &TScrollBox::SetParentColor).Default(true);
  b.Prop(L"ParentFont", &TScrollBox::ParentFont, &TScrollBox::SetParentFont).Default(true);
}

TScrollBox::TScrollBox(TComponent* owner) : TScrollingWinControl(owner) {
  FAutoScroll = true;
  FControlStyle.Include(csAcceptsControls);
  FWidth = 185;
  FHeight = 41;
}

void TScrollBox::SetBorderStyle(TBorderStyle v) {
  if (v != bsNone) v = bsSingle;
  if (v == FBorderStyle) return;
  FBorderStyle = v;
  RecreateWnd();
}

void TScrollBox::CreateParams(TCreateParams& p) {
  TScrollingWinControl::CreateParams(p);
  if (FBorderStyle == bsSingle) p.ExStyle |= WS_EX_CLIENTEDGE;
}

}  // namespace kw
