// The image-reference factory the image package fills.
#include "skin/Kwimageref.h"

#include "host/Typreg.h"

namespace kw {

KW_REGISTER_CLASS(TKwImageReference, TPersistent)

namespace {
TKwImageReferenceFactory GFactory = nullptr;
}

void KwSetImageReferenceFactory(TKwImageReferenceFactory factory) { GFactory = factory; }

TKwImageReference* KwNewImageReference() { return GFactory ? GFactory() : new TKwImageReference(); }

}  // namespace kw
