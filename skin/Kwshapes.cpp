// The set-owning shape descriptors: their published properties with defaults, the wiring of
// every owned set to the descriptor's change, and the Assign rules, which differ per class in
// when they raise a change. Painting them is the renderers' business.
#include "skin/Kwshapes.h"

#include <algorithm>

#include "host/Controls.h"
#include "host/Sysutils.h"
#include "host/Typreg.h"

namespace kw {

KW_BEGIN_CLASS(TKwBrush, TPersistent) {
  b.Prop(L"SetBackGround", &TKwBrush::SetBackGround, &TKwBrush::SetSetBackGround);
  b.Prop(L"Style", &TKwBrush::Style, &TKwBrush::SetStyle).Default(brsSolid);
}

KW_BEGIN_CLASS(TKwPen, TPersistent) {
  b.Prop(L"SetColor", &TKwPen::SetColor, &TKwPen::SetSetColor);
  b.Prop(L"Style", &TKwPen::Style, &TKwPen::SetStyle).Default(pesClear);
  b.Prop(L"Width", &TKwPen::Width, &TKwPen::SetWidth).Default(1);
}

KW_BEGIN_CLASS(TKwFullShape, TKwBasicShape) {
  b.Prop(L"Visible", &TKwFullShape::Visible, &TKwFullShape::SetVisible).Default(false);
  b.Prop(L"BorderStyle", &TKwFullShape::BorderStyle, &TKwFullShape::SetBorderStyle).Default(bosSingle);
  b.Prop(L"BorderWidth", &TKwFullShape::BorderWidth, &TKwFullShape::SetBorderWidth).Default(1);
  b.Prop(L"Down", &TKwFullShape::Down, &TKwFullShape::SetDown).Default(false);
  b.Prop(L"Brush", &TKwFullShape::Brush, &TKwFullShape::SetBrush);
  b.Prop(L"Pen", &TKwFullShape::Pen, &TKwFullShape::SetPen);
}

KW_BEGIN_CLASS(TKwButtonShape, TKwBasicShape) {
  b.Prop(L"BorderStyle", &TKwButtonShape::BorderStyle, &TKwButtonShape::SetBorderStyle).Default(bos3D);
  b.Prop(L"BorderWidth", &TKwButtonShape::BorderWidth, &TKwButtonShape::SetBorderWidth).Default(1);
  b.Prop(L"Brush", &TKwButtonShape::Brush, &TKwButtonShape::SetBrush);
  b.Prop(L"Pen", &TKwButtonShape::Pen, &TKwButtonShape::SetPen);
  b.Prop(L"MarginLeftRight", &TKwButtonShape::MarginLeftRight, &TKwButtonShape::SetMarginLeftRight).Default(0);
  b.Prop(L"MarginTopBottom", &TKwButtonShape::MarginTopBottom, &TKwButtonShape::SetMarginTopBottom).Default(0);
}

KW_BEGIN_CLASS(TKwCheckShape, TKwBasicShape) {
  b.Prop(L"Width", &TKwCheckShape::Width, &TKwCheckShape::SetWidth).Default(14);
  b.Prop(L"Height", &TKwCheckShape::Height, &TKwCheckShape::SetHeight).Default(14);
  b.Prop(L"BorderStyle", &TKwCheckShape::BorderStyle, &TKwCheckShape::SetBorderStyle).Default(bosSingle);
  b.Prop(L"SetBGGrayed", &TKwCheckShape::SetBGGrayed, &TKwCheckShape::SetSetBGGrayed);
  b.Prop(L"SetBGChecked", &TKwCheckShape::SetBGChecked, &TKwCheckShape::SetSetBGChecked);
  b.Prop(L"SetBGUnChecked", &TKwCheckShape::SetBGUnChecked, &TKwCheckShape::SetSetBGUnChecked);
  b.Prop(L"Pen", &TKwCheckShape::Pen, &TKwCheckShape::SetPen);
}

KW_BEGIN_CLASS(TKwBGsButton, TPersistent) {
  b.Prop(L"SetBGUp", &TKwBGsButton::SetBGUp, &TKwBGsButton::SetSetBGUp);
  b.Prop(L"SetBGDown", &TKwBGsButton::SetBGDown, &TKwBGsButton::SetSetBGDown);
  b.Prop(L"SetBGOver", &TKwBGsButton::SetBGOver, &TKwBGsButton::SetSetBGOver);
  b.Prop(L"SetBGExclusive", &TKwBGsButton::SetBGExclusive, &TKwBGsButton::SetSetBGExclusive);
  b.Prop(L"SetBGDisabled", &TKwBGsButton::SetBGDisabled, &TKwBGsButton::SetSetBGDisabled);
}

KW_BEGIN_CLASS(TKwImagesButton, TPersistent) {
  b.Prop(L"ImageUp", &TKwImagesButton::ImageUp, &TKwImagesButton::SetImageUp);
  b.Prop(L"ImageDown", &TKwImagesButton::ImageDown, &TKwImagesButton::SetImageDown);
  b.Prop(L"ImageOver", &TKwImagesButton::ImageOver, &TKwImagesButton::SetImageOver);
  b.Prop(L"ImageExclusive", &TKwImagesButton::ImageExclusive, &TKwImagesButton::SetImageExclusive);
  b.Prop(L"ImageDisabled", &TKwImagesButton::ImageDisabled, &TKwImagesButton::SetImageDisabled);
}

KW_BEGIN_CLASS(TKwSingleCheck, TPersistent) {
  b.Prop(L"Style", &TKwSingleCheck::Style, &TKwSingleCheck::SetStyle).Default(cksImage);
  b.Prop(L"Shape", &TKwSingleCheck::Shape);
}

namespace {

// Silences an OnChange for a scope and gives it back, also when a copy raises.
class TMuted {
public:
  explicit TMuted(TNotifyEvent& event) : FEvent(event), FSaved(event) { FEvent = nullptr; }
  ~TMuted() { FEvent = FSaved; }
  TMuted(const TMuted&) = delete;
  TMuted& operator=(const TMuted&) = delete;

private:
  TNotifyEvent& FEvent;
  TNotifyEvent FSaved;
};

// The standard sets must exist before a descriptor names one as its fallback.
template <class TStyleSetKind, class TDefault>
std::unique_ptr<TStyleSetKind> OwnedSet(TDefault*& standard) {
  KwInitStyleSets();
  return std::make_unique<TStyleSetKind>(standard, false);
}

template <class TOwner, class TSub>
void Wire(TOwner* owner, TSub& sub) {
  sub.OnChange.Bind(owner, &TOwner::NotifyChange);
}

template <class T, class V>
bool Store(T& field, V value) {
  if (field == value) return false;
  field = value;
  return true;
}

}  // namespace

// --- brush and pen -------------------------------------------------------------------------

TKwBrush::TKwBrush(TPersistent*) : FSetBackGround(OwnedSet<TKwSetBackGround>(KwSetBackGround)) {
  Wire(this, *FSetBackGround);
}

TKwBrush::~TKwBrush() = default;

void TKwBrush::Assign(const TPersistent* source) {
  auto* brush = dynamic_cast<const TKwBrush*>(source);
  if (!brush) {
    inherited::Assign(source);
    return;
  }
  if (FStyle == brush->FStyle && AnsiSameText(FSetBackGround->Name(), brush->FSetBackGround->Name())) return;
  {
    TMuted muted(OnChange);
    FStyle = brush->FStyle;
    FSetBackGround->Assign(brush->FSetBackGround.get());
  }
  Change();
}

void TKwBrush::SetStyle(TKwBrushStyle value) {
  if (Store(FStyle, value)) Change();
}

void TKwBrush::Change() { OnChange(this); }
void TKwBrush::NotifyChange(TObject*) { Change(); }

TKwPen::TKwPen(TPersistent*) : FSetColor(OwnedSet<TKwSetColor>(KwSetColBox)) { Wire(this, *FSetColor); }

TKwPen::~TKwPen() = default;

void TKwPen::Assign(const TPersistent* source) {
  auto* pen = dynamic_cast<const TKwPen*>(source);
  if (!pen) {
    inherited::Assign(source);
    return;
  }
  if (FStyle == pen->FStyle && FWidth == pen->FWidth && AnsiSameText(FSetColor->Name(), pen->FSetColor->Name()))
    return;
  {
    TMuted muted(OnChange);
    FStyle = pen->FStyle;
    FWidth = pen->FWidth;
    FSetColor->Assign(pen->FSetColor.get());
  }
  Change();
}

void TKwPen::SetStyle(TKwPenStyle value) {
  if (Store(FStyle, value)) Change();
}

void TKwPen::SetWidth(int value) {
  if (Store(FWidth, std::max(value, 1))) Change();
}

void TKwPen::Change() { OnChange(this); }
void TKwPen::NotifyChange(TObject*) { Change(); }

// --- the shapes ------------------------------------------------------------------------------

TKwFullShape::TKwFullShape(TPersistent* owner)
    : TKwBasicShape(owner), FBrush(std::make_unique<TKwBrush>(owner)), FPen(std::make_unique<TKwPen>(owner)) {
  Wire<TKwBasicShape>(this, *FBrush);
  Wire<TKwBasicShape>(this, *FPen);
}

TKwFullShape::~TKwFullShape() {
  FPen.reset();
  FBrush.reset();
}

void TKwFullShape::Assign(const TPersistent* source) {
  auto* shape = dynamic_cast<const TKwFullShape*>(source);
  if (!shape || shape == this) {
    inherited::Assign(source);
    return;
  }
  {
    TMuted muted(OnChange);
    FVisible = shape->FVisible;
    FBorderStyle = shape->FBorderStyle;
    FBorderWidth = shape->FBorderWidth;
    FDown = shape->FDown;
    FBrush->Assign(shape->FBrush.get());
    FPen->Assign(shape->FPen.get());
  }
  inherited::Assign(source);
}

void TKwFullShape::SetVisible(bool value) {
  if (Store(FVisible, value)) Change();
}
void TKwFullShape::SetBorderStyle(TKwBorderStyle value) {
  if (Store(FBorderStyle, value)) Change();
}
void TKwFullShape::SetBorderWidth(int value) {
  if (Store(FBorderWidth, value)) Change();
}
void TKwFullShape::SetDown(bool value) {
  if (Store(FDown, value)) Change();
}

TKwButtonShape::TKwButtonShape(TPersistent* owner)
    : TKwBasicShape(owner), FBrush(std::make_unique<TKwBrush>(owner)), FPen(std::make_unique<TKwPen>(owner)) {
  Wire<TKwBasicShape>(this, *FBrush);
  Wire<TKwBasicShape>(this, *FPen);
}

TKwButtonShape::~TKwButtonShape() {
  FPen.reset();
  FBrush.reset();
}

void TKwButtonShape::Assign(const TPersistent* source) {
  auto* shape = dynamic_cast<const TKwButtonShape*>(source);
  if (!shape || shape == this) {
    inherited::Assign(source);
    return;
  }
  {
    TMuted muted(OnChange);
    FBorderStyle = shape->FBorderStyle;
    FBorderWidth = shape->FBorderWidth;
    FMarginLeftRight = shape->FMarginLeftRight;
    FMarginTopBottom = shape->FMarginTopBottom;
    FBrush->Assign(shape->FBrush.get());
    FPen->Assign(shape->FPen.get());
  }
  inherited::Assign(source);
}

void TKwButtonShape::SetBorderStyle(TKwBorderStyle value) {
  if (Store(FBorderStyle, value)) Change();
}
void TKwButtonShape::SetBorderWidth(int value) {
  if (Store(FBorderWidth, value)) Change();
}
void TKwButtonShape::SetMarginLeftRight(int value) {
  if (Store(FMarginLeftRight, value)) Change();
}
void TKwButtonShape::SetMarginTopBottom(int value) {
  if (Store(FMarginTopBottom, value)) Change();
}

TKwCheckShape::TKwCheckShape(TPersistent* owner)
    : TKwBasicShape(owner),
      FSetBGGrayed(OwnedSet<TKwSetBackGround>(KwSetCkGrayedBG)),
      FSetBGChecked(OwnedSet<TKwSetBackGround>(KwSetCkCheckedBG)),
      FSetBGUnChecked(OwnedSet<TKwSetBackGround>(KwSetCkUnCheckedBG)),
      FPen(std::make_unique<TKwPen>(owner)) {
  Wire<TKwBasicShape>(this, *FSetBGGrayed);
  Wire<TKwBasicShape>(this, *FSetBGChecked);
  Wire<TKwBasicShape>(this, *FSetBGUnChecked);
  Wire<TKwBasicShape>(this, *FPen);
}

TKwCheckShape::~TKwCheckShape() {
  FPen.reset();
  FSetBGUnChecked.reset();
  FSetBGChecked.reset();
  FSetBGGrayed.reset();
}

void TKwCheckShape::Assign(const TPersistent* source) {
  auto* shape = dynamic_cast<const TKwCheckShape*>(source);
  if (!shape || shape == this) {
    inherited::Assign(source);
    return;
  }
  {
    TMuted muted(OnChange);
    FWidth = shape->FWidth;
    FHeight = shape->FHeight;
    FBorderStyle = shape->FBorderStyle;
    FSetBGGrayed->Assign(shape->FSetBGGrayed.get());
    FSetBGChecked->Assign(shape->FSetBGChecked.get());
    FSetBGUnChecked->Assign(shape->FSetBGUnChecked.get());
    FPen->Assign(shape->FPen.get());
  }
  inherited::Assign(source);
}

void TKwCheckShape::SetWidth(int value) {
  if (Store(FWidth, value)) Change();
}
void TKwCheckShape::SetHeight(int value) {
  if (Store(FHeight, value)) Change();
}
void TKwCheckShape::SetBorderStyle(TKwBorderStyle value) {
  if (Store(FBorderStyle, value)) Change();
}

// --- button states -----------------------------------------------------------------------------

TKwBGsButton::TKwBGsButton(TPersistent*)
    : FSetBGUp(OwnedSet<TKwSetBackGround>(KwSetBackGround)),
      FSetBGDown(OwnedSet<TKwSetBackGround>(KwSetBackGround)),
      FSetBGOver(OwnedSet<TKwSetBackGround>(KwSetBackGround)),
      FSetBGExclusive(OwnedSet<TKwSetBackGround>(KwSetBackGround)),
      FSetBGDisabled(OwnedSet<TKwSetBackGround>(KwSetBackGround)) {
  for (TKwSetBackGround* set :
       {FSetBGUp.get(), FSetBGDown.get(), FSetBGOver.get(), FSetBGExclusive.get(), FSetBGDisabled.get()})
    Wire(this, *set);
}

TKwBGsButton::~TKwBGsButton() {
  FSetBGDisabled.reset();
  FSetBGExclusive.reset();
  FSetBGOver.reset();
  FSetBGDown.reset();
  FSetBGUp.reset();
}

void TKwBGsButton::Assign(const TPersistent* source) {
  auto* bgs = dynamic_cast<const TKwBGsButton*>(source);
  if (!bgs) {
    inherited::Assign(source);
    return;
  }
  {
    TMuted muted(OnChange);
    FSetBGUp->Assign(bgs->FSetBGUp.get());
    FSetBGDown->Assign(bgs->FSetBGDown.get());
    FSetBGOver->Assign(bgs->FSetBGOver.get());
    FSetBGExclusive->Assign(bgs->FSetBGExclusive.get());
    FSetBGDisabled->Assign(bgs->FSetBGDisabled.get());
  }
  Change();
}

void TKwBGsButton::Change() { OnChange(this); }
void TKwBGsButton::NotifyChange(TObject*) { Change(); }

TKwImagesButton::TKwImagesButton(TPersistent*) {
  for (auto& image : FImages) {
    image.reset(KwNewImageReference());
    image->OnChange = [this](TObject* sender) { NotifyChange(sender); };
  }
}

TKwImagesButton::~TKwImagesButton() = default;

void TKwImagesButton::Assign(const TPersistent* source) {
  auto* images = dynamic_cast<const TKwImagesButton*>(source);
  if (!images) {
    inherited::Assign(source);
    return;
  }
  // While copying, the references only mark that something differed: one change at the end.
  FModified = false;
  for (int i = 0; i < 5; ++i) {
    FImages[i]->OnChange = [this](TObject* sender) { NotifyModified(sender); };
    try {
      FImages[i]->Assign(images->FImages[i].get());
    } catch (...) {
      FImages[i]->OnChange = [this](TObject* sender) { NotifyChange(sender); };
      throw;
    }
    FImages[i]->OnChange = [this](TObject* sender) { NotifyChange(sender); };
  }
  if (FModified) Change();
  FModified = false;
}

void TKwImagesButton::Change() { OnChange(this); }
void TKwImagesButton::NotifyChange(TObject*) { Change(); }
void TKwImagesButton::NotifyModified(TObject*) { FModified = true; }

// --- the check mark ---------------------------------------------------------------------------

TKwSingleCheck::TKwSingleCheck(TControl* owner)
    : FOwner(owner), FShape(std::make_unique<TKwCheckShape>(owner)) {
  Wire(this, *FShape);
}

TKwSingleCheck::~TKwSingleCheck() { FShape.reset(); }

void TKwSingleCheck::Assign(const TPersistent* source) {
  auto* check = dynamic_cast<const TKwSingleCheck*>(source);
  if (!check) {
    inherited::Assign(source);
    return;
  }
  {
    TMuted muted(OnChange);
    FStyle = check->FStyle;
    FShape->Assign(check->FShape.get());
  }
  Change();
}

void TKwSingleCheck::SetStyle(TKwCheckStyle value) {
  if (Store(FStyle, value)) Change();
}

void TKwSingleCheck::Change() { OnChange(this); }
void TKwSingleCheck::NotifyChange(TObject*) { Change(); }

}  // namespace kw
