// Alignment and anchors: how a window control places its aligned children in its client area
// and moves anchored ones when it is resized. Bounds setting itself is in Controls.cpp.
#include <algorithm>

#include "host/Controls.h"

namespace kw {

void TWinControl::EnableAlign() {
  if (FAlignLevel > 0) --FAlignLevel;
  if (FAlignLevel == 0 && FControlState.Contains(csAlignmentNeeded)) Realign();
}

void TWinControl::Realign() { AlignAndAnchor(nullptr); }

void TWinControl::AlignAndAnchor(TControl* control) {
  if (FAlignLevel > 0 || FComponentState.Contains(csLoading) || FComponentState.Contains(csDestroying) ||
      FControlState.Contains(csAligning)) {
    FControlState.Include(csAlignmentNeeded);
    return;
  }
  FControlState.Exclude(csAlignmentNeeded);
  FControlState.Include(csAligning);
  std::weak_ptr<int> life = FLife;
  try {
    TRect r = ClientRect();
    AdjustClientRect(r);
    AlignControls(control, r);
  } catch (...) {
    if (!life.expired()) FControlState.Exclude(csAligning);
    throw;
  }
  if (life.expired()) return;
  FControlState.Exclude(csAligning);
  // A child that asked while we were busy gets its turn now.
  if (FControlState.Contains(csAlignmentNeeded)) {
    FControlState.Exclude(csAlignmentNeeded);
    AlignAndAnchor(nullptr);
  }
}

namespace {

// Whether a goes before b among children of the same alignment; the control being placed
// wins ties so that dragging it past a neighbour swaps them.
bool Before(TAlign align, const TControl* a, const TControl* b, const TControl* moving) {
  int pa = 0, pb = 0;
  switch (align) {
    case alTop: pa = a->Top(); pb = b->Top(); break;
    case alBottom: pa = -(a->Top() + a->Height()); pb = -(b->Top() + b->Height()); break;
    case alLeft: pa = a->Left(); pb = b->Left(); break;
    case alRight: pa = -(a->Left() + a->Width()); pb = -(b->Left() + b->Width()); break;
    default: return false;
  }
  if (pa != pb) return pa < pb;
  if (a == moving) return true;
  return false;
}

}  // namespace

void TWinControl::AlignControls(TControl* control, TRect& rect) {
  std::vector<TControl*> all;
  all.reserve(FControls.size() + FWinControls.size());
  all.insert(all.end(), FControls.begin(), FControls.end());
  all.insert(all.end(), FWinControls.begin(), FWinControls.end());

  // Anchored children first: they measure from the client size, not from what alignment leaves.
  TRect client = ClientRect();
  for (TControl* c : all) {
    if (c->FAlign != alNone) continue;
    if (!c->FAnchorValid) {
      c->UpdateAnchorOrigin();
      continue;
    }
    TAnchors a = c->FAnchors;
    if (a.Contains(akLeft) && a.Contains(akTop) && !a.Contains(akRight) && !a.Contains(akBottom)) continue;
    int dw = client.Width() - c->FAnchorParentSize.cx;
    int dh = client.Height() - c->FAnchorParentSize.cy;
    const TRect& o = c->FAnchorBounds;
    int left = o.Left, top = o.Top, width = o.Width(), height = o.Height();
    if (a.Contains(akRight)) {
      if (a.Contains(akLeft)) width += dw;
      else left += dw;
    } else if (!a.Contains(akLeft)) {
      left += dw / 2;
    }
    if (a.Contains(akBottom)) {
      if (a.Contains(akTop)) height += dh;
      else top += dh;
    } else if (!a.Contains(akTop)) {
      top += dh / 2;
    }
    c->SetBoundsFromParent(left, top, std::max(width, 0), std::max(height, 0));
  }

  static const TAlign order[] = {alTop, alBottom, alLeft, alRight, alClient};
  for (TAlign align : order) {
    std::vector<TControl*> list;
    for (TControl* c : all) {
      if (c->FAlign != align) continue;
      if (!c->FVisible && !c->FComponentState.Contains(csDesigning)) continue;
      list.push_back(c);
    }
    std::stable_sort(list.begin(), list.end(),
                     [&](const TControl* a, const TControl* b) { return Before(align, a, b, control); });
    for (TControl* c : list) {
      int w = c->FWidth, h = c->FHeight;
      switch (align) {
        case alTop:
          c->SetBoundsFromParent(rect.Left, rect.Top, rect.Width(), h);
          rect.Top += c->FHeight;
          break;
        case alBottom:
          c->SetBoundsFromParent(rect.Left, rect.Bottom - h, rect.Width(), h);
          // Constraints may refuse the height: keep the bottom edge where it belongs.
          if (c->FTop + c->FHeight != rect.Bottom)
            c->SetBoundsFromParent(rect.Left, rect.Bottom - c->FHeight, c->FWidth, c->FHeight);
          rect.Bottom -= c->FHeight;
          break;
        case alLeft:
          c->SetBoundsFromParent(rect.Left, rect.Top, w, rect.Height());
          rect.Left += c->FWidth;
          break;
        case alRight:
          c->SetBoundsFromParent(rect.Right - w, rect.Top, w, rect.Height());
          if (c->FLeft + c->FWidth != rect.Right)
            c->SetBoundsFromParent(rect.Right - c->FWidth, rect.Top, c->FWidth, c->FHeight);
          rect.Right -= c->FWidth;
          break;
        case alClient:
          c->SetBoundsFromParent(rect.Left, rect.Top, std::max(rect.Width(), 0), std::max(rect.Height(), 0));
          break;
        default:
          break;
      }
    }
  }
}

}  // namespace kw
