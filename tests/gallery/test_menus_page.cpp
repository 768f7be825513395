// The gallery's menus page: its client area against the golden image, the captions and states
// the actions gave the buttons, and the menu bar and pop-up menu the form carries (a bar is
// nonclient, so the picture does not show it).
#include <gtest/gtest.h>

#include <memory>

#include "examples/gallery/Gallery.h"
#include "host/Menus.h"
#include "host/Win.h"
#include "tests/support/Golden.h"

using namespace kw;

namespace {

String EntryText(HMENU menu, int pos, UINT* state = nullptr) {
  wchar_t buf[128] = {};
  MENUITEMINFOW mii{};
  mii.cbSize = sizeof(mii);
  mii.fMask = MIIM_STRING | MIIM_STATE;
  mii.dwTypeData = buf;
  mii.cch = 127;
  EXPECT_TRUE(GetMenuItemInfoW(menu, UINT(pos), TRUE, &mii));
  if (state) *state = mii.fState;
  return buf;
}

// Counts the pixels of a control's area (in form client coordinates) that have the colour.
int CountColour(TBitmap& bmp, TControl* c, Int32 colour) {
  int n = 0;
  for (int y = c->Top() + 2; y < c->Top() + c->Height() - 2; ++y)
    for (int x = c->Left() + 2; x < c->Left() + c->Width() - 2; ++x)
      if (bmp.Canvas()->Pixels(x, y) == colour) ++n;
  return n;
}

}  // namespace

TEST(MenusPage, ActionsSetTheButtonsAndTheFormCarriesItsMenus) {
  std::unique_ptr<TForm> page = gallery::MakeForm(L"Menus");
  TForm* form = page.get();
  ASSERT_NE(form, nullptr);
  auto bmp = gallery::RenderForm(form);
  EXPECT_EQ(bmp->Width(), 420);
  EXPECT_EQ(bmp->Height(), 170) << "the menu bar leaves the client size alone";
  EXPECT_TRUE(testsupport::MatchesGolden(*bmp, L"gallery_menus", 8, 40));

  auto* copy = dynamic_cast<TWinControl*>(form->FindComponent(L"ButtonCopy"));
  auto* paste = dynamic_cast<TWinControl*>(form->FindComponent(L"ButtonPaste"));
  auto* wrap = dynamic_cast<TWinControl*>(form->FindComponent(L"CheckWrap"));
  ASSERT_TRUE(copy && paste && wrap);
  wchar_t text[64] = {};
  GetWindowTextW(copy->Handle(), text, 63);
  EXPECT_STREQ(text, L"&Copy");
  GetWindowTextW(paste->Handle(), text, 63);
  EXPECT_STREQ(text, L"&Paste");
  EXPECT_TRUE(IsWindowEnabled(copy->Handle()));
  EXPECT_FALSE(IsWindowEnabled(paste->Handle()));
  EXPECT_EQ(SendMessageW(wrap->Handle(), BM_GETCHECK, 0, 0), BST_CHECKED);
  // The enabled caption is drawn in the button text colour, the disabled one is not.
  EXPECT_GT(CountColour(*bmp, copy, ColorToRGB(clBtnText)), 10);
  EXPECT_EQ(CountColour(*bmp, paste, ColorToRGB(clBtnText)), 0);

  // The bar is nonclient: the window holds it, with the actions' states in its entries.
  HMENU bar = GetMenu(form->Handle());
  ASSERT_NE(bar, nullptr);
  ASSERT_EQ(GetMenuItemCount(bar), 3);
  UINT state = 0;
  EXPECT_EQ(EntryText(GetSubMenu(bar, 1), 1, &state), L"&Paste\tCtrl+V");
  EXPECT_TRUE(state & MFS_GRAYED);
  auto* panel = dynamic_cast<TControl*>(form->FindComponent(L"PanelPopup"));
  ASSERT_NE(panel, nullptr);
  ASSERT_NE(panel->PopupMenu(), nullptr);
  EXPECT_EQ(panel->PopupMenu()->Items()->Count(), 4);
}
