// Registration of the resource-backed form and frame with their published methods.
#include "tests/forms/formfixtures.h"

#include "host/Typreg.h"

namespace kw {

KW_BEGIN_CLASS(TPartFrame, TFrame) { b.Method(L"PartCheckClick", &TPartFrame::PartCheckClick); }

KW_BEGIN_CLASS(TMainForm, TForm) {
  b.Method(L"FormCreate", &TMainForm::FormCreate);
  b.Method(L"FormKeyDown", &TMainForm::FormKeyDown);
  b.Method(L"OkButtonClick", &TMainForm::OkButtonClick);
  b.Method(L"NameEditChange", &TMainForm::NameEditChange);
}

}  // namespace kw
