// Dragging controls onto others (capture, threshold, CM_DRAG enter/move/leave/drop, the cursor,
// Escape) and docking them into dock sites or floating windows of their own. Docked clients are
// stacked by alignment: there is no dock manager with tiled zones or grab bars.
#include <algorithm>

#include "host/Application.h"
#include "host/Exceptions.h"
#include "host/Forms.h"
#include "host/Typreg.h"
#include "host/Win.h"

namespace kw {

KW_DEFINE_ENUM(TDragMode, L"dmManual", L"dmAutomatic")
KW_DEFINE_ENUM(TDragKind, L"dkDrag", L"dkDock")
KW_REGISTER_CLASS(TDragObject, TObject)
KW_REGISTER_CLASS(TBaseDragControlObject, TDragObject)
KW_REGISTER_CLASS(TDragControlObject, TBaseDragControlObject)
KW_REGISTER_CLASS(TDragDockObject, TBaseDragControlObject)

namespace {

constexpr int DefaultDragThreshold = 5;

// The windows made for floating controls; each goes when its last client leaves. They are
// known by their life tokens too, so that one freed otherwise is never taken for another.
std::vector<std::pair<TWinControl*, std::weak_ptr<int>>>& FloatForms() {
  static std::vector<std::pair<TWinControl*, std::weak_ptr<int>>> forms;
  std::erase_if(forms, [](auto& f) { return f.second.expired(); });
  return forms;
}

bool IsFloatForm(const TWinControl* w) {
  auto& f = FloatForms();
  return w && std::any_of(f.begin(), f.end(), [w](auto& e) { return e.first == w; });
}

void ReleaseEmptyFloatForm(TWinControl* w) {
  if (!IsFloatForm(w) || w->ControlCount() > 0) return;
  std::erase_if(FloatForms(), [w](auto& e) { return e.first == w; });
  if (auto* form = dynamic_cast<TCustomForm*>(w)) {
    form->Hide();
    form->Release();
  }
}

TRect ScreenBounds(const TControl* c) {
  TPoint o = c->Parent() ? c->Parent()->ClientToScreen(TPoint(c->Left(), c->Top())) : TPoint(c->Left(), c->Top());
  return TRect(o.X, o.Y, o.X + c->Width(), o.Y + c->Height());
}

}  // namespace

// The drag in progress: one per thread of windows, as there is one mouse.
struct TDragSession {
  TControl* Source = nullptr;
  std::weak_ptr<int> SourceLife;
  TDragObject* Object = nullptr;
  std::unique_ptr<TDragObject> Owned;
  TControl* Target = nullptr;
  std::weak_ptr<int> TargetLife;
  TPoint Start;
  TPoint Grab;  // the cursor from the control's top-left corner
  int Threshold = DefaultDragThreshold;
  bool Active = false;
  bool Accepted = false;
  bool Docking = false;

  static TDragSession& Get() {
    static TDragSession s;
    return s;
  }
  bool On() {
    if (Source && SourceLife.expired()) Clear();
    return Source != nullptr;
  }
  void Clear() {
    Source = nullptr;
    SourceLife.reset();
    Object = nullptr;
    Owned.reset();
    Target = nullptr;
    TargetLife.reset();
    Active = Accepted = Docking = false;
  }
  TControl* LiveTarget() const { return Target && !TargetLife.expired() ? Target : nullptr; }

  LResult Send(TControl* target, TDragMessage what, const TPoint& pos) {
    TDragRec rec;
    rec.Pos = pos;
    rec.Source = Object;
    rec.Target = target;
    rec.Docking = Docking;
    return target->Perform(CM_DRAG, what, reinterpret_cast<std::intptr_t>(&rec));
  }

  // The dock site under the point that would take the source: the nearest one up the parent
  // chain that is not the source or inside it and does not refuse in OnGetSiteInfo.
  TWinControl* FindDockSite(const TPoint& pos) {
    for (TWinControl* w = KwFindControlWindow(pos); w; w = w->Parent()) {
      if (!w->DockSite() || w == Source) continue;
      if (auto* sw = dynamic_cast<TWinControl*>(Source); sw && sw->ContainsControl(w)) continue;
      bool canDock = true;
      TRect influence = ScreenBounds(w);
      w->OnGetSiteInfo(w, Source, influence, pos, canDock);
      if (canDock && pos.X >= influence.Left && pos.X < influence.Right && pos.Y >= influence.Top &&
          pos.Y < influence.Bottom)
        return w;
    }
    return nullptr;
  }

  // The window under the point names the control that takes the drag (CM_DRAG dmFindTarget).
  TControl* FindTarget(const TPoint& pos) {
    TWinControl* w = KwFindControlWindow(pos);
    if (!w) return nullptr;
    auto* found = reinterpret_cast<TControl*>(Send(w, dmFindTarget, pos));
    return found ? found : w;
  }

  void MoveTo(const TPoint& pos) {
    std::weak_ptr<int> life = SourceLife;
    TControl* target = Docking ? FindDockSite(pos) : FindTarget(pos);
    TControl* old = LiveTarget();
    if (target != old) {
      if (old) Send(old, dmDragLeave, pos);
      if (life.expired()) return;
      Target = target;
      TargetLife = target ? target->LifeToken() : std::weak_ptr<int>();
      Accepted = target && Send(target, dmDragEnter, pos) != 0;
    } else if (target) {
      Accepted = Send(target, dmDragMove, pos) != 0;
    }
    if (life.expired() || !Object) return;
    Object->FDragTarget = LiveTarget();
    Object->FDragPos = pos;
    if (auto* dock = dynamic_cast<TDragDockObject*>(Object)) {
      int w = Source->UndockWidth() > 0 ? Source->UndockWidth() : Source->Width();
      int h = Source->UndockHeight() > 0 ? Source->UndockHeight() : Source->Height();
      dock->DockRect = TRect(pos.X - Grab.X, pos.Y - Grab.Y, pos.X - Grab.X + w, pos.Y - Grab.Y + h);
      dock->DropOnControl = Accepted ? dynamic_cast<TWinControl*>(LiveTarget()) : nullptr;
      dock->Floating = !Accepted;
    }
    ::SetCursor(KwCursorHandle(Object->GetDragCursor(Accepted, pos.X, pos.Y)));
  }

  // Ends the drag: dropped on the accepting target (drop) or cancelled.
  void Done(bool drop, const TPoint& pos) {
    TControl* source = Source;
    std::weak_ptr<int> life = SourceLife;
    TDragObject* object = Object;
    std::unique_ptr<TDragObject> owned = std::move(Owned);
    TControl* target = (drop && Active && Accepted) ? LiveTarget() : nullptr;
    TControl* over = LiveTarget();
    bool docking = Docking, active = Active;
    Clear();
    // Nothing of the drag stays on: handlers below may start another. A drag that moved
    // is no click.
    if (active) source->FControlState.Exclude(csClicked);
    if (source->MouseCapture()) source->SetMouseCapture(false);
    if (!target && over) {
      TDragSession leave;
      leave.Object = object;
      leave.Docking = docking;
      leave.Send(over, dmDragLeave, pos);
    }
    if (life.expired()) return;
    object->FCancelling = !drop;
    object->FDropped = target != nullptr;
    object->FDragTarget = target;
    object->FDragPos = pos;
    auto* dock = dynamic_cast<TDragDockObject*>(object);
    if (target) {
      TDragSession dropping;
      dropping.Object = object;
      dropping.Docking = docking;
      std::weak_ptr<int> targetLife = target->LifeToken();
      if (docking && dock) {
        if (!source->ManualDock(static_cast<TWinControl*>(target), nullptr, dock->DropAlign)) target = nullptr;
        else if (!life.expired() && source->Parent() == target) {
          // Docked without a dock manager: the control goes where it was dropped.
          auto* site = static_cast<TWinControl*>(target);
          if (!site->UseDockManager() && dock->DropAlign == alNone) {
            TPoint p = site->ScreenToClient(TPoint(dock->DockRect.Left, dock->DockRect.Top));
            source->SetBounds(p.X, p.Y, source->Width(), source->Height());
          }
        }
      }
      if (target && !targetLife.expired() && !life.expired()) dropping.Send(target, dmDragDrop, pos);
    } else if (drop && active && docking && dock && source->DragKind() == dkDock) {
      if (source->Floating() && source->HostDockSite()) {
        TWinControl* host = source->HostDockSite();
        TRect r = dock->DockRect;
        host->SetBounds(r.Left, r.Top, host->Width(), host->Height());
      } else {
        source->ManualFloat(dock->DockRect);
      }
    }
    if (life.expired()) return;
    TPoint at = target && !target->LifeToken().expired() ? target->ScreenToClient(pos) : pos;
    object->Finished(target, at.X, at.Y, target != nullptr);
  }
};

namespace {

void BeginSession(TControl* source, TDragObject* object, std::unique_ptr<TDragObject> owned, bool docking,
                  bool immediate, int threshold) {
  TDragSession& s = TDragSession::Get();
  POINT p;
  GetCursorPos(&p);
  s.Source = source;
  s.SourceLife = source->LifeToken();
  s.Owned = std::move(owned);
  s.Object = object;
  s.Docking = docking;
  s.Start = TPoint(p.x, p.y);
  TRect bounds = ScreenBounds(source);
  s.Grab = TPoint(p.x - bounds.Left, p.y - bounds.Top);
  s.Threshold = threshold < 0 ? DefaultDragThreshold : threshold;
  if (auto* dock = dynamic_cast<TDragDockObject*>(object)) dock->DockRect = bounds;
  source->SetMouseCapture(true);
  if (immediate) {
    s.Active = true;
    s.MoveTo(s.Start);
  }
}

}  // namespace

void TBaseDragControlObject::Finished(TObject* target, int x, int y, bool accepted) {
  if (!FControl) return;
  if (dynamic_cast<TDragDockObject*>(this)) FControl->DoEndDock(target, x, y);
  else FControl->DoEndDrag(target, x, y);
}

TCursor TDragControlObject::GetDragCursor(bool accepted, int x, int y) {
  return accepted && FControl ? FControl->DragCursor() : crNoDrop;
}

void TControl::BeginDrag(bool immediate, int threshold) {
  TDragSession& s = TDragSession::Get();
  if (s.On()) return;
  std::weak_ptr<int> life = FLife;
  if (FDragKind == dkDock) {
    TDragDockObject* given = nullptr;
    DoStartDock(given);
    if (life.expired() || s.On()) return;
    std::unique_ptr<TDragObject> owned;
    if (!given) {
      auto made = std::make_unique<TDragDockObject>(this);
      given = made.get();
      owned = std::move(made);
    }
    BeginSession(this, given, std::move(owned), true, immediate, threshold);
    return;
  }
  TDragObject* given = nullptr;
  DoStartDrag(given);
  if (life.expired() || s.On()) return;
  std::unique_ptr<TDragObject> owned;
  if (!given) {
    owned = std::make_unique<TDragControlObject>(this);
    given = owned.get();
  }
  BeginSession(this, given, std::move(owned), false, immediate, threshold);
}

bool TControl::Dragging() const {
  TDragSession& s = TDragSession::Get();
  return s.On() && s.Source == this;
}

void TControl::EndDrag(bool drop) {
  if (!Dragging()) return;
  POINT p;
  GetCursorPos(&p);
  TDragSession::Get().Done(drop, TPoint(p.x, p.y));
}

void CancelDrag() {
  TDragSession& s = TDragSession::Get();
  if (!s.On()) return;
  POINT p;
  GetCursorPos(&p);
  s.Done(false, TPoint(p.x, p.y));
}

void TControl::DragOver(TObject* source, int x, int y, TDragState state, bool& accept) {
  // A control takes drops only when it has a handler to say so.
  accept = bool(OnDragOver);
  if (accept) OnDragOver(this, source, x, y, state, accept);
}

void TWinControl::DockOver(TDragDockObject* source, int x, int y, TDragState state, bool& accept) {
  OnDockOver(this, source, x, y, state, accept);
}

bool TWinControl::DoUnDock(TWinControl* newTarget, TControl* client) {
  bool allow = true;
  OnUnDock(this, client, newTarget, allow);
  return allow;
}

void TControl::DragMessage(TMessage& m) {
  auto* rec = reinterpret_cast<TDragRec*>(m.LParam);
  if (!rec) return;
  TPoint p = ScreenToClient(rec->Pos);
  // The host hands a plain control drag's control as the source, any other object as itself.
  TObject* source = rec->Source;
  if (auto* c = dynamic_cast<TDragControlObject*>(rec->Source)) source = c->Control();
  auto* site = dynamic_cast<TWinControl*>(this);
  auto* dock = dynamic_cast<TDragDockObject*>(rec->Source);
  switch (m.WParam) {
    case dmDragEnter:
    case dmDragLeave:
    case dmDragMove: {
      TDragState state = m.WParam == dmDragEnter ? dsDragEnter : m.WParam == dmDragLeave ? dsDragLeave : dsDragMove;
      bool accept = false;
      if (rec->Docking) {
        accept = site && dock && site->DockSite();
        if (accept) site->DockOver(dock, p.X, p.Y, state, accept);
      } else {
        DragOver(source, p.X, p.Y, state, accept);
      }
      m.Result = accept ? 1 : 0;
      return;
    }
    case dmDragDrop:
      if (rec->Docking) {
        if (site && dock) site->DockDrop(dock, p.X, p.Y);
      } else {
        DragDrop(source, p.X, p.Y);
      }
      return;
    case dmFindTarget: {
      TControl* found = site ? site->ControlAtPos(p, false) : nullptr;
      m.Result = reinterpret_cast<LResult>(found ? found : this);
      return;
    }
  }
}

bool KwDragMessage(TControl* c, TMessage& m) {
  TDragSession& s = TDragSession::Get();
  if (!s.Source) return false;
  if (!s.On()) return false;
  switch (m.Msg) {
    case WM_KEYDOWN:
    case CN_KEYDOWN:
      if (m.WParam == VK_ESCAPE) {
        CancelDrag();
        m.Result = 1;
        return true;
      }
      return false;
    case WM_CAPTURECHANGED: {
      // Another window took the mouse (a menu, a message box): the drag cannot go on.
      TWinControl* holder = s.Source->WindowOwner();
      if (c == holder && holder && holder->HandleAllocated() && reinterpret_cast<HWND>(m.LParam) != holder->Handle())
        CancelDrag();
      return false;
    }
    case WM_CANCELMODE:
      if (c == s.Source || c == s.Source->WindowOwner()) CancelDrag();
      return false;
  }
  if (c != s.Source) return false;
  bool mouseMove = m.Msg == WM_MOUSEMOVE;
  bool mouseUp = m.Msg == WM_LBUTTONUP || m.Msg == WM_RBUTTONUP;
  if (!mouseMove && !mouseUp && m.Msg != WM_LBUTTONDOWN && m.Msg != WM_RBUTTONDOWN) return false;
  TPoint pos = c->ClientToScreen(TPoint(m.XPos(), m.YPos()));
  if (mouseMove) {
    if (!s.Active) {
      if (std::abs(pos.X - s.Start.X) < s.Threshold && std::abs(pos.Y - s.Start.Y) < s.Threshold) return false;
      s.Active = true;
    }
    s.MoveTo(pos);
    return true;
  }
  if (m.Msg == WM_RBUTTONDOWN) {
    // The other button gives up the drag.
    s.Done(false, pos);
    return true;
  }
  if (!mouseUp) return true;
  if (!s.Active) {
    // Released before the drag began: it ends, and the release is the control's as usual.
    s.Done(false, pos);
    return false;
  }
  s.Done(m.Msg == WM_LBUTTONUP, pos);
  return true;
}

// --- docking ----------------------------------------------------------------------------------

bool TControl::Floating() const { return FHostDockSite && IsFloatForm(FHostDockSite); }

bool TControl::ManualDock(TWinControl* site, TControl* dropControl, TAlign side) {
  if (!site) {
    TRect r = ScreenBounds(this);
    return ManualFloat(r);
  }
  if (site == this || (dynamic_cast<TWinControl*>(this) && static_cast<TWinControl*>(this)->ContainsControl(site)))
    throw EInvalidOperation(L"A control cannot be docked into itself");
  std::weak_ptr<int> life = FLife;
  TWinControl* old = FHostDockSite;
  if (old && old != site && !old->DoUnDock(site, this)) return false;
  if (life.expired()) return false;
  if (!FHostDockSite) {
    FUndockWidth = FWidth;
    FUndockHeight = FHeight;
  }
  TWinControl* oldParent = FParent;
  if (FParent != site) SetParent(site);
  FHostDockSite = site;
  auto& clients = site->FDockClients;
  if (std::find(clients.begin(), clients.end(), this) == clients.end()) clients.push_back(this);
  if (site->UseDockManager()) {
    // Stacked: the first client fills the site, later ones stand above it (or on the side asked).
    if (side != alNone && side != alCustom) SetAlign(side);
    else SetAlign(clients.size() == 1 ? alClient : alTop);
  } else {
    SetAlign(side == alCustom ? alNone : side);
    if (FAlign == alNone && FUndockWidth > 0) SetBounds(FLeft, FTop, FUndockWidth, FUndockHeight);
  }
  if (dropControl && dropControl->Parent() == site && dropControl != this && FAlign == alTop)
    SetBounds(FLeft, dropControl->Top(), FWidth, FHeight);
  Show();
  if (oldParent && oldParent != site) ReleaseEmptyFloatForm(oldParent);
  return true;
}

bool TControl::ManualFloat(const TRect& screenPos) {
  std::weak_ptr<int> life = FLife;
  TWinControl* old = FHostDockSite;
  if (Floating() && old) {
    old->SetBounds(screenPos.Left, screenPos.Top, old->Width(), old->Height());
    return true;
  }
  if (old && !old->DoUnDock(nullptr, this)) return false;
  if (life.expired()) return false;
  if (!old) {
    FUndockWidth = FWidth;
    FUndockHeight = FHeight;
  }
  TWinControl* oldParent = FParent;
  auto* host = KwCreate<TForm>(Application());
  FloatForms().emplace_back(host, host->LifeToken());
  host->SetBorderStyle(bsSizeToolWin);
  host->SetCaption(Caption());
  host->SetDockSite(true);
  host->SetLeft(screenPos.Left);
  host->SetTop(screenPos.Top);
  int width = FUndockWidth > 0 ? FUndockWidth : screenPos.Width();
  int height = FUndockHeight > 0 ? FUndockHeight : screenPos.Height();
  host->SetClientWidth(width);
  host->SetClientHeight(height);
  SetParent(host);
  SetAlign(alClient);
  FHostDockSite = host;
  host->FDockClients.push_back(this);
  host->Show();
  if (oldParent && oldParent != host) ReleaseEmptyFloatForm(oldParent);
  return true;
}

}  // namespace kw
