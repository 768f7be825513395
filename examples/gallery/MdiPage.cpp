// The gallery's MDI page: a frame with a tool panel above its client window and three
// children in it, overlapping, the last active, one of them iconic.
#include "examples/gallery/Gallery.h"


#include "host/ExtCtrls.h"
#include "host/StdCtrls.h"
#include "host/Stringlist.h"

namespace kw::gallery {

namespace {

TForm* Child(TForm* frame, const wchar_t* name, const wchar_t* caption) {
  TForm* c = KwCreate<TForm>(frame);
  c->SetName(name);
  c->SetCaption(caption);
  c->SetFormStyle(fsMDIChild);
  c->SetBounds(0, 0, 220, 140);
  c->Font()->Assign(frame->Font());
  c->Show();
  return c;
}

TForm* MdiForm() {
  TForm* f = NewForm(L"Mdi", L"MDI frame", 520, 360);
  f->SetFormStyle(fsMDIForm);
  auto* tools = Put<TPanel>(f, L"Tools", 0, 0, 520, 32);
  tools->SetAlign(alTop);
  tools->SetCaption(L"");
  Put<TButton>(tools, L"CascadeButton", 4, 4, 80, 24)->SetCaption(L"Cascade");
  Put<TButton>(tools, L"TileButton", 88, 4, 80, 24)->SetCaption(L"Tile");

  TForm* notes = Child(f, L"Notes", L"Notes");
  auto* memo = Put<TMemo>(notes, L"NotesMemo", 0, 0, 100, 100);
  memo->SetAlign(alClient);
  memo->Lines()->Add(L"A child form with a memo.");
  TForm* entry = Child(f, L"Entry", L"Entry");
  Put<TLabel>(entry, L"EntryLabel", 10, 12, 60, 16)->SetCaption(L"&Name:");
  Put<TEdit>(entry, L"EntryEdit", 70, 10, 130, 21)->SetText(L"child two");
  TForm* iconic = Child(f, L"Iconic", L"Iconic child");
  iconic->SetWindowState(wsMinimized);
  // Placed as a cascade would place them (the system arranges only children it can see,
  // and the page is built before its frame shows).
  notes->SetBounds(8, 8, 240, 150);
  entry->SetBounds(40, 40, 240, 120);
  entry->Show();  // the entry child ends active
  return f;
}

PageRegistration mdiPage(80, MdiForm);

}  // namespace

}  // namespace kw::gallery
