// The gallery's forms: every host control in its states (normal, focused, disabled, pressed,
// checked), built in code, and their rendering into bitmaps. The gallery program shows or
// saves them; the gallery tests compare the renderings with golden images.
#pragma once

#include <memory>
#include <vector>

#include "host/Bitmap.h"
#include "host/Forms.h"

namespace kw::gallery {

// The gallery's forms, owned by the caller (each is a top-level TForm with a name), in the
// order of their pages' ranks.
std::vector<TForm*> MakeForms();
// One page's form by its name (the other pages' forms are made and freed), or null.
std::unique_ptr<TForm> MakeForm(const wchar_t* name);

// A page of the gallery in a source of its own registers its form maker with a rank
// (a namespace-scope `static PageRegistration page(40, MakeFoo);`); the core pages rank 10-30.
struct PageRegistration {
  PageRegistration(int rank, TForm* (*make)());
};

// Helpers the pages share: a named, captioned top-level form of the given client size at a
// fixed place, and a named child control put on a parent and owned by its form.
TForm* NewForm(const wchar_t* name, const wchar_t* caption, int width, int height);
template <class T>
T* Put(TWinControl* parent, const wchar_t* name, int x, int y, int w, int h) {
  TComponent* owner = GetParentForm(parent);
  T* c = new T(owner ? owner : parent);
  c->SetName(name);
  c->SetParent(parent);
  c->SetBounds(x, y, w, h);
  return c;
}
// Shows the form (so its windows exist), lets it settle and paints it into a bitmap of its
// client size.
std::unique_ptr<TBitmap> RenderForm(TForm* form);

}  // namespace kw::gallery
