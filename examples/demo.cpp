// The demo: builds a small library catalogue as a component tree (books with a nested cover
// style, a collection of chapters and references between books), writes it as a binary and a
// text form stream, reads both back and prints the trees, and says whether they agree. Then it
// paints every canvas primitive, rotated text, a bitmap in each pixel format and a PNG with
// alpha into one picture and saves it as build/demo-primitives.png.
#include <cstdio>

#include "host/Bitmap.h"
#include "host/Collection.h"
#include "host/Dateutils.h"
#include "host/Filer.h"
#include "host/Formtext.h"
#include "host/Graphics.h"
#include "host/Imaging.h"
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

// A bitmap of colour bands converted to a pixel format, so each format's look shows.
std::unique_ptr<TBitmap> Swatch(TPixelFormat format) {
  auto bmp = std::make_unique<TBitmap>(64, 40);
  bmp->SetPixelFormat(pf24bit);
  TCanvas* c = bmp->Canvas();
  const TColor bands[] = {clRed, clLime, clBlue, clYellow, clFuchsia, clAqua, clWhite, clBlack};
  for (int i = 0; i < 8; ++i) {
    c->Brush()->SetColor(bands[i]);
    c->FillRect(Rect(i * 8, 0, i * 8 + 8, 20));
    c->Brush()->SetColor(TColor(KwRGB(Byte(i * 36), Byte(255 - i * 36), 128)));
    c->FillRect(Rect(i * 8, 20, i * 8 + 8, 40));
  }
  bmp->SetPixelFormat(format);
  return bmp;
}

String PaintPrimitives() {
  TBitmap sheet(640, 420);
  sheet.SetPixelFormat(pf24bit);
  TCanvas* c = sheet.Canvas();
  c->Brush()->SetColor(clWhite);
  c->FillRect(Rect(0, 0, 640, 420));
  c->Font()->SetName(L"Liberation Sans");
  c->Font()->SetSize(9);

  c->Pen()->SetColor(clNavy);
  c->Pen()->SetWidth(1);
  c->MoveTo(10, 10);
  c->LineTo(110, 60);
  c->Pen()->SetWidth(4);
  c->Pen()->SetColor(clMaroon);
  c->MoveTo(10, 60);
  c->LineTo(110, 10);
  c->Pen()->SetWidth(2);
  c->Pen()->SetColor(clBlack);
  c->Brush()->SetColor(clYellow);
  c->Rectangle(130, 10, 210, 60);
  c->RoundRect(220, 10, 300, 60, 20, 20);
  c->Brush()->SetColor(clAqua);
  c->Ellipse(310, 10, 390, 60);
  c->Brush()->SetColor(clLime);
  c->Pie(400, 10, 470, 60, 470, 35, 435, 10);
  c->Brush()->SetColor(clFuchsia);
  c->Chord(480, 10, 550, 60, 550, 35, 480, 35);
  c->Arc(560, 10, 630, 60, 630, 35, 560, 35);
  c->Brush()->SetColor(clSilver);
  c->Polygon({Point(10, 80), Point(60, 70), Point(110, 120), Point(40, 130)});
  c->Polyline({Point(130, 130), Point(160, 75), Point(190, 130), Point(220, 75)});
  c->Pen()->SetColor(clRed);
  c->PolyBezier({Point(240, 130), Point(270, 60), Point(320, 160), Point(350, 80)});
  c->Brush()->SetColor(clTeal);
  c->FillRect(Rect(370, 75, 430, 130));
  c->Brush()->SetColor(clPurple);
  c->FrameRect(Rect(440, 75, 500, 130));
  c->DrawFocusRect(Rect(510, 75, 570, 130));

  c->Brush()->SetStyle(bsClear);
  c->Font()->SetColor(clBlack);
  for (int i = 0; i < 3; ++i) {
    c->Font()->SetOrientation(i * 450);
    c->TextOut(40 + i * 90, 230, L"Rotated " + IntToStr(Int64(i * 45)));
  }
  c->Font()->SetOrientation(0);
  c->Brush()->SetStyle(bsSolid);

  const TPixelFormat formats[] = {pf1bit, pf4bit, pf8bit, pf15bit, pf16bit, pf24bit, pf32bit};
  const wchar_t* names[] = {L"1", L"4", L"8", L"15", L"16", L"24", L"32"};
  for (int i = 0; i < 7; ++i) {
    auto swatch = Swatch(formats[i]);
    c->Draw(10 + i * 74, 270, swatch.get());
    c->Brush()->SetColor(clWhite);
    c->TextOut(10 + i * 74, 314, String(names[i]) + L" bits");
  }

  // A PNG whose alpha falls off from left to right, drawn over a checkerboard.
  for (int y = 0; y < 80; y += 10)
    for (int x = 0; x < 200; x += 10) {
      c->Brush()->SetColor(((x + y) / 10) % 2 ? clGray : clWhite);
      c->FillRect(Rect(420 + x, 150 + y, 430 + x, 160 + y));
    }
  TPngImage alpha;
  alpha.CreateBlank(6, 8, 200, 80);
  for (int y = 0; y < 80; ++y) {
    auto* row = static_cast<Byte*>(alpha.Scanline(y));
    Byte* a = alpha.AlphaScanline(y);
    for (int x = 0; x < 200; ++x) {
      row[x * 4 + 0] = 200;  // blue
      row[x * 4 + 1] = Byte(y * 3);
      row[x * 4 + 2] = 40;
      if (a) a[x] = Byte(255 - x * 255 / 199);
      else row[x * 4 + 3] = Byte(255 - x * 255 / 199);
    }
  }
  c->Draw(420, 150, &alpha);
  c->Brush()->SetColor(clWhite);
  c->TextOut(420, 235, L"PNG with alpha");

  TPngImage png;
  png.Assign(&sheet);
  String name = ExpandFileName(ExtractFilePath(GetModuleFileNameStr(nullptr)) + L"..\\demo-primitives.png");
  png.SaveToFile(name);
  return name;
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
    Out(L"== Painted every primitive into " + PaintPrimitives() + L"\n");
    return same ? 0 : 1;
  } catch (const Exception& e) {
    Out(String(e.ClassName()) + L": " + e.Message() + L"\n");
    return 2;
  }
}
