// A test suite over all the gallery's forms, made once for the suite and freed after it.
#pragma once

#include <gtest/gtest.h>

#include <vector>

#include "examples/gallery/Gallery.h"

namespace kw::testsupport {

class GalleryPages : public ::testing::Test {
protected:
  static void SetUpTestSuite() { forms = gallery::MakeForms(); }
  static void TearDownTestSuite() {
    for (TForm* f : forms) delete f;
    forms.clear();
  }
  // The form of that page, or null.
  static TForm* Form(const wchar_t* name) {
    for (TForm* f : forms)
      if (f->Name() == name) return f;
    return nullptr;
  }
  inline static std::vector<TForm*> forms;
};

}  // namespace kw::testsupport
