// Stand-ins for forms and controls in the form resource tests: a root with published methods,
// items with properties, an event and a reference, and the form classes embedded as resources.
#pragma once

#include <vector>

#include "host/Classes.h"
#include "host/Events.h"

namespace kw {

class TResItem : public TComponent {
  KW_CLASS(TResItem, TComponent)
  explicit TResItem(TComponent* owner) : TComponent(owner) { ++Created; ++Live; }
  ~TResItem() override { --Live; }
  const String& Caption() const { return FCaption; }
  void SetCaption(const String& v) { FCaption = v; }
  int Width() const { return FWidth; }
  void SetWidth(int v) { FWidth = v; }
  TResItem* Buddy() const { return FBuddy; }
  void SetBuddy(TResItem* v);
  void Notification(TComponent* component, TOperation operation) override;
  TNotifyEvent OnClick;
  // Across all items, so a test can tell that a failed read made and freed some.
  static inline int Created = 0;
  static inline int Live = 0;

private:
  String FCaption;
  int FWidth = 0;
  TResItem* FBuddy = nullptr;
};

class TResRoot : public TComponent {
  KW_CLASS(TResRoot, TComponent)
  explicit TResRoot(TComponent* owner) : TComponent(owner) {}
  const String& Title() const { return FTitle; }
  void SetTitle(const String& v) { FTitle = v; }
  void ItemClick(TObject* sender);
  void OtherClick(TObject* sender);
  std::vector<String> Clicks;  // "method:sender name", in order

private:
  String FTitle;
};

// Each has a form of its own in the test program's resources, except where noted.
class TFormsBase : public TResRoot {
  KW_CLASS(TFormsBase, TResRoot)
  explicit TFormsBase(TComponent* owner) : TResRoot(owner) {}
};

class TFormsDerived : public TFormsBase {
  KW_CLASS(TFormsDerived, TFormsBase)
  explicit TFormsDerived(TComponent* owner) : TFormsBase(owner) {}
};

// No form of its own: only its ancestor's is read.
class TFormsPlain : public TFormsBase {
  KW_CLASS(TFormsPlain, TFormsBase)
  explicit TFormsPlain(TComponent* owner) : TFormsBase(owner) {}
};

// Its form is cut short inside its second component.
class TFormsBroken : public TResRoot {
  KW_CLASS(TFormsBroken, TResRoot)
  explicit TFormsBroken(TComponent* owner) : TResRoot(owner) {}
};

}  // namespace kw
