// TDBEdit and TDBText: the field data link's callbacks, automatic editing on typing, the
// write-back when the edit is left, and the data link message.
#include "host/Dbctrls.h"

#include "host/Typreg.h"
#include "host/Win.h"

namespace kw {

KW_BEGIN_CLASS(TDBEdit, TCustomEdit) {
  b.Prop(L"DataField", &TDBEdit::DataField, &TDBEdit::SetDataField);
  b.Prop(L"DataSource", &TDBEdit::DataSource, &TDBEdit::SetDataSource);
  b.Prop(L"ReadOnly", &TDBEdit::ReadOnly, &TDBEdit::SetReadOnly).Default(false);
  b.Prop(L"Color", &TDBEdit::Color, &TDBEdit::SetColor).Stored(&TDBEdit::ColorStored);
  b.Prop(L"Font", &TDBEdit::Font, &TDBEdit::SetFont).Stored(&TDBEdit::FontStored);
  b.Prop(L"ParentColor", &TDBEdit::ParentColor, &TDBEdit::SetParentColor).Default(false);
  b.Prop(L"ParentFont", &TDBEdit::ParentFont, &TDBEdit::SetParentFont).Default(true);
  b.Event(L"OnChange", &TDBEdit::OnChange);
}

TDBEdit::TDBEdit(TComponent* owner) : TCustomEdit(owner), FDataLink(std::make_unique<TFieldDataLink>()) {
  FDataLink->SetControl(this);
  FDataLink->OnDataChange.Bind(this, &TDBEdit::DataChange);
  FDataLink->OnEditingChange.Bind(this, &TDBEdit::EditingChange);
  FDataLink->OnUpdateData.Bind(this, &TDBEdit::UpdateData);
  TCustomEdit::SetReadOnly(true);
}

TDBEdit::~TDBEdit() { FDataLink.reset(); }

void TDBEdit::SetDataSource(TDataSource* v) {
  if (v == DataSource()) return;
  if (DataSource()) DataSource()->RemoveFreeNotification(this);
  FDataLink->SetDataSource(v);
  if (v) v->FreeNotification(this);
}

void TDBEdit::SetReadOnly(bool v) { FDataLink->SetReadOnly(v); }

void TDBEdit::Notification(TComponent* component, TOperation operation) {
  TCustomEdit::Notification(component, operation);
  if (operation == opRemove && FDataLink && component == FDataLink->DataSource()) FDataLink->SetDataSource(nullptr);
}

void TDBEdit::DataChange(TObject*) {
  TField* f = FDataLink->Field();
  if (!f) {
    SetText(String());
    return;
  }
  SetMaxLength(f->DataType() == ftString || f->DataType() == ftWideString ? f->Size() : 0);
  // The edit text while the user works in the control, the display text otherwise.
  SetText(FFocused && FDataLink->CanModify() ? f->Text() : f->DisplayText());
  SetModified(false);
}

void TDBEdit::EditingChange(TObject*) { TCustomEdit::SetReadOnly(!FDataLink->Editing()); }

void TDBEdit::UpdateData(TObject*) {
  if (TField* f = FDataLink->Field()) f->SetText(Text());
}

void TDBEdit::Change() {
  FDataLink->SetModified();
  TCustomEdit::Change();
}

void TDBEdit::KeyDown(Word& key, TShiftState shift) {
  TCustomEdit::KeyDown(key, shift);
  if (key == VK_DELETE || (key == VK_INSERT && shift.Contains(ssShift))) FDataLink->Edit();
}

void TDBEdit::KeyPress(wchar_t& key) {
  TCustomEdit::KeyPress(key);
  if (key == 0) return;
  if (key == VK_ESCAPE) {
    FDataLink->Reset();
    SelectAll();
    key = 0;
    return;
  }
  if ((key >= 32 || key == 8 || key == 22 || key == 24) && FDataLink->Field()) {
    // Typing starts editing; a field that cannot be edited swallows the key.
    if (!FDataLink->Edit()) {
      key = 0;
      MessageBeep(0);
    }
  }
}

void TDBEdit::WndProc(TMessage& message) {
  switch (message.Msg) {
    case CM_GETDATALINK:
      message.Result = reinterpret_cast<LResult>(FDataLink.get());
      return;
    case CM_ENTER:
      // Coming back after a refused value keeps the user's text (still focused, for us).
      if (!FFocused) {
        FFocused = true;
        if (FDataLink->Field() && FDataLink->CanModify()) FDataLink->Reset();
      }
      break;
    case WM_PRINTCLIENT:
      // Painted as a copy (a control grid's other records, or PaintTo), the edit shows the
      // field's text of the record the link points at, not what is being typed.
      if (FControlState.Contains(csPaintCopy) && FDataLink->Field() && message.WParam) {
        PaintFieldText(reinterpret_cast<HDC>(message.WParam));
        message.Result = 0;
        return;
      }
      break;
    case CM_EXIT:
      try {
        FDataLink->UpdateRecord();
      } catch (...) {
        SelectAll();
        SetFocus();
        throw;
      }
      FFocused = false;
      if (FDataLink->Field()) FDataLink->Reset();
      break;
    default:
      break;
  }
  TCustomEdit::WndProc(message);
}

void TDBEdit::PaintFieldText(HDC__* dc) {
  RECT r;
  GetClientRect(Handle(), &r);
  FillRect(dc, &r, Brush()->Handle());
  LRESULT margins = SendMessageW(Handle(), EM_GETMARGINS, 0, 0);
  r.left += LOWORD(margins);
  r.right -= HIWORD(margins);
  int savedMode = SetBkMode(dc, TRANSPARENT);
  COLORREF savedColor = SetTextColor(dc, ColorToRGB(Enabled() ? Font()->Color() : clGrayText));
  HGDIOBJ savedFont = SelectObject(dc, Font()->Handle());
  String text = FDataLink->Field()->DisplayText();
  UINT align = FAlignment == taRightJustify ? DT_RIGHT : FAlignment == taCenter ? DT_CENTER : DT_LEFT;
  DrawTextW(dc, text.c_str(), int(text.size()), &r, align | DT_SINGLELINE | DT_NOPREFIX | DT_TOP);
  SelectObject(dc, savedFont);
  SetTextColor(dc, savedColor);
  SetBkMode(dc, savedMode);
}

bool TDBEdit::ExecuteAction(TBasicAction* action) {
  return TCustomEdit::ExecuteAction(action) || FDataLink->ExecuteAction(action);
}

bool TDBEdit::UpdateAction(TBasicAction* action) {
  return TCustomEdit::UpdateAction(action) || FDataLink->UpdateAction(action);
}

KW_BEGIN_CLASS(TDBText, TCustomLabel) {
  b.Prop(L"Alignment", &TDBText::Alignment, &TDBText::SetAlignment).Default(taLeftJustify);
  b.Prop(L"AutoSize", &TDBText::AutoSize, &TDBText::SetAutoSize).Default(false);
  b.Prop(L"DataField", &TDBText::DataField, &TDBText::SetDataField);
  b.Prop(L"DataSource", &TDBText::DataSource, &TDBText::SetDataSource);
  b.Prop(L"Color", &TDBText::Color, &TDBText::SetColor).Stored(&TDBText::ColorStored);
  b.Prop(L"Font", &TDBText::Font, &TDBText::SetFont).Stored(&TDBText::FontStored);
  b.Prop(L"Transparent", &TDBText::Transparent, &TDBText::SetTransparent).Default(false);
}

TDBText::TDBText(TComponent* owner) : TCustomLabel(owner), FDataLink(std::make_unique<TFieldDataLink>()) {
  FDataLink->SetControl(this);
  FDataLink->OnDataChange.Bind(this, &TDBText::DataChange);
  SetAutoSize(false);
  SetShowAccelChar(false);
}

TDBText::~TDBText() { FDataLink.reset(); }

void TDBText::SetDataSource(TDataSource* v) {
  if (v == DataSource()) return;
  if (DataSource()) DataSource()->RemoveFreeNotification(this);
  FDataLink->SetDataSource(v);
  if (v) v->FreeNotification(this);
}

void TDBText::Notification(TComponent* component, TOperation operation) {
  TCustomLabel::Notification(component, operation);
  if (operation == opRemove && FDataLink && component == FDataLink->DataSource()) FDataLink->SetDataSource(nullptr);
}

String TDBText::GetLabelText() const {
  TField* f = FDataLink->Field();
  if (f && f->DataSet() && f->DataSet()->Active()) return f->DisplayText();
  return FComponentState.Contains(csDesigning) ? Name() : String();
}

void TDBText::DataChange(TObject*) {
  if (AutoSize()) AdjustBounds();
  Invalidate();
}

void TDBText::WndProc(TMessage& message) {
  if (message.Msg == CM_GETDATALINK) {
    message.Result = reinterpret_cast<LResult>(FDataLink.get());
    return;
  }
  TCustomLabel::WndProc(message);
}

bool TDBText::ExecuteAction(TBasicAction* action) {
  return TCustomLabel::ExecuteAction(action) || FDataLink->ExecuteAction(action);
}

bool TDBText::UpdateAction(TBasicAction* action) {
  return TCustomLabel::UpdateAction(action) || FDataLink->UpdateAction(action);
}

}  // namespace kw
