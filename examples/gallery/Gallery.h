// The gallery's forms: every host control in its states (normal, focused, disabled, pressed,
// checked), built in code, and their rendering into bitmaps. The gallery program shows or
// saves them; the gallery tests compare the renderings with golden images.
#pragma once

#include <memory>
#include <vector>

#include "host/Bitmap.h"
#include "host/Forms.h"

namespace kw::gallery {

// The gallery's forms, owned by the caller (each is a top-level TForm with a name).
std::vector<TForm*> MakeForms();
// Shows the form (so its windows exist), lets it settle and paints it into a bitmap of its
// client size.
std::unique_ptr<TBitmap> RenderForm(TForm* form);

}  // namespace kw::gallery
