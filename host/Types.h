// Geometry value types of the host: TPoint, TSize, TRect and their free routines. They share
// the layout of the Win32 POINT, SIZE and RECT (checked in Types.cpp); the conversions to the
// Win32 types are declared here against forward tags so this header needs no windows.h.
#pragma once

struct tagPOINT;
struct tagSIZE;
struct tagRECT;

namespace kw {

struct TPoint {
  int X = 0;
  int Y = 0;
  constexpr TPoint() = default;
  constexpr TPoint(int x, int y) : X(x), Y(y) {}
  friend constexpr bool operator==(const TPoint& a, const TPoint& b) { return a.X == b.X && a.Y == b.Y; }
  constexpr TPoint operator+(const TPoint& o) const { return TPoint(X + o.X, Y + o.Y); }
  constexpr TPoint operator-(const TPoint& o) const { return TPoint(X - o.X, Y - o.Y); }
};

struct TSize {
  int cx = 0;
  int cy = 0;
  constexpr TSize() = default;
  constexpr TSize(int w, int h) : cx(w), cy(h) {}
  friend constexpr bool operator==(const TSize& a, const TSize& b) { return a.cx == b.cx && a.cy == b.cy; }
};

// Right and Bottom are exclusive, as in GDI.
struct TRect {
  int Left = 0;
  int Top = 0;
  int Right = 0;
  int Bottom = 0;
  constexpr TRect() = default;
  constexpr TRect(int l, int t, int r, int b) : Left(l), Top(t), Right(r), Bottom(b) {}
  constexpr TRect(const TPoint& topLeft, const TPoint& bottomRight)
      : Left(topLeft.X), Top(topLeft.Y), Right(bottomRight.X), Bottom(bottomRight.Y) {}
  constexpr int Width() const { return Right - Left; }
  constexpr int Height() const { return Bottom - Top; }
  constexpr TSize Size() const { return TSize(Width(), Height()); }
  constexpr TPoint TopLeft() const { return TPoint(Left, Top); }
  constexpr TPoint BottomRight() const { return TPoint(Right, Bottom); }
  // Empty when it encloses no pixel: zero or negative width or height.
  constexpr bool IsEmpty() const { return Right <= Left || Bottom <= Top; }
  constexpr bool Contains(const TPoint& p) const { return p.X >= Left && p.X < Right && p.Y >= Top && p.Y < Bottom; }
  friend constexpr bool operator==(const TRect& a, const TRect& b) {
    return a.Left == b.Left && a.Top == b.Top && a.Right == b.Right && a.Bottom == b.Bottom;
  }
};

constexpr TPoint Point(int x, int y) { return TPoint(x, y); }
constexpr TSize Size(int cx, int cy) { return TSize(cx, cy); }
constexpr TRect Rect(int left, int top, int right, int bottom) { return TRect(left, top, right, bottom); }
constexpr TRect Bounds(int left, int top, int width, int height) { return TRect(left, top, left + width, top + height); }

constexpr bool PtInRect(const TRect& r, const TPoint& p) { return r.Contains(p); }
constexpr bool IsRectEmpty(const TRect& r) { return r.IsEmpty(); }
constexpr bool EqualRect(const TRect& a, const TRect& b) { return a == b; }
constexpr TPoint CenterPoint(const TRect& r) { return TPoint((r.Left + r.Right) / 2, (r.Top + r.Bottom) / 2); }
// The common part of a and b; false and an all-zero out when they do not overlap.
bool IntersectRect(TRect& out, const TRect& a, const TRect& b);
// The smallest rectangle holding both; an empty side does not count. False when both empty.
bool UnionRect(TRect& out, const TRect& a, const TRect& b);
void OffsetRect(TRect& r, int dx, int dy);
void InflateRect(TRect& r, int dx, int dy);
// Rectangle with Left <= Right and Top <= Bottom.
TRect NormalizeRect(const TRect& r);

// Conversions to and from the Win32 types, for sources that include host/Win.h. The pointer
// forms reinterpret in place, which the layout checks make safe.
tagRECT KwRect(const TRect& r);
tagPOINT KwPoint(const TPoint& p);
TRect KwToRect(const tagRECT& r);
TPoint KwToPoint(const tagPOINT& p);
TSize KwToSize(const tagSIZE& s);
inline tagRECT* KwPRect(TRect* r) { return reinterpret_cast<tagRECT*>(r); }
inline const tagRECT* KwPRect(const TRect* r) { return reinterpret_cast<const tagRECT*>(r); }
inline tagPOINT* KwPPoint(TPoint* p) { return reinterpret_cast<tagPOINT*>(p); }
inline const tagPOINT* KwPPoint(const TPoint* p) { return reinterpret_cast<const tagPOINT*>(p); }
inline tagSIZE* KwPSize(TSize* s) { return reinterpret_cast<tagSIZE*>(s); }

}  // namespace kw
