// The image reference as the skin layer holds it: descriptors own references without knowing
// the image package, which makes the real ones (TKwMemoryImage) through the factory below.
#pragma once

#include "host/Classes.h"
#include "host/Events.h"

namespace kw {

// A reference to a package image. This base refers to nothing; the image package's reference
// class derives from it and resolves by package name and id.
class TKwImageReference : public TPersistent {
  KW_CLASS(TKwImageReference, TPersistent)
  TKwImageReference() = default;
  virtual bool Empty() { return true; }
  virtual int Width() { return 0; }
  virtual int Height() { return 0; }
  // Called whenever what the reference denotes may have changed.
  TNotifyEvent OnChange;
};

// Makes an empty reference of the image package's class (the base class until the package
// layer has started).
using TKwImageReferenceFactory = TKwImageReference* (*)();
void KwSetImageReferenceFactory(TKwImageReferenceFactory factory);
TKwImageReference* KwNewImageReference();

}  // namespace kw
