// Panels (bevels, border, caption, children inside the frame), shapes, paint boxes, bevels and
// images, all painted by the host on their canvas. No themed drawing: bevels are the classic
// highlight and shadow lines.
#include "host/ExtCtrls.h"

#include <algorithm>

#include "host/Bitmap.h"
#include "host/Typreg.h"
#include "host/Win.h"

namespace kw {

KW_DEFINE_ENUM(TVerticalAlignment, L"taAlignTop", L"taAlignBottom", L"taVerticalCenter")
KW_DEFINE_ENUM(TBevelCut, L"bvNone", L"bvLowered", L"bvRaised", L"bvSpace")
KW_DEFINE_ENUM(TShapeType, L"stRectangle", L"stSquare", L"stRoundRect", L"stRoundSquare", L"stEllipse", L"stCircle")
KW_DEFINE_ENUM(TBevelShape, L"bsBox", L"bsFrame", L"bsTopLine", L"bsBottomLine", L"bsLeftLine", L"bsRightLine",
               L"bsSpacer")
KW_DEFINE_ENUM(TBevelStyle, L"bsLowered", L"bsRaised")

namespace {

// The outline a graphic control shows in the designer when it draws nothing else.
void DesignFrame(TCanvas* canvas, int width, int height) {
  canvas->Pen()->SetStyle(psDash);
  canvas->Pen()->SetColor(clBlack);
  canvas->Brush()->SetStyle(bsClear);
  canvas->Rectangle(0, 0, width, height);
  canvas->Pen()->SetStyle(psSolid);
}

}  // namespace

// --- TCustomPanel -------------------------------------------------------------------------------

KW_REGISTER_CLASS(TCustomPanel, TCustomControl)

TCustomPanel::TCustomPanel(TComponent* owner) : TCustomControl(owner) {
  FControlStyle = {csAcceptsControls, csCaptureMouse, csClickEvents, csSetCaption, csOpaque, csDoubleClicks,
                   csReplicatable};
  FWidth = 185;
  FHeight = 41;
  FColor = clBtnFace;
  FParentColor = false;
  FBrush->SetColor(clBtnFace);
}

void TCustomPanel::SetAlignment(TAlignment v) {
  if (v == FAlignment) return;
  FAlignment = v;
  Invalidate();
}

void TCustomPanel::SetVerticalAlignment(TVerticalAlignment v) {
  if (v == FVerticalAlignment) return;
  FVerticalAlignment = v;
  Invalidate();
}

void TCustomPanel::SetBevelInner(TBevelCut v) {
  if (v == FBevelInner) return;
  FBevelInner = v;
  Realign();
  Invalidate();
}

void TCustomPanel::SetBevelOuter(TBevelCut v) {
  if (v == FBevelOuter) return;
  FBevelOuter = v;
  Realign();
  Invalidate();
}

void TCustomPanel::SetBevelWidth(TBevelWidth v) {
  v = std::max(v, 1);
  if (v == FBevelWidth) return;
  FBevelWidth = v;
  Realign();
  Invalidate();
}

void TCustomPanel::SetBorderWidth(TBorderWidth v) {
  v = std::max(v, 0);
  if (v == FBorderWidth) return;
  FBorderWidth = v;
  Realign();
  Invalidate();
}

void TCustomPanel::SetBorderStyle(TBorderStyle v) {
  if (v != bsSingle) v = bsNone;
  if (v == FBorderStyle) return;
  FBorderStyle = v;
  RecreateWnd();
}

void TCustomPanel::SetParentBackground(bool v) {
  if (v == FParentBackground) return;
  FParentBackground = v;
  Invalidate();
}

void TCustomPanel::SetFullRepaint(bool v) {
  if (v == FFullRepaint) return;
  FFullRepaint = v;
  // The redraw-on-size bits belong to the window class.
  RecreateWnd();
}

void TCustomPanel::SetShowCaption(bool v) {
  if (v == FShowCaption) return;
  FShowCaption = v;
  Invalidate();
}

int TCustomPanel::FrameWidth() const {
  int w = FBorderWidth;
  if (FBevelOuter != bvNone) w += FBevelWidth;
  if (FBevelInner != bvNone) w += FBevelWidth;
  return w;
}

TRect TCustomPanel::InnerRect() const {
  TRect r = ClientRect();
  InflateRect(r, -FrameWidth(), -FrameWidth());
  return r;
}

void TCustomPanel::CreateParams(TCreateParams& p) {
  TCustomControl::CreateParams(p);
  if (FBorderStyle == bsSingle) p.ExStyle |= WS_EX_CLIENTEDGE;
  if (!FFullRepaint) {
    p.ClassStyle &= ~Cardinal(CS_HREDRAW | CS_VREDRAW);
    p.WinClassName += L"Partial";
  }
}

void TCustomPanel::AdjustClientRect(TRect& rect) {
  TCustomControl::AdjustClientRect(rect);
  InflateRect(rect, -FrameWidth(), -FrameWidth());
}

void TCustomPanel::WndProc(TMessage& m) {
  if (m.Msg == WM_WINDOWPOSCHANGED && !FFullRepaint) {
    TRect old = ClientRect();
    TCustomControl::WndProc(m);
    TRect now = ClientRect();
    if (HandleAllocated() && !(old == now)) {
      // Only the frame moved with the far edges; the rest of the picture stays.
      int band = FrameWidth() + 1;
      RECT right{std::min(old.Right, now.Right) - band, 0, std::max(old.Right, now.Right), now.Bottom};
      RECT bottom{0, std::min(old.Bottom, now.Bottom) - band, now.Right, std::max(old.Bottom, now.Bottom)};
      InvalidateRect(Handle(), &right, FALSE);
      InvalidateRect(Handle(), &bottom, FALSE);
    }
    return;
  }
  TCustomControl::WndProc(m);
}

void TCustomPanel::PaintParentBackground() {
  TWinControl* parent = Parent();
  if (!parent) return;
  HDC dc = Canvas()->Handle();
  int saved = SaveDC(dc);
  struct Restore {
    HDC dc;
    int saved;
    TCanvas* canvas;
    ~Restore() {
      RestoreDC(dc, saved);
      // The parent's painting went through its own canvas on this DC.
      canvas->Refresh();
    }
  } restore{dc, saved, Canvas()};
  POINT org;
  GetWindowOrgEx(dc, &org);
  SetWindowOrgEx(dc, org.x + Left(), org.y + Top(), nullptr);
  IntersectClipRect(dc, Left(), Top(), Left() + Width(), Top() + Height());
  parent->Perform(WM_ERASEBKGND, reinterpret_cast<std::uintptr_t>(dc), 0);
  // A parent that paints itself (another panel) shows its face; its window children are not
  // part of its client painting.
  if (dynamic_cast<TCustomControl*>(parent)) parent->Perform(WM_PAINT, reinterpret_cast<std::uintptr_t>(dc), 0);
}

void TCustomPanel::Paint() {
  TCanvas* c = Canvas();
  TRect r = ClientRect();
  if (FParentBackground) PaintParentBackground();
  auto bevel = [&](TBevelCut cut) {
    switch (cut) {
      case bvNone: break;
      case bvRaised: Frame3D(c, r, clBtnHighlight, clBtnShadow, FBevelWidth); break;
      case bvLowered: Frame3D(c, r, clBtnShadow, clBtnHighlight, FBevelWidth); break;
      case bvSpace:
        if (FParentBackground) InflateRect(r, -FBevelWidth, -FBevelWidth);
        else Frame3D(c, r, FColor, FColor, FBevelWidth);
        break;
    }
  };
  bevel(FBevelOuter);
  if (FBorderWidth > 0) {
    if (FParentBackground) InflateRect(r, -FBorderWidth, -FBorderWidth);
    else Frame3D(c, r, FColor, FColor, FBorderWidth);
  }
  bevel(FBevelInner);
  if (!FParentBackground) {
    c->Brush()->SetStyle(bsSolid);
    c->Brush()->SetColor(FColor);
    c->FillRect(r);
  }
  String text = Caption();
  if (!FShowCaption || text.empty()) return;
  TTextFormat format = {tfSingleLine, tfExpandTabs};
  // Under right-to-left alignment the caption's side is mirrored, and it reads right to left.
  TAlignment alignment = FAlignment;
  if (UseRightToLeftAlignment()) ChangeBiDiModeAlignment(alignment);
  if (UseRightToLeftReading()) format.Include(tfRtlReading);
  switch (alignment) {
    case taLeftJustify: format.Include(tfLeft); break;
    case taRightJustify: format.Include(tfRight); break;
    case taCenter: format.Include(tfCenter); break;
  }
  switch (FVerticalAlignment) {
    case taAlignTop: format.Include(tfTop); break;
    case taAlignBottom: format.Include(tfBottom); break;
    case taVerticalCenter: format.Include(tfVerticalCenter); break;
  }
  c->Brush()->SetStyle(bsClear);
  if (!Enabled()) c->Font()->SetColor(clGrayText);
  c->TextRect(r, text, format);
}

KW_BEGIN_CLASS(TPanel, TCustomPanel) {
  b.Prop(L"Alignment", &TPanel::Alignment, &TPanel::SetAlignment).Default(taCenter);
  b.Prop(L"VerticalAlignment", &TPanel::VerticalAlignment, &TPanel::SetVerticalAlignment)
      .Default(taVerticalCenter);
  b.Prop(L"BevelInner", &TPanel::BevelInner, &TPanel::SetBevelInner).Default(bvNone);
  b.Prop(L"BevelOuter", &TPanel::BevelOuter, &TPanel::SetBevelOuter).Default(bvRaised);
  b.Prop(L"BevelWidth", &TPanel::BevelWidth, &TPanel::SetBevelWidth).Default(1);
  b.Prop(L"BorderWidth", &TPanel::BorderWidth, &TPanel::SetBorderWidth).Default(0);
  b.Prop(L"BorderStyle", &TPanel::BorderStyle, &TPanel::SetBorderStyle).Default(bsNone);
  b.Prop(L"Caption", &TPanel::Caption, &TPanel::SetCaption).Default(L"");
  b.Prop(L"Color", &TPanel::Color, &TPanel::SetColor).Default(clBtnFace).Stored(&TPanel::ColorStored);
  b.Prop(L"Font", &TPanel::Font, &TPanel::SetFont).Stored(&TPanel::FontStored);
  b.Prop(L"FullRepaint", &TPanel::FullRepaint, &TPanel::SetFullRepaint).Default(true);
  b.Prop(L"Locked", &TPanel::Locked, &TPanel::SetLocked).Default(false);
  b.Prop(L"ParentBackground", &TPanel::ParentBackground, &TPanel::SetParentBackground).Default(false);
  b.Prop(L"ParentColor", &TPanel::ParentColor, &TPanel::SetParentColor).Default(false);
  b.Prop(L"ParentFont", &TPanel::ParentFont, &TPanel::SetParentFont).Default(true);
  b.Prop(L"ShowCaption", &TPanel::ShowCaption, &TPanel::SetShowCaption).Default(true);
}

// --- TShape ---------------------------------------------------------------------------------------

KW_BEGIN_CLASS(TShape, TGraphicControl) {
  b.Prop(L"Brush", &TShape::Brush, &TShape::SetBrush);
  b.Prop(L"Pen", &TShape::Pen, &TShape::SetPen);
  b.Prop(L"Shape", &TShape::Shape, &TShape::SetShape).Default(stRectangle);
}

TShape::TShape(TComponent* owner)
    : TGraphicControl(owner), FPen(std::make_unique<TPen>()), FBrush(std::make_unique<TBrush>()) {
  FControlStyle.Include(csReplicatable);
  FWidth = 65;
  FHeight = 65;
  FPen->OnChange = [this](TObject*) { Invalidate(); };
  FBrush->OnChange = [this](TObject*) { Invalidate(); };
}

TShape::~TShape() = default;

void TShape::SetShape(TShapeType v) {
  if (v == FShape) return;
  FShape = v;
  Invalidate();
}

void TShape::Paint() {
  TCanvas* c = Canvas();
  c->Pen()->Assign(FPen.get());
  c->Brush()->Assign(FBrush.get());
  // The pen's middle runs half its width inside the bounds, so the whole line shows.
  int pw = FPen->Width();
  int x = pw / 2, y = pw / 2;
  int w = FWidth - pw + 1, h = FHeight - pw + 1;
  if (FShape == stSquare || FShape == stRoundSquare || FShape == stCircle) {
    if (w < h) {
      y += (h - w) / 2;
      h = w;
    } else {
      x += (w - h) / 2;
      w = h;
    }
  }
  switch (FShape) {
    case stRectangle:
    case stSquare:
      c->Rectangle(x, y, x + w, y + h);
      break;
    case stRoundRect:
    case stRoundSquare: {
      int corner = std::min(w, h) / 4;
      c->RoundRect(x, y, x + w, y + h, corner, corner);
      break;
    }
    case stEllipse:
    case stCircle:
      c->Ellipse(x, y, x + w, y + h);
      break;
  }
}

// --- TPaintBox ------------------------------------------------------------------------------------

KW_BEGIN_CLASS(TPaintBox, TGraphicControl) {
  b.Prop(L"Color", &TPaintBox::Color, &TPaintBox::SetColor).Stored(&TPaintBox::ColorStored);
  b.Prop(L"Font", &TPaintBox::Font, &TPaintBox::SetFont).Stored(&TPaintBox::FontStored);
  b.Prop(L"ParentColor", &TPaintBox::ParentColor, &TPaintBox::SetParentColor).Default(true);
  b.Prop(L"ParentFont", &TPaintBox::ParentFont, &TPaintBox::SetParentFont).Default(true);
  b.Event(L"OnPaint", &TPaintBox::OnPaint);
}

TPaintBox::TPaintBox(TComponent* owner) : TGraphicControl(owner) {
  FControlStyle.Include(csReplicatable);
  FWidth = 105;
  FHeight = 105;
}

void TPaintBox::Paint() {
  TCanvas* c = Canvas();
  c->Brush()->SetColor(FColor);
  if (FComponentState.Contains(csDesigning)) {
    DesignFrame(c, FWidth, FHeight);
    c->Brush()->SetColor(FColor);
  }
  OnPaint(this);
}

// --- TBevel ----------------------------------------------------------------------------------------

KW_BEGIN_CLASS(TBevel, TGraphicControl) {
  b.Prop(L"Shape", &TBevel::Shape, &TBevel::SetShape).Default(bsBox);
  b.Prop(L"Style", &TBevel::Style, &TBevel::SetStyle).Default(bsLowered);
}

TBevel::TBevel(TComponent* owner) : TGraphicControl(owner) {
  FControlStyle.Include(csReplicatable);
  FWidth = 50;
  FHeight = 50;
}

void TBevel::SetShape(TBevelShape v) {
  if (v == FShape) return;
  FShape = v;
  Invalidate();
}

void TBevel::SetStyle(TBevelStyle v) {
  if (v == FStyle) return;
  FStyle = v;
  Invalidate();
}

void TBevel::Paint() {
  TCanvas* c = Canvas();
  // A lowered bevel has its shadow first (top, left), a raised one its highlight.
  TColor first = FStyle == bsLowered ? clBtnShadow : clBtnHighlight;
  TColor second = FStyle == bsLowered ? clBtnHighlight : clBtnShadow;
  int w = FWidth, h = FHeight;
  auto band = [&](const TRect& r, TColor color) {
    c->Brush()->SetStyle(bsSolid);
    c->Brush()->SetColor(color);
    c->FillRect(r);
  };
  switch (FShape) {
    case bsBox: {
      TRect r(0, 0, w, h);
      Frame3D(c, r, first, second, 1);
      break;
    }
    case bsFrame: {
      // Two offset outlines give the etched line.
      TRect inner(1, 1, w, h);
      Frame3D(c, inner, second, second, 1);
      TRect outer(0, 0, w - 1, h - 1);
      Frame3D(c, outer, first, first, 1);
      break;
    }
    case bsTopLine:
      band(TRect(0, 0, w, 1), first);
      band(TRect(0, 1, w, 2), second);
      break;
    case bsBottomLine:
      band(TRect(0, h - 2, w, h - 1), first);
      band(TRect(0, h - 1, w, h), second);
      break;
    case bsLeftLine:
      band(TRect(0, 0, 1, h), first);
      band(TRect(1, 0, 2, h), second);
      break;
    case bsRightLine:
      band(TRect(w - 2, 0, w - 1, h), first);
      band(TRect(w - 1, 0, w, h), second);
      break;
    case bsSpacer:
      if (FComponentState.Contains(csDesigning)) DesignFrame(c, w, h);
      break;
  }
}

// --- TImage -----------------------------------------------------------------------------------------

KW_BEGIN_CLASS(TImage, TGraphicControl) {
  b.Prop(L"AutoSize", &TImage::AutoSize, &TImage::SetAutoSize).Default(false);
  b.Prop(L"Center", &TImage::Center, &TImage::SetCenter).Default(false);
  b.Prop(L"Picture", &TImage::Picture, &TImage::SetPicture);
  b.Prop(L"Proportional", &TImage::Proportional, &TImage::SetProportional).Default(false);
  b.Prop(L"Stretch", &TImage::Stretch, &TImage::SetStretch).Default(false);
  b.Prop(L"Transparent", &TImage::Transparent, &TImage::SetTransparent).Default(false);
}

TImage::TImage(TComponent* owner) : TGraphicControl(owner), FPicture(std::make_unique<TPicture>()) {
  FControlStyle.Include(csReplicatable);
  FWidth = 105;
  FHeight = 105;
  FPicture->OnChange = [this](TObject* sender) { PictureChanged(sender); };
}

TImage::~TImage() { FPicture->OnChange = nullptr; }

void TImage::SetStretch(bool v) {
  if (v == FStretch) return;
  FStretch = v;
  PictureChanged(this);
}

void TImage::SetCenter(bool v) {
  if (v == FCenter) return;
  FCenter = v;
  PictureChanged(this);
}

void TImage::SetProportional(bool v) {
  if (v == FProportional) return;
  FProportional = v;
  PictureChanged(this);
}

void TImage::SetTransparent(bool v) {
  if (v == FTransparent) return;
  FTransparent = v;
  PictureChanged(this);
}

void TImage::SetAutoSize(bool v) {
  if (v == FAutoSize) return;
  FAutoSize = v;
  ApplyAutoSize();
}

bool TImage::CanAutoSize(int& width, int& height) {
  int w = FPicture->Width(), h = FPicture->Height();
  if (!FAutoSize || w <= 0 || h <= 0) return true;
  width = w;
  height = h;
  return true;
}

void TImage::ApplyAutoSize() {
  int w = FPicture->Width(), h = FPicture->Height();
  if (FAutoSize && w > 0 && h > 0) SetBounds(FLeft, FTop, w, h);
}

TRect TImage::DestRect() const {
  int w = FPicture->Width(), h = FPicture->Height();
  int cw = ClientWidth(), ch = ClientHeight();
  if (w > 0 && h > 0 && (FStretch || (FProportional && (w > cw || h > ch)))) {
    if (FProportional) {
      // The side that runs out of room first sets the scale.
      if (Int64(cw) * h <= Int64(ch) * w) {
        h = MulDiv(h, cw, w);
        w = cw;
      } else {
        w = MulDiv(w, ch, h);
        h = ch;
      }
    } else {
      w = cw;
      h = ch;
    }
  }
  int x = 0, y = 0;
  if (FCenter) {
    x = (cw - w) / 2;
    y = (ch - h) / 2;
  }
  return Bounds(x, y, w, h);
}

void TImage::PictureChanged(TObject*) {
  TGraphic* g = FPicture->Graphic();
  if (auto* bmp = dynamic_cast<TBitmap*>(g)) {
    // Bitmaps take transparency from the control; other formats carry their own.
    if (bmp->Transparent() != FTransparent) bmp->SetTransparent(FTransparent);
  }
  ApplyAutoSize();
  // A picture that covers the whole control and has no holes spares the parent's background.
  TRect d = DestRect();
  bool covers = g && !g->Empty() && !g->Transparent() && d.Left <= 0 && d.Top <= 0 && d.Right >= FWidth &&
                d.Bottom >= FHeight;
  if (covers) FControlStyle.Include(csOpaque);
  else FControlStyle.Exclude(csOpaque);
  Invalidate();
}

void TImage::Paint() {
  TCanvas* c = Canvas();
  if (FComponentState.Contains(csDesigning)) DesignFrame(c, FWidth, FHeight);
  TGraphic* g = FPicture->Graphic();
  if (g && !g->Empty()) c->StretchDraw(DestRect(), g);
}

}  // namespace kw
