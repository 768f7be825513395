// Binary form resources: a class's form, embedded as RCDATA under its upper-cased class name
// (cmake/forms.cmake embeds them), found in the program or a package and read into an instance,
// ancestor forms first. Making forms or windows from them is left to the forms layer.
#pragma once

#include "host/Classes.h"

struct HINSTANCE__;  // HMODULE

namespace kw {

// Whether an RCDATA resource named after the class (upper-cased) exists: in module alone when
// given, else in the program and then in every module that registered classes (packages).
bool KwFindFormResource(const String& className, HINSTANCE__* module = nullptr);

// Reads into instance the form of each class from the one just below rootAncestor (TForm,
// TFrame, TDataModule... as the caller's base) down to the instance's own class, so that an
// inherited form reads its ancestor's form first and then its own. Classes without a form are
// passed over; true when at least one form was read. A bad form raises EInvalidImage or the
// reader's EReadError; the reader frees what that form made, but components read from the
// ancestors' forms before it stay owned by the instance (the caller is expected to free it).
bool InitInheritedComponent(TComponent* instance, TClass rootAncestor);

// Reads the form resource of that name into instance; EResNotFound when there is none.
void ReadComponentRes(const String& resName, TComponent* instance);

}  // namespace kw
