// Components with one published property of every kind, for the object-model and streaming
// tests: a font-like sub-object, collection items, widgets with parents, and a form root.
#pragma once

#include "host/Collection.h"
#include "host/Filer.h"
#include "host/Typinfo.h"
#include "host/Variants.h"

namespace kw {

enum TWAlign { waNone, waTop, waBottom, waLeft, waRight };
enum TWOption { woBold, woItalic, woUnderline, woStrike };
using TWOptions = TSet<TWOption>;
KW_DECLARE_ENUM(TWAlign)
KW_DECLARE_ENUM(TWOption)

// Records what happened, in order, across all fixtures.
std::vector<String>& Journal();

class TWFont : public TPersistent {
  KW_CLASS(TWFont, TPersistent)
  TWFont() = default;
  const String& Name() const { return FName; }
  void SetName(const String& v) { FName = v; }
  int Size() const { return FSize; }
  void SetSize(int v) { FSize = v; }
  TWOptions Style() const { return FStyle; }
  void SetStyle(TWOptions v) { FStyle = v; }
  void Assign(const TPersistent* source) override;

private:
  String FName = L"Tahoma";
  int FSize = 8;
  TWOptions FStyle;
};

class TWItem : public TCollectionItem {
  KW_CLASS(TWItem, TCollectionItem)
  explicit TWItem(TCollection* c) : TCollectionItem(c) {}
  const String& Caption() const { return FCaption; }
  void SetCaption(const String& v) { FCaption = v; }
  int Width() const { return FWidth; }
  void SetWidth(int v) { FWidth = v; }
  void Assign(const TPersistent* source) override;

private:
  String FCaption;
  int FWidth = 50;
};

class TWidget : public TComponent {
  KW_CLASS(TWidget, TComponent)
  explicit TWidget(TComponent* owner);
  ~TWidget() override;

  int Left() const { return FLeft; }
  void SetLeft(int v) { FLeft = v; }
  Byte Small() const { return FSmall; }
  void SetSmall(Byte v) { FSmall = v; }
  bool Visible() const { return FVisible; }
  void SetVisible(bool v) { FVisible = v; }
  TWAlign Align() const { return FAlign; }
  void SetAlign(TWAlign v) { FAlign = v; }
  TWOptions Options() const { return FOptions; }
  void SetOptions(TWOptions v) { FOptions = v; }
  const String& Caption() const { return FCaption; }
  void SetCaption(const String& v) { FCaption = v; }
  double Ratio() const { return FRatio; }
  void SetRatio(double v) { FRatio = v; }
  float Scale() const { return FScale; }
  void SetScale(float v) { FScale = v; }
  Currency Price() const { return FPrice; }
  void SetPrice(Currency v) { FPrice = v; }
  TDateTime When() const { return FWhen; }
  void SetWhen(TDateTime v) { FWhen = v; }
  Int64 Big() const { return FBig; }
  void SetBig(Int64 v) { FBig = v; }
  wchar_t Letter() const { return FLetter; }
  void SetLetter(wchar_t v) { FLetter = v; }
  Variant Data() const { return FData; }
  void SetData(const Variant& v) { FData = v; }
  TWFont* Font() const { return FFont.get(); }
  void SetFont(TWFont* v) { FFont->Assign(v); }
  TOwnedCollection* Items() const { return FItems.get(); }
  void SetItems(TOwnedCollection* v) { FItems->Assign(v); }
  TWidget* Buddy() const { return FBuddy; }
  void SetBuddy(TWidget* v);
  // Not published: streamed as the defined properties "Extra" and "Blob".
  String Extra;
  TBytes Blob;

  TNotifyEvent OnClick;
  TEvent<void(TObject* sender, int& value)> OnChangeValue;

  TWidget* Parent() const { return FParent; }
  void SetParent(TWidget* parent);
  const std::vector<TWidget*>& Children() const { return FChildren; }

  bool HasParent() const override { return FParent != nullptr; }
  TComponent* GetParentComponent() const override { return FParent; }
  void SetParentComponent(TComponent* parent) override { SetParent(dynamic_cast<TWidget*>(parent)); }
  void GetChildren(const TGetChildProc& proc, TComponent* root) override;
  void SetChildOrder(TComponent* child, int order) override;
  void Loaded() override;
  void Notification(TComponent* component, TOperation operation) override;
  void DefineProperties(TFiler& filer) override;

  bool LoadingSeenInLoaded = false;

private:
  int FLeft = 0;
  Byte FSmall = 0;
  bool FVisible = true;
  TWAlign FAlign = waNone;
  TWOptions FOptions = {woBold};
  String FCaption;
  double FRatio = 0;
  float FScale = 0;
  Currency FPrice;
  TDateTime FWhen;
  Int64 FBig = 0;
  wchar_t FLetter = L'A';
  Variant FData;
  std::unique_ptr<TWFont> FFont = std::make_unique<TWFont>();
  std::unique_ptr<TOwnedCollection> FItems;
  TWidget* FBuddy = nullptr;
  TWidget* FParent = nullptr;
  std::vector<TWidget*> FChildren;
};

// A root that publishes methods events can be bound to.
class TWForm : public TComponent {
  KW_CLASS(TWForm, TComponent)
  explicit TWForm(TComponent* owner) : TComponent(owner) {}
  void WidgetClick(TObject* sender) { ++Clicks; LastSender = sender; }
  void ValueChanged(TObject*, int& value) { value *= 2; }
  void Loaded() override;
  int Clicks = 0;
  TObject* LastSender = nullptr;
};

}  // namespace kw
