// TClipboard: the system clipboard with counted Open/Close, text, raw buffers and handles of
// any format, and format enumeration; the process-wide Clipboard() object. Pictures and
// graphics go to and from the clipboard through Assign/AssignTo and the picture registry.
#pragma once

#include <cstddef>

#include "host/Classes.h"

namespace kw {

namespace SRes {
inline constexpr const wchar_t* SCannotOpenClipboard = L"Cannot open clipboard";
}  // namespace SRes

// Registers (or finds) a named clipboard format; 0 on failure.
unsigned KwRegisterClipboardFormat(const String& name);

class TClipboard : public TPersistent {
  KW_CLASS(TClipboard, TPersistent)
  TClipboard() = default;
  ~TClipboard() override;

  // Opens are counted: the first one opens the system clipboard with a hidden window of this
  // object as owner (raising "Cannot open clipboard" when another window holds it), the last
  // Close closes it. Every operation below opens and closes around itself, so a caller
  // only opens explicitly to put several formats on the clipboard at once.
  void Open();
  void Close();
  int OpenCount() const { return FOpenRefCount; }
  // The hidden owner window (an HWND) while the clipboard is open, else nullptr.
  void* Handle() const { return FWindow; }

  void Clear();
  bool HasFormat(unsigned format) const;
  // CF_UNICODETEXT; "" when the clipboard holds no text.
  String AsText();
  void SetAsText(const String& value);
  // The first data put on the clipboard inside one Open/Close empties it first, so several
  // formats set between an explicit Open and Close stand side by side.
  void SetBuffer(unsigned format, const void* data, std::size_t size);
  // A copy of the whole global-memory block of the format (empty when absent); the block
  // may be longer than what was put, as the system rounds allocations.
  TBytes GetBuffer(unsigned format);
  // The data handle of a format, owned by the clipboard; valid until the clipboard changes.
  void* GetAsHandle(unsigned format);
  // Hands a global-memory handle (or a GDI handle for the GDI formats) to the clipboard,
  // which owns it once this returns; on failure (EOSError) the caller still owns it.
  void SetAsHandle(unsigned format, void* handle);
  int FormatCount();
  unsigned Formats(int index);  // in the order the clipboard enumerates them; 0 past the end

  // A TPicture or TGraphic source puts the graphic's own clipboard format; others raise
  // the assignment error.
  void Assign(const TPersistent* source) override;

protected:
  // A TPicture takes the first clipboard format the picture registry knows; a TGraphic
  // the first whose registered class it is. Raises the assignment error when none fits.
  void AssignTo(TPersistent* dest) const override;

private:
  void Adding();
  int FOpenRefCount = 0;
  void* FWindow = nullptr;
  bool FEmptied = false;
};

// The process-wide clipboard object, created on first use and freed at exit.
TClipboard* Clipboard();
// Makes clipboard the process-wide object and returns the previous one, which the caller
// now owns (nullptr if none was created yet).
TClipboard* SetClipboard(TClipboard* clipboard);

}  // namespace kw
