// The fixtures' registration blocks and behaviour.
#include "tests/host/fixtures.h"

#include <algorithm>

#include "host/Typreg.h"

namespace kw {

KW_DEFINE_ENUM(TWAlign, L"waNone", L"waTop", L"waBottom", L"waLeft", L"waRight")
KW_DEFINE_ENUM(TWOption, L"woBold", L"woItalic", L"woUnderline", L"woStrike")

KW_BEGIN_CLASS(TWFont, TPersistent) {
  b.Prop(L"Name", &TWFont::Name, &TWFont::SetName).Default(L"Tahoma");
  b.Prop(L"Size", &TWFont::Size, &TWFont::SetSize).Default(8);
  b.Prop(L"Style", &TWFont::Style, &TWFont::SetStyle).Default(TWOptions{});
}

KW_BEGIN_CLASS(TWItem, TCollectionItem) {
  b.Prop(L"Caption", &TWItem::Caption, &TWItem::SetCaption);
  b.Prop(L"Width", &TWItem::Width, &TWItem::SetWidth).Default(50);
}

KW_BEGIN_CLASS(TWidget, TComponent) {
  b.Prop(L"Left", &TWidget::Left, &TWidget::SetLeft).Default(0);
  b.Prop(L"Small", &TWidget::Small, &TWidget::SetSmall).Default(0);
  b.Prop(L"Visible", &TWidget::Visible, &TWidget::SetVisible).Default(true);
  b.Prop(L"Align", &TWidget::Align, &TWidget::SetAlign).Default(waNone);
  b.Prop(L"Options", &TWidget::Options, &TWidget::SetOptions).Default(TWOptions{woBold});
  b.Prop(L"Caption", &TWidget::Caption, &TWidget::SetCaption);
  b.Prop(L"Ratio", &TWidget::Ratio, &TWidget::SetRatio);
  b.Prop(L"Scale", &TWidget::Scale, &TWidget::SetScale);
  b.Prop(L"Price", &TWidget::Price, &TWidget::SetPrice);
  b.Prop(L"When", &TWidget::When, &TWidget::SetWhen);
  b.Prop(L"Big", &TWidget::Big, &TWidget::SetBig).Default(0);
  b.Prop(L"Letter", &TWidget::Letter, &TWidget::SetLetter).Default(L'A');
  b.Prop(L"Data", &TWidget::Data, &TWidget::SetData);
  b.Prop(L"Font", &TWidget::Font, &TWidget::SetFont);
  b.Prop(L"Items", &TWidget::Items, &TWidget::SetItems);
  b.Prop(L"Buddy", &TWidget::Buddy, &TWidget::SetBuddy);
  b.Event(L"OnClick", &TWidget::OnClick);
  b.Event(L"OnChangeValue", &TWidget::OnChangeValue);
}

KW_BEGIN_CLASS(TWForm, TComponent) {
  b.Method(L"WidgetClick", &TWForm::WidgetClick);
  b.Method(L"ValueChanged", &TWForm::ValueChanged);
}

std::vector<String>& Journal() {
  static std::vector<String> journal;
  return journal;
}

void TWFont::Assign(const TPersistent* source) {
  if (auto* f = dynamic_cast<const TWFont*>(source)) {
    FName = f->FName;
    FSize = f->FSize;
    FStyle = f->FStyle;
    return;
  }
  TPersistent::Assign(source);
}

void TWItem::Assign(const TPersistent* source) {
  if (auto* i = dynamic_cast<const TWItem*>(source)) {
    FCaption = i->FCaption;
    FWidth = i->FWidth;
    return;
  }
  TCollectionItem::Assign(source);
}

TWidget::TWidget(TComponent* owner)
    : TComponent(owner), FItems(std::make_unique<TOwnedCollection>(this, TWItem::StaticClass())) {}

TWidget::~TWidget() {
  Journal().push_back(L"destroy " + Name());
  // Children are parented, not owned: they outlive the parent unparented.
  for (TWidget* c : std::vector<TWidget*>(FChildren)) c->SetParent(nullptr);
  SetParent(nullptr);
}

void TWidget::SetBuddy(TWidget* v) {
  if (v == FBuddy) return;
  if (FBuddy) FBuddy->RemoveFreeNotification(this);
  FBuddy = v;
  if (v) v->FreeNotification(this);
}

void TWidget::SetParent(TWidget* parent) {
  if (parent == FParent) return;
  if (FParent) {
    auto& siblings = FParent->FChildren;
    siblings.erase(std::remove(siblings.begin(), siblings.end(), this), siblings.end());
  }
  FParent = parent;
  if (parent) parent->FChildren.push_back(this);
}

void TWidget::GetChildren(const TGetChildProc& proc, TComponent* root) {
  for (TWidget* c : FChildren)
    if (c->Owner() == root) proc(c);
}

void TWidget::SetChildOrder(TComponent* child, int order) {
  auto it = std::find(FChildren.begin(), FChildren.end(), child);
  if (it == FChildren.end()) return;
  auto* w = *it;
  FChildren.erase(it);
  order = std::clamp(order, 0, int(FChildren.size()));
  FChildren.insert(FChildren.begin() + order, w);
}

void TWidget::Loaded() {
  LoadingSeenInLoaded = ComponentState().Contains(csLoading);
  TComponent::Loaded();
  Journal().push_back(L"loaded " + Name());
}

void TWidget::Notification(TComponent* component, TOperation operation) {
  TComponent::Notification(component, operation);
  if (operation == opRemove && component == FBuddy) {
    Journal().push_back(L"notified " + Name() + L" of " + component->Name());
    FBuddy = nullptr;
  }
}

void TWidget::DefineProperties(TFiler& filer) {
  TComponent::DefineProperties(filer);
  auto* ancestor = dynamic_cast<TWidget*>(filer.Ancestor());
  filer.DefineProperty(
      L"Extra", [this](TReader& r) { Extra = r.ReadString(); }, [this](TWriter& w) { w.WriteString(Extra); },
      ancestor ? ancestor->Extra != Extra : !Extra.empty());
  filer.DefineBinaryProperty(
      L"Blob",
      [this](TStream& s) {
        Blob.resize(size_t(s.Size()));
        if (!Blob.empty()) s.ReadBuffer(Blob.data(), Int64(Blob.size()));
      },
      [this](TStream& s) {
        if (!Blob.empty()) s.WriteBuffer(Blob.data(), Int64(Blob.size()));
      },
      ancestor ? ancestor->Blob != Blob : !Blob.empty());
}

void TWForm::Loaded() {
  TComponent::Loaded();
  Journal().push_back(L"loaded " + Name());
}

}  // namespace kw
