// TWinControl: the window behind the control (classes, creation on demand, subclassed platform
// controls, the one window procedure), child lists, tab order and focus, keyboard and dialog
// keys, reflected notifications and painting with graphic children. Alignment is in Align.cpp.
#include <algorithm>
#include <unordered_map>

#include "host/Controls.h"
#include "host/Exceptions.h"
#include "host/Menus.h"
#include "host/Sysutils.h"
#include "host/Typreg.h"
#include "host/Win.h"

namespace kw {

namespace {

thread_local TWinControl* GCreating = nullptr;  // until its window's first message
thread_local TWinControl* GMaking = nullptr;    // for the whole CreateWindowExW call
unsigned GNextCtlID = 100;
TControl* GMouseControl = nullptr;

const wchar_t* ControlAtomName() { return L"KwControl"; }

ATOM ControlAtom() {
  static ATOM atom = GlobalAddAtomW(ControlAtomName());
  return atom;
}

struct TClassEntry {
  WNDPROC DefProc;
};

std::unordered_map<String, TClassEntry>& ClassTable() {
  static std::unordered_map<String, TClassEntry> table;
  return table;
}

void MoveWindowOrg(HDC dc, int dx, int dy) {
  POINT org;
  GetWindowOrgEx(dc, &org);
  SetWindowOrgEx(dc, org.x - dx, org.y - dy, nullptr);
}

// A memory DC with a bitmap like dc's selected into it, both given back when it goes.
class TScratchDC {
public:
  TScratchDC(HDC like, int width, int height)
      : FDC(KwCreateCompatibleDC(like)),
        FBitmap(KwCreateCompatibleBitmap(like, std::max(width, 1), std::max(height, 1))),
        FOld(SelectObject(FDC, FBitmap)) {}
  ~TScratchDC() {
    SelectObject(FDC, FOld);
    KwDeleteObject(gkBitmap, FBitmap);
    KwDeleteDC(FDC);
  }
  TScratchDC(const TScratchDC&) = delete;
  TScratchDC& operator=(const TScratchDC&) = delete;
  HDC DC() const { return FDC; }

private:
  HDC FDC;
  HBITMAP FBitmap;
  HGDIOBJ FOld;
};

bool IsDescendant(const TControl* c, const TControl* ancestor) {
  for (const TControl* p = c; p; p = p->Parent()) {
    if (p == ancestor) return true;
  }
  return false;
}

}  // namespace

HINSTANCE__* KwInstance() {
  static HINSTANCE instance = [] {
    HMODULE m = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCWSTR>(&ControlAtomName), &m);
    return m ? m : GetModuleHandleW(nullptr);
  }();
  return instance;
}

struct TWinControlPeer {
  static LRESULT CALLBACK WndProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
    auto* c = static_cast<TWinControl*>(GetPropW(wnd, MAKEINTATOM(ControlAtom())));
    if (!c) {
      c = GCreating;
      if (!c) return DefWindowProcW(wnd, msg, wp, lp);
      GCreating = nullptr;
      c->AttachHandle(wnd);
    }
    TMessage m(msg, wp, lp);
    std::weak_ptr<int> life = c->FLife;
    try {
      c->FWindowProc(m);
    } catch (...) {
      // The window stays usable: the application reports and the message counts as handled.
      KwHandleCurrentException(life.expired() ? nullptr : c);
      if (msg == WM_PAINT && !life.expired()) ValidateRect(wnd, nullptr);
    }
    if (msg == WM_NCDESTROY && !life.expired() && c->FHandle == wnd) c->AttachHandle(nullptr);
    return m.Result;
  }
};

// --- TWinControl ----------------------------------------------------------------------

KW_BEGIN_CLASS(TWinControl, TControl) {
  b.Prop(L"TabOrder", &TWinControl::TabOrder, &TWinControl::SetTabOrder).Default(-1);
  b.Prop(L"TabStop", &TWinControl::TabStop, &TWinControl::SetTabStop).Default(false);
  b.Event(L"OnEnter", &TWinControl::OnEnter);
  b.Event(L"OnExit", &TWinControl::OnExit);
  b.Event(L"OnKeyDown", &TWinControl::OnKeyDown);
  b.Event(L"OnKeyPress", &TWinControl::OnKeyPress);
  b.Event(L"OnKeyUp", &TWinControl::OnKeyUp);
  b.Event(L"OnMouseWheel", &TWinControl::OnMouseWheel);
  b.Prop(L"ImeMode", &TWinControl::ImeMode, &TWinControl::SetImeMode).Default(imDontCare);
  b.Prop(L"ImeName", &TWinControl::ImeName, &TWinControl::SetImeName).Default(L"");
  b.Prop(L"DockSite", &TWinControl::DockSite, &TWinControl::SetDockSite).Default(false);
  b.Prop(L"UseDockManager", &TWinControl::UseDockManager, &TWinControl::SetUseDockManager).Default(false);
  b.Event(L"OnDockOver", &TWinControl::OnDockOver);
  b.Event(L"OnDockDrop", &TWinControl::OnDockDrop);
  b.Event(L"OnUnDock", &TWinControl::OnUnDock);
  b.Event(L"OnGetSiteInfo", &TWinControl::OnGetSiteInfo);
}

TWinControl::TWinControl(TComponent* owner) : TControl(owner), FBrush(std::make_unique<TBrush>()) {
  FBrush->SetColor(FColor);
}

TWinControl::~TWinControl() {
  FComponentState.Include(csDestroying);
  if (GMouseControl && IsDescendant(GMouseControl, this)) GMouseControl = nullptr;
  // Children go first, whoever owns them: the host frees a parent's controls with it.
  while (!FControls.empty() || !FWinControls.empty()) {
    TControl* child = !FWinControls.empty() ? static_cast<TControl*>(FWinControls.back()) : FControls.back();
    RemoveControl(child);
    delete child;
  }
  DestroyHandle();
  if (FParent) FParent->RemoveControl(this);
}

TWinControl* TWinControl::TopParent() {
  TWinControl* top = this;
  while (top->FParent) top = top->FParent;
  return top;
}

TWinControl* TWinControl::FindControl(HWND__* wnd) {
  if (!wnd) return nullptr;
  return static_cast<TWinControl*>(GetPropW(wnd, MAKEINTATOM(ControlAtom())));
}

void TWinControl::AttachHandle(HWND__* wnd) {
  if (FHandle && FHandle != wnd) RemovePropW(FHandle, MAKEINTATOM(ControlAtom()));
  FHandle = wnd;
  if (wnd) SetPropW(wnd, MAKEINTATOM(ControlAtom()), this);
}

HWND__* TWinControl::Handle() {
  HandleNeeded();
  return FHandle;
}

void TWinControl::HandleNeeded() {
  if (FHandle) return;
  if (FParent) FParent->HandleNeeded();
  if (!FHandle) CreateHandle();
}

void TWinControl::CreateParams(TCreateParams& p) {
  p.Caption = FText;
  p.Style = WS_CHILD | WS_CLIPSIBLINGS;
  if (FControlStyle.Contains(csAcceptsControls)) p.Style |= WS_CLIPCHILDREN;
  if (FVisible) p.Style |= WS_VISIBLE;
  if (!FEnabled) p.Style |= WS_DISABLED;
  if (FTabStop) p.Style |= WS_TABSTOP;
  AddBiDiModeExStyle(p.ExStyle);
  p.X = FLeft;
  p.Y = FTop;
  p.Width = FWidth;
  p.Height = FHeight;
  p.WndParent = FParent ? FParent->FHandle : FParentWindow;
  p.WinClassName = L"Kw" + ClassName();
  p.ClassStyle = CS_VREDRAW | CS_HREDRAW;
  if (FControlStyle.Contains(csDoubleClicks)) p.ClassStyle |= CS_DBLCLKS;
  p.ClassCursor = LoadCursorW(nullptr, IDC_ARROW);
}

void TWinControl::CreateWnd() {
  TCreateParams p;
  CreateParams(p);
  if (!p.WndParent && (p.Style & WS_CHILD)) {
    throw EInvalidOperation(Format(L"Control '%s' has no parent window", {Name()}));
  }
  auto& table = ClassTable();
  auto it = table.find(p.WinClassName);
  if (it == table.end()) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    WNDPROC defProc = DefWindowProcW;
    if (!p.SubClassName.empty()) {
      if (!GetClassInfoExW(nullptr, p.SubClassName.c_str(), &wc)) RaiseLastOSError();
      defProc = wc.lpfnWndProc;
      wc.style &= ~CS_GLOBALCLASS;
    } else {
      wc.style = p.ClassStyle;
      wc.hCursor = p.ClassCursor;
      wc.hbrBackground = p.ClassBackground;
    }
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = &TWinControlPeer::WndProc;
    wc.hInstance = KwInstance();
    wc.lpszClassName = p.WinClassName.c_str();
    wc.lpszMenuName = nullptr;
    if (!RegisterClassExW(&wc) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) RaiseLastOSError();
    it = table.emplace(p.WinClassName, TClassEntry{defProc}).first;
  }
  FDefWndProc = reinterpret_cast<void*>(it->second.DefProc);
  CreateWindowHandle(p);
  if (!FHandle) {
    DWORD error = GetLastError();
    throw EOSError(Format(L"Error creating window: %s", {SysErrorMessage(error)}), error);
  }
}

void TWinControl::CreateWindowHandle(const TCreateParams& p) {
  TWinControl* saved = GCreating;
  TWinControl* savedMaking = GMaking;
  GCreating = this;
  GMaking = this;
  // Child windows get an identifier of their own: owner-drawn lists name themselves by it.
  HMENU id = nullptr;
  // MDI children are numbered by their client window.
  if ((p.Style & WS_CHILD) && !(p.ExStyle & WS_EX_MDICHILD)) {
    if (++GNextCtlID >= 0xFFFF) GNextCtlID = 100;
    id = reinterpret_cast<HMENU>(std::uintptr_t(GNextCtlID));
  }
  HWND wnd = CreateWindowExW(p.ExStyle, p.WinClassName.c_str(), p.Caption.c_str(), p.Style, p.X, p.Y,
                             p.Width, p.Height, p.WndParent, id, KwInstance(), p.Param);
  GCreating = saved;
  GMaking = savedMaking;
  // A window that was made but never reached our procedure still needs its control.
  if (wnd && FHandle != wnd) AttachHandle(wnd);
}

void TWinControl::CreateHandle() {
  if (FHandle) return;
  FControlState.Include(csCreating);
  try {
    CreateWnd();
  } catch (...) {
    FControlState.Exclude(csCreating);
    throw;
  }
  FControlState.Exclude(csCreating);
  if (!FHandle) return;
  // Keep the window's place among its siblings' windows as it is in the child list.
  if (FParent) {
    auto& list = FParent->FWinControls;
    auto it = std::find(list.begin(), list.end(), this);
    for (++it; it != list.end(); ++it) {
      if ((*it)->FHandle) {
        SetWindowPos(FHandle, (*it)->FHandle, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_NOOWNERZORDER);
        break;
      }
    }
  }
  SendMessageW(FHandle, WM_SETFONT, reinterpret_cast<WPARAM>(FFont->Handle()), 0);
  InitializeWnd();
  for (TWinControl* child : std::vector<TWinControl*>(FWinControls)) {
    if (child->FVisible && !child->FHandle) child->CreateHandle();
  }
  if (FComponentState.Contains(csLoading)) return;
  Realign();
}

void TWinControl::DestroyHandle() {
  if (!FHandle) return;
  if (FComponentState.Contains(csDestroying)) {
    // Nothing needs keeping: one DestroyWindow takes the child windows with it, and each
    // child's control learns of it from its last message.
    DestroyWindowHandle();
    return;
  }
  FControlState.Include(csDestroyingHandle);
  for (TWinControl* child : FWinControls) child->DestroyHandle();
  try {
    DestroyWnd();
  } catch (...) {
    FControlState.Exclude(csDestroyingHandle);
    throw;
  }
  FControlState.Exclude(csDestroyingHandle);
}

void TWinControl::DestroyWnd() {
  // The window's text may have changed under the user's hands; keep it for a new window.
  FText = GetText();
  DestroyWindowHandle();
}

void TWinControl::DestroyWindowHandle() {
  HWND wnd = FHandle;
  if (!wnd) return;
  if (TControl::CaptureControl() && GetCapture() == wnd) ReleaseCapture();
  DestroyWindow(wnd);
  if (FHandle == wnd) AttachHandle(nullptr);
}

void TWinControl::RecreateWnd() {
  if (!FHandle) return;
  // The control holding the focus inside this window gets it back in the new window.
  HWND focus = GetFocus();
  TWinControl* focused = nullptr;
  if (focus && (focus == FHandle || IsChild(FHandle, focus))) {
    for (HWND w = focus; w && !focused; w = GetParent(w)) focused = FindControl(w);
  }
  std::weak_ptr<int> focusedLife = focused ? focused->FLife : std::weak_ptr<int>();
  FControlState.Include(csRecreating);
  try {
    DestroyHandle();
    UpdateShowing();
    if (!FHandle && (FParent ? FParent->FHandle != nullptr : FVisible)) HandleNeeded();
  } catch (...) {
    FControlState.Exclude(csRecreating);
    throw;
  }
  FControlState.Exclude(csRecreating);
  if (focused && !focusedLife.expired() && focused->CanFocus()) ::SetFocus(focused->Handle());
}

void TWinControl::SetParentWindow(HWND__* wnd) {
  if (wnd == FParentWindow) return;
  FParentWindow = wnd;
  if (FHandle && !FParent) {
    ::SetParent(FHandle, wnd);
  }
}

bool TWinControl::Showing() const { return FHandle && IsWindowVisible(FHandle); }

void TWinControl::UpdateShowing() {
  if (FComponentState.Contains(csDestroying)) return;
  bool parentReady = FParent ? FParent->FHandle != nullptr : (FParentWindow != nullptr);
  if (FVisible && parentReady && !FHandle) CreateHandle();
  if (FHandle) ShowWindow(FHandle, FVisible ? SW_SHOWNOACTIVATE : SW_HIDE);
}

// --- children ----------------------------------------------------------------------------

TControl* TWinControl::Controls(int index) const {
  int n = int(FControls.size());
  if (index < 0 || index >= ControlCount()) throw EListError(Format(L"List index out of bounds (%d)", {index}));
  return index < n ? FControls[size_t(index)] : FWinControls[size_t(index - n)];
}

bool TWinControl::ContainsControl(const TControl* control) const {
  for (const TControl* p = control; p; p = p->FParent) {
    if (p == this) return true;
  }
  return false;
}

void TWinControl::InsertControl(TControl* control) {
  control->FParent = this;
  if (auto* w = dynamic_cast<TWinControl*>(control)) {
    FWinControls.push_back(w);
    int order = w->FPendingTabOrder;
    FTabList.push_back(w);
    w->FPendingTabOrder = -1;
    if (order >= 0) w->SetTabOrder(order);
  } else {
    FControls.push_back(control);
  }
  if (!control->FComponentState.Contains(csReading)) {
    if (control->FParentColor) control->Perform(CM_PARENTCOLORCHANGED, 0, 0);
    if (control->FParentFont) control->Perform(CM_PARENTFONTCHANGED, 0, 0);
    if (control->FParentShowHint) control->Perform(CM_PARENTSHOWHINTCHANGED, 0, 0);
    if (control->FParentBiDiMode) control->Perform(CM_PARENTBIDIMODECHANGED, 0, 0);
  }
  control->UpdateAnchorOrigin();
  if (auto* w = dynamic_cast<TWinControl*>(control)) {
    if (FHandle) w->UpdateShowing();
  } else {
    control->Invalidate();
  }
  AlignAndAnchor(control);
  Perform(CM_CONTROLLISTCHANGE, reinterpret_cast<std::uintptr_t>(control), 1);
}

void TWinControl::RemoveControl(TControl* control) {
  if (control->FParent != this) return;
  Perform(CM_CONTROLLISTCHANGE, reinterpret_cast<std::uintptr_t>(control), 0);
  TWinControl* top = TopParent();
  if (auto* w = dynamic_cast<TWinControl*>(control)) {
    top->DefocusControl(w, true);
    if (w->FHandle) w->DestroyHandle();
    FWinControls.erase(std::remove(FWinControls.begin(), FWinControls.end(), w), FWinControls.end());
    FTabList.erase(std::remove(FTabList.begin(), FTabList.end(), w), FTabList.end());
  } else {
    control->Invalidate();
    FControls.erase(std::remove(FControls.begin(), FControls.end(), control), FControls.end());
  }
  if (FMouseInControl == control) FMouseInControl = nullptr;
  if (control->FHostDockSite == this) {
    control->FHostDockSite = nullptr;
    FDockClients.erase(std::remove(FDockClients.begin(), FDockClients.end(), control), FDockClients.end());
    // Stacked clients: one of those left fills the site again.
    if (FUseDockManager && !FDockClients.empty() &&
        std::none_of(FDockClients.begin(), FDockClients.end(), [](TControl* c) { return c->Align() == alClient; }))
      FDockClients.back()->SetAlign(alClient);
  }
  if (GMouseControl && IsDescendant(GMouseControl, control)) GMouseControl = nullptr;
  if (TControl* cap = TControl::CaptureControl()) {
    auto* w = dynamic_cast<TWinControl*>(control);
    if (cap == control || (w && IsDescendant(cap, w))) cap->SetMouseCapture(false);
  }
  control->FParent = nullptr;
  if (!FComponentState.Contains(csDestroying)) Realign();
}

void TWinControl::GetChildren(const TGetChildProc& proc, TComponent* root) {
  for (int i = 0; i < ControlCount(); ++i) {
    TControl* c = Controls(i);
    if (c->Owner() == root) proc(c);
  }
}

void TWinControl::SetChildOrder(TComponent* child, int order) {
  if (auto* w = dynamic_cast<TWinControl*>(child)) {
    auto it = std::find(FWinControls.begin(), FWinControls.end(), w);
    if (it == FWinControls.end()) return;
    FWinControls.erase(it);
    int pos = std::clamp(order - int(FControls.size()), 0, int(FWinControls.size()));
    FWinControls.insert(FWinControls.begin() + pos, w);
  } else if (auto* c = dynamic_cast<TControl*>(child)) {
    auto it = std::find(FControls.begin(), FControls.end(), c);
    if (it == FControls.end()) return;
    FControls.erase(it);
    int pos = std::clamp(order, 0, int(FControls.size()));
    FControls.insert(FControls.begin() + pos, c);
  }
}

void TWinControl::SetZOrderOf(TControl* control, bool topMost) {
  if (auto* w = dynamic_cast<TWinControl*>(control)) {
    auto it = std::find(FWinControls.begin(), FWinControls.end(), w);
    if (it == FWinControls.end()) return;
    FWinControls.erase(it);
    if (topMost) FWinControls.push_back(w);
    else FWinControls.insert(FWinControls.begin(), w);
    if (w->FHandle) {
      SetWindowPos(w->FHandle, topMost ? HWND_TOP : HWND_BOTTOM, 0, 0, 0, 0,
                   SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_NOOWNERZORDER);
    }
  } else {
    auto it = std::find(FControls.begin(), FControls.end(), control);
    if (it == FControls.end()) return;
    FControls.erase(it);
    if (topMost) FControls.push_back(control);
    else FControls.insert(FControls.begin(), control);
    control->Invalidate();
  }
}

void TWinControl::BringToFront() {
  if (FParent) {
    FParent->SetZOrderOf(this, true);
  } else if (FHandle) {
    SetWindowPos(FHandle, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
  }
}

void TWinControl::SendToBack() {
  if (FParent) {
    FParent->SetZOrderOf(this, false);
  } else if (FHandle) {
    SetWindowPos(FHandle, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  }
}

TControl* TWinControl::ControlAtPos(const TPoint& pos, bool allowDisabled, bool allowWinControls,
                                    bool allLevels) const {
  auto hit = [&](TControl* c) -> bool {
    if (!(c->FVisible || (c->FComponentState.Contains(csDesigning) && !c->FControlState.Contains(csDesignerHide))))
      return false;
    if (!allowDisabled && !c->FEnabled) return false;
    TPoint p(pos.X - c->FLeft, pos.Y - c->FTop);
    if (p.X < 0 || p.Y < 0 || p.X >= c->FWidth || p.Y >= c->FHeight) return false;
    return c->Perform(CM_HITTEST, 0, KwPointToLParam(p.X, p.Y)) != 0;
  };
  if (allowWinControls) {
    for (auto it = FWinControls.rbegin(); it != FWinControls.rend(); ++it) {
      if (hit(*it)) {
        if (allLevels) {
          TControl* inner = (*it)->ControlAtPos(TPoint(pos.X - (*it)->FLeft, pos.Y - (*it)->FTop), allowDisabled,
                                                true, true);
          if (inner) return inner;
        }
        return *it;
      }
    }
  }
  for (auto it = FControls.rbegin(); it != FControls.rend(); ++it) {
    if (hit(*it)) return *it;
  }
  return nullptr;
}

// --- tab order and focus ------------------------------------------------------------------

void TWinControl::SetTabStop(bool v) {
  if (v == FTabStop) return;
  FTabStop = v;
  if (FHandle) {
    LONG_PTR style = GetWindowLongPtrW(FHandle, GWL_STYLE);
    SetWindowLongPtrW(FHandle, GWL_STYLE, v ? (style | WS_TABSTOP) : (style & ~LONG_PTR(WS_TABSTOP)));
  }
  Perform(CM_TABSTOPCHANGED, 0, 0);
}

TTabOrder TWinControl::TabOrder() const {
  if (!FParent) return FPendingTabOrder;
  auto& list = FParent->FTabList;
  auto it = std::find(list.begin(), list.end(), this);
  return it == list.end() ? -1 : TTabOrder(it - list.begin());
}

void TWinControl::SetTabOrder(TTabOrder v) {
  if (!FParent) {
    FPendingTabOrder = v;
    return;
  }
  auto& list = FParent->FTabList;
  auto it = std::find(list.begin(), list.end(), this);
  if (it == list.end()) return;
  int count = int(list.size());
  if (v < 0 || v >= count) v = count - 1;
  int cur = int(it - list.begin());
  if (v == cur) return;
  list.erase(it);
  list.insert(list.begin() + v, this);
}

void TWinControl::GetTabOrderList(std::vector<TWinControl*>& list) const {
  for (TWinControl* c : FTabList) {
    list.push_back(c);
    c->GetTabOrderList(list);
  }
}

TWinControl* TWinControl::FindNextControl(TWinControl* current, bool goForward, bool checkTabStop,
                                          bool checkParent) const {
  std::vector<TWinControl*> list;
  GetTabOrderList(list);
  if (list.empty()) return nullptr;
  int n = int(list.size());
  int start = -1;
  for (int i = 0; i < n; ++i) {
    if (list[size_t(i)] == current) start = i;
  }
  if (start < 0) start = goForward ? n - 1 : 0;
  int i = start;
  for (int step = 0; step < n; ++step) {
    i = goForward ? (i + 1) % n : (i - 1 + n) % n;
    TWinControl* c = list[size_t(i)];
    if (c == current) break;
    if (!c->CanFocus()) continue;
    if (checkTabStop && !c->FTabStop) continue;
    if (checkParent && c->FParent != this) continue;
    // A container of other focusable controls is not itself a stop unless it is a tab stop.
    return c;
  }
  return nullptr;
}

void TWinControl::SelectNext(TWinControl* current, bool goForward, bool checkTabStop) {
  TWinControl* next = FindNextControl(current, goForward, checkTabStop, !checkTabStop);
  if (next) next->SetFocus();
}

bool TWinControl::CanFocus() const {
  for (const TWinControl* c = this; c; c = c->FParent) {
    if (!c->FVisible || !c->FEnabled) return false;
  }
  return true;
}

bool TWinControl::Focused() const { return FHandle && GetFocus() == FHandle; }

void TWinControl::SetFocus() {
  TWinControl* top = TopParent();
  if (top != this && top->FocusControl(this)) return;
  if (!CanFocus()) throw EInvalidOperation(L"Cannot focus a disabled or invisible window");
  ::SetFocus(Handle());
}

void TWinControl::DefocusControl(TWinControl*, bool) {}

bool TWinControl::FocusControl(TWinControl* control) { return false; }

// --- painting -------------------------------------------------------------------------------

void TWinControl::Invalidate() {
  if (FHandle) InvalidateRect(FHandle, nullptr, FControlStyle.Contains(csOpaque) ? FALSE : TRUE);
}

void TWinControl::Update() {
  if (FHandle) UpdateWindow(FHandle);
}

void TWinControl::Repaint() {
  if (!FHandle) return;
  RedrawWindow(FHandle, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);
}

void TWinControl::PaintControls(HDC__* dc, TControl* first) {
  if (FControls.empty()) return;
  size_t start = 0;
  if (first) {
    auto it = std::find(FControls.begin(), FControls.end(), first);
    if (it != FControls.end()) start = size_t(it - FControls.begin());
  }
  bool copy = FControlState.Contains(csPaintCopy);
  std::weak_ptr<int> life = FLife;
  std::vector<TControl*> list(FControls.begin() + std::ptrdiff_t(start), FControls.end());
  for (TControl* c : list) {
    if (life.expired()) return;
    if (std::find(FControls.begin(), FControls.end(), c) == FControls.end()) continue;
    bool shown = c->FVisible || (c->FComponentState.Contains(csDesigning) && !c->FControlState.Contains(csDesignerHide));
    if (!shown) continue;
    RECT r{c->FLeft, c->FTop, c->FLeft + c->FWidth, c->FTop + c->FHeight};
    if (!RectVisible(dc, &r)) continue;
    if (copy) c->FControlState.Include(csPaintCopy);
    int saved = SaveDC(dc);
    struct Restore {
      HDC dc;
      int saved;
      TControl* c;
      bool copy;
      std::weak_ptr<int> life;
      ~Restore() {
        RestoreDC(dc, saved);
        if (copy && !life.expired()) c->FControlState.Exclude(csPaintCopy);
      }
    } restore{dc, saved, c, copy, c->FLife};
    MoveWindowOrg(dc, c->FLeft, c->FTop);
    IntersectClipRect(dc, 0, 0, c->FWidth, c->FHeight);
    c->Perform(WM_PAINT, reinterpret_cast<std::uintptr_t>(dc), 0);
  }
}

void TWinControl::PaintWindow(HDC__* dc) {
  TMessage m(WM_PAINT, reinterpret_cast<std::uintptr_t>(dc), 0);
  if (FHandle && FDefWndProc != reinterpret_cast<void*>(&DefWindowProcW)) DefaultHandler(m);
}

void TWinControl::PaintHandler(TMessage& m) {
  HDC dc = reinterpret_cast<HDC>(m.WParam);
  PAINTSTRUCT ps{};
  struct Paint {
    HWND wnd = nullptr;
    PAINTSTRUCT* ps = nullptr;
    ~Paint() {
      if (wnd) EndPaint(wnd, ps);
    }
  } paint;
  if (!dc) {
    if (!FHandle) return;
    dc = BeginPaint(FHandle, &ps);
    paint.wnd = FHandle;
    paint.ps = &ps;
  }
  bool clipped = false;
  int saved = 0;
  for (TControl* c : FControls) {
    if (c->FVisible && c->FControlStyle.Contains(csOpaque)) {
      if (!clipped) {
        saved = SaveDC(dc);
        clipped = true;
      }
      ExcludeClipRect(dc, c->FLeft, c->FTop, c->FLeft + c->FWidth, c->FTop + c->FHeight);
    }
  }
  try {
    PaintWindow(dc);
  } catch (...) {
    if (clipped) RestoreDC(dc, saved);
    throw;
  }
  if (clipped) RestoreDC(dc, saved);
  PaintControls(dc, nullptr);
}

namespace {

// Prints the platform's own child windows of wnd (a combo box's edit) that no control of ours
// stands for, each through a bitmap of its own, at their places in dc (wnd's client origin).
void PrintForeignChildren(HWND wnd, HDC dc) {
  for (HWND child = GetWindow(wnd, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    if (TWinControl::FindControl(child) || !IsWindowVisible(child)) continue;
    RECT wr;
    GetWindowRect(child, &wr);
    MapWindowPoints(nullptr, wnd, reinterpret_cast<POINT*>(&wr), 2);
    int w = wr.right - wr.left, h = wr.bottom - wr.top;
    if (w <= 0 || h <= 0) continue;
    TScratchDC mem(dc, w, h);
    SendMessageW(child, WM_PRINT, reinterpret_cast<WPARAM>(mem.DC()), PRF_NONCLIENT | PRF_CLIENT | PRF_ERASEBKGND);
    BitBlt(dc, wr.left, wr.top, w, h, mem.DC(), 0, 0, SRCCOPY);
  }
}

}  // namespace

void TWinControl::PaintTo(HDC__* dc, int x, int y) {
  bool native = FDefWndProc && FDefWndProc != reinterpret_cast<void*>(&DefWindowProcW);
  if (native) HandleNeeded();
  int saved = SaveDC(dc);
  MoveWindowOrg(dc, x, y);
  IntersectClipRect(dc, 0, 0, FWidth, FHeight);
  FControlState.Include(csPaintCopy);
  struct Restore {
    HDC dc;
    int saved;
    TWinControl* c;
    ~Restore() {
      c->FControlState.Exclude(csPaintCopy);
      RestoreDC(dc, saved);
    }
  } restore{dc, saved, this};
  // The frame the window's styles give it, so the client lands where it does on screen.
  int dx = 0, dy = 0;
  // A top-level window paints its client only: its caption and frame are the system's.
  if (FHandle && (GetWindowLongPtrW(FHandle, GWL_STYLE) & WS_CHILD)) {
    RECT wr, cr;
    GetWindowRect(FHandle, &wr);
    POINT o{0, 0};
    ::ClientToScreen(FHandle, &o);
    dx = o.x - wr.left;
    dy = o.y - wr.top;
    GetClientRect(FHandle, &cr);
    LONG_PTR ex = GetWindowLongPtrW(FHandle, GWL_EXSTYLE);
    LONG_PTR st = GetWindowLongPtrW(FHandle, GWL_STYLE);
    if (dx > 0 || dy > 0) {
      RECT frame{0, 0, wr.right - wr.left, wr.bottom - wr.top};
      if (ex & WS_EX_CLIENTEDGE) {
        DrawEdge(dc, &frame, EDGE_SUNKEN, BF_RECT | BF_ADJUST);
      } else if (st & WS_BORDER) {
        FrameRect(dc, &frame, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
      }
    }
    MoveWindowOrg(dc, dx, dy);
    IntersectClipRect(dc, 0, 0, cr.right, cr.bottom);
  }
  if (native) {
    // Platform controls clip their drawing to their client rectangle in device units, so
    // they print at the origin of a bitmap of their own that is then copied into place.
    RECT cr;
    GetClientRect(FHandle, &cr);
    int w = std::max<int>(cr.right, 1), h = std::max<int>(cr.bottom, 1);
    TScratchDC mem(dc, w, h);
    // What the control leaves unpainted (a list's room below its items) shows its colour.
    RECT all{0, 0, w, h};
    FillRect(mem.DC(), &all, FBrush->Handle());
    Perform(WM_PRINTCLIENT, reinterpret_cast<std::uintptr_t>(mem.DC()), PRF_CLIENT | PRF_ERASEBKGND);
    PrintForeignChildren(FHandle, mem.DC());
    BitBlt(dc, 0, 0, w, h, mem.DC(), 0, 0, SRCCOPY);
  } else {
    Perform(WM_ERASEBKGND, reinterpret_cast<std::uintptr_t>(dc), 0);
    Perform(WM_PAINT, reinterpret_cast<std::uintptr_t>(dc), 0);
  }
  for (TWinControl* c : std::vector<TWinControl*>(FWinControls)) {
    if (c->FVisible) c->PaintTo(dc, c->FLeft, c->FTop);
  }
}

void TWinControl::SetEnabled(bool v) {
  if (v == FEnabled) return;
  FEnabled = v;
  if (FHandle) EnableWindow(FHandle, v);
  Perform(CM_ENABLEDCHANGED, 0, 0);
}

void TWinControl::SetTextInternal(const String& v) {
  FText = v;
  if (FHandle) SetWindowTextW(FHandle, v.c_str());
}

String TWinControl::GetText() const {
  if (!FHandle) return FText;
  int n = GetWindowTextLengthW(FHandle);
  String s(size_t(n) + 1, L'\0');
  n = GetWindowTextW(FHandle, s.data(), n + 1);
  s.resize(size_t(std::max(n, 0)));
  return s;
}

void TWinControl::FontChanged(TObject* sender) {
  TControl::FontChanged(sender);
}

void TWinControl::NotifyControls(Cardinal msg) {
  std::vector<TControl*> all(FControls.begin(), FControls.end());
  all.insert(all.end(), FWinControls.begin(), FWinControls.end());
  for (TControl* c : all) c->Perform(msg, 0, 0);
}

// --- messages ---------------------------------------------------------------------------------

bool TWinControl::IsControlMouseMsg(TMessage& m) {
  TControl* target = nullptr;
  TControl* cap = TControl::CaptureControl();
  if (cap && cap->FParent == this && !dynamic_cast<TWinControl*>(cap)) {
    target = cap;
  } else if (!cap || cap == this) {
    target = ControlAtPos(TPoint(m.XPos(), m.YPos()), false);
  }
  if (!target) return false;
  m.Result = target->Perform(m.Msg, m.WParam, KwPointToLParam(m.XPos() - target->FLeft, m.YPos() - target->FTop));
  return true;
}

void TWinControl::TrackMouse(TControl* target) {
  if (target == GMouseControl) return;
  TControl* old = GMouseControl;
  GMouseControl = target;
  if (old) old->Perform(CM_MOUSELEAVE, 0, 0);
  if (target && GMouseControl == target) {
    target->Perform(CM_MOUSEENTER, 0, 0);
  }
  if (FHandle && target) {
    TRACKMOUSEEVENT t{sizeof(t), TME_LEAVE, FHandle, 0};
    TrackMouseEvent(&t);
  }
}

TControl* TWinControl::MouseControl() { return GMouseControl; }

void TWinControl::ReflectNotification(TMessage& m) {
  HWND child = nullptr;
  switch (m.Msg) {
    case WM_COMMAND:
    case WM_HSCROLL:
    case WM_VSCROLL:
    case WM_CTLCOLORMSGBOX:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC:
    case WM_CHARTOITEM:
    case WM_VKEYTOITEM:
      child = reinterpret_cast<HWND>(m.LParam);
      break;
    case WM_NOTIFY:
      if (m.LParam) child = reinterpret_cast<NMHDR*>(m.LParam)->hwndFrom;
      break;
    case WM_DRAWITEM: {
      auto* d = reinterpret_cast<DRAWITEMSTRUCT*>(m.LParam);
      if (d && d->CtlType != ODT_MENU) child = d->hwndItem;
      break;
    }
    case WM_DELETEITEM:
      if (m.LParam) child = reinterpret_cast<DELETEITEMSTRUCT*>(m.LParam)->hwndItem;
      break;
    case WM_COMPAREITEM:
      if (m.LParam) child = reinterpret_cast<COMPAREITEMSTRUCT*>(m.LParam)->hwndItem;
      break;
    case WM_MEASUREITEM: {
      auto* mi = reinterpret_cast<MEASUREITEMSTRUCT*>(m.LParam);
      if (!mi || mi->CtlType == ODT_MENU) break;
      // Measuring comes while the child's window is being made, before it is known by handle.
      if (GMaking && GMaking->FParent == this && (!GMaking->FHandle || GetDlgCtrlID(GMaking->FHandle) == int(mi->CtlID))) {
        m.Result = GMaking->Perform(CN_BASE + m.Msg, m.WParam, m.LParam);
        return;
      }
      child = GetDlgItem(FHandle, int(mi->CtlID));
      break;
    }
  }
  if (child && child != FHandle) {
    if (TWinControl* c = FindControl(child)) {
      m.Result = c->Perform(CN_BASE + m.Msg, m.WParam, m.LParam);
      return;
    }
  }
  DefaultHandler(m);
}

// The form previews the key first when it asks to; then the control's own handler. True when
// one of them used the key up (set it to 0) or freed the control.
bool TWinControl::DoKey(TMessage& m, int kind) {
  TWinControl* form = TopParent();
  std::weak_ptr<int> life = FLife;
  if (form != this && form->KeyPreview() && form->DoKey(m, kind)) return true;
  if (life.expired()) return true;
  if (FControlStyle.Contains(csNoStdEvents)) return m.WParam == 0;
  if (kind == 2) {
    wchar_t ch = wchar_t(m.WParam);
    KeyPress(ch);
    if (life.expired()) return true;
    m.WParam = ch;
    return ch == 0;
  }
  Word key = Word(m.WParam);
  if (kind == 0) KeyDown(key, KeyDataToShiftState(m.LParam));
  else KeyUp(key, KeyDataToShiftState(m.LParam));
  if (life.expired()) return true;
  m.WParam = key;
  return key == 0;
}

bool TWinControl::DoMouseWheel(TShiftState shift, int delta, TPoint pos) {
  bool handled = false;
  OnMouseWheel(this, shift, delta, pos, handled);
  return handled;
}

void TWinControl::KeyMessage(TMessage& m) {
  switch (m.Msg) {
    case CN_KEYDOWN:
    case CN_SYSKEYDOWN: {
      m.Result = 1;
      if (!FComponentState.Contains(csDesigning)) {
        if (IsMenuKey(m)) return;
        if (Perform(CM_CHILDKEY, m.WParam, reinterpret_cast<std::intptr_t>(this)) != 0) return;
        LRESULT mask = 0;
        switch (m.WParam) {
          case VK_TAB: mask = DLGC_WANTTAB; break;
          case VK_LEFT: case VK_RIGHT: case VK_UP: case VK_DOWN: mask = DLGC_WANTARROWS; break;
          case VK_RETURN: case VK_EXECUTE: case VK_ESCAPE: case VK_CANCEL: mask = DLGC_WANTALLKEYS; break;
        }
        if (mask != 0 && Perform(CM_WANTSPECIALKEY, m.WParam, 0) == 0 &&
            (Perform(WM_GETDLGCODE, 0, 0) & mask) == 0) {
          TWinControl* form = TopParent();
          if (form->Perform(CM_DIALOGKEY, m.WParam, m.LParam) != 0) return;
        }
      }
      m.Result = 0;
      return;
    }
    case CN_CHAR: {
      m.Result = 1;
      if (!FComponentState.Contains(csDesigning) && (Perform(WM_GETDLGCODE, 0, 0) & DLGC_WANTCHARS) == 0) {
        TWinControl* form = TopParent();
        if (form->Perform(CM_DIALOGCHAR, m.WParam, m.LParam) != 0) return;
      }
      m.Result = 0;
      return;
    }
    case CN_SYSCHAR: {
      TWinControl* form = TopParent();
      m.Result = form->Perform(CM_DIALOGCHAR, m.WParam, m.LParam) != 0 ? 1 : 0;
      return;
    }
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
      if (!DoKeyDown(m)) DefaultHandler(m);
      return;
    case WM_KEYUP:
    case WM_SYSKEYUP:
      if (!DoKeyUp(m)) DefaultHandler(m);
      return;
    case WM_CHAR:
      if (!DoKeyPress(m)) DefaultHandler(m);
      return;
  }
}

bool (*KwFormShortCut)(TWinControl* control, TWMKey& key) = nullptr;

bool TWinControl::IsMenuKey(TMessage& m) {
  TWMKey key;
  key.Msg = m.Msg - CN_BASE;
  key.CharCode = Word(m.WParam);
  key.KeyData = NativeInt(m.LParam);
  // The pop-up menus of the control and its parents first, then its form and the application.
  std::weak_ptr<int> life = FLife;
  for (TControl* c = this; c; c = c->Parent()) {
    TPopupMenu* menu = c->GetPopupMenu();
    if (menu && menu->IsShortCut(key)) return true;
    if (life.expired()) return true;
  }
  return KwFormShortCut && KwFormShortCut(this, key);
}

void TWinControl::FocusMessage(TMessage& m) {
  std::weak_ptr<int> life = FLife;
  DefaultHandler(m);
  if (life.expired()) return;
  TWinControl* top = TopParent();
  if (m.Msg == WM_SETFOCUS && (FImeMode != imDontCare || !FImeName.empty())) SetIme();
  if (m.Msg == WM_SETFOCUS) {
    if (!top->SetFocusedControl(this) && top == this) Perform(CM_ENTER, 0, 0);
  } else if (top == this && !top->SetFocusedControl(nullptr)) {
    Perform(CM_EXIT, 0, 0);
  }
}

void TWinControl::WndProc(TMessage& m) {
  if (KwDragMessage(this, m)) return;
  switch (m.Msg) {
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
      FocusMessage(m);
      return;
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
    case WM_KEYUP:
    case WM_SYSKEYUP:
    case WM_CHAR:
    case CN_KEYDOWN:
    case CN_SYSKEYDOWN:
    case CN_CHAR:
    case CN_SYSCHAR:
      KeyMessage(m);
      return;
    case WM_MOUSEMOVE: {
      TControl* over = ControlAtPos(TPoint(m.XPos(), m.YPos()), false);
      std::weak_ptr<int> life = FLife;
      TControl* cap = TControl::CaptureControl();
      if (!cap) TrackMouse(over ? over : this);
      if (life.expired()) return;
      if (IsControlMouseMsg(m)) return;
      break;
    }
    case WM_MOUSELEAVE:
      if (GMouseControl && (GMouseControl == this || (GMouseControl->FParent == this &&
                                                      !dynamic_cast<TWinControl*>(GMouseControl)))) {
        TControl* old = GMouseControl;
        GMouseControl = nullptr;
        old->Perform(CM_MOUSELEAVE, 0, 0);
      }
      return;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDOWN:
    case WM_RBUTTONDBLCLK:
    case WM_MBUTTONDOWN:
    case WM_MBUTTONDBLCLK:
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
    case WM_MBUTTONUP:
      if (IsControlMouseMsg(m)) return;
      break;
    case WM_CONTEXTMENU:
      // A graphic child under the point has its own menu first.
      if (m.Result == 0 && !(m.XPos() == -1 && m.YPos() == -1)) {
        TPoint p = ScreenToClient(TPoint(m.XPos(), m.YPos()));
        if (TControl* c = ControlAtPos(p, false)) {
          if (c->Perform(WM_CONTEXTMENU, m.WParam, m.LParam) != 0) {
            m.Result = 1;
            return;
          }
        }
      }
      break;
    case WM_MOUSEWHEEL:
    case WM_MOUSEHWHEEL: {
      TShiftState shift = KeysToShiftState(Word(m.WParam & 0xFFFF));
      if (m.Msg == WM_MOUSEHWHEEL) shift.Include(ssHorizontal);
      int delta = int(std::int16_t(m.WParam >> 16));
      if (DoMouseWheel(shift, delta, TPoint(m.XPos(), m.YPos()))) {
        m.Result = 0;
        return;
      }
      // Not used here: the parent may scroll.
      if (FParent) {
        m.Result = FParent->Perform(m.Msg, m.WParam, m.LParam);
        return;
      }
      break;
    }
    case WM_PAINT:
      if (FDoubleBuffered && m.WParam == 0 && FHandle) {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(FHandle, &ps);
        RECT cr;
        GetClientRect(FHandle, &cr);
        struct End {
          HWND wnd;
          PAINTSTRUCT* ps;
          ~End() { EndPaint(wnd, ps); }
        } end{FHandle, &ps};
        TScratchDC mem(dc, cr.right, cr.bottom);
        HDC buffer = mem.DC();
        Perform(WM_ERASEBKGND, reinterpret_cast<std::uintptr_t>(buffer), reinterpret_cast<std::intptr_t>(buffer));
        Perform(WM_PAINT, reinterpret_cast<std::uintptr_t>(buffer), 0);
        BitBlt(dc, 0, 0, cr.right, cr.bottom, buffer, 0, 0, SRCCOPY);
        return;
      }
      PaintHandler(m);
      return;
    case WM_ERASEBKGND: {
      if (FControlStyle.Contains(csOpaque)) {
        m.Result = 1;
        return;
      }
      bool native = FDefWndProc && FDefWndProc != reinterpret_cast<void*>(&DefWindowProcW);
      if (native) break;
      RECT r{0, 0, FWidth, FHeight};
      if (FHandle) GetClientRect(FHandle, &r);
      FillRect(reinterpret_cast<HDC>(m.WParam), &r, FBrush->Handle());
      m.Result = 1;
      return;
    }
    case WM_WINDOWPOSCHANGED:
      DefaultHandler(m);
      SizeMessage(m);
      return;
    case WM_SIZE: {
      // Also a frame change (scroll bars shown, border changed) resizes the client.
      std::weak_ptr<int> life = FLife;
      DefaultHandler(m);
      if (life.expired()) return;
      RealignIfClientResized(TSize(short(LOWORD(m.LParam)), short(HIWORD(m.LParam))));
      return;
    }
    case WM_COMMAND:
    case WM_NOTIFY:
    case WM_DRAWITEM:
    case WM_MEASUREITEM:
    case WM_DELETEITEM:
    case WM_COMPAREITEM:
    case WM_HSCROLL:
    case WM_VSCROLL:
    case WM_CTLCOLORMSGBOX:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC:
    case WM_CHARTOITEM:
    case WM_VKEYTOITEM:
      ReflectNotification(m);
      return;
    case WM_SETCURSOR:
      if (LOWORD(m.LParam) == HTCLIENT && reinterpret_cast<HWND>(m.WParam) == FHandle) {
        TCursor cursor = KwScreenCursor();
        if (cursor == crDefault) {
          POINT p;
          GetCursorPos(&p);
          ::ScreenToClient(FHandle, &p);
          TControl* c = ControlAtPos(TPoint(p.x, p.y), false);
          cursor = c ? c->FCursor : FCursor;
        }
        if (cursor != crDefault) {
          ::SetCursor(KwCursorHandle(cursor));
          m.Result = 1;
          return;
        }
      }
      break;
    case WM_CANCELMODE:
      if (TControl::CaptureControl() && TControl::CaptureControl()->FParent == this)
        TControl::CaptureControl()->Perform(WM_CANCELMODE, 0, 0);
      break;
    case CM_COLORCHANGED:
      FBrush->SetColor(FColor);
      NotifyControls(CM_PARENTCOLORCHANGED);
      Invalidate();
      break;
    case CM_FONTCHANGED:
      if (FHandle) SendMessageW(FHandle, WM_SETFONT, reinterpret_cast<WPARAM>(FFont->Handle()), 0);
      NotifyControls(CM_PARENTFONTCHANGED);
      break;
    case CM_SHOWHINTCHANGED:
      NotifyControls(CM_PARENTSHOWHINTCHANGED);
      break;
    case CM_VISIBLECHANGED:
      UpdateShowing();
      break;
    case CM_DIALOGKEY:
    case CM_DIALOGCHAR:
    case CM_FOCUSCHANGED:
    case CM_SYSCOLORCHANGE:
    case CM_CANCELMODE: {
      // Offered to every child; the first that answers ends the walk for keys.
      std::vector<TControl*> all(FControls.begin(), FControls.end());
      all.insert(all.end(), FWinControls.begin(), FWinControls.end());
      std::weak_ptr<int> life = FLife;
      for (TControl* c : all) {
        if (life.expired()) return;
        LResult r = c->Perform(m.Msg, m.WParam, m.LParam);
        if (r != 0 && (m.Msg == CM_DIALOGKEY || m.Msg == CM_DIALOGCHAR)) {
          m.Result = r;
          return;
        }
      }
      if (m.Msg == CM_CANCELMODE && !life.expired()) break;
      return;
    }
    case CM_ENTER:
      DoEnter();
      return;
    case CM_EXIT:
      DoExit();
      return;
    case CN_CTLCOLORMSGBOX:
    case CN_CTLCOLOREDIT:
    case CN_CTLCOLORLISTBOX:
    case CN_CTLCOLORBTN:
    case CN_CTLCOLORDLG:
    case CN_CTLCOLORSCROLLBAR:
    case CN_CTLCOLORSTATIC: {
      HDC dc = reinterpret_cast<HDC>(m.WParam);
      SetTextColor(dc, ColorToRGB(FFont->Color()));
      SetBkColor(dc, ColorToRGB(FBrush->Color()));
      m.Result = reinterpret_cast<LResult>(FBrush->Handle());
      return;
    }
  }
  TControl::WndProc(m);
}

void TWinControl::DefaultHandler(TMessage& m) {
  if (!FHandle) {
    TControl::DefaultHandler(m);
    return;
  }
  // Component messages and reflections are ours; the platform never sees them.
  if (m.Msg >= CM_BASE && m.Msg < CN_BASE + 0x1000) return;
  WNDPROC proc = FDefWndProc ? reinterpret_cast<WNDPROC>(FDefWndProc) : DefWindowProcW;
  m.Result = CallWindowProcW(proc, FHandle, m.Msg, m.WParam, m.LParam);
}

// WM_SIZE and a moved or resized window both report the client size: realign once per size.
void TWinControl::RealignIfClientResized(const TSize& client) {
  if (client == FLastClientSize) return;
  FLastClientSize = client;
  Realign();
}

void TWinControl::SizeMessage(TMessage& m) {
  auto* pos = reinterpret_cast<WINDOWPOS*>(m.LParam);
  if (!pos || !FHandle) return;
  if ((pos->flags & SWP_NOSIZE) && (pos->flags & SWP_NOMOVE)) return;
  RECT r;
  GetWindowRect(FHandle, &r);
  HWND parent = GetParent(FHandle);
  if ((GetWindowLongPtrW(FHandle, GWL_STYLE) & WS_CHILD) && parent) {
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
  }
  bool resized = (r.right - r.left) != FWidth || (r.bottom - r.top) != FHeight;
  bool moved = r.left != FLeft || r.top != FTop;
  if (!resized && !moved) return;
  FLeft = r.left;
  FTop = r.top;
  FWidth = r.right - r.left;
  FHeight = r.bottom - r.top;
  if (!FSettingBounds && !FSettingFromParent) {
    UpdateAnchorOrigin();
    if (FParent && (FAlign != alNone)) RequestAlign();
  }
  if (resized) {
    TRect cr = ClientRect();
    RealignIfClientResized(TSize(cr.Width(), cr.Height()));
    Resize();
  }
}

void TWinControl::SetBounds(int left, int top, int width, int height) {
  if (!BoundsChange(left, top, width, height)) return;
  if (FHandle) {
    bool old = FSettingBounds;
    FSettingBounds = true;
    std::weak_ptr<int> life = FLife;
    try {
      SetWindowPos(FHandle, nullptr, left, top, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
    } catch (...) {
      if (!life.expired()) FSettingBounds = old;
      throw;
    }
    if (life.expired()) return;
    FSettingBounds = old;
  } else {
    bool resized = width != FWidth || height != FHeight;
    FLeft = left;
    FTop = top;
    FWidth = width;
    FHeight = height;
    if (resized) {
      Realign();
      Resize();
    }
  }
  if (!FSettingFromParent) {
    UpdateAnchorOrigin();
    RequestAlign();
  }
}

TRect TWinControl::ClientRect() const {
  if (FHandle) {
    RECT r;
    GetClientRect(FHandle, &r);
    return TRect(0, 0, r.right, r.bottom);
  }
  return TRect(0, 0, FWidth, FHeight);
}

TPoint TWinControl::ClientOrigin() const {
  if (!FHandle) return TControl::ClientOrigin();
  POINT p{0, 0};
  ::ClientToScreen(FHandle, &p);
  return TPoint(p.x, p.y);
}

// --- TCustomControl ----------------------------------------------------------------------

KW_REGISTER_CLASS(TCustomControl, TWinControl)

TCustomControl::TCustomControl(TComponent* owner)
    : TWinControl(owner), FCanvas(std::make_unique<TControlCanvas>()) {}

TCustomControl::~TCustomControl() {
  // The canvas must give its DC back before the window goes.
  FCanvas->SetWindowHandle(nullptr);
}

void TCustomControl::CreateWnd() {
  TWinControl::CreateWnd();
  FCanvas->SetWindowHandle(FHandle);
}

void TCustomControl::DestroyWnd() {
  FCanvas->SetWindowHandle(nullptr);
  TWinControl::DestroyWnd();
}

void TCustomControl::PaintWindow(HDC__* dc) {
  FControlState.Include(csCustomPaint);
  try {
    FCanvas->PaintOn(dc, FFont.get(), FColor, [this] { Paint(); });
  } catch (...) {
    FControlState.Exclude(csCustomPaint);
    throw;
  }
  FControlState.Exclude(csCustomPaint);
}

// --- finding controls ---------------------------------------------------------------------

TWinControl* KwFindControlWindow(const TPoint& screenPos) {
  HWND wnd = WindowFromPoint(POINT{screenPos.X, screenPos.Y});
  while (wnd) {
    if (TWinControl* c = TWinControl::FindControl(wnd)) return c;
    wnd = GetParent(wnd);
  }
  return nullptr;
}

TControl* KwFindDragTarget(const TPoint& screenPos, bool allowDisabled) {
  TWinControl* w = KwFindControlWindow(screenPos);
  if (!w) return nullptr;
  TPoint p = w->ScreenToClient(screenPos);
  TControl* c = w->ControlAtPos(p, allowDisabled);
  return c ? c : w;
}

// --- the message loop's part ----------------------------------------------------------------

namespace {
TCursor GScreenCursor = crDefault;
}

TCursor KwScreenCursor() { return GScreenCursor; }
void KwSetScreenCursor(TCursor cursor) {
  if (cursor == GScreenCursor) return;
  GScreenCursor = cursor;
  POINT p;
  GetCursorPos(&p);
  if (cursor == crDefault) {
    SendMessageW(WindowFromPoint(p), WM_SETCURSOR, reinterpret_cast<WPARAM>(WindowFromPoint(p)), HTCLIENT | (WM_MOUSEMOVE << 16));
  } else {
    ::SetCursor(KwCursorHandle(cursor));
  }
}

bool KwIsKeyMsg(void* message) {
  MSG& msg = *static_cast<MSG*>(message);
  if (msg.message < WM_KEYFIRST || msg.message > WM_KEYLAST) return false;
  HWND wnd = msg.hwnd;
  TWinControl* c = TWinControl::FindControl(wnd);
  // A platform control's inner window (a combo box's edit) belongs to the control around it.
  if (!c && wnd) {
    HWND parent = GetParent(wnd);
    c = TWinControl::FindControl(parent);
  }
  if (!c) return false;
  return c->Perform(CN_BASE + msg.message, msg.wParam, msg.lParam) != 0;
}

}  // namespace kw
