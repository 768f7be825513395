// Scrolling containers: TControlScrollBar (one of a container's two window scroll bars),
// TScrollingWinControl (scrolls its children, ranges from their extent when AutoScroll is on)
// and TScrollBox. Forms derive from TScrollingWinControl.
#pragma once

#include <unordered_map>

#include "host/Controls.h"
#include "host/StdCtrls.h"

namespace kw {

class TScrollingWinControl;

enum TScrollBarKind { sbHorizontal, sbVertical };
KW_DECLARE_ENUM(TScrollBarKind)
enum TScrollCode { scLineUp, scLineDown, scPageUp, scPageDown, scPosition, scTrack, scTop, scBottom, scEndScroll };

class TControlScrollBar : public TPersistent {
  KW_CLASS(TControlScrollBar, TPersistent)
  TControlScrollBar(TScrollingWinControl* control, TScrollBarKind kind);
  void Assign(const TPersistent* source) override;
  TScrollBarKind Kind() const { return FKind; }
  int Increment() const { return FIncrement; }
  void SetIncrement(int v);  // pixels per line step; at least 1
  int Margin() const { return FMargin; }
  void SetMargin(int v);
  int Position() const { return FPosition; }
  void SetPosition(int v);  // clamped to 0..Range-page; scrolls the children
  int Range() const { return FRange; }
  void SetRange(int v);  // set by the user: AutoScroll stops computing it for this bar
  bool Visible() const { return FVisible; }
  void SetVisible(bool v);
  bool Tracking() const { return FTracking; }
  void SetTracking(bool v) { FTracking = v; }
  bool IsScrollBarVisible() const;  // shown now: visible and the range exceeds the page
  int ScrollPos() const { return IsScrollBarVisible() ? FPosition : 0; }
  // The client extent in the bar's direction.
  int ControlSize() const;
  void ScrollMessage(TScrollCode code, int pos);
  // Streamed only when the user set the range.
  bool RangeStored() const { return FUserRange; }
  TPersistent* GetOwner() const override;

private:
  friend class TScrollingWinControl;
  void Update(bool controlsOnly = false);
  void CalcAutoRange(int extent);
  TScrollingWinControl* FControl;
  TScrollBarKind FKind;
  int FIncrement = 8;
  int FMargin = 0;
  int FPosition = 0;
  int FRange = 0;
  bool FVisible = true;
  bool FTracking = false;
  bool FUserRange = false;
};

class TScrollingWinControl : public TWinControl {
  KW_CLASS(TScrollingWinControl, TWinControl)
  explicit TScrollingWinControl(TComponent* owner);
  ~TScrollingWinControl() override;
  bool AutoScroll() const { return FAutoScroll; }
  void SetAutoScroll(bool v);
  TControlScrollBar* HorzScrollBar() const { return FHorzScrollBar.get(); }
  void SetHorzScrollBar(const TControlScrollBar* v) { FHorzScrollBar->Assign(v); }
  TControlScrollBar* VertScrollBar() const { return FVertScrollBar.get(); }
  void SetVertScrollBar(const TControlScrollBar* v) { FVertScrollBar->Assign(v); }
  // Moves every child by the given amount (the scroll bars do this when their position changes).
  void ScrollBy(int dx, int dy);
  // Scrolls so that the control (a descendant) is entirely visible.
  void ScrollInView(TControl* control);
  void WndProc(TMessage& message) override;
  void Loaded() override;

protected:
  friend class TControlScrollBar;
  void CreateParams(TCreateParams& params) override;
  void InitializeWnd() override;
  void AlignControls(TControl* control, TRect& rect) override;
  void AdjustClientRect(TRect& rect) override;
  bool DoMouseWheel(TShiftState shift, int delta, TPoint pos) override;
  void ChangeScale(int m, int d) override;
  // Recomputes ranges from the children's extent (AutoScroll) and updates both bars.
  void UpdateScrollBars();
  std::unique_ptr<TControlScrollBar> FHorzScrollBar;
  std::unique_ptr<TControlScrollBar> FVertScrollBar;
  bool FAutoScroll = false;
  bool FUpdatingScrollBars = false;

private:
  // Where each child was last put and the scroll offset its anchor origin was taken at: the
  // base layout places anchored children from that origin, so they are shifted by the scroll
  // made since.
  struct TChildPlace {
    TRect Bounds;
    TPoint OriginScroll;
  };
  void NoteOrigins();
  void NotePlaces();
  std::unordered_map<const TControl*, TChildPlace> FPlaces;
};

class TScrollBox : public TScrollingWinControl {
  KW_CLASS(TScrollBox, TScrollingWinControl)
  explicit TScrollBox(TComponent* owner);
  // bsSingle gives the sunken client edge, bsNone none.
  TBorderStyle BorderStyle() const { return FBorderStyle; }
  void SetBorderStyle(TBorderStyle v);
  bool ColorStored() const { return !FParentColor; }
  bool FontStored() const { return !FParentFont; }

protected:
  void CreateParams(TCreateParams& params) override;
  TBorderStyle FBorderStyle = bsSingle;
};

}  // namespace kw
