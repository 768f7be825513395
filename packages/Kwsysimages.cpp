// The system image update: finding the standard file, the offer, the merge with its progress
// window. The windows are plain host forms until the library's message windows exist.
#include "packages/Kwsysimages.h"

#include "host/Application.h"
#include "host/ExtCtrls.h"
#include "host/Forms.h"
#include "host/Registry.h"
#include "host/StdCtrls.h"
#include "host/Sysutils.h"
#include "host/Win.h"
#include "skin/Kwsets.h"

namespace kw {

namespace {

bool DefaultAsk(const String& title, const String& text) {
  std::unique_ptr<TForm> form(KwCreate<TForm>(nullptr));
  form->SetCaption(title);
  form->SetBorderStyle(bsDialog);
  form->SetPosition(poScreenCenter);
  form->SetClientWidth(420);
  form->SetClientHeight(130);
  auto* label = new TLabel(form.get());
  label->SetParent(form.get());
  label->SetAutoSize(false);
  label->SetWordWrap(true);
  label->SetBounds(12, 12, 396, 70);
  label->SetCaption(text);
  auto* update = new TButton(form.get());
  update->SetParent(form.get());
  update->SetBounds(230, 92, 85, 26);
  update->SetCaption(L"Update");
  update->SetModalResult(mrOk);
  update->SetDefault(true);
  auto* later = new TButton(form.get());
  later->SetParent(form.get());
  later->SetBounds(323, 92, 85, 26);
  later->SetCaption(L"Later on");
  later->SetModalResult(mrCancel);
  later->SetCancel(true);
  return form->ShowModal() == mrOk;
}

TKwAskUpdateProc GAsk = &DefaultAsk;

// "Updating Image: i" over a bar that fills as the merge goes.
class TProgressWindow {
public:
  explicit TProgressWindow(int count) : FCount(count) {
    FForm.reset(KwCreate<TForm>(nullptr));
    FForm->SetCaption(L"Images Information:");
    FForm->SetBorderStyle(bsDialog);
    FForm->SetBorderIcons({});
    FForm->SetPosition(poScreenCenter);
    FForm->SetClientWidth(320);
    FForm->SetClientHeight(70);
    FLabel = new TLabel(FForm.get());
    FLabel->SetParent(FForm.get());
    FLabel->SetBounds(12, 10, 296, 16);
    auto* track = new TPanel(FForm.get());
    track->SetParent(FForm.get());
    track->SetBevelOuter(bvLowered);
    track->SetCaption(L"");
    track->SetBounds(12, 36, 296, 20);
    FBar = new TPanel(track);
    FBar->SetParent(track);
    FBar->SetBevelOuter(bvNone);
    FBar->SetCaption(L"");
    FBar->SetColor(clHighlight);
    FBar->SetBounds(1, 1, 0, 18);
    FForm->Show();
  }
  void Step(int i) {
    FLabel->SetCaption(L"Updating Image: " + IntToStr(Int64(i)));
    FBar->SetWidth(FCount > 0 ? MulDiv(294, i, FCount) : 0);
    FForm->Update();
  }
  TForm* Form() const { return FForm.get(); }

private:
  std::unique_ptr<TForm> FForm;
  TLabel* FLabel;
  TPanel* FBar;
  int FCount;
};

}  // namespace

String KwInstallPackagesDir() {
  TRegistry reg;
  if (!reg.OpenKeyReadOnly(L"Software\\KwSuite")) return String();
  String root = reg.ValueExists(L"InstallDir") ? reg.ReadString(L"InstallDir") : String();
  reg.CloseKey();
  if (Trim(root).empty()) return String();
  String dir = IncludeTrailingPathDelimiter(root) + L"Packages\\";
  return DirectoryExists(ExcludeTrailingPathDelimiter(dir)) ? dir : String();
}

String KwSystemImagesFile(const String& fileName) {
  String name = Trim(fileName).empty() ? String(L"Standard.dis") : fileName;
  String install = KwInstallPackagesDir();
  if (ExtractFilePath(name).empty()) {
    if (install.empty()) return String();
    return install + name;
  }
  if (!FileExists(name) && !install.empty() && !SameText(IncludeTrailingPathDelimiter(ExtractFilePath(name)), install)) {
    String there = install + ExtractFileName(name);
    if (FileExists(there)) return there;
  }
  return name;
}

void KwSetAskUpdateProc(TKwAskUpdateProc proc) { GAsk = proc ? proc : &DefaultAsk; }

String KwSystemImagesNotice() {
  return L"\tThe system images will be updated to a more recent version. If you have modified some image and "
         L"you have not checked it as protected, click on the \"Later on\"  button for a later updating and then "
         L"check it as protected, otherwise it will be replaced.";
}

int KwMergeSystemImages(TKwPkgImages* target, TKwPkgImages* source, const std::function<void(int)>& progress) {
  if (!target || !source) return 0;
  int merged = 0;
  TKwSetsLock lock;
  for (int i = 0; i < source->Images()->Count(); ++i) {
    if (progress) progress(i);
    TKwPkgImagesImage* fresh = source->Images()->GetItems(i);
    if (fresh->Id() < 0) continue;
    TKwPkgImagesImage* mine = target->Images()->FindId(fresh->Id());
    if (!mine) mine = target->Images()->Add(fresh->Id());
    else if (mine->Protected()) continue;
    mine->Assign(fresh);
    ++merged;
  }
  return merged;
}

bool KwUpdateSystemImages(TKwPkgImages* target, const String& fileName, bool ask, TKwSystemImagesState& state,
                          const TKwSystemImagesLoader& loader) {
  String file = KwSystemImagesFile(fileName);
  if (file.empty() || !FileExists(file) || !loader) return false;
  TDateTime date = 0;
  FileAge(file, date);
  if (ask) {
    if (date <= state.SourceDate) return false;
    if (!GAsk(L"Images Information:", KwSystemImagesNotice())) return false;
  }
  std::unique_ptr<TKwPkgImages> source = loader(file);
  if (!source) return false;
  {
    TProgressWindow window(source->Images()->Count());
    KwMergeSystemImages(target, source.get(), [&window](int i) { window.Step(i); });
  }
  state.SourceDate = date;
  String install = KwInstallPackagesDir();
  bool inInstall = !install.empty() && SameText(IncludeTrailingPathDelimiter(ExtractFilePath(file)), install);
  state.SourceFile = inInstall ? ExtractFileName(file) : file;
  return true;
}

}  // namespace kw
