// The shape descriptors that own style sets: brush, pen, the full, button and check shapes,
// the per-state button backgrounds, the per-state button images and the single check mark.
// The image references and the check mark's image and text parts belong to later units.
#pragma once

#include <memory>

#include "skin/Kwmain.h"
#include "skin/Kwimageref.h"
#include "skin/Kwsets.h"

namespace kw {

class TControl;

// The fill a shape asks for: a background set and a brush style.
class TKwBrush : public TPersistent {
  KW_CLASS(TKwBrush, TPersistent)
  explicit TKwBrush(TPersistent* owner = nullptr);
  ~TKwBrush() override;
  // Copies only when the style or the set's name (letter case aside) differs; one change.
  void Assign(const TPersistent* source) override;

  TKwSetBackGround* SetBackGround() const { return FSetBackGround.get(); }
  void SetSetBackGround(const TKwSetBackGround* value) { FSetBackGround->Assign(value); }
  TKwBrushStyle Style() const { return FStyle; }
  void SetStyle(TKwBrushStyle value);

  void Change();
  void NotifyChange(TObject* sender);
  TNotifyEvent OnChange;

private:
  std::unique_ptr<TKwSetBackGround> FSetBackGround;
  TKwBrushStyle FStyle = brsSolid;
};

// The outline a shape asks for: a colour set, a pen style and a width of at least 1.
class TKwPen : public TPersistent {
  KW_CLASS(TKwPen, TPersistent)
  explicit TKwPen(TPersistent* owner = nullptr);
  ~TKwPen() override;
  void Assign(const TPersistent* source) override;

  TKwSetColor* SetColor() const { return FSetColor.get(); }
  void SetSetColor(const TKwSetColor* value) { FSetColor->Assign(value); }
  // A new pen draws nothing until it is given a style.
  TKwPenStyle Style() const { return FStyle; }
  void SetStyle(TKwPenStyle value);
  int Width() const { return FWidth; }
  void SetWidth(int value);

  void Change();
  void NotifyChange(TObject* sender);
  TNotifyEvent OnChange;

private:
  std::unique_ptr<TKwSetColor> FSetColor;
  TKwPenStyle FStyle = pesClear;
  int FWidth = 1;
};

// A complete painted box: outline, border, fill and pen; invisible until switched on.
class TKwFullShape : public TKwBasicShape {
  KW_CLASS(TKwFullShape, TKwBasicShape)
  explicit TKwFullShape(TPersistent* owner = nullptr);
  ~TKwFullShape() override;
  // Copies everything, but raises a change only when the outline (shape, reflection or
  // orientation) differed.
  void Assign(const TPersistent* source) override;

  bool Visible() const { return FVisible; }
  void SetVisible(bool value);
  TKwBorderStyle BorderStyle() const { return FBorderStyle; }
  void SetBorderStyle(TKwBorderStyle value);
  int BorderWidth() const { return FBorderWidth; }
  void SetBorderWidth(int value);
  // A sunken three-dimensional border.
  bool Down() const { return FDown; }
  void SetDown(bool value);
  TKwBrush* Brush() const { return FBrush.get(); }
  void SetBrush(const TKwBrush* value) { FBrush->Assign(value); }
  TKwPen* Pen() const { return FPen.get(); }
  void SetPen(const TKwPen* value) { FPen->Assign(value); }

private:
  bool FVisible = false;
  TKwBorderStyle FBorderStyle = bosSingle;
  int FBorderWidth = 1;
  bool FDown = false;
  std::unique_ptr<TKwBrush> FBrush;
  std::unique_ptr<TKwPen> FPen;
};

// The face of a button: outline, border, fill, pen and the margins kept free around it.
class TKwButtonShape : public TKwBasicShape {
  KW_CLASS(TKwButtonShape, TKwBasicShape)
  explicit TKwButtonShape(TPersistent* owner = nullptr);
  ~TKwButtonShape() override;
  void Assign(const TPersistent* source) override;

  TKwBorderStyle BorderStyle() const { return FBorderStyle; }
  void SetBorderStyle(TKwBorderStyle value);
  int BorderWidth() const { return FBorderWidth; }
  void SetBorderWidth(int value);
  TKwBrush* Brush() const { return FBrush.get(); }
  void SetBrush(const TKwBrush* value) { FBrush->Assign(value); }
  TKwPen* Pen() const { return FPen.get(); }
  void SetPen(const TKwPen* value) { FPen->Assign(value); }
  int MarginLeftRight() const { return FMarginLeftRight; }
  void SetMarginLeftRight(int value);
  int MarginTopBottom() const { return FMarginTopBottom; }
  void SetMarginTopBottom(int value);

private:
  TKwBorderStyle FBorderStyle = bos3D;
  int FBorderWidth = 1;
  std::unique_ptr<TKwBrush> FBrush;
  std::unique_ptr<TKwPen> FPen;
  int FMarginLeftRight = 0;
  int FMarginTopBottom = 0;
};

// The box of a check mark drawn as a shape, with a background per check state.
class TKwCheckShape : public TKwBasicShape {
  KW_CLASS(TKwCheckShape, TKwBasicShape)
  explicit TKwCheckShape(TPersistent* owner = nullptr);
  ~TKwCheckShape() override;
  void Assign(const TPersistent* source) override;

  int Width() const { return FWidth; }
  void SetWidth(int value);
  int Height() const { return FHeight; }
  void SetHeight(int value);
  TKwBorderStyle BorderStyle() const { return FBorderStyle; }
  void SetBorderStyle(TKwBorderStyle value);
  TKwSetBackGround* SetBGGrayed() const { return FSetBGGrayed.get(); }
  void SetSetBGGrayed(const TKwSetBackGround* value) { FSetBGGrayed->Assign(value); }
  TKwSetBackGround* SetBGChecked() const { return FSetBGChecked.get(); }
  void SetSetBGChecked(const TKwSetBackGround* value) { FSetBGChecked->Assign(value); }
  TKwSetBackGround* SetBGUnChecked() const { return FSetBGUnChecked.get(); }
  void SetSetBGUnChecked(const TKwSetBackGround* value) { FSetBGUnChecked->Assign(value); }
  TKwPen* Pen() const { return FPen.get(); }
  void SetPen(const TKwPen* value) { FPen->Assign(value); }

private:
  int FWidth = 14;
  int FHeight = 14;
  TKwBorderStyle FBorderStyle = bosSingle;
  std::unique_ptr<TKwSetBackGround> FSetBGGrayed;
  std::unique_ptr<TKwSetBackGround> FSetBGChecked;
  std::unique_ptr<TKwSetBackGround> FSetBGUnChecked;
  std::unique_ptr<TKwPen> FPen;
};

// One background per button state.
class TKwBGsButton : public TPersistent {
  KW_CLASS(TKwBGsButton, TPersistent)
  explicit TKwBGsButton(TPersistent* owner = nullptr);
  ~TKwBGsButton() override;
  // Copies all five sets and raises one change, whether or not anything differed.
  void Assign(const TPersistent* source) override;

  TKwSetBackGround* SetBGUp() const { return FSetBGUp.get(); }
  void SetSetBGUp(const TKwSetBackGround* value) { FSetBGUp->Assign(value); }
  TKwSetBackGround* SetBGDown() const { return FSetBGDown.get(); }
  void SetSetBGDown(const TKwSetBackGround* value) { FSetBGDown->Assign(value); }
  TKwSetBackGround* SetBGOver() const { return FSetBGOver.get(); }
  void SetSetBGOver(const TKwSetBackGround* value) { FSetBGOver->Assign(value); }
  TKwSetBackGround* SetBGExclusive() const { return FSetBGExclusive.get(); }
  void SetSetBGExclusive(const TKwSetBackGround* value) { FSetBGExclusive->Assign(value); }
  TKwSetBackGround* SetBGDisabled() const { return FSetBGDisabled.get(); }
  void SetSetBGDisabled(const TKwSetBackGround* value) { FSetBGDisabled->Assign(value); }

  void Change();
  void NotifyChange(TObject* sender);
  TNotifyEvent OnChange;

private:
  std::unique_ptr<TKwSetBackGround> FSetBGUp;
  std::unique_ptr<TKwSetBackGround> FSetBGDown;
  std::unique_ptr<TKwSetBackGround> FSetBGOver;
  std::unique_ptr<TKwSetBackGround> FSetBGExclusive;
  std::unique_ptr<TKwSetBackGround> FSetBGDisabled;
};

// One image per button state. The five image references (ImageUp, ImageDown, ImageOver,
// ImageExclusive, ImageDisabled) join when the image package unit provides them; the change
// protocol they use is here already.
class TKwImagesButton : public TPersistent {
  KW_CLASS(TKwImagesButton, TPersistent)
  explicit TKwImagesButton(TPersistent* owner = nullptr);
  ~TKwImagesButton() override;
  // Raises one change only when a reference changed while copying.
  void Assign(const TPersistent* source) override;

  // One image per button state, owned; the setters copy.
  TKwImageReference* ImageUp() const { return FImages[0].get(); }
  void SetImageUp(TKwImageReference* v) { FImages[0]->Assign(v); }
  TKwImageReference* ImageDown() const { return FImages[1].get(); }
  void SetImageDown(TKwImageReference* v) { FImages[1]->Assign(v); }
  TKwImageReference* ImageOver() const { return FImages[2].get(); }
  void SetImageOver(TKwImageReference* v) { FImages[2]->Assign(v); }
  TKwImageReference* ImageExclusive() const { return FImages[3].get(); }
  void SetImageExclusive(TKwImageReference* v) { FImages[3]->Assign(v); }
  TKwImageReference* ImageDisabled() const { return FImages[4].get(); }
  void SetImageDisabled(TKwImageReference* v) { FImages[4]->Assign(v); }

  void Change();
  void NotifyChange(TObject* sender);
  // Marks that an Assign changed something; Assign points the references' changes here.
  void NotifyModified(TObject* sender);
  TNotifyEvent OnChange;

private:
  std::unique_ptr<TKwImageReference> FImages[5];
  bool FModified = false;
};

// One check mark and how it is drawn. The image and text parts (Image, Text) belong to the
// image and text descriptor units and join with them.
class TKwSingleCheck : public TPersistent {
  KW_CLASS(TKwSingleCheck, TPersistent)
  // The owner is kept and handed on to the parts.
  explicit TKwSingleCheck(TControl* owner = nullptr);
  ~TKwSingleCheck() override;
  // Copies everything and raises one change, whether or not anything differed.
  void Assign(const TPersistent* source) override;

  TControl* Owner() const { return FOwner; }
  TKwCheckStyle Style() const { return FStyle; }
  void SetStyle(TKwCheckStyle value);
  // Made once and never replaced; streaming fills it in place.
  TKwCheckShape* Shape() const { return FShape.get(); }

  void Change();
  void NotifyChange(TObject* sender);
  TNotifyEvent OnChange;

private:
  TControl* FOwner;
  TKwCheckStyle FStyle = cksImage;
  std::unique_ptr<TKwCheckShape> FShape;
};

}  // namespace kw
