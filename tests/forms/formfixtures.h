// A real form and frame whose forms are embedded as resources: events bound to published
// methods, a frame placed inline, components reachable by name.
#pragma once

#include <vector>

#include "host/Forms.h"

namespace kw {

class TPartFrame : public TFrame {
  KW_CLASS(TPartFrame, TFrame)
  explicit TPartFrame(TComponent* owner) : TFrame(owner) {}
  void PartCheckClick(TObject* sender) { Clicks.push_back(L"check"); }
  std::vector<String> Clicks;
};

class TMainForm : public TForm {
  KW_CLASS(TMainForm, TForm)
  explicit TMainForm(TComponent* owner) : TForm(owner) {}
  void FormCreate(TObject* sender) { Events.push_back(L"create " + Caption()); }
  void FormKeyDown(TObject* sender, Word& key, TShiftState shift) { Events.push_back(L"key " + std::to_wstring(key)); }
  void OkButtonClick(TObject* sender) { Events.push_back(L"ok"); }
  void NameEditChange(TObject* sender) { Events.push_back(L"change"); }
  std::vector<String> Events;
};

}  // namespace kw
