// A form class made from its embedded text form: properties, children, an inline frame with
// the form's own change to it, and events bound to the form's published methods.
#include <gtest/gtest.h>

#include "host/Application.h"
#include "host/ExtCtrls.h"
#include "host/StdCtrls.h"
#include "host/Win.h"
#include "tests/forms/formfixtures.h"

using namespace kw;

TEST(FormResource, AFormClassIsBuiltFromItsResourceWithEventsBound) {
  TMainForm* f = KwCreate<TMainForm>(nullptr);
  EXPECT_EQ(f->Caption(), L"Form from a resource");
  EXPECT_EQ(f->ClientWidth(), 320);
  EXPECT_EQ(f->ClientHeight(), 180);
  EXPECT_TRUE(f->KeyPreview());
  ASSERT_EQ(f->Events.size(), 1u);
  EXPECT_EQ(f->Events[0], L"create Form from a resource") << "OnCreate runs once, after the form was read";
  auto* panel = dynamic_cast<TPanel*>(f->FindComponent(L"Panel1"));
  auto* ok = dynamic_cast<TButton*>(f->FindComponent(L"OkButton"));
  auto* edit = dynamic_cast<TEdit*>(f->FindComponent(L"NameEdit"));
  ASSERT_TRUE(panel && ok && edit);
  EXPECT_EQ(ok->Parent(), panel);
  EXPECT_EQ(ok->Owner(), f);
  EXPECT_TRUE(ok->Default());
  EXPECT_EQ(edit->Text(), L"typed in the form");
  EXPECT_EQ(panel->Width(), 320) << "aligned to the top of the client";
  // Events reach the published methods.
  ok->Click();
  edit->SetText(L"new");
  EXPECT_EQ(f->Events.back(), L"change");
  EXPECT_EQ(f->Events[1], L"ok");
  // Anchors were taken after loading: the button follows the right edge.
  f->SetClientWidth(420);
  EXPECT_EQ(ok->Left(), 330);
  delete f;
}

TEST(FormResource, AnInlineFrameReadsItsOwnFormThenTheFormsChanges) {
  TMainForm* f = KwCreate<TMainForm>(nullptr);
  auto* frame = dynamic_cast<TPartFrame*>(f->FindComponent(L"Frame1"));
  ASSERT_NE(frame, nullptr);
  EXPECT_EQ(frame->Parent(), f);
  EXPECT_EQ(frame->Left(), 10);
  EXPECT_EQ(frame->Width(), 200) << "from the frame's own form";
  auto* label = dynamic_cast<TLabel*>(frame->FindComponent(L"PartLabel"));
  auto* check = dynamic_cast<TCheckBox*>(frame->FindComponent(L"PartCheck"));
  ASSERT_TRUE(label && check);
  EXPECT_EQ(label->Caption(), L"Changed by the form");
  EXPECT_EQ(check->Caption(), L"Frame check");
  EXPECT_EQ(check->Owner(), frame) << "the frame owns what its form made";
  check->SetChecked(true);
  ASSERT_EQ(frame->Clicks.size(), 1u) << "bound to the frame's own method";
  delete f;
}

TEST(FormResource, KeyPreviewFromTheResourceRoutesKeysToTheFormMethod) {
  TMainForm* f = KwCreate<TMainForm>(nullptr);
  auto* edit = dynamic_cast<TEdit*>(f->FindComponent(L"NameEdit"));
  f->Show();
  Application()->ProcessMessages();
  edit->SetFocus();
  Application()->ProcessMessages();
  PostMessageW(edit->Handle(), WM_KEYDOWN, 'K', 1);
  Application()->ProcessMessages();
  // The form sees the key first; the character it makes then changes the edit.
  ASSERT_GE(f->Events.size(), 3u);
  EXPECT_EQ(f->Events[f->Events.size() - 2], L"key 75");
  EXPECT_EQ(f->Events.back(), L"change");
  EXPECT_EQ(edit->Text(), L"k") << "focus selected the whole text, the key replaced it";
  delete f;
}
