// Extra controls drawn by the host itself: TPanel with its bevels and caption, TShape,
// TPaintBox, TBevel and TImage. Splitters, timers and radio groups are not here; scroll boxes
// are in Scrolling.h.
#pragma once

#include <memory>

#include "host/Controls.h"
#include "host/Picture.h"
#include "host/StdCtrls.h"

namespace kw {

// Vertical placement of a caption in its box (TAlignment, the horizontal one, is in StdCtrls.h).
enum TVerticalAlignment { taAlignTop, taAlignBottom, taVerticalCenter };
KW_DECLARE_ENUM(TVerticalAlignment)

// A panel's bevel: none, sunk, raised, or a blank band of the panel's colour.
enum TBevelCut { bvNone, bvLowered, bvRaised, bvSpace };
KW_DECLARE_ENUM(TBevelCut)
using TPanelBevel = TBevelCut;
using TBevelWidth = int;
using TBorderWidth = int;

class TCustomPanel : public TCustomControl {
  KW_CLASS(TCustomPanel, TCustomControl)
  explicit TCustomPanel(TComponent* owner);

  TAlignment Alignment() const { return FAlignment; }
  void SetAlignment(TAlignment v);
  TVerticalAlignment VerticalAlignment() const { return FVerticalAlignment; }
  void SetVerticalAlignment(TVerticalAlignment v);
  TBevelCut BevelInner() const { return FBevelInner; }
  void SetBevelInner(TBevelCut v);
  TBevelCut BevelOuter() const { return FBevelOuter; }
  void SetBevelOuter(TBevelCut v);
  TBevelWidth BevelWidth() const { return FBevelWidth; }
  void SetBevelWidth(TBevelWidth v);  // at least 1
  TBorderWidth BorderWidth() const { return FBorderWidth; }
  void SetBorderWidth(TBorderWidth v);  // at least 0
  // bsSingle gives the window a sunken client edge; the other form styles count as bsNone.
  TBorderStyle BorderStyle() const { return FBorderStyle; }
  void SetBorderStyle(TBorderStyle v);
  // The panel shows what its parent paints behind it instead of filling with Color.
  bool ParentBackground() const { return FParentBackground; }
  void SetParentBackground(bool v);
  // Without it the window is not repainted whole when it is resized, only its frame.
  bool FullRepaint() const { return FFullRepaint; }
  void SetFullRepaint(bool v);
  // Kept for forms that set it; nothing here replaces a panel while it is locked or not.
  bool Locked() const { return FLocked; }
  void SetLocked(bool v) { FLocked = v; }
  bool ShowCaption() const { return FShowCaption; }
  void SetShowCaption(bool v);

  bool ColorStored() const { return !FParentColor; }
  bool FontStored() const { return !FParentFont; }
  // The part of the client inside the bevels and the border.
  TRect InnerRect() const;
  void WndProc(TMessage& message) override;

protected:
  void CreateParams(TCreateParams& params) override;
  void AdjustClientRect(TRect& rect) override;
  void Paint() override;
  // Paints the parent's client into the panel's canvas, for ParentBackground.
  void PaintParentBackground();
  int FrameWidth() const;
  TAlignment FAlignment = taCenter;
  TVerticalAlignment FVerticalAlignment = taVerticalCenter;
  TBevelCut FBevelInner = bvNone;
  TBevelCut FBevelOuter = bvRaised;
  int FBevelWidth = 1;
  int FBorderWidth = 0;
  TBorderStyle FBorderStyle = bsNone;
  bool FParentBackground = false;
  bool FFullRepaint = true;
  bool FLocked = false;
  bool FShowCaption = true;
};

class TPanel : public TCustomPanel {
  KW_CLASS(TPanel, TCustomPanel)
  explicit TPanel(TComponent* owner) : TCustomPanel(owner) {}
};

enum TShapeType { stRectangle, stSquare, stRoundRect, stRoundSquare, stEllipse, stCircle };
KW_DECLARE_ENUM(TShapeType)

class TShape : public TGraphicControl {
  KW_CLASS(TShape, TGraphicControl)
  explicit TShape(TComponent* owner);
  ~TShape() override;
  TShapeType Shape() const { return FShape; }
  void SetShape(TShapeType v);
  TPen* Pen() const { return FPen.get(); }
  void SetPen(const TPen* v) { FPen->Assign(v); }
  TBrush* Brush() const { return FBrush.get(); }
  void SetBrush(const TBrush* v) { FBrush->Assign(v); }

protected:
  void Paint() override;

private:
  TShapeType FShape = stRectangle;
  std::unique_ptr<TPen> FPen;
  std::unique_ptr<TBrush> FBrush;
};

class TPaintBox : public TGraphicControl {
  KW_CLASS(TPaintBox, TGraphicControl)
  explicit TPaintBox(TComponent* owner);
  bool ColorStored() const { return !FParentColor; }
  bool FontStored() const { return !FParentFont; }
  // Draw on Canvas() here: it is the parent's DC with the box's corner at (0, 0).
  TNotifyEvent OnPaint;

protected:
  void Paint() override;
};

enum TBevelShape { bsBox, bsFrame, bsTopLine, bsBottomLine, bsLeftLine, bsRightLine, bsSpacer };
KW_DECLARE_ENUM(TBevelShape)
enum TBevelStyle { bsLowered, bsRaised };
KW_DECLARE_ENUM(TBevelStyle)

class TBevel : public TGraphicControl {
  KW_CLASS(TBevel, TGraphicControl)
  explicit TBevel(TComponent* owner);
  TBevelShape Shape() const { return FShape; }
  void SetShape(TBevelShape v);
  TBevelStyle Style() const { return FStyle; }
  void SetStyle(TBevelStyle v);

protected:
  void Paint() override;

private:
  TBevelShape FShape = bsBox;
  TBevelStyle FStyle = bsLowered;
};

class TImage : public TGraphicControl {
  KW_CLASS(TImage, TGraphicControl)
  explicit TImage(TComponent* owner);
  ~TImage() override;
  TPicture* Picture() const { return FPicture.get(); }
  void SetPicture(const TPicture* v) { FPicture->Assign(v); }
  // The picture fills the control (keeping its shape with Proportional).
  bool Stretch() const { return FStretch; }
  void SetStretch(bool v);
  bool Center() const { return FCenter; }
  void SetCenter(bool v);
  // Keeps the picture's aspect when stretching, and shrinks a picture too big to fit.
  bool Proportional() const { return FProportional; }
  void SetProportional(bool v);
  // Passed on to the graphic: the background shows through its transparent parts.
  bool Transparent() const { return FTransparent; }
  void SetTransparent(bool v);
  // The control takes the picture's size.
  bool AutoSize() const { return FAutoSize; }
  void SetAutoSize(bool v);
  // Where the picture is drawn, in client coordinates.
  TRect DestRect() const;

protected:
  void Paint() override;
  bool CanAutoSize(int& width, int& height) override;
  virtual void PictureChanged(TObject* sender);

private:
  void ApplyAutoSize();
  std::unique_ptr<TPicture> FPicture;
  bool FStretch = false;
  bool FCenter = false;
  bool FProportional = false;
  bool FTransparent = false;
  bool FAutoSize = false;
};

}  // namespace kw
