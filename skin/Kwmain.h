// The shared enumerations of the rendering layer (streamed by member name) and the shape
// descriptor TKwBasicShape. Descriptors that own style sets or image references (brush, pen,
// full, button and check shapes, button backgrounds and images) are in Kwshapes.h.
#pragma once

#include "host/Classes.h"
#include "host/Events.h"
#include "host/Typinfo.h"

namespace kw {

enum TKwShapes : Byte {
  shaEllipse, shaTriangle, shaRectangle, shaRoundRect, shaTrianEx1, shaPoliRect, shaArrow, shaPyramid,
  shaKite, shaArrowDouble, shaRhombus, shaRhombusLine, shaOctagon, shaTriangleBorder1, shaTriangleRect,
  shaArc, shaArcHorseShoe, shaPlus, shaArrowBig, shaArrowStyle, shaArrowRect, shaArrowBar1, shaArrowBar2,
  shaMushroom, shaArcRect, shaMinus, shaLetterH, shaTriangleBorder2, shaTriangleBorder4, shaLetterY,
  shaParallel, shaHexagon, shaPentagon, shaStar, shaCilinder, shaCone, shaHammer, shaLetterT, shaLetterC,
  shaOk, shaCancel, shaCircleLine, shaCircleCross, shaDonut
};
constexpr int KwShapeCount = int(shaDonut) + 1;
enum TKwShapeOrientation { sorDefault, sorUp, sorLeft, sorRight, sorDown };
enum TKwBorderStyle { bosNone, bosSingle, bos3D };
enum TKwBorderCustom { bocLeft, bocTop, bocRight, bocBottom };
using TKwBordersCustom = TSet<TKwBorderCustom>;
enum TKwBevelStyle { besNone, besSingle, bes3DTop, bes3DBottom };
enum TKwBreakStyle { brsNone, brsLine, brs3DTop, brs3DBottom };
enum TKwBackGroundStyle {
  bgsSolid, bgsUp, bgsDown, bgsLeft, bgsRight, bgsHorzIn, bgsHorzOut, bgsVertIn, bgsVertOut,
  bgsStretchImage, bgsTileImage, bgsLeftTop, bgsLeftCenter, bgsLeftBottom, bgsCenterTop, bgsCenter,
  bgsCenterBottom, bgsRightTop, bgsRightCenter, bgsRightBottom, bgsGrid
};
constexpr int KwBackGroundStyleCount = int(bgsGrid) + 1;
enum TKwBrushStyle {
  brsClear, brsSolid, brsBDiagonal, brsFDiagonal, brsCross, brsDiagCross, brsHorizontal, brsVertical, brsGrid
};
enum TKwPenStyle { pesClear, pesSolid, pesDash, pesDot, pesDashDot, pesDashDotDot };
enum TKwDrawShapeStyle { dssMask, dssLines, dssSolid };
enum TKwDrawButtonStyle { dbsButton, dbsShadow, dbsFlat, dbsBackFlat };
enum TKwButtonStyle { btsShape, btsImage };
enum TKwCheckStyle { cksText, cksImage, cksShape };
enum TKwCheckState { cksUnChecked, cksGrayed, cksChecked };
enum TKwRadioStyle { rasImage, rasShape };
enum TKwFocusStyle { fcsNone, fcsNotGrid, fcsColGrid, fcsInLine, fcsOutLine, fcsDouble };
enum TKwMoveDirection {
  mvdUp, mvdDown, mvdLeft, mvdRight, mvdUpLeft, mvdUpRight, mvdDownLeft, mvdDownRight, mvdMove, mvdNone
};
enum TKwGridLinesStyle { glsNone, glsSingle, gls3DTop, gls3DBottom };
enum TKwTypeBar { tbaBlock, tbaSolid, tbaIndeterminate };
enum TKwProgressBarOrientation { pboLeft, pboRight, pboUp, pboDown };
// Horizontal placement of text and of the character-limit marks drawn beside it.
enum TKwAlignment { aliLeft, aliCenter, aliRight };

KW_DECLARE_ENUM(TKwShapes)
KW_DECLARE_ENUM(TKwShapeOrientation)
KW_DECLARE_ENUM(TKwBorderStyle)
KW_DECLARE_ENUM(TKwBorderCustom)
KW_DECLARE_ENUM(TKwBevelStyle)
KW_DECLARE_ENUM(TKwBreakStyle)
KW_DECLARE_ENUM(TKwBackGroundStyle)
KW_DECLARE_ENUM(TKwBrushStyle)
KW_DECLARE_ENUM(TKwPenStyle)
KW_DECLARE_ENUM(TKwDrawShapeStyle)
KW_DECLARE_ENUM(TKwDrawButtonStyle)
KW_DECLARE_ENUM(TKwButtonStyle)
KW_DECLARE_ENUM(TKwCheckStyle)
KW_DECLARE_ENUM(TKwCheckState)
KW_DECLARE_ENUM(TKwRadioStyle)
KW_DECLARE_ENUM(TKwFocusStyle)
KW_DECLARE_ENUM(TKwMoveDirection)
KW_DECLARE_ENUM(TKwGridLinesStyle)
KW_DECLARE_ENUM(TKwTypeBar)
KW_DECLARE_ENUM(TKwProgressBarOrientation)
KW_DECLARE_ENUM(TKwAlignment)

// The outline a control asks for: which figure, mirrored or not, turned which way.
class TKwBasicShape : public TPersistent {
  KW_CLASS(TKwBasicShape, TPersistent)
  // The owner is only where the descriptor belongs; it is not kept.
  explicit TKwBasicShape(TPersistent* owner = nullptr);
  void Assign(const TPersistent* source) override;

  TKwShapes Shape() const { return FShape; }
  void SetShape(TKwShapes value);
  bool Reflection() const { return FReflection; }
  void SetReflection(bool value);
  TKwShapeOrientation Orientation() const { return FOrientation; }
  void SetOrientation(TKwShapeOrientation value);

  void Change();
  void NotifyChange(TObject* sender);
  // Marks that an Assign changed something; Assign points OnChange here while it copies.
  void NotifyModified(TObject* sender);

  TNotifyEvent OnChange;

private:
  TKwShapes FShape = shaRectangle;
  bool FReflection = false;
  TKwShapeOrientation FOrientation = sorDefault;
  bool FModified = false;
};

}  // namespace kw
