// The rectangle routines of Types.h and the conversions to the Win32 geometry types, with
// the checks that make the in-place reinterpretation safe. Nothing here draws.
#include "host/Types.h"

#include <algorithm>
#include <cstddef>

#include "host/Win.h"

namespace kw {

static_assert(sizeof(TPoint) == sizeof(POINT) && offsetof(TPoint, Y) == offsetof(POINT, y));
static_assert(sizeof(TSize) == sizeof(SIZE) && offsetof(TSize, cy) == offsetof(SIZE, cy));
static_assert(sizeof(TRect) == sizeof(RECT) && offsetof(TRect, Top) == offsetof(RECT, top) &&
              offsetof(TRect, Right) == offsetof(RECT, right) && offsetof(TRect, Bottom) == offsetof(RECT, bottom));

bool IntersectRect(TRect& out, const TRect& a, const TRect& b) {
  TRect r(std::max(a.Left, b.Left), std::max(a.Top, b.Top), std::min(a.Right, b.Right), std::min(a.Bottom, b.Bottom));
  if (r.IsEmpty()) {
    out = TRect();
    return false;
  }
  out = r;
  return true;
}

bool UnionRect(TRect& out, const TRect& a, const TRect& b) {
  if (a.IsEmpty() && b.IsEmpty()) {
    out = TRect();
    return false;
  }
  if (a.IsEmpty()) out = b;
  else if (b.IsEmpty()) out = a;
  else out = TRect(std::min(a.Left, b.Left), std::min(a.Top, b.Top), std::max(a.Right, b.Right), std::max(a.Bottom, b.Bottom));
  return true;
}

void OffsetRect(TRect& r, int dx, int dy) {
  r.Left += dx;
  r.Right += dx;
  r.Top += dy;
  r.Bottom += dy;
}

void InflateRect(TRect& r, int dx, int dy) {
  r.Left -= dx;
  r.Right += dx;
  r.Top -= dy;
  r.Bottom += dy;
}

TRect NormalizeRect(const TRect& r) {
  return TRect(std::min(r.Left, r.Right), std::min(r.Top, r.Bottom), std::max(r.Left, r.Right), std::max(r.Top, r.Bottom));
}

tagRECT KwRect(const TRect& r) { return RECT{r.Left, r.Top, r.Right, r.Bottom}; }
tagPOINT KwPoint(const TPoint& p) { return POINT{p.X, p.Y}; }
TRect KwToRect(const tagRECT& r) { return TRect(r.left, r.top, r.right, r.bottom); }
TPoint KwToPoint(const tagPOINT& p) { return TPoint(p.x, p.y); }
TSize KwToSize(const tagSIZE& s) { return TSize(s.cx, s.cy); }

}  // namespace kw
