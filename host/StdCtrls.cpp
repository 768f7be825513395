// The standard controls: painting and sizing the label, the accelerator and dialog-key rules
// of the buttons, our own toggling over the platform BUTTON, and the edit and memo over EDIT
// with the memo's lines. Forms and their modal loop are not here.
#include "host/StdCtrls.h"

#include <algorithm>

#include "host/ActnList.h"
#include "host/Sysutils.h"
#include "host/Typreg.h"
#include "host/Win.h"

namespace kw {

KW_DEFINE_ENUM(TAlignment, L"taLeftJustify", L"taRightJustify", L"taCenter")
KW_DEFINE_ENUM(TTextLayout, L"tlTop", L"tlCenter", L"tlBottom")
KW_DEFINE_ENUM(TFormBorderStyle, L"bsNone", L"bsSingle", L"bsSizeable", L"bsDialog", L"bsToolWindow",
               L"bsSizeToolWin")
KW_DEFINE_ENUM(TEditCharCase, L"ecNormal", L"ecUpperCase", L"ecLowerCase")
KW_DEFINE_ENUM(TCheckBoxState, L"cbUnchecked", L"cbChecked", L"cbGrayed")
KW_DEFINE_ENUM(TScrollStyle, L"ssNone", L"ssHorizontal", L"ssVertical", L"ssBoth")

void (*KwSetFormModalResult)(TControl* control, int result) = nullptr;

bool IsAccel(Word key, const String& caption) {
  wchar_t hot = 0;
  for (size_t i = 0; i + 1 < caption.size(); ++i) {
    if (caption[i] != L'&') continue;
    ++i;
    if (caption[i] != L'&') hot = caption[i];
  }
  if (!hot || !key) return false;
  return AnsiUpperCase(String(1, hot)) == AnsiUpperCase(String(1, wchar_t(key)));
}

namespace {

// Published look of a control: colour and font, each with its parent-following switch.
template <class C>
void PublishLook(TClassBuilder<C>& b, bool withColor, bool parentColorDefault = true) {
  if (withColor) {
    auto color = b.Prop(L"Color", &TControl::Color, &TControl::SetColor).Stored(&C::ColorStored);
    if (!parentColorDefault) color.Default(clWindow);
  }
  b.Prop(L"Font", &TControl::Font, &TControl::SetFont).Stored(&C::FontStored);
  if (withColor) b.Prop(L"ParentColor", &TControl::ParentColor, &TControl::SetParentColor).Default(parentColorDefault);
  b.Prop(L"ParentFont", &TControl::ParentFont, &TControl::SetParentFont).Default(true);
}

bool NoModifiers(std::intptr_t keyData) {
  TShiftState s = KeyDataToShiftState(keyData);
  return !s.Contains(ssShift) && !s.Contains(ssCtrl) && !s.Contains(ssAlt);
}

// The side an alignment stands for under the control's right-to-left alignment.
TAlignment BiDiSide(const TControl* c, TAlignment alignment) {
  if (c->UseRightToLeftAlignment()) ChangeBiDiModeAlignment(alignment);
  return alignment;
}
// The style bits of a BUTTON that say where its caption goes relative to the box.
Cardinal BoxSideStyle(TAlignment alignment) { return alignment == taLeftJustify ? BS_LEFTTEXT : 0; }

}  // namespace

// --- TCustomLabel ---------------------------------------------------------------------------

KW_REGISTER_CLASS(TCustomLabel, TGraphicControl)

KW_BEGIN_CLASS(TLabel, TCustomLabel) {
  b.Prop(L"Alignment", &TLabel::Alignment, &TLabel::SetAlignment).Default(taLeftJustify);
  b.Prop(L"AutoSize", &TLabel::AutoSize, &TLabel::SetAutoSize).Default(true);
  b.Prop(L"Caption", &TControl::Caption, &TControl::SetCaption);
  PublishLook(b, true);
  b.Prop(L"FocusControl", &TLabel::FocusControl, &TLabel::SetFocusControl);
  b.Prop(L"Layout", &TLabel::Layout, &TLabel::SetLayout).Default(tlTop);
  b.Prop(L"ShowAccelChar", &TLabel::ShowAccelChar, &TLabel::SetShowAccelChar).Default(true);
  b.Prop(L"Transparent", &TLabel::Transparent, &TLabel::SetTransparent).Default(false);
  b.Prop(L"WordWrap", &TLabel::WordWrap, &TLabel::SetWordWrap).Default(false);
}

TCustomLabel::TCustomLabel(TComponent* owner) : TGraphicControl(owner) {
  FControlStyle.Include(csOpaque).Include(csReplicatable);
  FWidth = 65;
  FHeight = 17;
}

TCustomLabel::~TCustomLabel() { SetFocusControl(nullptr); }

void TCustomLabel::SetAlignment(TAlignment v) {
  if (v == FAlignment) return;
  FAlignment = v;
  Invalidate();
}

void TCustomLabel::SetLayout(TTextLayout v) {
  if (v == FLayout) return;
  FLayout = v;
  Invalidate();
}

void TCustomLabel::SetAutoSize(bool v) {
  if (v == FAutoSize) return;
  FAutoSize = v;
  AdjustBounds();
}

void TCustomLabel::SetWordWrap(bool v) {
  if (v == FWordWrap) return;
  FWordWrap = v;
  AdjustBounds();
  Invalidate();
}

void TCustomLabel::SetTransparent(bool v) {
  if (v == FTransparent) return;
  FTransparent = v;
  // An opaque label paints all of its rectangle, so the parent need not paint under it.
  if (v) FControlStyle.Exclude(csOpaque);
  else FControlStyle.Include(csOpaque);
  Invalidate();
}

void TCustomLabel::SetShowAccelChar(bool v) {
  if (v == FShowAccelChar) return;
  FShowAccelChar = v;
  AdjustBounds();
  Invalidate();
}

void TCustomLabel::SetFocusControl(TWinControl* v) {
  if (v == FFocusControl) return;
  if (FFocusControl) FFocusControl->RemoveFreeNotification(this);
  FFocusControl = v;
  if (v) v->FreeNotification(this);
}

void TCustomLabel::Notification(TComponent* component, TOperation operation) {
  TGraphicControl::Notification(component, operation);
  if (operation == opRemove && component == FFocusControl) FFocusControl = nullptr;
}

void TCustomLabel::Loaded() {
  TGraphicControl::Loaded();
  AdjustBounds();
}

unsigned TCustomLabel::DrawFlags() const {
  unsigned flags = DT_EXPANDTABS;
  if (FWordWrap) flags |= DT_WORDBREAK;
  if (FAlignment == taRightJustify) flags |= DT_RIGHT;
  else if (FAlignment == taCenter) flags |= DT_CENTER;
  else flags |= DT_LEFT;
  return DrawTextBiDiModeFlags(flags);
}

void TCustomLabel::DoDrawText(HDC__* dc, TRect& rect, unsigned flags) {
  String text = GetLabelText();
  bool calc = (flags & DT_CALCRECT) != 0;
  // An empty caption still measures one line high.
  if (calc && (text.empty() || (FShowAccelChar && text == L"&"))) text += L' ';
  if (!FShowAccelChar) flags |= DT_NOPREFIX;
  HGDIOBJ oldFont = SelectObject(dc, FFont->Handle());
  int oldMode = SetBkMode(dc, TRANSPARENT);
  COLORREF oldColor = GetTextColor(dc);
  RECT r{rect.Left, rect.Top, rect.Right, rect.Bottom};
  if (calc) {
    DrawTextW(dc, text.c_str(), int(text.size()), &r, flags);
  } else if (!FEnabled) {
    // The system's disabled text: a highlight one pixel down and right under the shadow.
    OffsetRect(&r, 1, 1);
    SetTextColor(dc, COLORREF(ColorToRGB(clBtnHighlight)));
    DrawTextW(dc, text.c_str(), int(text.size()), &r, flags);
    OffsetRect(&r, -1, -1);
    SetTextColor(dc, COLORREF(ColorToRGB(clBtnShadow)));
    DrawTextW(dc, text.c_str(), int(text.size()), &r, flags);
  } else {
    SetTextColor(dc, COLORREF(ColorToRGB(FFont->Color())));
    DrawTextW(dc, text.c_str(), int(text.size()), &r, flags);
  }
  SetTextColor(dc, oldColor);
  SetBkMode(dc, oldMode);
  SelectObject(dc, oldFont);
  rect = TRect(r.left, r.top, r.right, r.bottom);
}

void TCustomLabel::Paint() {
  TCanvas* canvas = Canvas();
  TRect client = ClientRect();
  if (!FTransparent) {
    canvas->Brush()->SetColor(FColor);
    canvas->Brush()->SetStyle(bsSolid);
    canvas->FillRect(client);
  }
  HDC dc = canvas->Handle();
  unsigned flags = DrawFlags();
  TRect r = client;
  if (FLayout != tlTop) {
    TRect calc = client;
    DoDrawText(dc, calc, flags | DT_CALCRECT);
    int dy = client.Height() - calc.Height();
    if (FLayout == tlCenter) dy /= 2;
    r.Top += dy;
    r.Bottom += dy;
  }
  DoDrawText(dc, r, flags);
}

void TCustomLabel::AdjustBounds() {
  if (!FAutoSize || FComponentState.Contains(csLoading) || FComponentState.Contains(csReading)) return;
  // Measured on the screen's DC: a monochrome memory DC lays glyphs out narrower than the
  // colour surfaces the label is painted on.
  HDC dc = GetDC(nullptr);
  if (!dc) RaiseLastOSError();
  TRect r = ClientRect();
  try {
    DoDrawText(dc, r, DT_EXPANDTABS | DT_CALCRECT | (FWordWrap ? DT_WORDBREAK : 0u));
  } catch (...) {
    ReleaseDC(nullptr, dc);
    throw;
  }
  // A glyph may ink past its advance (a negative C width): the last one of a line would be cut
  // at the label's edge, so the label grows by that much.
  String text = GetLabelText();
  if (!FWordWrap && !text.empty()) {
    HGDIOBJ oldFont = SelectObject(dc, FFont->Handle());
    ABC abc{};
    if (GetCharABCWidthsW(dc, UINT(text.back()), UINT(text.back()), &abc) && abc.abcC < 0) r.Right -= abc.abcC;
    SelectObject(dc, oldFont);
  }
  ReleaseDC(nullptr, dc);
  int x = FLeft;
  TAlignment side = BiDiSide(this, FAlignment);
  if (side == taRightJustify) x += FWidth - r.Right;
  else if (side == taCenter) x += (FWidth - r.Right) / 2;
  SetBounds(x, FTop, r.Right, r.Bottom);
}

void TCustomLabel::WndProc(TMessage& m) {
  switch (m.Msg) {
    case CM_TEXTCHANGED:
    case CM_FONTCHANGED:
      AdjustBounds();
      break;
    case CM_DIALOGCHAR:
      if (FFocusControl && FEnabled && FShowAccelChar && IsAccel(Word(m.WParam), Caption()) &&
          FFocusControl->CanFocus()) {
        FFocusControl->SetFocus();
        m.Result = 1;
      }
      return;
  }
  TGraphicControl::WndProc(m);
}

// --- TButtonControl -------------------------------------------------------------------------

KW_REGISTER_CLASS(TButtonControl, TWinControl)

TButtonControl::TButtonControl(TComponent* owner) : TWinControl(owner) {
  // The platform control tracks the mouse and reports clicks; ours would come twice.
  FControlStyle = {csSetCaption, csDoubleClicks};
}

// The action's check mark reaches the button without the button clicking in turn.
class TButtonActionLink : public TControlActionLink {
  KW_CLASS(TButtonActionLink, TControlActionLink)
  explicit TButtonActionLink(TButtonControl* client) : TControlActionLink(client), FButton(client) {}
  bool IsCheckedLinked() const override {
    auto* a = dynamic_cast<TCustomAction*>(FAction);
    return a && FButton->Checked() == a->Checked();
  }
  void SetChecked(bool v) override {
    if (IsCheckedLinked()) FButton->SetCheckedQuietly(v);
  }

private:
  TButtonControl* FButton;
};

KW_REGISTER_CLASS(TButtonActionLink, TControlActionLink)

TControlActionLink* TButtonControl::CreateActionLink() { return new TButtonActionLink(this); }

void TButtonControl::SetCheckedQuietly(bool v) {
  bool old = FClicksDisabled;
  FClicksDisabled = true;
  try {
    SetChecked(v);
  } catch (...) {
    FClicksDisabled = old;
    throw;
  }
  FClicksDisabled = old;
}

void TButtonControl::ActionChange(TObject* sender, bool checkDefaults) {
  TWinControl::ActionChange(sender, checkDefaults);
  if (auto* a = dynamic_cast<TCustomAction*>(sender)) {
    if (!checkDefaults || !Checked()) SetCheckedQuietly(a->Checked());
  }
}

void TButtonControl::SetWordWrap(bool v) {
  if (v == FWordWrap) return;
  FWordWrap = v;
  RecreateWnd();
}

void TButtonControl::CreateParams(TCreateParams& p) {
  TWinControl::CreateParams(p);
  p.SubClassName = L"BUTTON";
  if (FWordWrap) p.Style |= BS_MULTILINE;
}

void TButtonControl::WndProc(TMessage& m) {
  // The caption's accelerator focuses the button and then does what a click on it does.
  if (m.Msg == CM_DIALOGCHAR) {
    if (IsAccel(Word(m.WParam), Caption()) && CanFocus()) {
      m.Result = 1;
      std::weak_ptr<int> life = FLife;
      SetFocus();
      if (!life.expired()) AccelPressed();
    }
    return;
  }
  TWinControl::WndProc(m);
}

// --- TButton --------------------------------------------------------------------------------

KW_BEGIN_CLASS(TButton, TButtonControl) {
  b.Prop(L"Cancel", &TButton::Cancel, &TButton::SetCancel).Default(false);
  b.Prop(L"Caption", &TControl::Caption, &TControl::SetCaption);
  b.Prop(L"Default", &TButton::Default, &TButton::SetDefault).Default(false);
  PublishLook(b, false);
  b.Prop(L"ModalResult", &TButton::ModalResult, &TButton::SetModalResult).Default(0);
  b.Prop(L"WordWrap", &TButton::WordWrap, &TButton::SetWordWrap).Default(false);
}

TButton::TButton(TComponent* owner) : TButtonControl(owner) {
  FWidth = 75;
  FHeight = 25;
  FTabStop = true;
  FParentColor = false;
  FColor = clBtnFace;
  FBrush->SetColor(FColor);
}

void TButton::SetDefault(bool v) {
  if (v == FDefault) return;
  FDefault = v;
  // Until a focus change says otherwise, the default button is the one Enter clicks.
  SetButtonStyle(v);
}

void TButton::SetButtonStyle(bool active) {
  if (active == FActive) return;
  FActive = active;
  if (!FHandle) return;
  LONG_PTR style = GetWindowLongPtrW(FHandle, GWL_STYLE);
  WPARAM bits = WPARAM(style & 0xFFFF & ~LONG_PTR(BS_TYPEMASK)) | (active ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON);
  SendMessageW(FHandle, BM_SETSTYLE, bits, TRUE);
}

void TButton::CreateParams(TCreateParams& p) {
  TButtonControl::CreateParams(p);
  p.Style |= FActive ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON;
}

void TButton::Click() {
  if (KwSetFormModalResult) {
    std::weak_ptr<int> life = FLife;
    KwSetFormModalResult(this, FModalResult);
    if (life.expired()) return;
  }
  TButtonControl::Click();
}

void TButton::WndProc(TMessage& m) {
  switch (m.Msg) {
    case CN_COMMAND:
      if (m.WParamHi() == BN_CLICKED) Click();
      return;
    case CM_DIALOGKEY:
      if (((m.WParam == VK_RETURN && FActive) || (m.WParam == VK_ESCAPE && FCancel)) && NoModifiers(m.LParam) &&
          CanFocus()) {
        m.Result = 1;
        Click();
      }
      return;
    case CM_FOCUSCHANGED: {
      auto* focused = reinterpret_cast<TControl*>(m.LParam);
      SetButtonStyle(dynamic_cast<TButton*>(focused) ? focused == this : FDefault);
      return;
    }
  }
  TButtonControl::WndProc(m);
}

// --- TCustomCheckBox ------------------------------------------------------------------------

KW_REGISTER_CLASS(TCustomCheckBox, TButtonControl)

KW_BEGIN_CLASS(TCheckBox, TCustomCheckBox) {
  b.Prop(L"Alignment", &TCheckBox::Alignment, &TCheckBox::SetAlignment).Default(taRightJustify);
  b.Prop(L"AllowGrayed", &TCheckBox::AllowGrayed, &TCheckBox::SetAllowGrayed).Default(false);
  b.Prop(L"Caption", &TControl::Caption, &TControl::SetCaption);
  b.Prop(L"Checked", &TCheckBox::Checked, &TCheckBox::SetChecked).Stored(false);
  PublishLook(b, true);
  b.Prop(L"State", &TCheckBox::State, &TCheckBox::SetState).Default(cbUnchecked);
  b.Prop(L"WordWrap", &TCheckBox::WordWrap, &TCheckBox::SetWordWrap).Default(false);
}

TCustomCheckBox::TCustomCheckBox(TComponent* owner) : TButtonControl(owner) {
  FWidth = 97;
  FHeight = 17;
  FTabStop = true;
}

void TCustomCheckBox::SetState(TCheckBoxState v) {
  if (v == FState) return;
  FState = v;
  if (FHandle) SendMessageW(FHandle, BM_SETCHECK, WPARAM(v), 0);
  if (!FClicksDisabled && !FComponentState.Contains(csLoading)) Click();
}

void TCustomCheckBox::SetAlignment(TAlignment v) {
  if (v == FAlignment) return;
  FAlignment = v;
  RecreateWnd();
}

void TCustomCheckBox::Toggle() {
  switch (FState) {
    case cbUnchecked: SetState(FAllowGrayed ? cbGrayed : cbChecked); break;
    case cbChecked: SetState(cbUnchecked); break;
    case cbGrayed: SetState(cbChecked); break;
  }
}

void TCustomCheckBox::CreateParams(TCreateParams& p) {
  TButtonControl::CreateParams(p);
  p.Style |= BS_3STATE | BoxSideStyle(BiDiSide(this, FAlignment));
}

void TCustomCheckBox::InitializeWnd() {
  TButtonControl::InitializeWnd();
  SendMessageW(FHandle, BM_SETCHECK, WPARAM(FState), 0);
}

void TCustomCheckBox::WndProc(TMessage& m) {
  switch (m.Msg) {
    case CN_COMMAND:
      if (m.WParamHi() == BN_CLICKED) Toggle();
      return;
  }
  TButtonControl::WndProc(m);
}

// --- TRadioButton ---------------------------------------------------------------------------

KW_BEGIN_CLASS(TRadioButton, TButtonControl) {
  b.Prop(L"Alignment", &TRadioButton::Alignment, &TRadioButton::SetAlignment).Default(taRightJustify);
  b.Prop(L"Caption", &TControl::Caption, &TControl::SetCaption);
  b.Prop(L"Checked", &TRadioButton::Checked, &TRadioButton::SetChecked).Default(false);
  PublishLook(b, true);
  b.Prop(L"WordWrap", &TRadioButton::WordWrap, &TRadioButton::SetWordWrap).Default(false);
}

TRadioButton::TRadioButton(TComponent* owner) : TButtonControl(owner) {
  FWidth = 113;
  FHeight = 17;
}

void TRadioButton::SetChecked(bool v) {
  if (v == FChecked) return;
  FChecked = v;
  SetTabStop(v);
  if (FHandle) SendMessageW(FHandle, BM_SETCHECK, v ? BST_CHECKED : BST_UNCHECKED, 0);
  if (!v) return;
  if (FParent) {
    std::weak_ptr<int> life = FLife;
    for (int i = 0; i < FParent->ControlCount(); ++i) {
      auto* other = dynamic_cast<TRadioButton*>(FParent->Controls(i));
      if (other && other != this) other->SetChecked(false);
      if (life.expired()) return;
    }
  }
  if (!FClicksDisabled && !FComponentState.Contains(csLoading)) Click();
}

void TRadioButton::SetAlignment(TAlignment v) {
  if (v == FAlignment) return;
  FAlignment = v;
  RecreateWnd();
}

void TRadioButton::CreateParams(TCreateParams& p) {
  TButtonControl::CreateParams(p);
  p.Style |= BS_RADIOBUTTON | BoxSideStyle(BiDiSide(this, FAlignment));
}

void TRadioButton::InitializeWnd() {
  TButtonControl::InitializeWnd();
  SendMessageW(FHandle, BM_SETCHECK, FChecked ? BST_CHECKED : BST_UNCHECKED, 0);
}

void TRadioButton::WndProc(TMessage& m) {
  switch (m.Msg) {
    case CN_COMMAND:
      // The platform also reports a click when an unchecked radio button gets the focus.
      if (m.WParamHi() == BN_CLICKED) SetChecked(true);
      return;
  }
  TButtonControl::WndProc(m);
}

// --- TCustomEdit ---------------------------------------------------------------------------

namespace {

// EM_SETCUEBANNER of the common controls (ECM_FIRST + 1); older EDITs ignore it.
constexpr UINT kEmSetCueBanner = 0x1501;

struct TCountGuard {
  int& Count;
  explicit TCountGuard(int& count) : Count(count) { ++Count; }
  ~TCountGuard() { --Count; }
};

const String kLineBreak = L"\r\n";

}  // namespace

KW_REGISTER_CLASS(TCustomEdit, TWinControl)

KW_BEGIN_CLASS(TEdit, TCustomEdit) {
  b.Prop(L"Alignment", &TEdit::Alignment, &TEdit::SetAlignment).Default(taLeftJustify);
  b.Prop(L"AutoSelect", &TEdit::AutoSelect, &TEdit::SetAutoSelect).Default(true);
  b.Prop(L"BorderStyle", &TEdit::BorderStyle, &TEdit::SetBorderStyle).Default(bsSingle);
  b.Prop(L"CharCase", &TEdit::CharCase, &TEdit::SetCharCase).Default(ecNormal);
  PublishLook(b, true, false);
  b.Prop(L"HideSelection", &TEdit::HideSelection, &TEdit::SetHideSelection).Default(true);
  b.Prop(L"MaxLength", &TEdit::MaxLength, &TEdit::SetMaxLength).Default(0);
  b.Prop(L"NumbersOnly", &TEdit::NumbersOnly, &TEdit::SetNumbersOnly).Default(false);
  b.Prop(L"PasswordChar", &TEdit::PasswordChar, &TEdit::SetPasswordChar).Default(L'\0');
  b.Prop(L"ReadOnly", &TEdit::ReadOnly, &TEdit::SetReadOnly).Default(false);
  b.Prop(L"Text", &TControl::Text, &TControl::SetText);
  b.Prop(L"TextHint", &TEdit::TextHint, &TEdit::SetTextHint);
  b.Event(L"OnChange", &TEdit::OnChange);
}

TCustomEdit::TCustomEdit(TComponent* owner) : TWinControl(owner) {
  FControlStyle = {csClickEvents, csSetCaption, csDoubleClicks, csFixedHeight};
  FWidth = 121;
  FHeight = 21;
  FTabStop = true;
  FParentColor = false;
  FColor = clWindow;
  FBrush->SetColor(FColor);
}

bool TCustomEdit::IsMultiLine() const {
  if (FHandle) return (GetWindowLongPtrW(FHandle, GWL_STYLE) & ES_MULTILINE) != 0;
  return dynamic_cast<const TCustomMemo*>(this) != nullptr;
}

void TCustomEdit::SetStyleBit(unsigned bit, bool on) {
  if (!FHandle) return;
  LONG_PTR style = GetWindowLongPtrW(FHandle, GWL_STYLE);
  LONG_PTR wanted = on ? (style | LONG_PTR(bit)) : (style & ~LONG_PTR(bit));
  if (wanted != style) SetWindowLongPtrW(FHandle, GWL_STYLE, wanted);
}

void TCustomEdit::SetAlignment(TAlignment v) {
  if (v == FAlignment) return;
  FAlignment = v;
  RecreateWnd();
}

void TCustomEdit::SetBorderStyle(TBorderStyle v) {
  if (v != bsNone) v = bsSingle;
  if (v == FBorderStyle) return;
  FBorderStyle = v;
  RecreateWnd();
}

void TCustomEdit::SetCharCase(TEditCharCase v) {
  if (v == FCharCase) return;
  FCharCase = v;
  SetStyleBit(ES_UPPERCASE, v == ecUpperCase);
  SetStyleBit(ES_LOWERCASE, v == ecLowerCase);
  if (v == ecNormal) return;
  String text = Text();
  String converted = v == ecUpperCase ? AnsiUpperCase(text) : AnsiLowerCase(text);
  if (converted != text) SetText(converted);
}

void TCustomEdit::SetHideSelection(bool v) {
  if (v == FHideSelection) return;
  FHideSelection = v;
  RecreateWnd();
}

void TCustomEdit::SetMaxLength(int v) {
  if (v < 0) v = 0;
  if (v == FMaxLength) return;
  FMaxLength = v;
  if (FHandle) SendMessageW(FHandle, EM_LIMITTEXT, WPARAM(v), 0);
}

void TCustomEdit::SetNumbersOnly(bool v) {
  if (v == FNumbersOnly) return;
  FNumbersOnly = v;
  SetStyleBit(ES_NUMBER, v);
}

void TCustomEdit::SetPasswordChar(wchar_t v) {
  if (v == FPasswordChar) return;
  FPasswordChar = v;
  if (FHandle && !IsMultiLine()) {
    SendMessageW(FHandle, EM_SETPASSWORDCHAR, WPARAM(v), 0);
    Invalidate();
  }
}

void TCustomEdit::SetReadOnly(bool v) {
  if (v == FReadOnly) return;
  FReadOnly = v;
  if (FHandle) SendMessageW(FHandle, EM_SETREADONLY, v ? TRUE : FALSE, 0);
}

void TCustomEdit::SetTextHint(const String& v) {
  if (v == FTextHint) return;
  FTextHint = v;
  if (FHandle) SendMessageW(FHandle, kEmSetCueBanner, FALSE, reinterpret_cast<LPARAM>(FTextHint.c_str()));
}

bool TCustomEdit::Modified() const {
  if (FHandle) return SendMessageW(FHandle, EM_GETMODIFY, 0, 0) != 0;
  return FModified;
}

void TCustomEdit::SetModified(bool v) {
  FModified = v;
  if (FHandle) SendMessageW(FHandle, EM_SETMODIFY, v ? TRUE : FALSE, 0);
}

int TCustomEdit::SelStart() const {
  if (!FHandle) return FSelStart;
  DWORD start = 0, end = 0;
  SendMessageW(FHandle, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
  return int(start);
}

void TCustomEdit::SetSelStart(int v) {
  if (v < 0) v = 0;
  if (FHandle) {
    SendMessageW(FHandle, EM_SETSEL, WPARAM(v), LPARAM(v));
    SendMessageW(FHandle, EM_SCROLLCARET, 0, 0);
    return;
  }
  FSelStart = v;
  FSelLength = 0;
}

int TCustomEdit::SelLength() const {
  if (!FHandle) return FSelLength;
  DWORD start = 0, end = 0;
  SendMessageW(FHandle, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
  return int(end) - int(start);
}

void TCustomEdit::SetSelLength(int v) {
  if (v < 0) v = 0;
  if (FHandle) {
    int start = SelStart();
    SendMessageW(FHandle, EM_SETSEL, WPARAM(start), LPARAM(start + v));
    SendMessageW(FHandle, EM_SCROLLCARET, 0, 0);
    return;
  }
  FSelLength = v;
}

String TCustomEdit::SelText() const {
  String text = Text();
  size_t start = std::min(size_t(std::max(SelStart(), 0)), text.size());
  size_t length = std::min(size_t(std::max(SelLength(), 0)), text.size() - start);
  return text.substr(start, length);
}

void TCustomEdit::SetSelText(const String& v) {
  if (FHandle) {
    SendMessageW(FHandle, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(v.c_str()));
    return;
  }
  String text = Text();
  size_t start = std::min(size_t(FSelStart), text.size());
  size_t length = std::min(size_t(FSelLength), text.size() - start);
  text.replace(start, length, v);
  FSelStart = int(start + v.size());
  FSelLength = 0;
  SetText(text);
}

void TCustomEdit::SelectAll() {
  if (FHandle) {
    SendMessageW(FHandle, EM_SETSEL, 0, -1);
    return;
  }
  FSelStart = 0;
  FSelLength = int(Text().size());
}

void TCustomEdit::ClearSelection() {
  if (FHandle) SendMessageW(FHandle, WM_CLEAR, 0, 0);
  else SetSelText(String());
}

void TCustomEdit::CopyToClipboard() { SendMessageW(Handle(), WM_COPY, 0, 0); }
void TCustomEdit::CutToClipboard() { SendMessageW(Handle(), WM_CUT, 0, 0); }
void TCustomEdit::PasteFromClipboard() { SendMessageW(Handle(), WM_PASTE, 0, 0); }

void TCustomEdit::Undo() {
  if (FHandle) SendMessageW(FHandle, EM_UNDO, 0, 0);
}

bool TCustomEdit::CanUndo() const { return FHandle && SendMessageW(FHandle, EM_CANUNDO, 0, 0) != 0; }

void TCustomEdit::ClearUndo() {
  if (FHandle) SendMessageW(FHandle, EM_EMPTYUNDOBUFFER, 0, 0);
}

void TCustomEdit::TextChanged() {
  if (FCreatingWnd > 0 || FComponentState.Contains(csLoading) || FComponentState.Contains(csReading)) return;
  if (FChangeHold > 0) {
    FChangePending = true;
    return;
  }
  Change();
}

void TCustomEdit::HoldChanges(bool hold) {
  if (hold) {
    ++FChangeHold;
    return;
  }
  if (FChangeHold > 0) --FChangeHold;
  if (FChangeHold == 0 && FChangePending) {
    FChangePending = false;
    TextChanged();
  }
}

void TCustomEdit::DoEnter() {
  // Entered by the mouse, the click places the caret; by the keyboard, the text is selected.
  if (FAutoSelect && FHandle && !FControlState.Contains(csLButtonDown) && !IsMultiLine()) SelectAll();
  TWinControl::DoEnter();
}

void TCustomEdit::CreateParams(TCreateParams& p) {
  TWinControl::CreateParams(p);
  p.SubClassName = L"EDIT";
  p.Style |= ES_AUTOHSCROLL | ES_AUTOVSCROLL;
  TAlignment alignment = BiDiSide(this, FAlignment);
  if (alignment == taRightJustify) p.Style |= ES_RIGHT;
  else if (alignment == taCenter) p.Style |= ES_CENTER;
  if (FBorderStyle == bsSingle) p.ExStyle |= WS_EX_CLIENTEDGE;
  if (FReadOnly) p.Style |= ES_READONLY;
  if (!FHideSelection) p.Style |= ES_NOHIDESEL;
  if (FCharCase == ecUpperCase) p.Style |= ES_UPPERCASE;
  else if (FCharCase == ecLowerCase) p.Style |= ES_LOWERCASE;
  if (FNumbersOnly) p.Style |= ES_NUMBER;
  if (FPasswordChar) p.Style |= ES_PASSWORD;
}

void TCustomEdit::CreateWnd() {
  TCountGuard creating(FCreatingWnd);
  TWinControl::CreateWnd();
}

void TCustomEdit::InitializeWnd() {
  TCountGuard creating(FCreatingWnd);
  TWinControl::InitializeWnd();
  if (FMaxLength > 0) SendMessageW(FHandle, EM_LIMITTEXT, WPARAM(FMaxLength), 0);
  if (FPasswordChar && !IsMultiLine()) SendMessageW(FHandle, EM_SETPASSWORDCHAR, WPARAM(FPasswordChar), 0);
  if (!FTextHint.empty()) SendMessageW(FHandle, kEmSetCueBanner, FALSE, reinterpret_cast<LPARAM>(FTextHint.c_str()));
  SendMessageW(FHandle, EM_SETSEL, WPARAM(FSelStart), LPARAM(FSelStart + FSelLength));
  SendMessageW(FHandle, EM_SETMODIFY, FModified ? TRUE : FALSE, 0);
}

void TCustomEdit::DestroyWnd() {
  if (FHandle) {
    FModified = SendMessageW(FHandle, EM_GETMODIFY, 0, 0) != 0;
    DWORD start = 0, end = 0;
    SendMessageW(FHandle, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    FSelStart = int(start);
    FSelLength = int(end) - int(start);
  }
  TWinControl::DestroyWnd();
}

void TCustomEdit::WndProc(TMessage& m) {
  switch (m.Msg) {
    case CN_COMMAND:
      if (m.WParamHi() == EN_CHANGE) TextChanged();
      return;
    case CM_TEXTCHANGED: {
      std::weak_ptr<int> life = FLife;
      TWinControl::WndProc(m);
      if (life.expired()) return;
      // A single-line window reports text set in code itself (EN_CHANGE); a multi-line one
      // does not, and without a window nothing does.
      if (!FHandle || IsMultiLine()) TextChanged();
      return;
    }
  }
  TWinControl::WndProc(m);
}

// --- TMemoStrings ---------------------------------------------------------------------------

KW_REGISTER_CLASS(TMemoStrings, TStrings)

TMemoStrings::TMemoStrings(TCustomMemo* memo) : FMemo(memo) {}

TMemoStrings::~TMemoStrings() = default;

bool TMemoStrings::Windowed() const { return FMemo->HandleAllocated(); }

HWND__* TMemoStrings::Wnd() const { return FMemo->FHandle; }

String TMemoStrings::Joined() const {
  String text;
  int n = FList.Count();
  for (int i = 0; i < n; ++i) {
    if (i > 0) text += kLineBreak;
    text += FList.Get(i);
  }
  if (FTrailingBreak && n > 0) text += kLineBreak;
  return text;
}

void TMemoStrings::SplitFrom(const String& text) {
  FList.Clear();
  FTrailingBreak = false;
  if (text.empty()) return;
  // Only CR LF breaks a line, as in the platform control.
  size_t from = 0;
  for (;;) {
    size_t at = text.find(kLineBreak, from);
    if (at == String::npos) {
      FList.Add(text.substr(from));
      return;
    }
    FList.Add(text.substr(from, at - from));
    from = at + kLineBreak.size();
    if (from == text.size()) {
      FTrailingBreak = true;
      return;
    }
  }
}

void TMemoStrings::Normalize(bool resplit) {
  if (resplit) {
    SplitFrom(Joined());
    return;
  }
  int n = FList.Count();
  if (n == 0) {
    FTrailingBreak = false;
  } else if (!FTrailingBreak && FList.Get(n - 1).empty()) {
    // An empty last line without a break after it is the break of the line before.
    FList.Delete(n - 1);
    FTrailingBreak = n > 1;
  }
}

int TMemoStrings::GetCount() const {
  if (!Windowed()) return FList.Count();
  HWND w = Wnd();
  int n = int(SendMessageW(w, EM_GETLINECOUNT, 0, 0));
  // The empty line after a final line break is not a line of the list.
  if (n > 0 && SendMessageW(w, EM_LINELENGTH, WPARAM(SendMessageW(w, EM_LINEINDEX, WPARAM(n - 1), 0)), 0) == 0) --n;
  return n;
}

String TMemoStrings::Get(int index) const {
  if (!Windowed()) return FList.Get(index);
  if (index < 0 || index >= GetCount()) Error(SRes::SListIndexError, index);
  HWND w = Wnd();
  LRESULT start = SendMessageW(w, EM_LINEINDEX, WPARAM(index), 0);
  int length = int(SendMessageW(w, EM_LINELENGTH, WPARAM(start), 0));
  if (length <= 0) return {};
  // EM_GETLINE takes the buffer size in its first word.
  if (length > 0xFFFF) return FMemo->Text().substr(size_t(start), size_t(length));
  String line(size_t(length) + 1, L'\0');
  *reinterpret_cast<WORD*>(line.data()) = WORD(length);
  int got = int(SendMessageW(w, EM_GETLINE, WPARAM(index), reinterpret_cast<LPARAM>(line.data())));
  line.resize(size_t(std::clamp(got, 0, length)));
  return line;
}

void TMemoStrings::Put(int index, const String& s) {
  if (!Windowed()) {
    FList.Put(index, s);
    Normalize(s.find(kLineBreak) != String::npos);
    FMemo->TextChanged();
    return;
  }
  if (index < 0 || index >= GetCount()) Error(SRes::SListIndexError, index);
  HWND w = Wnd();
  LRESULT start = SendMessageW(w, EM_LINEINDEX, WPARAM(index), 0);
  LRESULT length = SendMessageW(w, EM_LINELENGTH, WPARAM(start), 0);
  SendMessageW(w, EM_SETSEL, WPARAM(start), start + length);
  SendMessageW(w, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(s.c_str()));
}

void TMemoStrings::Insert(int index, const String& s) {
  if (index < 0 || index > GetCount()) Error(SRes::SListIndexError, index);
  if (!Windowed()) {
    // A line added to an empty memo ends with a break, as the window does it.
    if (FList.Count() == 0) FTrailingBreak = true;
    FList.Insert(index, s);
    Normalize(s.find(kLineBreak) != String::npos);
    FMemo->TextChanged();
    return;
  }
  HWND w = Wnd();
  LRESULT start = SendMessageW(w, EM_LINEINDEX, WPARAM(index), 0);
  String line;
  if (start >= 0) {
    line = s + kLineBreak;
  } else {
    // After a last line that has no break: the break goes first.
    start = SendMessageW(w, EM_LINEINDEX, WPARAM(index - 1), 0);
    if (start < 0) Error(SRes::SListIndexError, index);
    start += SendMessageW(w, EM_LINELENGTH, WPARAM(start), 0);
    line = kLineBreak + s;
  }
  SendMessageW(w, EM_SETSEL, WPARAM(start), start);
  SendMessageW(w, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(line.c_str()));
}

void TMemoStrings::Delete(int index) {
  if (index < 0 || index >= GetCount()) Error(SRes::SListIndexError, index);
  if (!Windowed()) {
    // Deleting a last line that has no break leaves the break of the line before.
    if (index == FList.Count() - 1) FTrailingBreak = true;
    FList.Delete(index);
    Normalize(false);
    FMemo->TextChanged();
    return;
  }
  HWND w = Wnd();
  LRESULT start = SendMessageW(w, EM_LINEINDEX, WPARAM(index), 0);
  LRESULT end = SendMessageW(w, EM_LINEINDEX, WPARAM(index + 1), 0);
  if (end < 0) end = start + SendMessageW(w, EM_LINELENGTH, WPARAM(start), 0);
  SendMessageW(w, EM_SETSEL, WPARAM(start), end);
  SendMessageW(w, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(L""));
}

void TMemoStrings::Clear() { FMemo->SetText(String()); }

void TMemoStrings::SetText(const String& text) { FMemo->SetText(AdjustLineBreaks(text)); }

void TMemoStrings::SetUpdateState(bool updating) {
  if (updating) FMemo->HoldChanges(true);
  if (Windowed()) {
    HWND w = Wnd();
    SendMessageW(w, WM_SETREDRAW, updating ? FALSE : TRUE, 0);
    if (!updating) InvalidateRect(w, nullptr, TRUE);
  }
  if (!updating) FMemo->HoldChanges(false);
}

// --- TCustomMemo ----------------------------------------------------------------------------

KW_REGISTER_CLASS(TCustomMemo, TCustomEdit)

KW_BEGIN_CLASS(TMemo, TCustomMemo) {
  b.Prop(L"Alignment", &TMemo::Alignment, &TMemo::SetAlignment).Default(taLeftJustify);
  b.Prop(L"BorderStyle", &TMemo::BorderStyle, &TMemo::SetBorderStyle).Default(bsSingle);
  b.Prop(L"CharCase", &TMemo::CharCase, &TMemo::SetCharCase).Default(ecNormal);
  PublishLook(b, true, false);
  b.Prop(L"HideSelection", &TMemo::HideSelection, &TMemo::SetHideSelection).Default(true);
  b.Prop(L"Lines", &TMemo::Lines, &TMemo::SetLines);
  b.Prop(L"MaxLength", &TMemo::MaxLength, &TMemo::SetMaxLength).Default(0);
  b.Prop(L"ReadOnly", &TMemo::ReadOnly, &TMemo::SetReadOnly).Default(false);
  b.Prop(L"ScrollBars", &TMemo::ScrollBars, &TMemo::SetScrollBars).Default(TScrollStyle::ssNone);
  b.Prop(L"WantReturns", &TMemo::WantReturns, &TMemo::SetWantReturns).Default(true);
  b.Prop(L"WantTabs", &TMemo::WantTabs, &TMemo::SetWantTabs).Default(false);
  b.Prop(L"WordWrap", &TMemo::WordWrap, &TMemo::SetWordWrap).Default(true);
  b.Event(L"OnChange", &TMemo::OnChange);
}

TCustomMemo::TCustomMemo(TComponent* owner)
    : TCustomEdit(owner), FLines(std::make_unique<TMemoStrings>(this)) {
  // A memo's text is its lines: naming it does not put its name there.
  FControlStyle.Exclude(csFixedHeight);
  FControlStyle.Exclude(csSetCaption);
  FWidth = 185;
  FHeight = 89;
  FAutoSelect = false;
}

TCustomMemo::~TCustomMemo() = default;

String TCustomMemo::GetText() const {
  if (FHandle || !FLines) return TCustomEdit::GetText();
  return FLines->Joined();
}

void TCustomMemo::SetTextInternal(const String& v) {
  if (FHandle || !FLines) {
    TCustomEdit::SetTextInternal(v);
    return;
  }
  FLines->SplitFrom(v);
}

void TCustomMemo::SetScrollBars(TScrollStyle v) {
  if (v == FScrollBars) return;
  FScrollBars = v;
  RecreateWnd();
}

void TCustomMemo::SetWordWrap(bool v) {
  if (v == FWordWrap) return;
  FWordWrap = v;
  RecreateWnd();
}

void TCustomMemo::SetWantReturns(bool v) {
  if (v == FWantReturns) return;
  FWantReturns = v;
  SetStyleBit(ES_WANTRETURN, v);
}

TPoint TCustomMemo::CaretPos() const {
  if (FHandle) {
    DWORD start = 0, end = 0;
    SendMessageW(FHandle, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    int line = int(SendMessageW(FHandle, EM_LINEFROMCHAR, WPARAM(end), 0));
    int lineStart = int(SendMessageW(FHandle, EM_LINEINDEX, WPARAM(line), 0));
    return TPoint(int(end) - lineStart, line);
  }
  String text = FLines->Joined();
  size_t pos = std::min(size_t(FSelStart) + size_t(FSelLength), text.size());
  int line = 0;
  size_t lineStart = 0;
  for (size_t at = text.find(kLineBreak); at != String::npos && at + kLineBreak.size() <= pos;
       at = text.find(kLineBreak, at + kLineBreak.size())) {
    ++line;
    lineStart = at + kLineBreak.size();
  }
  return TPoint(int(pos - lineStart), line);
}

void TCustomMemo::SetCaretPos(const TPoint& v) {
  int x = std::max(v.X, 0), y = std::max(v.Y, 0);
  if (FHandle) {
    LRESULT start = SendMessageW(FHandle, EM_LINEINDEX, WPARAM(y), 0);
    if (start < 0) start = GetWindowTextLengthW(FHandle);
    SendMessageW(FHandle, EM_SETSEL, WPARAM(start + x), start + x);
    SendMessageW(FHandle, EM_SCROLLCARET, 0, 0);
    return;
  }
  String text = FLines->Joined();
  size_t start = 0;
  for (int line = 0; line < y; ++line) {
    size_t at = text.find(kLineBreak, start);
    if (at == String::npos) {
      start = text.size();
      break;
    }
    start = at + kLineBreak.size();
  }
  FSelStart = int(std::min(start + size_t(x), text.size()));
  FSelLength = 0;
}

void TCustomMemo::CreateParams(TCreateParams& p) {
  TCustomEdit::CreateParams(p);
  p.Style |= ES_MULTILINE;
  if (FWordWrap) p.Style &= ~Cardinal(ES_AUTOHSCROLL);
  switch (FScrollBars) {
    case TScrollStyle::ssHorizontal: p.Style |= WS_HSCROLL; break;
    case TScrollStyle::ssVertical: p.Style |= WS_VSCROLL; break;
    case TScrollStyle::ssBoth: p.Style |= WS_HSCROLL | WS_VSCROLL; break;
    case TScrollStyle::ssNone: break;
  }
  if (FWantReturns) p.Style |= ES_WANTRETURN;
  // The lines held while there was no window become its text.
  p.Caption = FLines->Joined();
}

void TCustomMemo::InitializeWnd() {
  TCustomEdit::InitializeWnd();
  FLines->FList.Clear();
  FLines->FTrailingBreak = false;
}

void TCustomMemo::DestroyWnd() {
  TCustomEdit::DestroyWnd();
  // The window's text, kept by the base in FText, waits in the lines for the next window.
  FLines->SplitFrom(FText);
  FText.clear();
}

void TCustomMemo::KeyPress(wchar_t& key) {
  TCustomEdit::KeyPress(key);
  if (key == L'\r' && !FWantReturns) key = 0;
}

void TCustomMemo::WndProc(TMessage& m) {
  switch (m.Msg) {
    case WM_GETDLGCODE:
      TCustomEdit::WndProc(m);
      if (FWantTabs) m.Result |= DLGC_WANTTAB;
      else m.Result &= ~LResult(DLGC_WANTTAB);
      // The platform's multi-line edit wants every key; Enter and Escape go to the form
      // unless the memo takes returns.
      if (!FWantReturns) m.Result &= ~LResult(DLGC_WANTALLKEYS);
      return;
    case CM_WANTSPECIALKEY:
      if (m.WParam == VK_RETURN && FWantReturns) {
        m.Result = 1;
        return;
      }
      break;
  }
  TCustomEdit::WndProc(m);
}

}  // namespace kw
