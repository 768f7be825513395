// Controls: TControl (bounds, alignment, anchors, visibility, colour, font, text, hints, mouse
// handling, message dispatch through an assignable WindowProc) and TWinControl over a real window
// with its window procedure, focus, tab order, keyboard and painting of graphic children.
// TGraphicControl/TCustomControl are here too; forms, the application and the concrete
// controls have units of their own.
#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "host/Ctlcanvas.h"
#include "host/Graphics.h"
#include "host/Keyboard.h"
#include "host/Messages.h"
#include "host/Types.h"

struct HWND__;
struct HDC__;
struct HINSTANCE__;
struct HICON__;
struct HBRUSH__;

namespace kw {

class TWinControl;
class TBasicAction;
class TControlActionLink;
class TPopupMenu;

enum TAlign { alNone, alTop, alBottom, alLeft, alRight, alClient, alCustom };
KW_DECLARE_ENUM(TAlign)
enum TAnchorKind { akLeft, akTop, akRight, akBottom };
using TAnchors = TSet<TAnchorKind>;
KW_DECLARE_ENUM(TAnchorKind)
enum TMouseButton { mbLeft, mbRight, mbMiddle };
KW_DECLARE_ENUM(TMouseButton)

enum TControlStateFlag {
  csLButtonDown, csClicked, csPalette, csReadingState, csAlignmentNeeded, csFocusing, csCreating,
  csPaintCopy, csCustomPaint, csDestroyingHandle, csDocking, csDesignerHide, csPanning,
  csRecreating, csAligning, csGlassPaint, csPrintClient
};
using TControlState = TSet<TControlStateFlag>;
enum TControlStyleFlag {
  csAcceptsControls, csCaptureMouse, csDesignInteractive, csClickEvents, csFramed, csSetCaption,
  csOpaque, csDoubleClicks, csFixedWidth, csFixedHeight, csNoDesignVisible, csReplicatable,
  csNoStdEvents, csDisplayDragImage, csReflector, csActionClient, csMenuEvents,
  csNeedsBorderPaint, csParentBackground, csPannable, csAlignWithMargins, csGestures,
  csPaintBlackOpaqueOnGlass, csOverrideStylePaint
};
using TControlStyle = TSet<TControlStyleFlag>;

using TCursor = std::int16_t;
constexpr TCursor crDefault = 0, crNone = -1, crArrow = -2, crCross = -3, crIBeam = -4,
                  crSizeNESW = -6, crSizeNS = -7, crSizeNWSE = -8, crSizeWE = -9, crUpArrow = -10,
                  crHourGlass = -11, crDrag = -12, crNoDrop = -13, crHSplit = -14, crVSplit = -15,
                  crMultiDrag = -16, crSQLWait = -17, crNo = -18, crAppStart = -19, crHelp = -20,
                  crHandPoint = -21, crSizeAll = -22;
// The cursor handle for a cursor value: the standard ones from the system, others as
// registered (TScreen's Cursors); unknown values give the arrow.
HICON__* KwCursorHandle(TCursor cursor);
void KwSetCursorHandle(TCursor cursor, HICON__* handle);

using TMouseEvent = TEvent<void(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y)>;
using TMouseMoveEvent = TEvent<void(TObject* Sender, TShiftState Shift, int X, int Y)>;
using TKeyEvent = TEvent<void(TObject* Sender, Word& Key, TShiftState Shift)>;
using TKeyPressEvent = TEvent<void(TObject* Sender, wchar_t& Key)>;
using TMouseWheelEvent = TEvent<void(TObject* Sender, TShiftState Shift, int WheelDelta, TPoint MousePos, bool& Handled)>;
using TContextPopupEvent = TEvent<void(TObject* Sender, TPoint MousePos, bool& Handled)>;
using TWndMethod = std::function<void(TMessage& message)>;

class TSizeConstraints : public TPersistent {
  KW_CLASS(TSizeConstraints, TPersistent)
  TSizeConstraints() = default;
  void Assign(const TPersistent* source) override;
  int MinWidth() const { return FMinWidth; }
  void SetMinWidth(int v);
  int MaxWidth() const { return FMaxWidth; }
  void SetMaxWidth(int v);
  int MinHeight() const { return FMinHeight; }
  void SetMinHeight(int v);
  int MaxHeight() const { return FMaxHeight; }
  void SetMaxHeight(int v);
  // The size within the limits (0 means no limit).
  void Apply(int& width, int& height) const;
  TNotifyEvent OnChange;

private:
  void Change();
  int FMinWidth = 0, FMaxWidth = 0, FMinHeight = 0, FMaxHeight = 0;
};

// An action as controls see it: something to execute and to ask for its state.
class TBasicAction : public TComponent {
  KW_CLASS(TBasicAction, TComponent)
  explicit TBasicAction(TComponent* owner);
  ~TBasicAction() override;
  // OnExecute, else the target the action finds; true when someone handled it.
  virtual bool Execute();
  virtual bool Update();
  virtual bool HandlesTarget(TObject* target) { return false; }
  virtual void ExecuteTarget(TObject* target) {}
  virtual void UpdateTarget(TObject* target) {}
  TComponent* ActionComponent() const { return FActionComponent; }
  void SetActionComponent(TComponent* value);
  void Notification(TComponent* component, TOperation operation) override;
  TNotifyEvent OnExecute;
  TNotifyEvent OnUpdate;
  TNotifyEvent OnChange;

protected:
  friend class TBasicActionLink;
  virtual void Change();
  std::vector<class TBasicActionLink*> FClients;

private:
  TComponent* FActionComponent = nullptr;
};

class TBasicActionLink : public TObject {
  KW_CLASS(TBasicActionLink, TObject)
  explicit TBasicActionLink(TObject* client) : FClient(client) {}
  ~TBasicActionLink() override;
  TBasicAction* Action() const { return FAction; }
  void SetAction(TBasicAction* value);
  virtual bool Execute(TComponent* component = nullptr);
  virtual bool Update();
  TNotifyEvent OnChange;

protected:
  friend class TBasicAction;
  virtual void Change() { OnChange(FAction); }
  TObject* FClient;
  TBasicAction* FAction = nullptr;
};

// Right-to-left text and layout, input method modes, drag and dock, scaling.
enum TBiDiMode { bdLeftToRight, bdRightToLeft, bdRightToLeftNoAlign, bdRightToLeftReadingOnly };
KW_DECLARE_ENUM(TBiDiMode)
enum TImeMode {
  imDisable, imClose, imOpen, imDontCare, imSAlpha, imAlpha, imHira, imSKata, imKata, imChinese,
  imSHanguel, imHanguel
};
KW_DECLARE_ENUM(TImeMode)
using TImeName = String;
enum TDragMode { dmManual, dmAutomatic };
KW_DECLARE_ENUM(TDragMode)
enum TDragKind { dkDrag, dkDock };
KW_DECLARE_ENUM(TDragKind)
enum TDragState { dsDragEnter, dsDragLeave, dsDragMove };
// What a CM_DRAG message asks (its WParam); LParam points to a TDragRec.
enum TDragMessage { dmDragEnter, dmDragLeave, dmDragMove, dmDragDrop, dmDragCancel, dmFindTarget };
enum TScalingFlag { sfLeft, sfTop, sfWidth, sfHeight, sfFont };
using TScalingFlags = TSet<TScalingFlag>;

class TControl;
struct TDragSession;
class TDragObject;
class TDragDockObject;

struct TDragRec {
  TPoint Pos;  // screen coordinates
  TDragObject* Source = nullptr;
  TControl* Target = nullptr;
  bool Docking = false;
};

using TStartDragEvent = TEvent<void(TObject* Sender, TDragObject*& DragObject)>;
using TDragOverEvent = TEvent<void(TObject* Sender, TObject* Source, int X, int Y, TDragState State, bool& Accept)>;
using TDragDropEvent = TEvent<void(TObject* Sender, TObject* Source, int X, int Y)>;
using TEndDragEvent = TEvent<void(TObject* Sender, TObject* Target, int X, int Y)>;
using TStartDockEvent = TEvent<void(TObject* Sender, TDragDockObject*& DragObject)>;
using TDockOverEvent = TEvent<void(TObject* Sender, TDragDockObject* Source, int X, int Y, TDragState State, bool& Accept)>;
using TDockDropEvent = TEvent<void(TObject* Sender, TDragDockObject* Source, int X, int Y)>;
using TUnDockEvent = TEvent<void(TObject* Sender, TControl* Client, TWinControl* NewTarget, bool& Allow)>;
using TGetSiteInfoEvent = TEvent<void(TObject* Sender, TControl* DockClient, TRect& InfluenceRect, TPoint MousePos, bool& CanDock)>;

// What is being dragged. The host makes a TDragControlObject (or a TDragDockObject for
// docking) for the control that starts the drag unless OnStartDrag hands in one of its own,
// which then stays the caller's.
class TDragObject : public TObject {
  KW_CLASS(TDragObject, TObject)
  TDragObject() = default;
  // The cursor over a target that accepts (or not) the drop.
  virtual TCursor GetDragCursor(bool accepted, int x, int y) { return accepted ? crDrag : crNoDrop; }
  // Told once at the end, with the target that took the drop (null when none did).
  virtual void Finished(TObject* target, int x, int y, bool accepted) {}
  TControl* DragTarget() const { return FDragTarget; }
  TPoint DragPos() const { return FDragPos; }
  bool Cancelling() const { return FCancelling; }
  bool Dropped() const { return FDropped; }

private:
  friend struct TDragSession;
  TControl* FDragTarget = nullptr;
  TPoint FDragPos;
  bool FCancelling = false;
  bool FDropped = false;
};

class TBaseDragControlObject : public TDragObject {
  KW_CLASS(TBaseDragControlObject, TDragObject)
  explicit TBaseDragControlObject(TControl* control = nullptr) : FControl(control) {}
  TControl* Control() const { return FControl; }
  void SetControl(TControl* v) { FControl = v; }
  void Finished(TObject* target, int x, int y, bool accepted) override;

protected:
  TControl* FControl;
};

class TDragControlObject : public TBaseDragControlObject {
  KW_CLASS(TDragControlObject, TBaseDragControlObject)
  explicit TDragControlObject(TControl* control = nullptr) : TBaseDragControlObject(control) {}
  TCursor GetDragCursor(bool accepted, int x, int y) override;
};

class TDragDockObject : public TBaseDragControlObject {
  KW_CLASS(TDragDockObject, TBaseDragControlObject)
  explicit TDragDockObject(TControl* control = nullptr) : TBaseDragControlObject(control) {}
  TCursor GetDragCursor(bool accepted, int x, int y) override { return crDefault; }
  // Where the control would go: a rectangle on the screen of the control's size at the cursor.
  TRect DockRect;
  TAlign DropAlign = alNone;
  TWinControl* DropOnControl = nullptr;
  bool Floating = true;
};

// Mouse, key and capture messages while a drag is on: true when the drag used the message up.
// Every control's WndProc asks first.
bool KwDragMessage(TControl* control, TMessage& message);
// Cancels the drag in progress, if any.
void CancelDrag();

// What an action with a caption, a check mark and the rest hands to its clients. The action
// calls a setter before it stores the new value; a link applies it only while its client still
// shows the old one (Is...Linked), so a client changed by hand keeps its own.
class TActionLink : public TBasicActionLink {
  KW_CLASS(TActionLink, TBasicActionLink)
  explicit TActionLink(TObject* client) : TBasicActionLink(client) {}
  // True while the action is one that carries these values (a TCustomAction).
  virtual bool IsCaptionLinked() const;
  virtual bool IsCheckedLinked() const { return IsCaptionLinked(); }
  virtual bool IsEnabledLinked() const { return IsCaptionLinked(); }
  virtual bool IsHintLinked() const { return IsCaptionLinked(); }
  virtual bool IsVisibleLinked() const { return IsCaptionLinked(); }
  virtual bool IsImageIndexLinked() const { return IsCaptionLinked(); }
  virtual bool IsShortCutLinked() const { return IsCaptionLinked(); }
  virtual bool IsHelpLinked() const { return IsCaptionLinked(); }
  virtual bool IsGroupIndexLinked() const { return IsCaptionLinked(); }
  virtual void SetCaption(const String& value) {}
  virtual void SetChecked(bool value) {}
  virtual void SetEnabled(bool value) {}
  virtual void SetHint(const String& value) {}
  virtual void SetVisible(bool value) {}
  virtual void SetImageIndex(int value) {}
  virtual void SetShortCut(Word value) {}
  virtual void SetHelpContext(int value) {}
  virtual void SetGroupIndex(int value) {}
  virtual void SetAutoCheck(bool value) {}
};

class TControl : public TComponent {
  KW_CLASS(TControl, TComponent)
  explicit TControl(TComponent* owner);
  ~TControl() override;

  // A control whose caption still equals its name keeps following it (csSetCaption).
  void SetName(const String& name) override;
  TWinControl* Parent() const { return FParent; }
  virtual void SetParent(TWinControl* parent);
  bool HasParent() const override { return true; }
  TComponent* GetParentComponent() const override;
  void SetParentComponent(TComponent* parent) override;

  int Left() const { return FLeft; }
  void SetLeft(int v) { SetBounds(v, FTop, FWidth, FHeight); NoteRead(sfLeft); }
  int Top() const { return FTop; }
  void SetTop(int v) { SetBounds(FLeft, v, FWidth, FHeight); NoteRead(sfTop); }
  int Width() const { return FWidth; }
  void SetWidth(int v) { SetBounds(FLeft, FTop, v, FHeight); NoteRead(sfWidth); }
  int Height() const { return FHeight; }
  void SetHeight(int v) { SetBounds(FLeft, FTop, FWidth, v); NoteRead(sfHeight); }
  TRect BoundsRect() const { return TRect(FLeft, FTop, FLeft + FWidth, FTop + FHeight); }
  void SetBoundsRect(const TRect& r) { SetBounds(r.Left, r.Top, r.Width(), r.Height()); }
  // Moves and sizes in one step; constraints apply; anchors take the new place as their origin.
  virtual void SetBounds(int left, int top, int width, int height);
  int ClientWidth() const { return ClientRect().Right; }
  void SetClientWidth(int v);
  int ClientHeight() const { return ClientRect().Bottom; }
  void SetClientHeight(int v);
  virtual TRect ClientRect() const { return TRect(0, 0, FWidth, FHeight); }
  // The screen position of the client area's top-left corner.
  virtual TPoint ClientOrigin() const;
  TPoint ScreenToClient(const TPoint& p) const;
  TPoint ClientToScreen(const TPoint& p) const;

  TAlign Align() const { return FAlign; }
  void SetAlign(TAlign v);
  TAnchors Anchors() const { return FAnchors; }
  void SetAnchors(TAnchors v);
  TSizeConstraints* Constraints() const { return FConstraints.get(); }
  void SetConstraints(const TSizeConstraints* v) { FConstraints->Assign(v); }

  bool Visible() const { return FVisible; }
  void SetVisible(bool v);
  void Show() { SetVisible(true); }
  void Hide() { SetVisible(false); }
  // Visible here and in every parent up to a shown window.
  virtual bool Showing() const;
  bool Enabled() const { return FEnabled; }
  virtual void SetEnabled(bool v);

  TColor Color() const { return FColor; }
  void SetColor(TColor v);
  bool ParentColor() const { return FParentColor; }
  void SetParentColor(bool v);
  TFont* Font() const { return FFont.get(); }
  void SetFont(const TFont* v) { FFont->Assign(v); }
  bool ParentFont() const { return FParentFont; }
  void SetParentFont(bool v);

  String Text() const { return GetText(); }
  void SetText(const String& v);
  String Caption() const { return GetText(); }
  void SetCaption(const String& v) { SetText(v); }

  const String& Hint() const { return FHint; }
  void SetHint(const String& v) { FHint = v; }
  bool ShowHint() const { return FShowHint; }
  bool ShowHintStored() const;
  void SetShowHint(bool v);
  bool ParentShowHint() const { return FParentShowHint; }
  void SetParentShowHint(bool v);
  TCursor Cursor() const { return FCursor; }
  void SetCursor(TCursor v);
  TPopupMenu* PopupMenu() const { return FPopupMenu; }
  void SetPopupMenu(TPopupMenu* v);
  // The menu the context-menu message opens; descendants may answer another.
  virtual TPopupMenu* GetPopupMenu() const { return FPopupMenu; }

  TControlState ControlState() const { return FControlState; }
  void SetControlState(TControlState v) { FControlState = v; }
  TControlStyle ControlStyle() const { return FControlStyle; }
  void SetControlStyle(TControlStyle v) { FControlStyle = v; }

  // Delivers one message synchronously to this control through its WindowProc.
  LResult Perform(Cardinal msg, std::uintptr_t wparam = 0, std::intptr_t lparam = 0);
  // What the window procedure calls; by default the control's own WndProc. Another component
  // may keep the old value, put its own in front and restore it later.
  const TWndMethod& WindowProc() const { return FWindowProc; }
  void SetWindowProc(TWndMethod proc);
  virtual void WndProc(TMessage& message);
  virtual void DefaultHandler(TMessage& message);

  virtual void Invalidate();
  virtual void Update();
  virtual void Repaint();
  virtual void BringToFront();
  virtual void SendToBack();
  void Refresh() { Repaint(); }
  // Paints the control (and its children) into dc with its top-left corner at (x, y).
  virtual void PaintTo(HDC__* dc, int x, int y);
  void PaintTo(TCanvas* canvas, int x, int y);

  bool MouseCapture() const;
  void SetMouseCapture(bool v);
  // The control whose mouse messages are being captured, or null.
  static TControl* CaptureControl();

  TBasicAction* Action() const;
  void SetAction(TBasicAction* v);
  bool ExecuteAction(TBasicAction* action) override;
  bool UpdateAction(TBasicAction* action) override;
  void InitiateAction();

  void Notification(TComponent* component, TOperation operation) override;
  void Loaded() override;

  virtual void Click();
  virtual void DblClick();

  TNotifyEvent OnClick;
  TNotifyEvent OnDblClick;
  TMouseEvent OnMouseDown;
  TMouseEvent OnMouseUp;
  TMouseMoveEvent OnMouseMove;
  TNotifyEvent OnMouseEnter;
  TNotifyEvent OnMouseLeave;
  TNotifyEvent OnResize;
  TContextPopupEvent OnContextPopup;

  // Right-to-left: the mode follows the parent's while ParentBiDiMode holds.
  TBiDiMode BiDiMode() const { return FBiDiMode; }
  void SetBiDiMode(TBiDiMode v);
  bool ParentBiDiMode() const { return FParentBiDiMode; }
  void SetParentBiDiMode(bool v);
  bool BiDiModeStored() const { return !FParentBiDiMode; }
  bool UseRightToLeftAlignment() const;
  bool UseRightToLeftReading() const;
  bool UseRightToLeftScrollBar() const;
  bool IsRightToLeft() const { return FBiDiMode != bdLeftToRight; }
  // DrawTextW flags with left and right swapped under right-to-left alignment, and
  // DT_RTLREADING under right-to-left reading.
  unsigned DrawTextBiDiModeFlags(unsigned flags) const;
  unsigned DrawTextBiDiModeFlagsReadingOnly() const;

  // Dragging and docking (Dragdock.cpp).
  TDragMode DragMode() const { return FDragMode; }
  void SetDragMode(TDragMode v) { FDragMode = v; }
  TCursor DragCursor() const { return FDragCursor; }
  void SetDragCursor(TCursor v) { FDragCursor = v; }
  TDragKind DragKind() const { return FDragKind; }
  void SetDragKind(TDragKind v) { FDragKind = v; }
  // Starts dragging this control: at once, or when the mouse has moved threshold pixels with
  // the button held (-1: the system's threshold).
  void BeginDrag(bool immediate, int threshold = -1);
  bool Dragging() const;
  // Ends the drag: dropped on the target under the cursor, or cancelled.
  void EndDrag(bool drop);
  // The dock site holding the control, or null.
  TWinControl* HostDockSite() const { return FHostDockSite; }
  bool Floating() const;
  // Docks into a dock site (null: floats); false when the old site refused to let it go.
  bool ManualDock(TWinControl* newDockSite, TControl* dropControl = nullptr, TAlign controlSide = alNone);
  // Undocks into a floating window of its own at the screen rectangle.
  bool ManualFloat(const TRect& screenPos);
  int UndockWidth() const { return FUndockWidth; }
  int UndockHeight() const { return FUndockHeight; }
  TStartDragEvent OnStartDrag;
  TDragOverEvent OnDragOver;
  TDragDropEvent OnDragDrop;
  TEndDragEvent OnEndDrag;
  TStartDockEvent OnStartDock;
  TEndDragEvent OnEndDock;

  // Scaling: the parts a scale still has to change while the control is being loaded.
  TScalingFlags ScalingFlags() const { return FScalingFlags; }
  // A value read from a stream is in the stream's units: the next scale while loading changes it.
  void NoteRead(TScalingFlag flag) {
    if (FComponentState.Contains(csReading)) FScalingFlags.Include(flag);
  }

  // Expires when the control dies: code that fires events can tell whether a handler freed it.
  std::weak_ptr<int> LifeToken() const { return FLife; }
  // The window control's native window under the parent, for painting and coordinates.
  virtual TWinControl* WindowOwner() const;

protected:
  friend class TWinControl;
  friend class TControlActionLink;
  virtual String GetText() const { return FText; }
  virtual void SetTextInternal(const String& v);
  virtual void MouseDown(TMouseButton button, TShiftState shift, int x, int y);
  virtual void MouseUp(TMouseButton button, TShiftState shift, int x, int y);
  virtual void MouseMove(TShiftState shift, int x, int y);
  virtual void Resize() { OnResize(this); }
  virtual void ConstrainedResize(int& width, int& height);
  virtual void ChangeScale(int m, int d);
  virtual void ActionChange(TObject* sender, bool checkDefaults);
  // The link SetAction makes; descendants that take more from an action make their own.
  virtual TControlActionLink* CreateActionLink();
  // WM_CONTEXTMENU: OnContextPopup, then the popup menu at the point (or at the control for
  // the keyboard's (-1, -1)); Result 1 when it was handled.
  void ContextMenuMessage(TMessage& message);
  virtual void FontChanged(TObject* sender);
  virtual void VisibleChanging() {}
  virtual bool CanAutoSize(int& width, int& height) { return true; }
  // Called by the parent after it moved the control for alignment or anchors.
  void SetBoundsFromParent(int left, int top, int width, int height);
  // Clamps and constrains a new size; false when the bounds would not change.
  bool BoundsChange(int left, int top, int& width, int& height);
  void UpdateAnchorOrigin();
  void RequestAlign();
  void InvalidateControl(bool isVisible, bool isOpaque);
  void SendCancelMode(TControl* sender);
  static HWND__* HandleOf(const TControl* control);
  // The parts of WndProc per message family.
  void MouseMessage(TMessage& message);
  // Scaling, right-to-left, drag and dock.
  friend class TBaseDragControlObject;
  friend struct TDragSession;
  virtual void ScaleBounds(int m, int d, TScalingFlags flags);
  void ScaleConstraintsAndFont(int m, int d, TScalingFlags flags);
  virtual void DragOver(TObject* source, int x, int y, TDragState state, bool& accept);
  virtual void DragDrop(TObject* source, int x, int y) { OnDragDrop(this, source, x, y); }
  virtual void DoStartDrag(TDragObject*& dragObject) { OnStartDrag(this, dragObject); }
  virtual void DoEndDrag(TObject* target, int x, int y) { OnEndDrag(this, target, x, y); }
  virtual void DoStartDock(TDragDockObject*& dragObject) { OnStartDock(this, dragObject); }
  virtual void DoEndDock(TObject* target, int x, int y) { OnEndDock(this, target, x, y); }
  // Answers CM_DRAG: the drag message for this control, converted to its client coordinates.
  void DragMessage(TMessage& message);
  void BiDiMessage(TMessage& message);
  TBiDiMode FBiDiMode = bdLeftToRight;
  bool FParentBiDiMode = true;
  TDragMode FDragMode = dmManual;
  TCursor FDragCursor = crDrag;
  TDragKind FDragKind = dkDrag;
  TWinControl* FHostDockSite = nullptr;
  int FUndockWidth = 0, FUndockHeight = 0;
  TScalingFlags FScalingFlags;

  TWinControl* FParent = nullptr;
  int FLeft = 0, FTop = 0, FWidth = 0, FHeight = 0;
  TAlign FAlign = alNone;
  TAnchors FAnchors = {akLeft, akTop};
  std::unique_ptr<TSizeConstraints> FConstraints;
  bool FVisible = true;
  bool FEnabled = true;
  TColor FColor = clWindow;
  bool FParentColor = true;
  std::unique_ptr<TFont> FFont;
  bool FParentFont = true;
  String FText;
  String FHint;
  bool FShowHint = false;
  bool FParentShowHint = true;
  TCursor FCursor = crDefault;
  TPopupMenu* FPopupMenu = nullptr;
  TControlState FControlState;
  TControlStyle FControlStyle = {csCaptureMouse, csClickEvents, csSetCaption, csDoubleClicks};
  TWndMethod FWindowProc;
  std::unique_ptr<TControlActionLink> FActionLink;
  // Where anchors measure from: the bounds last set explicitly and the parent's client size then.
  TRect FAnchorBounds;
  TSize FAnchorParentSize;
  bool FAnchorValid = false;
  bool FSettingFromParent = false;
  bool FUpdatingFont = false;
  // Expires when the control dies, so code after an event can tell that the handler freed it.
  std::shared_ptr<int> FLife;
};

// Carries an action's caption, hint, enabled and visible state to a control.
class TControlActionLink : public TActionLink {
  KW_CLASS(TControlActionLink, TActionLink)
  explicit TControlActionLink(TControl* client) : TActionLink(client), FControl(client) {}
  TControl* Control() const { return FControl; }
  bool IsCaptionLinked() const override;
  bool IsEnabledLinked() const override;
  bool IsHintLinked() const override;
  bool IsVisibleLinked() const override;
  void SetCaption(const String& value) override;
  void SetEnabled(bool value) override;
  void SetHint(const String& value) override;
  void SetVisible(bool value) override;

protected:
  void Change() override;
  TControl* FControl;
};

struct TCreateParams {
  String Caption;
  Cardinal Style = 0;
  Cardinal ExStyle = 0;
  int X = 0, Y = 0, Width = 0, Height = 0;
  HWND__* WndParent = nullptr;
  void* Param = nullptr;
  // The window class: our own name, or a platform class to be subclassed (SubClassName).
  String WinClassName;
  String SubClassName;
  Cardinal ClassStyle = 0;
  HICON__* ClassCursor = nullptr;
  HBRUSH__* ClassBackground = nullptr;
};

using TTabOrder = int;

class TWinControl : public TControl {
  KW_CLASS(TWinControl, TControl)
  explicit TWinControl(TComponent* owner);
  // Frees the child controls still on it, whoever owns them, then the window.
  ~TWinControl() override;

  HWND__* Handle();
  bool HandleAllocated() const { return FHandle != nullptr; }
  void HandleNeeded();
  void RecreateWnd();
  // A platform window to use as parent when the control has no parent control.
  HWND__* ParentWindow() const { return FParentWindow; }
  void SetParentWindow(HWND__* wnd);
  // The control of a window made by this host, or null.
  static TWinControl* FindControl(HWND__* wnd);
  // The outermost container above this one (itself when it has no parent): the form, mostly.
  TWinControl* TopParent();

  int ControlCount() const { return int(FControls.size() + FWinControls.size()); }
  TControl* Controls(int index) const;
  void InsertControl(TControl* control);
  void RemoveControl(TControl* control);
  bool ContainsControl(const TControl* control) const;
  // The child at a client point: graphic children on top, disabled ones when allowed.
  TControl* ControlAtPos(const TPoint& pos, bool allowDisabled, bool allowWinControls = false,
                         bool allLevels = false) const;

  bool TabStop() const { return FTabStop; }
  void SetTabStop(bool v);
  TTabOrder TabOrder() const;
  void SetTabOrder(TTabOrder v);
  // The window controls of the subtree in tab order, depth first.
  void GetTabOrderList(std::vector<TWinControl*>& list) const;
  TWinControl* FindNextControl(TWinControl* current, bool goForward, bool checkTabStop,
                               bool checkParent) const;
  void SelectNext(TWinControl* current, bool goForward, bool checkTabStop);
  virtual bool CanFocus() const;
  virtual bool Focused() const;
  virtual void SetFocus();
  bool Showing() const override;

  void DisableAlign() { ++FAlignLevel; }
  void EnableAlign();
  void Realign();
  bool AlignDisabled() const { return FAlignLevel > 0; }
  bool DoubleBuffered() const { return FDoubleBuffered; }
  void SetDoubleBuffered(bool v) { FDoubleBuffered = v; }
  TBrush* Brush() const { return FBrush.get(); }

  void SetBounds(int left, int top, int width, int height) override;
  TRect ClientRect() const override;
  TPoint ClientOrigin() const override;
  void Invalidate() override;
  void Update() override;
  void Repaint() override;
  void BringToFront() override;
  void SendToBack() override;
  void PaintTo(HDC__* dc, int x, int y) override;
  using TControl::PaintTo;
  void SetEnabled(bool v) override;
  void WndProc(TMessage& message) override;
  void DefaultHandler(TMessage& message) override;
  void GetChildren(const TGetChildProc& proc, TComponent* root) override;
  void SetChildOrder(TComponent* child, int order) override;
  TWinControl* WindowOwner() const override { return const_cast<TWinControl*>(this); }
  // Paints the graphic children into dc (of this window's client) in z-order from `first` on.
  void PaintControls(HDC__* dc, TControl* first);
  // Forms take the focus bookkeeping; other containers answer false.
  virtual bool SetFocusedControl(TWinControl* control) { return false; }
  // A form focuses the control itself (activating its window first); others answer false.
  virtual bool FocusControl(TWinControl* control);
  // Called on the top container when a control under it loses its place (removed or hidden).
  virtual void DefocusControl(TWinControl* control, bool removing);
  // Forms that preview their controls' keys answer true.
  virtual bool KeyPreview() const { return false; }
  // The control the mouse is over, as the last mouse move found it.
  static TControl* MouseControl();
  // Hands a mouse message over the client to the graphic child under it (or the one holding
  // the capture), in that child's coordinates; true when a child took it.
  bool IsControlMouseMsg(TMessage& message);

  // Scales the control and everything on it by m/d once.
  void ScaleBy(int m, int d) { ChangeScale(m, d); }
  // Mirrors the children's places within the client width (alLeft and alRight, left and
  // right anchors swapped); with allLevels also inside each window child.
  void FlipChildren(bool allLevels);
  // The input method state this control asks for while it has the focus.
  TImeMode ImeMode() const { return FImeMode; }
  void SetImeMode(TImeMode v) { FImeMode = v; }
  const TImeName& ImeName() const { return FImeName; }
  void SetImeName(const TImeName& v) { FImeName = v; }
  // Puts the input method in ImeMode (and the layout named ImeName); false without imm32.
  bool SetIme();
  bool DockSite() const { return FDockSite; }
  void SetDockSite(bool v) { FDockSite = v; }
  bool UseDockManager() const { return FUseDockManager; }
  void SetUseDockManager(bool v) { FUseDockManager = v; }
  int DockClientCount() const { return int(FDockClients.size()); }
  TControl* DockClients(int index) const { return FDockClients.at(size_t(index)); }
  TDockOverEvent OnDockOver;
  TDockDropEvent OnDockDrop;
  TUnDockEvent OnUnDock;
  TGetSiteInfoEvent OnGetSiteInfo;

  TNotifyEvent OnEnter;
  TNotifyEvent OnExit;
  TKeyEvent OnKeyDown;
  TKeyPressEvent OnKeyPress;
  TKeyEvent OnKeyUp;
  TMouseWheelEvent OnMouseWheel;

protected:
  friend class TControl;
  virtual void CreateParams(TCreateParams& params);
  virtual void CreateWnd();
  virtual void CreateWindowHandle(const TCreateParams& params);
  virtual void DestroyWnd();
  virtual void DestroyWindowHandle();
  virtual void CreateHandle();
  virtual void DestroyHandle();
  // After the window exists: push state the window did not get from CreateParams.
  virtual void InitializeWnd() {}
  virtual void AlignControls(TControl* control, TRect& rect);
  virtual void AdjustClientRect(TRect& rect) {}
  virtual void PaintWindow(HDC__* dc);
  virtual void PaintHandler(TMessage& message);
  virtual void DoEnter() { OnEnter(this); }
  virtual void DoExit() { OnExit(this); }
  virtual void KeyDown(Word& key, TShiftState shift) { OnKeyDown(this, key, shift); }
  virtual void KeyUp(Word& key, TShiftState shift) { OnKeyUp(this, key, shift); }
  virtual void KeyPress(wchar_t& key) { OnKeyPress(this, key); }
  // True when the key was used up (set to 0) by the form's preview or the control's handler.
  bool DoKeyDown(TMessage& message) { return DoKey(message, 0); }
  bool DoKeyUp(TMessage& message) { return DoKey(message, 1); }
  bool DoKeyPress(TMessage& message) { return DoKey(message, 2); }
  bool DoKey(TMessage& message, int kind);  // 0 down, 1 up, 2 character
  virtual bool DoMouseWheel(TShiftState shift, int delta, TPoint pos);
  void SetTextInternal(const String& v) override;
  String GetText() const override;
  void ChangeScale(int m, int d) override;
  void FontChanged(TObject* sender) override;
  void UpdateShowing();
  void AlignAndAnchor(TControl* control);
  // Moves a child for layout (alignment, scrolling) without changing its anchor origin.
  static void SetChildBounds(TControl* child, int left, int top, int width, int height) {
    child->SetBoundsFromParent(left, top, width, height);
  }
  void NotifyControls(Cardinal msg);
  void SetZOrderOf(TControl* control, bool topMost);
  void ReflectNotification(TMessage& message);
  void KeyMessage(TMessage& message);
  // A key down that a pop-up menu, the form or the application takes as a shortcut.
  bool IsMenuKey(TMessage& message);
  void TrackMouse(TControl* target);
  void FocusMessage(TMessage& message);
  void SizeMessage(TMessage& message);
  void RealignIfClientResized(const TSize& client);
  // Right-to-left ex-styles for CreateParams; docking a client in and letting it go.
  void AddBiDiModeExStyle(Cardinal& exStyle) const;
  virtual void DockOver(TDragDockObject* source, int x, int y, TDragState state, bool& accept);
  virtual void DockDrop(TDragDockObject* source, int x, int y) { OnDockDrop(this, source, x, y); }
  virtual bool DoUnDock(TWinControl* newTarget, TControl* client);
  TImeMode FImeMode = imDontCare;
  TImeName FImeName;
  bool FDockSite = false;
  bool FUseDockManager = false;
  std::vector<TControl*> FDockClients;

  // The platform's own procedure behind a subclassed native control, else DefWindowProcW.
  void* FDefWndProc = nullptr;
  HWND__* FHandle = nullptr;
  HWND__* FParentWindow = nullptr;
  std::vector<TControl*> FControls;      // graphic children, back to front
  std::vector<TWinControl*> FWinControls;  // window children, back to front
  std::vector<TWinControl*> FTabList;
  std::unique_ptr<TBrush> FBrush;
  bool FTabStop = false;
  bool FDoubleBuffered = false;
  bool FSettingBounds = false;
  int FAlignLevel = 0;
  TTabOrder FPendingTabOrder = -1;
  TControl* FMouseInControl = nullptr;
  TSize FLastClientSize{-1, -1};

private:
  friend struct TWinControlPeer;
  void AttachHandle(HWND__* wnd);
};

// A control without a window of its own, painted by its parent.
class TGraphicControl : public TControl {
  KW_CLASS(TGraphicControl, TControl)
  explicit TGraphicControl(TComponent* owner);
  ~TGraphicControl() override;
  TCanvas* Canvas() const { return FCanvas.get(); }
  void WndProc(TMessage& message) override;

protected:
  virtual void Paint() {}
  std::unique_ptr<TCanvas> FCanvas;
};

// A window control that paints itself on a canvas.
class TCustomControl : public TWinControl {
  KW_CLASS(TCustomControl, TWinControl)
  explicit TCustomControl(TComponent* owner);
  ~TCustomControl() override;
  TCanvas* Canvas() const { return FCanvas.get(); }

protected:
  void CreateWnd() override;
  void DestroyWnd() override;
  void PaintWindow(HDC__* dc) override;
  virtual void Paint() {}
  std::unique_ptr<TControlCanvas> FCanvas;
};

// The window control that a child control's messages and painting belong to.
TWinControl* KwFindControlWindow(const TPoint& screenPos);
TControl* KwFindDragTarget(const TPoint& screenPos, bool allowDisabled);
// The screen-wide cursor that overrides every control's own (crDefault: none).
TCursor KwScreenCursor();
void KwSetScreenCursor(TCursor cursor);
// The application loop's first look at a key message: the control gets it as a CN_ message,
// which hands dialog keys to its form. True when the message was used up.
bool KwIsKeyMsg(void* msg);
// Filled by the forms unit: offers a key to the control's form and the application as a
// shortcut; true when one of them used it.
struct TWMKey;
extern bool (*KwFormShortCut)(TWinControl* control, TWMKey& key);
// Instance handle used to register the host's window classes.
HINSTANCE__* KwInstance();

}  // namespace kw
