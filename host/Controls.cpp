// TControl: bounds, visibility, colour and font inheritance, text, hints, mouse messages and
// capture, painting a control elsewhere, and actions. Window controls are in Wincontrol.cpp,
// alignment and anchors in Align.cpp.
#include "host/Controls.h"

#include <unordered_map>

#include "host/ActnList.h"
#include "host/Exceptions.h"
#include "host/Menus.h"
#include "host/Typreg.h"
#include "host/Win.h"

namespace kw {

KW_DEFINE_ENUM(TAlign, L"alNone", L"alTop", L"alBottom", L"alLeft", L"alRight", L"alClient", L"alCustom")
KW_DEFINE_ENUM(TAnchorKind, L"akLeft", L"akTop", L"akRight", L"akBottom")
KW_DEFINE_ENUM(TMouseButton, L"mbLeft", L"mbRight", L"mbMiddle")

namespace {

TControl* GCaptureControl = nullptr;

void MoveWindowOrg(HDC dc, int dx, int dy) {
  POINT org;
  GetWindowOrgEx(dc, &org);
  SetWindowOrgEx(dc, org.x - dx, org.y - dy, nullptr);
}

std::unordered_map<int, HCURSOR>& CustomCursors() {
  static std::unordered_map<int, HCURSOR> map;
  return map;
}

}  // namespace

HICON__* KwCursorHandle(TCursor cursor) {
  auto& custom = CustomCursors();
  auto it = custom.find(cursor);
  if (it != custom.end()) return it->second;
  const wchar_t* id = IDC_ARROW;
  switch (cursor) {
    case crCross: id = IDC_CROSS; break;
    case crIBeam: id = IDC_IBEAM; break;
    case crSizeNESW: id = IDC_SIZENESW; break;
    case crSizeNS: case crVSplit: id = IDC_SIZENS; break;
    case crSizeNWSE: id = IDC_SIZENWSE; break;
    case crSizeWE: case crHSplit: id = IDC_SIZEWE; break;
    case crUpArrow: id = IDC_UPARROW; break;
    case crHourGlass: case crSQLWait: id = IDC_WAIT; break;
    case crNo: case crNoDrop: id = IDC_NO; break;
    case crAppStart: id = IDC_APPSTARTING; break;
    case crHelp: id = IDC_HELP; break;
    case crHandPoint: id = IDC_HAND; break;
    case crSizeAll: id = IDC_SIZEALL; break;
    case crNone: return nullptr;
    default: break;
  }
  return LoadCursorW(nullptr, id);
}

void KwSetCursorHandle(TCursor cursor, HICON__* handle) {
  if (handle) CustomCursors()[cursor] = handle;
  else CustomCursors().erase(cursor);
}

// --- TSizeConstraints -------------------------------------------------------------------

KW_BEGIN_CLASS(TSizeConstraints, TPersistent) {
  b.Prop(L"MaxHeight", &TSizeConstraints::MaxHeight, &TSizeConstraints::SetMaxHeight).Default(0);
  b.Prop(L"MaxWidth", &TSizeConstraints::MaxWidth, &TSizeConstraints::SetMaxWidth).Default(0);
  b.Prop(L"MinHeight", &TSizeConstraints::MinHeight, &TSizeConstraints::SetMinHeight).Default(0);
  b.Prop(L"MinWidth", &TSizeConstraints::MinWidth, &TSizeConstraints::SetMinWidth).Default(0);
}

void TSizeConstraints::Assign(const TPersistent* source) {
  if (auto* s = dynamic_cast<const TSizeConstraints*>(source)) {
    FMinWidth = s->FMinWidth;
    FMaxWidth = s->FMaxWidth;
    FMinHeight = s->FMinHeight;
    FMaxHeight = s->FMaxHeight;
    Change();
    return;
  }
  TPersistent::Assign(source);
}

void TSizeConstraints::SetMinWidth(int v) {
  if (v == FMinWidth) return;
  FMinWidth = v;
  if (FMaxWidth > 0 && FMaxWidth < v) FMaxWidth = v;
  Change();
}
void TSizeConstraints::SetMaxWidth(int v) {
  if (v == FMaxWidth) return;
  FMaxWidth = v;
  if (v > 0 && FMinWidth > v) FMinWidth = v;
  Change();
}
void TSizeConstraints::SetMinHeight(int v) {
  if (v == FMinHeight) return;
  FMinHeight = v;
  if (FMaxHeight > 0 && FMaxHeight < v) FMaxHeight = v;
  Change();
}
void TSizeConstraints::SetMaxHeight(int v) {
  if (v == FMaxHeight) return;
  FMaxHeight = v;
  if (v > 0 && FMinHeight > v) FMinHeight = v;
  Change();
}
void TSizeConstraints::Change() { OnChange(this); }

void TSizeConstraints::Apply(int& width, int& height) const {
  if (FMaxWidth > 0 && width > FMaxWidth) width = FMaxWidth;
  if (FMinWidth > 0 && width < FMinWidth) width = FMinWidth;
  if (FMaxHeight > 0 && height > FMaxHeight) height = FMaxHeight;
  if (FMinHeight > 0 && height < FMinHeight) height = FMinHeight;
}

// --- actions ------------------------------------------------------------------------------

KW_BEGIN_CLASS(TBasicAction, TComponent) {
  b.Event(L"OnExecute", &TBasicAction::OnExecute);
  b.Event(L"OnUpdate", &TBasicAction::OnUpdate);
}

TBasicAction::TBasicAction(TComponent* owner) : TComponent(owner) {}

TBasicAction::~TBasicAction() {
  while (!FClients.empty()) FClients.back()->SetAction(nullptr);
  SetActionComponent(nullptr);
}

bool TBasicAction::Execute() {
  if (!OnExecute) return false;
  OnExecute(this);
  return true;
}

bool TBasicAction::Update() {
  if (!OnUpdate) return false;
  OnUpdate(this);
  return true;
}

void TBasicAction::SetActionComponent(TComponent* value) {
  if (value == FActionComponent) return;
  if (FActionComponent) FActionComponent->RemoveFreeNotification(this);
  FActionComponent = value;
  if (value) value->FreeNotification(this);
}

void TBasicAction::Notification(TComponent* component, TOperation operation) {
  TComponent::Notification(component, operation);
  if (operation == opRemove && component == FActionComponent) FActionComponent = nullptr;
}

void TBasicAction::Change() {
  OnChange(this);
  // A client may drop its link while hearing of the change.
  std::vector<TBasicActionLink*> clients = FClients;
  for (TBasicActionLink* link : clients) {
    if (std::find(FClients.begin(), FClients.end(), link) != FClients.end()) link->Change();
  }
}

KW_REGISTER_CLASS(TBasicActionLink, TObject)

TBasicActionLink::~TBasicActionLink() { SetAction(nullptr); }

void TBasicActionLink::SetAction(TBasicAction* value) {
  if (value == FAction) return;
  if (FAction) {
    auto& c = FAction->FClients;
    c.erase(std::remove(c.begin(), c.end(), this), c.end());
  }
  FAction = value;
  if (value) value->FClients.push_back(this);
}

bool TBasicActionLink::Execute(TComponent* component) {
  if (!FAction) return false;
  FAction->SetActionComponent(component);
  bool done = false;
  try {
    done = FAction->Execute();
  } catch (...) {
    if (FAction) FAction->SetActionComponent(nullptr);
    throw;
  }
  if (FAction) FAction->SetActionComponent(nullptr);
  return done;
}

bool TBasicActionLink::Update() { return FAction && FAction->Update(); }

KW_REGISTER_CLASS(TControlActionLink, TBasicActionLink)

void TControlActionLink::Change() {
  TBasicActionLink::Change();
  if (FControl && FAction) FControl->ActionChange(FAction, false);
}

KW_REGISTER_CLASS(TActionLink, TBasicActionLink)

bool TActionLink::IsCaptionLinked() const { return dynamic_cast<TCustomAction*>(FAction) != nullptr; }

namespace {
TCustomAction* CustomOf(TBasicAction* a) { return dynamic_cast<TCustomAction*>(a); }
}  // namespace

bool TControlActionLink::IsCaptionLinked() const {
  return CustomOf(FAction) && FControl->Caption() == CustomOf(FAction)->Caption();
}
bool TControlActionLink::IsEnabledLinked() const {
  return CustomOf(FAction) && FControl->Enabled() == CustomOf(FAction)->Enabled();
}
bool TControlActionLink::IsHintLinked() const {
  return CustomOf(FAction) && FControl->Hint() == CustomOf(FAction)->Hint();
}
bool TControlActionLink::IsVisibleLinked() const {
  return CustomOf(FAction) && FControl->Visible() == CustomOf(FAction)->Visible();
}
void TControlActionLink::SetCaption(const String& v) {
  if (IsCaptionLinked()) FControl->SetCaption(v);
}
void TControlActionLink::SetEnabled(bool v) {
  if (IsEnabledLinked()) FControl->SetEnabled(v);
}
void TControlActionLink::SetHint(const String& v) {
  if (IsHintLinked()) FControl->SetHint(v);
}
void TControlActionLink::SetVisible(bool v) {
  if (IsVisibleLinked()) FControl->SetVisible(v);
}

// --- TControl -------------------------------------------------------------------------

KW_BEGIN_CLASS(TControl, TComponent) {
  b.Prop(L"Left", &TControl::Left, &TControl::SetLeft);
  b.Prop(L"Top", &TControl::Top, &TControl::SetTop);
  b.Prop(L"Width", &TControl::Width, &TControl::SetWidth);
  b.Prop(L"Height", &TControl::Height, &TControl::SetHeight);
  b.Prop(L"Action", &TControl::Action, &TControl::SetAction);
  b.Prop(L"Align", &TControl::Align, &TControl::SetAlign).Default(alNone);
  b.Prop(L"Anchors", &TControl::Anchors, &TControl::SetAnchors).Default(TAnchors{akLeft, akTop});
  b.Prop(L"Constraints", &TControl::Constraints, &TControl::SetConstraints);
  b.Prop(L"Cursor", &TControl::Cursor, &TControl::SetCursor).Default(crDefault);
  b.Prop(L"Hint", &TControl::Hint, &TControl::SetHint).Default(L"");
  b.Prop(L"ParentShowHint", &TControl::ParentShowHint, &TControl::SetParentShowHint).Default(true);
  b.Prop(L"ShowHint", &TControl::ShowHint, &TControl::SetShowHint)
      .Stored(&TControl::ShowHintStored);
  b.Prop(L"Visible", &TControl::Visible, &TControl::SetVisible).Default(true);
  b.Prop(L"Enabled", &TControl::Enabled, &TControl::SetEnabled).Default(true);
  b.Prop(L"PopupMenu", &TControl::PopupMenu, &TControl::SetPopupMenu);
  b.Event(L"OnClick", &TControl::OnClick);
  b.Event(L"OnDblClick", &TControl::OnDblClick);
  b.Event(L"OnMouseDown", &TControl::OnMouseDown);
  b.Event(L"OnMouseMove", &TControl::OnMouseMove);
  b.Event(L"OnMouseUp", &TControl::OnMouseUp);
  b.Event(L"OnMouseEnter", &TControl::OnMouseEnter);
  b.Event(L"OnMouseLeave", &TControl::OnMouseLeave);
  b.Event(L"OnResize", &TControl::OnResize);
  b.Event(L"OnContextPopup", &TControl::OnContextPopup);
  b.Prop(L"BiDiMode", &TControl::BiDiMode, &TControl::SetBiDiMode).Stored(&TControl::BiDiModeStored);
  b.Prop(L"ParentBiDiMode", &TControl::ParentBiDiMode, &TControl::SetParentBiDiMode).Default(true);
  b.Prop(L"DragCursor", &TControl::DragCursor, &TControl::SetDragCursor).Default(crDrag);
  b.Prop(L"DragKind", &TControl::DragKind, &TControl::SetDragKind).Default(dkDrag);
  b.Prop(L"DragMode", &TControl::DragMode, &TControl::SetDragMode).Default(dmManual);
  b.Event(L"OnStartDrag", &TControl::OnStartDrag);
  b.Event(L"OnDragOver", &TControl::OnDragOver);
  b.Event(L"OnDragDrop", &TControl::OnDragDrop);
  b.Event(L"OnEndDrag", &TControl::OnEndDrag);
  b.Event(L"OnStartDock", &TControl::OnStartDock);
  b.Event(L"OnEndDock", &TControl::OnEndDock);
}

TControl::TControl(TComponent* owner)
    : TComponent(owner),
      FConstraints(std::make_unique<TSizeConstraints>()),
      FFont(std::make_unique<TFont>()),
      FLife(std::make_shared<int>(0)) {
  FWindowProc = [this](TMessage& m) { WndProc(m); };
  FFont->OnChange = [this](TObject* s) { FontChanged(s); };
  FConstraints->OnChange = [this](TObject*) { SetBounds(FLeft, FTop, FWidth, FHeight); };
}

TControl::~TControl() {
  if (GCaptureControl == this) {
    GCaptureControl = nullptr;
    ReleaseCapture();
  }
  FActionLink.reset();
  if (FParent) FParent->RemoveControl(this);
}

void TControl::SetName(const String& name) {
  auto* ownerControl = dynamic_cast<TControl*>(Owner());
  bool follow = FControlStyle.Contains(csSetCaption) && !FComponentState.Contains(csLoading) &&
                GetText() == Name() && !(ownerControl && ownerControl->ComponentState().Contains(csLoading));
  TComponent::SetName(name);
  if (follow) SetText(name);
}

TComponent* TControl::GetParentComponent() const { return FParent; }

void TControl::SetParentComponent(TComponent* parent) {
  if (auto* w = dynamic_cast<TWinControl*>(parent)) SetParent(w);
}

void TControl::SetParent(TWinControl* parent) {
  if (parent == FParent) return;
  if (parent == this) throw EInvalidOperation(L"A control cannot have itself as its parent");
  for (TWinControl* p = parent; p; p = p->FParent) {
    if (p == this) throw EInvalidOperation(L"A control cannot be a child of its own child");
  }
  if (FParent) FParent->RemoveControl(this);
  if (parent) parent->InsertControl(this);
}

void TControl::Loaded() {
  TComponent::Loaded();
  if (FParent) {
    if (FParentColor) Perform(CM_PARENTCOLORCHANGED, 0, 0);
    if (FParentFont) Perform(CM_PARENTFONTCHANGED, 0, 0);
    if (FParentShowHint) Perform(CM_PARENTSHOWHINTCHANGED, 0, 0);
    if (FParentBiDiMode) Perform(CM_PARENTBIDIMODECHANGED, 0, 0);
  }
  UpdateAnchorOrigin();
  RequestAlign();
}

void TControl::ConstrainedResize(int& width, int& height) { FConstraints->Apply(width, height); }

bool TControl::BoundsChange(int left, int top, int& width, int& height) {
  if (width < 0) width = 0;
  if (height < 0) height = 0;
  ConstrainedResize(width, height);
  if (left == FLeft && top == FTop && width == FWidth && height == FHeight) {
    // Set again by the user: the anchors measure from here now.
    if (!FSettingFromParent) UpdateAnchorOrigin();
    return false;
  }
  return true;
}

void TControl::SetBounds(int left, int top, int width, int height) {
  if (!BoundsChange(left, top, width, height)) return;
  InvalidateControl(FVisible, false);
  FLeft = left;
  FTop = top;
  FWidth = width;
  FHeight = height;
  InvalidateControl(FVisible, false);
  if (!FSettingFromParent) {
    UpdateAnchorOrigin();
    RequestAlign();
  }
  Resize();
}

void TControl::SetBoundsFromParent(int left, int top, int width, int height) {
  bool old = FSettingFromParent;
  FSettingFromParent = true;
  try {
    SetBounds(left, top, width, height);
  } catch (...) {
    FSettingFromParent = old;
    throw;
  }
  FSettingFromParent = old;
}

void TControl::SetClientWidth(int v) { SetWidth(v + FWidth - ClientWidth()); }
void TControl::SetClientHeight(int v) { SetHeight(v + FHeight - ClientHeight()); }

TPoint TControl::ClientOrigin() const {
  if (!FParent) return TPoint(FLeft, FTop);
  TPoint p = FParent->ClientOrigin();
  return TPoint(p.X + FLeft, p.Y + FTop);
}

TPoint TControl::ScreenToClient(const TPoint& p) const {
  TPoint o = ClientOrigin();
  return TPoint(p.X - o.X, p.Y - o.Y);
}

TPoint TControl::ClientToScreen(const TPoint& p) const {
  TPoint o = ClientOrigin();
  return TPoint(p.X + o.X, p.Y + o.Y);
}

void TControl::SetAlign(TAlign v) {
  if (v == FAlign) return;
  TAlign old = FAlign;
  FAlign = v;
  // An aligned control stretches; its anchors follow its sides so that switching back keeps it.
  if (v == alTop || v == alBottom) FAnchors = {akLeft, akTop, akRight};
  else if (v == alLeft || v == alRight) FAnchors = {akLeft, akTop, akBottom};
  else if (v == alClient) FAnchors = {akLeft, akTop, akRight, akBottom};
  else if (old != alNone && v == alNone) FAnchors = {akLeft, akTop};
  RequestAlign();
}

void TControl::SetAnchors(TAnchors v) {
  if (v == FAnchors) return;
  FAnchors = v;
  UpdateAnchorOrigin();
}

void TControl::UpdateAnchorOrigin() {
  if (FComponentState.Contains(csLoading)) return;
  FAnchorBounds = BoundsRect();
  if (FParent) {
    TRect r = FParent->ClientRect();
    FAnchorParentSize = TSize(r.Width(), r.Height());
    FAnchorValid = true;
  } else {
    FAnchorValid = false;
  }
}

void TControl::RequestAlign() {
  if (FParent) FParent->AlignAndAnchor(this);
}

bool TControl::Showing() const { return FVisible && FParent && FParent->Showing(); }

void TControl::SetVisible(bool v) {
  if (v == FVisible) return;
  VisibleChanging();
  FVisible = v;
  Perform(CM_VISIBLECHANGED, v ? 1 : 0, 0);
  RequestAlign();
}

void TControl::SetEnabled(bool v) {
  if (v == FEnabled) return;
  FEnabled = v;
  Perform(CM_ENABLEDCHANGED, 0, 0);
}

void TControl::SetColor(TColor v) {
  if (v == FColor) {
    FParentColor = false;
    return;
  }
  FColor = v;
  FParentColor = false;
  Perform(CM_COLORCHANGED, 0, 0);
}

void TControl::SetParentColor(bool v) {
  if (v == FParentColor) return;
  FParentColor = v;
  if (v && FParent && !FComponentState.Contains(csReading)) Perform(CM_PARENTCOLORCHANGED, 0, 0);
}

void TControl::FontChanged(TObject*) {
  if (!FUpdatingFont) {
    FParentFont = false;
    NoteRead(sfFont);
  }
  Perform(CM_FONTCHANGED, 0, 0);
}

void TControl::SetParentFont(bool v) {
  if (v == FParentFont) return;
  FParentFont = v;
  if (v && FParent && !FComponentState.Contains(csReading)) Perform(CM_PARENTFONTCHANGED, 0, 0);
}

bool TControl::ShowHintStored() const { return !FParentShowHint; }

void TControl::SetShowHint(bool v) {
  FParentShowHint = false;
  if (v == FShowHint) return;
  FShowHint = v;
  Perform(CM_SHOWHINTCHANGED, 0, 0);
}

void TControl::SetParentShowHint(bool v) {
  if (v == FParentShowHint) return;
  FParentShowHint = v;
  if (v && FParent && !FComponentState.Contains(csReading)) Perform(CM_PARENTSHOWHINTCHANGED, 0, 0);
}

void TControl::SetCursor(TCursor v) {
  if (v == FCursor) return;
  FCursor = v;
  Perform(CM_CURSORCHANGED, 0, 0);
}

void TControl::SetPopupMenu(TPopupMenu* v) {
  if (v == FPopupMenu) return;
  if (FPopupMenu) FPopupMenu->RemoveFreeNotification(this);
  FPopupMenu = v;
  if (v) v->FreeNotification(this);
}

void TControl::ContextMenuMessage(TMessage& m) {
  if (m.Result != 0) return;
  TPoint screen(m.XPos(), m.YPos());
  bool keyboard = screen.X == -1 && screen.Y == -1;
  TPoint local = keyboard ? TPoint(-1, -1) : ScreenToClient(screen);
  std::weak_ptr<int> life = FLife;
  bool handled = false;
  OnContextPopup(this, local, handled);
  if (life.expired()) return;
  if (handled) {
    m.Result = 1;
    return;
  }
  TPopupMenu* menu = GetPopupMenu();
  if (!menu || !menu->AutoPopup()) return;
  SendCancelMode(nullptr);
  if (life.expired()) return;
  menu->SetPopupComponent(this);
  // The keyboard's menu key opens the menu at the control.
  if (keyboard) screen = ClientToScreen(TPoint(0, 0));
  m.Result = 1;
  menu->Popup(screen.X, screen.Y);
}

void TControl::SetText(const String& v) {
  if (GetText() == v) return;
  SetTextInternal(v);
  Perform(CM_TEXTCHANGED, 0, 0);
}

void TControl::SetTextInternal(const String& v) { FText = v; }

LResult TControl::Perform(Cardinal msg, std::uintptr_t wparam, std::intptr_t lparam) {
  TMessage m(msg, wparam, lparam);
  if (FWindowProc) FWindowProc(m);
  else WndProc(m);
  return m.Result;
}

void TControl::SetWindowProc(TWndMethod proc) {
  if (!proc) proc = [this](TMessage& m) { WndProc(m); };
  FWindowProc = std::move(proc);
}

void TControl::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
  OnMouseDown(this, button, shift, x, y);
}
void TControl::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
  OnMouseUp(this, button, shift, x, y);
}
void TControl::MouseMove(TShiftState shift, int x, int y) { OnMouseMove(this, shift, x, y); }

void TControl::Click() {
  if (FActionLink && FActionLink->Action() && OnClick.Func() == nullptr) {
    FActionLink->Execute(this);
    return;
  }
  if (OnClick) {
    OnClick(this);
  } else if (FActionLink) {
    FActionLink->Execute(this);
  }
}

void TControl::DblClick() { OnDblClick(this); }

void TControl::SendCancelMode(TControl* sender) {
  // The form's active control drops any mode of its own (a drop-down) before a click elsewhere.
  TWinControl* top = FParent ? FParent : dynamic_cast<TWinControl*>(this);
  while (top && top->FParent) top = top->FParent;
  if (top) top->Perform(CM_CANCELMODE, 0, reinterpret_cast<std::intptr_t>(sender));
}

void TControl::MouseMessage(TMessage& m) {
  std::weak_ptr<int> life = FLife;
  TShiftState shift = KeysToShiftState(Word(m.WParam));
  int x = m.XPos(), y = m.YPos();
  auto down = [&](TMouseButton button, bool dbl) {
    if (dbl) shift.Include(ssDouble);
    if (!dbl || !FControlStyle.Contains(csDoubleClicks)) {
      if (button == mbLeft) {
        SendCancelMode(this);
        if (life.expired()) return;
        if (FControlStyle.Contains(csCaptureMouse)) SetMouseCapture(true);
        if (FControlStyle.Contains(csClickEvents)) FControlState.Include(csClicked);
      }
    } else if (button == mbLeft) {
      DblClick();
      if (life.expired()) return;
    }
    if (!FControlStyle.Contains(csNoStdEvents)) MouseDown(button, shift, x, y);
  };
  switch (m.Msg) {
    case WM_MOUSEMOVE:
      if (!FControlStyle.Contains(csNoStdEvents)) MouseMove(shift, x, y);
      break;
    case WM_LBUTTONDOWN: down(mbLeft, false); break;
    case WM_LBUTTONDBLCLK: down(mbLeft, true); break;
    case WM_RBUTTONDOWN: down(mbRight, false); break;
    case WM_RBUTTONDBLCLK: down(mbRight, true); break;
    case WM_MBUTTONDOWN: down(mbMiddle, false); break;
    case WM_MBUTTONDBLCLK: down(mbMiddle, true); break;
    case WM_LBUTTONUP: {
      if (FControlStyle.Contains(csCaptureMouse)) SetMouseCapture(false);
      if (FControlState.Contains(csClicked)) {
        FControlState.Exclude(csClicked);
        TRect r = ClientRect();
        if (x >= r.Left && x < r.Right && y >= r.Top && y < r.Bottom) Click();
        if (life.expired()) return;
      }
      if (!FControlStyle.Contains(csNoStdEvents)) MouseUp(mbLeft, shift, x, y);
      break;
    }
    case WM_RBUTTONUP:
      if (!FControlStyle.Contains(csNoStdEvents)) MouseUp(mbRight, shift, x, y);
      break;
    case WM_MBUTTONUP:
      if (!FControlStyle.Contains(csNoStdEvents)) MouseUp(mbMiddle, shift, x, y);
      break;
  }
}

void TControl::WndProc(TMessage& m) {
  if (KwDragMessage(this, m)) return;
  switch (m.Msg) {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
      // An automatic drag starts with the button instead of the control's own handling.
      if (FDragMode == dmAutomatic && !FComponentState.Contains(csDesigning) && !Dragging()) {
        BeginDrag(true, -1);
        return;
      }
      FControlState.Include(csLButtonDown);
      break;
    case WM_LBUTTONUP:
      FControlState.Exclude(csLButtonDown);
      break;
  }
  switch (m.Msg) {
    case WM_MOUSEMOVE:
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
    case WM_LBUTTONUP:
    case WM_RBUTTONDOWN:
    case WM_RBUTTONDBLCLK:
    case WM_RBUTTONUP:
    case WM_MBUTTONDOWN:
    case WM_MBUTTONDBLCLK:
    case WM_MBUTTONUP: {
      std::weak_ptr<int> life = FLife;
      MouseMessage(m);
      if (life.expired()) return;
      // Graphic controls have no window procedure behind them.
      if (dynamic_cast<TWinControl*>(this)) DefaultHandler(m);
      return;
    }
    case WM_CONTEXTMENU:
      ContextMenuMessage(m);
      if (m.Result == 0 && dynamic_cast<TWinControl*>(this)) DefaultHandler(m);
      return;
    case CM_ENABLEDCHANGED:
    case CM_TEXTCHANGED:
    case CM_COLORCHANGED:
    case CM_FONTCHANGED:
      Invalidate();
      break;
    case CM_VISIBLECHANGED:
      if (!dynamic_cast<TWinControl*>(this)) InvalidateControl(true, FVisible && FControlStyle.Contains(csOpaque));
      break;
    case CM_PARENTCOLORCHANGED:
      if (FParentColor && FParent) {
        TColor c = m.WParam ? TColor(m.LParam) : FParent->Color();
        if (c != FColor) {
          FColor = c;
          Perform(CM_COLORCHANGED, 0, 0);
        }
        FParentColor = true;
      }
      return;
    case CM_PARENTFONTCHANGED:
      if (FParentFont && FParent) {
        FUpdatingFont = true;
        try {
          FFont->Assign(m.WParam ? reinterpret_cast<TFont*>(m.LParam) : FParent->Font());
        } catch (...) {
          FUpdatingFont = false;
          throw;
        }
        FUpdatingFont = false;
      }
      return;
    case CM_PARENTSHOWHINTCHANGED:
      if (FParentShowHint && FParent && FShowHint != FParent->ShowHint()) {
        FShowHint = FParent->ShowHint();
        Perform(CM_SHOWHINTCHANGED, 0, 0);
      }
      return;
    case CM_HITTEST:
      m.Result = HTCLIENT;
      return;
    case CM_BIDIMODECHANGED:
    case CM_PARENTBIDIMODECHANGED:
      BiDiMessage(m);
      return;
    case CM_DRAG:
      DragMessage(m);
      return;
    case CM_MOUSEENTER:
      if (m.LParam == 0) OnMouseEnter(this);
      if (FParent) FParent->Perform(CM_MOUSEENTER, 0, m.LParam ? m.LParam : reinterpret_cast<std::intptr_t>(this));
      return;
    case CM_MOUSELEAVE:
      if (m.LParam == 0) OnMouseLeave(this);
      if (FParent) FParent->Perform(CM_MOUSELEAVE, 0, m.LParam ? m.LParam : reinterpret_cast<std::intptr_t>(this));
      return;
    case WM_CANCELMODE:
    case CM_CANCELMODE:
      if (GCaptureControl == this) SetMouseCapture(false);
      if (m.Msg == CM_CANCELMODE) return;
      break;
    case WM_CAPTURECHANGED:
      if (GCaptureControl && (GCaptureControl == this || GCaptureControl->FParent == this) &&
          reinterpret_cast<HWND>(m.LParam) != (HandleOf(this))) {
        GCaptureControl = nullptr;
      }
      break;
  }
  DefaultHandler(m);
}

HWND__* TControl::HandleOf(const TControl* c) {
  auto* w = dynamic_cast<const TWinControl*>(c);
  return w ? w->FHandle : nullptr;
}

void TControl::DefaultHandler(TMessage& m) {
  switch (m.Msg) {
    case WM_GETTEXT: {
      if (m.WParam == 0) return;
      size_t n = std::min<size_t>(FText.size(), m.WParam - 1);
      auto* out = reinterpret_cast<wchar_t*>(m.LParam);
      FText.copy(out, n);
      out[n] = 0;
      m.Result = LResult(n);
      return;
    }
    case WM_GETTEXTLENGTH:
      m.Result = LResult(FText.size());
      return;
    case WM_SETTEXT:
      FText = m.LParam ? reinterpret_cast<const wchar_t*>(m.LParam) : L"";
      m.Result = 1;
      return;
  }
}

TWinControl* TControl::WindowOwner() const { return FParent; }

void TControl::InvalidateControl(bool isVisible, bool isOpaque) {
  if (!isVisible || !FParent || !FParent->HandleAllocated()) return;
  if (dynamic_cast<TWinControl*>(this)) return;
  RECT r{FLeft, FTop, FLeft + FWidth, FTop + FHeight};
  InvalidateRect(FParent->FHandle, &r, isOpaque ? FALSE : TRUE);
}

void TControl::Invalidate() { InvalidateControl(FVisible, FControlStyle.Contains(csOpaque)); }

void TControl::Update() {
  if (FParent) FParent->Update();
}

void TControl::Repaint() {
  Invalidate();
  Update();
}

void TControl::BringToFront() {
  if (FParent) FParent->SetZOrderOf(this, true);
}
void TControl::SendToBack() {
  if (FParent) FParent->SetZOrderOf(this, false);
}

void TControl::PaintTo(HDC__* dc, int x, int y) {
  int saved = SaveDC(dc);
  MoveWindowOrg(dc, x, y);
  IntersectClipRect(dc, 0, 0, FWidth, FHeight);
  FControlState.Include(csPaintCopy);
  try {
    Perform(WM_PAINT, reinterpret_cast<std::uintptr_t>(dc), 0);
  } catch (...) {
    FControlState.Exclude(csPaintCopy);
    RestoreDC(dc, saved);
    throw;
  }
  FControlState.Exclude(csPaintCopy);
  RestoreDC(dc, saved);
}

void TControl::PaintTo(TCanvas* canvas, int x, int y) {
  canvas->Lock();
  try {
    PaintTo(canvas->Handle(), x, y);
  } catch (...) {
    canvas->Unlock();
    throw;
  }
  canvas->Unlock();
}

bool TControl::MouseCapture() const { return GCaptureControl == this; }

void TControl::SetMouseCapture(bool v) {
  if (v == MouseCapture()) return;
  if (v) {
    HWND wnd = HandleOf(this);
    if (!wnd && FParent && FParent->HandleAllocated()) wnd = FParent->FHandle;
    GCaptureControl = this;
    if (wnd) SetCapture(wnd);
  } else {
    GCaptureControl = nullptr;
    ReleaseCapture();
  }
}

TControl* TControl::CaptureControl() { return GCaptureControl; }

TBasicAction* TControl::Action() const { return FActionLink ? FActionLink->Action() : nullptr; }

void TControl::SetAction(TBasicAction* v) {
  if (v == Action()) return;
  if (!v) {
    if (FActionLink) FActionLink->Action()->RemoveFreeNotification(this);
    FActionLink.reset();
    FControlStyle.Exclude(csActionClient);
    return;
  }
  if (!FActionLink) FActionLink.reset(CreateActionLink());
  else if (FActionLink->Action()) FActionLink->Action()->RemoveFreeNotification(this);
  FControlStyle.Include(csActionClient);
  v->FreeNotification(this);
  FActionLink->SetAction(v);
  // While either side is being read, the control keeps the values it was given.
  ActionChange(v, v->ComponentState().Contains(csLoading) || FComponentState.Contains(csLoading));
}

TControlActionLink* TControl::CreateActionLink() { return new TControlActionLink(this); }

void TControl::ActionChange(TObject* sender, bool checkDefaults) {
  auto* a = dynamic_cast<TCustomAction*>(sender);
  if (!a) return;
  if (!checkDefaults || Caption().empty() || Caption() == Name()) SetCaption(a->Caption());
  if (!checkDefaults || FEnabled) SetEnabled(a->Enabled());
  if (!checkDefaults || FHint.empty()) SetHint(a->Hint());
  if (!checkDefaults || FVisible) SetVisible(a->Visible());
}

bool TControl::ExecuteAction(TBasicAction* action) { return false; }
bool TControl::UpdateAction(TBasicAction* action) { return false; }

void TControl::InitiateAction() {
  if (FActionLink) FActionLink->Update();
}

void TControl::Notification(TComponent* component, TOperation operation) {
  TComponent::Notification(component, operation);
  if (operation != opRemove) return;
  if (FActionLink && component == FActionLink->Action()) {
    FActionLink.reset();
    FControlStyle.Exclude(csActionClient);
  }
  if (component == FPopupMenu) FPopupMenu = nullptr;
}

// --- TGraphicControl -------------------------------------------------------------------

KW_REGISTER_CLASS(TGraphicControl, TControl)

TGraphicControl::TGraphicControl(TComponent* owner)
    : TControl(owner), FCanvas(std::make_unique<TCanvas>()) {}

TGraphicControl::~TGraphicControl() = default;

void TGraphicControl::WndProc(TMessage& m) {
  if (m.Msg == WM_PAINT && m.WParam) {
    FCanvas->Lock();
    FCanvas->SetHandle(reinterpret_cast<HDC>(m.WParam));
    struct Restore {
      TCanvas* c;
      ~Restore() {
        c->SetHandle(nullptr);
        c->Unlock();
      }
    } restore{FCanvas.get()};
    FCanvas->Font()->Assign(FFont.get());
    Paint();
    return;
  }
  TControl::WndProc(m);
}

}  // namespace kw
