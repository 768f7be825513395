// The form resource fixtures' registration blocks and behaviour.
#include "tests/forms/fixtures.h"

#include "host/Typreg.h"

namespace kw {

KW_BEGIN_CLASS(TResItem, TComponent) {
  b.Prop(L"Caption", &TResItem::Caption, &TResItem::SetCaption);
  b.Prop(L"Width", &TResItem::Width, &TResItem::SetWidth).Default(0);
  b.Prop(L"Buddy", &TResItem::Buddy, &TResItem::SetBuddy);
  b.Event(L"OnClick", &TResItem::OnClick);
}

KW_BEGIN_CLASS(TResRoot, TComponent) {
  b.Prop(L"Title", &TResRoot::Title, &TResRoot::SetTitle);
  b.Method(L"ItemClick", &TResRoot::ItemClick);
  b.Method(L"OtherClick", &TResRoot::OtherClick);
}

KW_REGISTER_CLASS(TFormsBase, TResRoot)
KW_REGISTER_CLASS(TFormsDerived, TFormsBase)
KW_REGISTER_CLASS(TFormsPlain, TFormsBase)
KW_REGISTER_CLASS(TFormsBroken, TResRoot)

void TResItem::SetBuddy(TResItem* v) {
  if (v == FBuddy) return;
  if (FBuddy) FBuddy->RemoveFreeNotification(this);
  FBuddy = v;
  if (v) v->FreeNotification(this);
}

void TResItem::Notification(TComponent* component, TOperation operation) {
  TComponent::Notification(component, operation);
  if (operation == opRemove && component == FBuddy) FBuddy = nullptr;
}

namespace {

String SenderName(TObject* sender) {
  auto* c = dynamic_cast<TComponent*>(sender);
  return c ? c->Name() : String(L"?");
}

}  // namespace

void TResRoot::ItemClick(TObject* sender) { Clicks.push_back(L"ItemClick:" + SenderName(sender)); }

void TResRoot::OtherClick(TObject* sender) { Clicks.push_back(L"OtherClick:" + SenderName(sender)); }

}  // namespace kw
