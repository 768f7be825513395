// A run-time package for the package tests: one streamable class, registered when the DLL
// is loaded.
#include "host/Classes.h"
#include "host/Typreg.h"

namespace kw {

class TPkgGadget : public TComponent {
  KW_CLASS(TPkgGadget, TComponent)
  explicit TPkgGadget(TComponent* owner) : TComponent(owner) {}
  const String& Label() const { return FLabel; }
  void SetLabel(const String& v) { FLabel = v; }

private:
  String FLabel;
};

KW_BEGIN_CLASS(TPkgGadget, TComponent) {
  b.Prop(L"Label", &TPkgGadget::Label, &TPkgGadget::SetLabel);
}

}  // namespace kw
