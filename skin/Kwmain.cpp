// Member names of the rendering layer's enumerations and the TKwBasicShape descriptor with its
// Assign, which raises one change however many of its three values differ.
#include "skin/Kwmain.h"

#include "host/Typreg.h"

namespace kw {

KW_DEFINE_ENUM(TKwShapes, L"shaEllipse", L"shaTriangle", L"shaRectangle", L"shaRoundRect", L"shaTrianEx1",
               L"shaPoliRect", L"shaArrow", L"shaPyramid", L"shaKite", L"shaArrowDouble", L"shaRhombus",
               L"shaRhombusLine", L"shaOctagon", L"shaTriangleBorder1", L"shaTriangleRect", L"shaArc",
               L"shaArcHorseShoe", L"shaPlus", L"shaArrowBig", L"shaArrowStyle", L"shaArrowRect",
               L"shaArrowBar1", L"shaArrowBar2", L"shaMushroom", L"shaArcRect", L"shaMinus", L"shaLetterH",
               L"shaTriangleBorder2", L"shaTriangleBorder4", L"shaLetterY", L"shaParallel", L"shaHexagon",
               L"shaPentagon", L"shaStar", L"shaCilinder", L"shaCone", L"shaHammer", L"shaLetterT",
               L"shaLetterC", L"shaOk", L"shaCancel", L"shaCircleLine", L"shaCircleCross", L"shaDonut")
KW_DEFINE_ENUM(TKwShapeOrientation, L"sorDefault", L"sorUp", L"sorLeft", L"sorRight", L"sorDown")
KW_DEFINE_ENUM(TKwBorderStyle, L"bosNone", L"bosSingle", L"bos3D")
KW_DEFINE_ENUM(TKwBorderCustom, L"bocLeft", L"bocTop", L"bocRight", L"bocBottom")
KW_DEFINE_ENUM(TKwBevelStyle, L"besNone", L"besSingle", L"bes3DTop", L"bes3DBottom")
KW_DEFINE_ENUM(TKwBreakStyle, L"brsNone", L"brsLine", L"brs3DTop", L"brs3DBottom")
KW_DEFINE_ENUM(TKwBackGroundStyle, L"bgsSolid", L"bgsUp", L"bgsDown", L"bgsLeft", L"bgsRight", L"bgsHorzIn",
               L"bgsHorzOut", L"bgsVertIn", L"bgsVertOut", L"bgsStretchImage", L"bgsTileImage", L"bgsLeftTop",
               L"bgsLeftCenter", L"bgsLeftBottom", L"bgsCenterTop", L"bgsCenter", L"bgsCenterBottom",
               L"bgsRightTop", L"bgsRightCenter", L"bgsRightBottom", L"bgsGrid")
KW_DEFINE_ENUM(TKwBrushStyle, L"brsClear", L"brsSolid", L"brsBDiagonal", L"brsFDiagonal", L"brsCross",
               L"brsDiagCross", L"brsHorizontal", L"brsVertical", L"brsGrid")
KW_DEFINE_ENUM(TKwPenStyle, L"pesClear", L"pesSolid", L"pesDash", L"pesDot", L"pesDashDot", L"pesDashDotDot")
KW_DEFINE_ENUM(TKwDrawShapeStyle, L"dssMask", L"dssLines", L"dssSolid")
KW_DEFINE_ENUM(TKwDrawButtonStyle, L"dbsButton", L"dbsShadow", L"dbsFlat", L"dbsBackFlat")
KW_DEFINE_ENUM(TKwButtonStyle, L"btsShape", L"btsImage")
KW_DEFINE_ENUM(TKwCheckStyle, L"cksText", L"cksImage", L"cksShape")
KW_DEFINE_ENUM(TKwCheckState, L"cksUnChecked", L"cksGrayed", L"cksChecked")
KW_DEFINE_ENUM(TKwRadioStyle, L"rasImage", L"rasShape")
KW_DEFINE_ENUM(TKwFocusStyle, L"fcsNone", L"fcsNotGrid", L"fcsColGrid", L"fcsInLine", L"fcsOutLine", L"fcsDouble")
KW_DEFINE_ENUM(TKwMoveDirection, L"mvdUp", L"mvdDown", L"mvdLeft", L"mvdRight", L"mvdUpLeft", L"mvdUpRight",
               L"mvdDownLeft", L"mvdDownRight", L"mvdMove", L"mvdNone")
KW_DEFINE_ENUM(TKwGridLinesStyle, L"glsNone", L"glsSingle", L"gls3DTop", L"gls3DBottom")
KW_DEFINE_ENUM(TKwTypeBar, L"tbaBlock", L"tbaSolid", L"tbaIndeterminate")
KW_DEFINE_ENUM(TKwProgressBarOrientation, L"pboLeft", L"pboRight", L"pboUp", L"pboDown")
KW_DEFINE_ENUM(TKwAlignment, L"aliLeft", L"aliCenter", L"aliRight")

KW_BEGIN_CLASS(TKwBasicShape, TPersistent) {
  b.Prop(L"Shape", &TKwBasicShape::Shape, &TKwBasicShape::SetShape).Default(shaRectangle);
  b.Prop(L"Reflection", &TKwBasicShape::Reflection, &TKwBasicShape::SetReflection).Default(false);
  b.Prop(L"Orientation", &TKwBasicShape::Orientation, &TKwBasicShape::SetOrientation).Default(sorDefault);
}

TKwBasicShape::TKwBasicShape(TPersistent*) {}

void TKwBasicShape::Assign(const TPersistent* source) {
  auto* shape = dynamic_cast<const TKwBasicShape*>(source);
  if (!shape) {
    inherited::Assign(source);
    return;
  }
  if (shape == this) return;
  // The setters each raise their own change; while copying they only mark that one came.
  TNotifyEvent saved = OnChange;
  FModified = false;
  OnChange.Bind(this, &TKwBasicShape::NotifyModified);
  try {
    SetShape(shape->FShape);
    SetReflection(shape->FReflection);
    SetOrientation(shape->FOrientation);
  } catch (...) {
    OnChange = saved;
    throw;
  }
  OnChange = saved;
  if (FModified) Change();
}

void TKwBasicShape::SetShape(TKwShapes value) {
  if (FShape == value) return;
  FShape = value;
  Change();
}

void TKwBasicShape::SetReflection(bool value) {
  if (FReflection == value) return;
  FReflection = value;
  Change();
}

void TKwBasicShape::SetOrientation(TKwShapeOrientation value) {
  if (FOrientation == value) return;
  FOrientation = value;
  Change();
}

void TKwBasicShape::Change() { OnChange(this); }
void TKwBasicShape::NotifyChange(TObject*) { Change(); }
void TKwBasicShape::NotifyModified(TObject*) { FModified = true; }

}  // namespace kw
