// Run-time packages: a DLL's classes register with its module when it is loaded, stream like
// the program's own, and are unregistered when it is unloaded.
#include <gtest/gtest.h>

#include "host/Classes.h"
#include "host/Filer.h"
#include "host/Sysutils.h"
#include "host/Typinfo.h"

using namespace kw;

namespace {
String PackagePath() { return ExtractFilePath(GetModuleFileNameStr(nullptr)) + L"kwtestpkg.dll"; }
}  // namespace

TEST(RunTimePackages, ClassesComeAndGoWithTheirModule) {
  ASSERT_EQ(GetClass(L"TPkgGadget"), nullptr);
  void* module = LoadPackage(PackagePath());
  ASSERT_NE(module, nullptr);
  TClass cls = GetClass(L"TPkgGadget");
  ASSERT_NE(cls, nullptr);
  EXPECT_EQ(cls->Module(), module);
  EXPECT_TRUE(cls->InheritsFrom(TComponent::StaticClass()));
  EXPECT_NE(TComponent::StaticClass()->Module(), module);
  {
    TComponent root(nullptr);
    root.SetName(L"Root");
    auto* gadget = static_cast<TComponent*>(cls->CreateInstance(&root));
    gadget->SetName(L"G1");
    SetStrProp(gadget, L"Label", L"from a package");
    TMemoryStream s;
    s.WriteComponent(&root);
    s.SetPosition(0);
    std::unique_ptr<TComponent> copy(s.ReadComponent(nullptr));
    TComponent* g = copy->FindComponent(L"G1");
    ASSERT_NE(g, nullptr);
    EXPECT_EQ(g->ClassType(), cls);
    EXPECT_EQ(GetStrProp(g, L"Label"), L"from a package");
  }
  UnloadPackage(module);
  EXPECT_EQ(GetClass(L"TPkgGadget"), nullptr);
}

TEST(RunTimePackages, AMissingPackageRaisesAPackageError) {
  try {
    LoadPackage(L"no-such-package.dll");
    FAIL();
  } catch (const EPackageError& e) {
    EXPECT_EQ(e.Message().rfind(L"Can't load package no-such-package.dll", 0), 0u) << UTF8Encode(e.Message());
  }
}
