// MDI: the frame form's client window and the operations on its children (arranging,
// activating, cycling), the default procedures of frames and children, and the children's
// activation. Menus of open windows and merged menus belong to the menus unit.
#include "host/Application.h"
#include "host/Forms.h"
#include "host/Menus.h"
#include "host/Sysutils.h"
#include "host/Win.h"

#include <algorithm>

namespace kw {

namespace {

// The first identifier the client gives its children's entries in the window menu.
constexpr UINT kFirstChildId = 0xFF00;

TCustomForm* FormOf(HWND wnd) { return dynamic_cast<TCustomForm*>(TWinControl::FindControl(wnd)); }

}  // namespace

TCustomForm* TCustomForm::MDIFrame() const {
  // An owner that is a frame takes its children; otherwise the main form does, if it is one.
  auto* frame = dynamic_cast<TCustomForm*>(Owner());
  if (!frame || frame->FormStyle() != fsMDIForm) frame = Application()->MainForm();
  if (!frame || frame->FormStyle() != fsMDIForm) {
    throw EInvalidOperation(L"Cannot create form. No MDI forms are currently active");
  }
  frame->HandleNeeded();
  return frame;
}

void TCustomForm::CreateClientWindow() {
  CLIENTCREATESTRUCT ccs{};
  ccs.hWindowMenu = nullptr;
  ccs.idFirstChild = kFirstChildId;
  TRect r = ClientRect();
  FClientHandle = CreateWindowExW(WS_EX_CLIENTEDGE, L"MDICLIENT", nullptr,
                                  WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN | WS_CLIPSIBLINGS | WS_HSCROLL | WS_VSCROLL,
                                  r.Left, r.Top, r.Width(), r.Height(), FHandle, nullptr, KwInstance(), &ccs);
  if (!FClientHandle) RaiseLastOSError();
  // Below the frame's own controls, so toolbars and status bars stay on top of it.
  SetWindowPos(FClientHandle, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

void TCustomForm::DestroyMDIChildWindows() {
  // The children's windows would die with the client's; let each keep its state and come
  // back when the frame has a window again.
  FRecreatedChildren.clear();
  for (int i = MDIChildCount() - 1; i >= 0; --i) {
    TCustomForm* child = MDIChildren(i);
    if (child->Visible()) FRecreatedChildren.push_back(child);
    child->DestroyHandle();
  }
}

void TCustomForm::AlignControls(TControl* control, TRect& rect) {
  TScrollingWinControl::AlignControls(control, rect);
  if (FClientHandle) {
    SetWindowPos(FClientHandle, nullptr, rect.Left, rect.Top, rect.Width(), rect.Height(),
                 SWP_NOZORDER | SWP_NOACTIVATE);
  }
}

void TCustomForm::DefaultHandler(TMessage& m) {
  if (FHandle && m.Msg < CM_BASE) {
    // The frame's client window is placed by alignment, not by the frame procedure.
    if (FClientHandle && m.Msg != WM_SIZE) {
      m.Result = DefFrameProcW(FHandle, FClientHandle, m.Msg, m.WParam, m.LParam);
      return;
    }
    if (FFormStyle == fsMDIChild && !FParent && (GetWindowLongPtrW(FHandle, GWL_EXSTYLE) & WS_EX_MDICHILD)) {
      m.Result = DefMDIChildProcW(FHandle, m.Msg, m.WParam, m.LParam);
      return;
    }
  }
  TScrollingWinControl::DefaultHandler(m);
}

int TCustomForm::MDIChildCount() const {
  int n = 0;
  if (!FClientHandle) return 0;
  for (HWND w = GetWindow(FClientHandle, GW_CHILD); w; w = GetWindow(w, GW_HWNDNEXT)) {
    if (FormOf(w)) ++n;
  }
  return n;
}

TCustomForm* TCustomForm::MDIChildren(int index) const {
  if (FClientHandle && index >= 0) {
    int i = index;
    for (HWND w = GetWindow(FClientHandle, GW_CHILD); w; w = GetWindow(w, GW_HWNDNEXT)) {
      TCustomForm* f = FormOf(w);
      if (f && i-- == 0) return f;
    }
  }
  throw EListError(Format(L"List index out of bounds (%d)", {index}));
}

TCustomForm* TCustomForm::ActiveMDIChild() const {
  if (!FClientHandle) return nullptr;
  return FormOf(reinterpret_cast<HWND>(SendMessageW(FClientHandle, WM_MDIGETACTIVE, 0, 0)));
}

void TCustomForm::Cascade() {
  if (FClientHandle) SendMessageW(FClientHandle, WM_MDICASCADE, 0, 0);
}

void TCustomForm::Tile() {
  if (FClientHandle) {
    SendMessageW(FClientHandle, WM_MDITILE, FTileMode == tbHorizontal ? MDITILE_HORIZONTAL : MDITILE_VERTICAL, 0);
  }
}

void TCustomForm::ArrangeIcons() {
  if (FClientHandle) SendMessageW(FClientHandle, WM_MDIICONARRANGE, 0, 0);
}

void TCustomForm::Next() {
  if (FClientHandle) SendMessageW(FClientHandle, WM_MDINEXT, 0, 0);
}

void TCustomForm::Previous() {
  if (FClientHandle) SendMessageW(FClientHandle, WM_MDINEXT, 0, 1);
}

void TCustomForm::MDIActivated(TMessage& m) {
  bool active = reinterpret_cast<HWND>(m.LParam) == FHandle;
  if (active == FActive) return;
  // The active child's menu shows in the frame's bar while it is active.
  TCustomForm* frame = FFormStyle == fsMDIChild ? MDIFrame() : nullptr;
  if (frame && frame->Menu() && FMenu) {
    if (active) frame->Menu()->Merge(FMenu);
    else frame->Menu()->Unmerge(FMenu);
  }
  if (active) {
    SetActive(true);
  } else {
    // The frame stays the active window; only this child's part ends.
    std::weak_ptr<int> life = FLife;
    FActive = false;
    Deactivate();
    if (!life.expired() && Screen()->ActiveCustomForm() == this) {
      Screen()->SetActiveForm(Application()->MainForm());
    }
  }
}

void TCustomForm::PaintTo(HDC__* dc, int x, int y) {
  TScrollingWinControl::PaintTo(dc, x, y);
  if (!FHandle) return;
  if (FClientHandle) PaintClientWindow(dc, x, y);
  else if (GetWindowLongPtrW(FHandle, GWL_EXSTYLE) & WS_EX_MDICHILD) PaintChildFrame(dc, x, y);
}

// The client window is the system's: its face and the children in it are drawn here, so that
// a copy of the frame shows what the screen does.
void TCustomForm::PaintClientWindow(HDC__* dc, int x, int y) {
  RECT r;
  GetWindowRect(FClientHandle, &r);
  MapWindowPoints(nullptr, FHandle, reinterpret_cast<POINT*>(&r), 2);
  OffsetRect(&r, x, y);
  int saved = SaveDC(dc);
  IntersectClipRect(dc, r.left, r.top, r.right, r.bottom);
  if (GetWindowLongPtrW(FClientHandle, GWL_EXSTYLE) & WS_EX_CLIENTEDGE) DrawEdge(dc, &r, EDGE_SUNKEN, BF_RECT | BF_ADJUST);
  FillRect(dc, &r, GetSysColorBrush(COLOR_APPWORKSPACE));
  IntersectClipRect(dc, r.left, r.top, r.right, r.bottom);
  // Bottom of the z-order first, so the active child ends on top.
  for (int i = MDIChildCount() - 1; i >= 0; --i) {
    TCustomForm* child = MDIChildren(i);
    if (IsWindowVisible(child->Handle())) child->PaintTo(dc, r.left + child->Left(), r.top + child->Top());
  }
  RestoreDC(dc, saved);
}

void TCustomForm::PaintChildFrame(HDC__* dc, int x, int y) {
  RECT wr, cr;
  GetWindowRect(FHandle, &wr);
  GetClientRect(FHandle, &cr);
  POINT o{0, 0};
  ::ClientToScreen(FHandle, &o);
  int cx = x + (o.x - wr.left), cy = y + (o.y - wr.top);
  int saved = SaveDC(dc);
  ExcludeClipRect(dc, cx, cy, cx + cr.right, cy + cr.bottom);
  RECT frame{x, y, x + (wr.right - wr.left), y + (wr.bottom - wr.top)};
  FillRect(dc, &frame, GetSysColorBrush(COLOR_BTNFACE));
  DrawEdge(dc, &frame, EDGE_RAISED, BF_RECT);
  RECT caption{cx, std::max<int>(frame.top + 2, cy - GetSystemMetrics(SM_CYCAPTION)), cx + cr.right, cy - 1};
  if (IsIconic(FHandle)) caption = RECT{frame.left + 3, frame.top + 3, frame.right - 3, frame.bottom - 3};
  if (caption.bottom > caption.top) DrawCaption(FHandle, dc, &caption, DC_TEXT | DC_GRADIENT | (FActive ? DC_ACTIVE : 0));
  RestoreDC(dc, saved);
}

void TCustomForm::SetShowInTaskBar(bool v) {
  if (v == FShowInTaskBar) return;
  FShowInTaskBar = v;
  RecreateWnd();
}

}  // namespace kw
