// The demo: builds a small library catalogue as a component tree (books with a nested cover
// style, a collection of chapters and references between books), writes it as a binary and a
// text form stream, reads both back and prints the trees, and says whether they agree.
#include <cstdio>

#include "host/Collection.h"
#include "host/Dateutils.h"
#include "host/Filer.h"
#include "host/Formtext.h"
#include "host/Sysutils.h"
#include "host/Typinfo.h"
#include "host/Typreg.h"
#include "host/Variants.h"

namespace kw {

enum TGenre { gnNovel, gnPoetry, gnHistory, gnScience };
enum TShelfTag { stSigned, stFirstEdition, stIllustrated, stLoaned };
using TShelfTags = TSet<TShelfTag>;
KW_DECLARE_ENUM(TGenre)
KW_DECLARE_ENUM(TShelfTag)

class TCoverStyle : public TPersistent {
  KW_CLASS(TCoverStyle, TPersistent)
  const String& Color() const { return FColor; }
  void SetColor(const String& v) { FColor = v; }
  const String& FontName() const { return FFontName; }
  void SetFontName(const String& v) { FFontName = v; }
  void Assign(const TPersistent* source) override {
    if (auto* c = dynamic_cast<const TCoverStyle*>(source)) {
      FColor = c->FColor;
      FFontName = c->FFontName;
      return;
    }
    TPersistent::Assign(source);
  }

private:
  String FColor = L"clWhite";
  String FFontName = L"Tahoma";
};

class TChapter : public TCollectionItem {
  KW_CLASS(TChapter, TCollectionItem)
  explicit TChapter(TCollection* c) : TCollectionItem(c) {}
  const String& Title() const { return FTitle; }
  void SetTitle(const String& v) { FTitle = v; }
  int Pages() const { return FPages; }
  void SetPages(int v) { FPages = v; }
  void Assign(const TPersistent* source) override {
    if (auto* c = dynamic_cast<const TChapter*>(source)) {
      FTitle = c->FTitle;
      FPages = c->FPages;
      return;
    }
    TCollectionItem::Assign(source);
  }

private:
  String FTitle;
  int FPages = 0;
};

class TBook : public TComponent {
  KW_CLASS(TBook, TComponent)
  explicit TBook(TComponent* owner)
      : TComponent(owner), FChapters(std::make_unique<TOwnedCollection>(this, TChapter::StaticClass())) {}
  const String& Title() const { return FTitle; }
  void SetTitle(const String& v) { FTitle = v; }
  const String& Author() const { return FAuthor; }
  void SetAuthor(const String& v) { FAuthor = v; }
  int Year() const { return FYear; }
  void SetYear(int v) { FYear = v; }
  Currency Price() const { return FPrice; }
  void SetPrice(Currency v) { FPrice = v; }
  TGenre Genre() const { return FGenre; }
  void SetGenre(TGenre v) { FGenre = v; }
  TShelfTags Tags() const { return FTags; }
  void SetTags(TShelfTags v) { FTags = v; }
  TDateTime Acquired() const { return FAcquired; }
  void SetAcquired(TDateTime v) { FAcquired = v; }
  TCoverStyle* Cover() const { return FCover.get(); }
  void SetCover(TCoverStyle* v) { FCover->Assign(v); }
  TOwnedCollection* Chapters() const { return FChapters.get(); }
  void SetChapters(TOwnedCollection* v) { FChapters->Assign(v); }
  TBook* Sequel() const { return FSequel; }
  void SetSequel(TBook* v) {
    if (FSequel) FSequel->RemoveFreeNotification(this);
    FSequel = v;
    if (v) v->FreeNotification(this);
  }
  void Notification(TComponent* c, TOperation op) override {
    TComponent::Notification(c, op);
    if (op == opRemove && c == FSequel) FSequel = nullptr;
  }

private:
  String FTitle, FAuthor;
  int FYear = 0;
  Currency FPrice;
  TGenre FGenre = gnNovel;
  TShelfTags FTags;
  TDateTime FAcquired;
  std::unique_ptr<TCoverStyle> FCover = std::make_unique<TCoverStyle>();
  std::unique_ptr<TOwnedCollection> FChapters;
  TBook* FSequel = nullptr;
};

class TCatalogue : public TComponent {
  KW_CLASS(TCatalogue, TComponent)
  explicit TCatalogue(TComponent* owner) : TComponent(owner) {}
  const String& Curator() const { return FCurator; }
  void SetCurator(const String& v) { FCurator = v; }

private:
  String FCurator;
};

KW_DEFINE_ENUM(TGenre, L"gnNovel", L"gnPoetry", L"gnHistory", L"gnScience")
KW_DEFINE_ENUM(TShelfTag, L"stSigned", L"stFirstEdition", L"stIllustrated", L"stLoaned")

KW_BEGIN_CLASS(TCoverStyle, TPersistent) {
  b.Prop(L"Color", &TCoverStyle::Color, &TCoverStyle::SetColor).Default(L"clWhite");
  b.Prop(L"FontName", &TCoverStyle::FontName, &TCoverStyle::SetFontName).Default(L"Tahoma");
}
KW_BEGIN_CLASS(TChapter, TCollectionItem) {
  b.Prop(L"Title", &TChapter::Title, &TChapter::SetTitle);
  b.Prop(L"Pages", &TChapter::Pages, &TChapter::SetPages).Default(0);
}
KW_BEGIN_CLASS(TBook, TComponent) {
  b.Prop(L"Title", &TBook::Title, &TBook::SetTitle);
  b.Prop(L"Author", &TBook::Author, &TBook::SetAuthor);
  b.Prop(L"Year", &TBook::Year, &TBook::SetYear).Default(0);
  b.Prop(L"Price", &TBook::Price, &TBook::SetPrice);
  b.Prop(L"Genre", &TBook::Genre, &TBook::SetGenre).Default(gnNovel);
  b.Prop(L"Tags", &TBook::Tags, &TBook::SetTags).Default(TShelfTags{});
  b.Prop(L"Acquired", &TBook::Acquired, &TBook::SetAcquired);
  b.Prop(L"Cover", &TBook::Cover, &TBook::SetCover);
  b.Prop(L"Chapters", &TBook::Chapters, &TBook::SetChapters);
  b.Prop(L"Sequel", &TBook::Sequel, &TBook::SetSequel);
}
KW_BEGIN_CLASS(TCatalogue, TComponent) {
  b.Prop(L"Curator", &TCatalogue::Curator, &TCatalogue::SetCurator);
}

}  // namespace kw

using namespace kw;

namespace {

void Out(const String& s) {
  std::string u = UTF8Encode(s);
  std::fwrite(u.data(), 1, u.size(), stdout);
}

// Prints an object's published properties through the type information alone.
void PrintObject(const TPersistent* obj, const String& indent) {
  for (const TPropInfo* p : obj->ClassType()->Props()) {
    if (p->Name == L"Name" || p->Name == L"Tag") continue;
    String value;
    switch (p->PropType->Kind) {
      case tkClass: {
        TObject* o = p->GetObj(obj);
        if (auto* c = dynamic_cast<TComponent*>(o)) {
          value = c->Name();
        } else if (auto* coll = dynamic_cast<TCollection*>(o)) {
          Out(indent + p->Name + L": " + IntToStr(Int64(coll->Count())) + L" items\n");
          for (int i = 0; i < coll->Count(); ++i) {
            Out(indent + L"  [" + IntToStr(Int64(i)) + L"]\n");
            PrintObject(coll->Items(i), indent + L"    ");
          }
          continue;
        } else if (auto* nested = dynamic_cast<TPersistent*>(o)) {
          Out(indent + p->Name + L":\n");
          PrintObject(nested, indent + L"  ");
          continue;
        } else {
          value = L"nil";
        }
        break;
      }
      case tkFloat:
        if (p->PropType->IsDate) value = FormatDateTime(L"yyyy-mm-dd", TDateTime(p->GetFloat(obj)));
        else value = VarToStr(GetPropValue(obj, p->Name));
        break;
      case tkSet: value = SetToString(p->PropType, UInt64(p->GetOrd(obj)), true); break;
      default: value = VarToStr(GetPropValue(obj, p->Name)); break;
    }
    Out(indent + p->Name + L" = " + value + L"\n");
  }
}

void PrintTree(const TComponent* root) {
  Out(root->Name() + L": " + root->ClassName() + L"\n");
  PrintObject(root, L"  ");
  for (int i = 0; i < root->ComponentCount(); ++i) {
    TComponent* c = root->Components(i);
    Out(L"  " + c->Name() + L": " + c->ClassName() + L"\n");
    PrintObject(c, L"    ");
  }
}

TCatalogue* BuildCatalogue() {
  auto* cat = new TCatalogue(nullptr);
  cat->SetName(L"Catalogue");
  cat->SetCurator(L"Ana Mar\u00eda L\u00f3pez");
  auto* first = new TBook(cat);
  first->SetName(L"Book1");
  first->SetTitle(L"The Lighthouse Keeper's Daughter");
  first->SetAuthor(L"Iris Vale");
  first->SetYear(1952);
  first->SetPrice(Currency::FromRaw(129900));  // 12.99
  first->SetTags({stFirstEdition, stSigned});
  first->SetAcquired(EncodeDate(2024, 3, 15));
  first->Cover()->SetColor(L"clNavy");
  auto* ch = static_cast<TChapter*>(first->Chapters()->Add());
  ch->SetTitle(L"Fog");
  ch->SetPages(24);
  ch = static_cast<TChapter*>(first->Chapters()->Add());
  ch->SetTitle(L"The Lamp");
  ch->SetPages(31);
  auto* second = new TBook(cat);
  second->SetName(L"Book2");
  second->SetTitle(L"Return to the Light");
  second->SetAuthor(L"Iris Vale");
  second->SetYear(1958);
  second->SetGenre(gnNovel);
  second->SetPrice(Currency::FromRaw(89500));
  second->SetAcquired(EncodeDate(2025, 11, 2));
  second->Cover()->SetFontName(L"Georgia");
  first->SetSequel(second);
  auto* third = new TBook(cat);
  third->SetName(L"Book3");
  third->SetTitle(L"A Short History of Tides");
  third->SetGenre(gnScience);
  third->SetTags({stIllustrated});
  third->SetYear(2011);
  return cat;
}

TBytes ToBinary(TComponent* root) {
  TBytesStream s;
  s.WriteComponent(root);
  return s.Bytes();
}

}  // namespace

int wmain() {
  try {
    std::unique_ptr<TCatalogue> original(BuildCatalogue());
    TBytes binary = ToBinary(original.get());
    Out(L"== Built in code, written as a binary form stream of " + IntToStr(Int64(binary.size())) + L" bytes\n");

    TBytesStream binIn(binary), textOut;
    ObjectBinaryToText(binIn, textOut);
    TBytes textBytes = textOut.Bytes();
    std::string text(textBytes.begin(), textBytes.end());
    Out(L"== The same tree as a text form stream\n");
    std::fwrite(text.data(), 1, text.size(), stdout);

    TBytesStream fromBinary(binary);
    std::unique_ptr<TComponent> readBinary(fromBinary.ReadComponent(nullptr));
    Out(L"== Read back from the binary stream\n");
    PrintTree(readBinary.get());

    TBytesStream textIn(textBytes), binAgain;
    ObjectTextToBinary(textIn, binAgain);
    binAgain.SetPosition(0);
    std::unique_ptr<TComponent> readText(binAgain.ReadComponent(nullptr));
    Out(L"== Read back from the text stream\n");
    PrintTree(readText.get());

    auto* sequel = static_cast<TBook*>(readText->FindComponent(L"Book1"))->Sequel();
    bool same = ToBinary(readBinary.get()) == binary && ToBinary(readText.get()) == binary &&
                sequel == readText->FindComponent(L"Book2");
    Out(same ? L"== Both copies match the original, references included\n"
             : L"== MISMATCH between the copies and the original\n");
    return same ? 0 : 1;
  } catch (const Exception& e) {
    Out(String(e.ClassName()) + L": " + e.Message() + L"\n");
    return 2;
  }
}
