// TPrinter over the spooler (winspool.drv, loaded when first needed, so programs link no
// spooler import library) and GDI's document calls; the printer canvas and Printer() holder.
// Printer setup dialogs and driver-specific settings beyond orientation and copies are not here.
#include "host/Printers.h"

#include <mutex>
#include <vector>

#include "host/Graphics.h"
#include "host/Stringlist.h"
#include "host/Sysutils.h"
#include "host/Typreg.h"
#include "host/Win.h"

#include <winspool.h>

// winspool.h maps this to SetPrinterW; the name is the host's own here.
#undef SetPrinter

namespace kw {

KW_DEFINE_ENUM(TPrinterOrientation, L"poPortrait", L"poLandscape")
KW_REGISTER_CLASS(TPrinter, TObject)

namespace {

struct TSpooler {
  decltype(&::EnumPrintersW) EnumPrinters = nullptr;
  decltype(&::GetDefaultPrinterW) GetDefaultPrinter = nullptr;
  decltype(&::OpenPrinterW) OpenPrinter = nullptr;
  decltype(&::ClosePrinter) ClosePrinter = nullptr;
  decltype(&::DocumentPropertiesW) DocumentProperties = nullptr;
  bool Loaded() const { return EnumPrinters && GetDefaultPrinter && OpenPrinter && ClosePrinter && DocumentProperties; }
};

template <class F>
void Resolve(HMODULE lib, F& fn, const char* name) {
  fn = reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(lib, name)));
}

// Without the spooler there are no printers, which every caller handles already.
const TSpooler& Spooler() {
  static const TSpooler spooler = [] {
    TSpooler s;
    if (HMODULE lib = LoadLibraryW(L"winspool.drv")) {
      Resolve(lib, s.EnumPrinters, "EnumPrintersW");
      Resolve(lib, s.GetDefaultPrinter, "GetDefaultPrinterW");
      Resolve(lib, s.OpenPrinter, "OpenPrinterW");
      Resolve(lib, s.ClosePrinter, "ClosePrinter");
      Resolve(lib, s.DocumentProperties, "DocumentPropertiesW");
    }
    return s;
  }();
  return spooler;
}

std::vector<String> EnumPrinterNames() {
  std::vector<String> names;
  const TSpooler& sp = Spooler();
  if (!sp.Loaded()) return names;
  const DWORD flags = PRINTER_ENUM_LOCAL | PRINTER_ENUM_CONNECTIONS;
  DWORD needed = 0, count = 0;
  std::vector<BYTE> buffer;
  // The list may grow between the two calls.
  for (int attempt = 0; attempt < 4; ++attempt) {
    if (sp.EnumPrinters(flags, nullptr, 4, buffer.empty() ? nullptr : buffer.data(), DWORD(buffer.size()), &needed,
                        &count))
      break;
    if (GetLastError() != ERROR_INSUFFICIENT_BUFFER) return names;
    buffer.resize(needed);
    count = 0;
  }
  auto* info = reinterpret_cast<const PRINTER_INFO_4W*>(buffer.data());
  for (DWORD i = 0; i < count; ++i)
    if (info[i].pPrinterName) names.emplace_back(info[i].pPrinterName);
  return names;
}

String DefaultPrinterName() {
  const TSpooler& sp = Spooler();
  if (!sp.Loaded()) return String();
  DWORD size = 0;
  sp.GetDefaultPrinter(nullptr, &size);
  if (size == 0) return String();
  std::vector<wchar_t> name(size + 1, L'\0');
  if (!sp.GetDefaultPrinter(name.data(), &size)) return String();
  return String(name.data());
}

// The driver's settings for the printer with orientation and copies applied; empty when the
// driver gives none (the DC then gets the driver's defaults).
std::vector<BYTE> PrinterSettings(const String& name, TPrinterOrientation orientation, int copies) {
  std::vector<BYTE> result;
  const TSpooler& sp = Spooler();
  if (!sp.Loaded()) return result;
  std::vector<wchar_t> device(name.begin(), name.end());
  device.push_back(L'\0');
  HANDLE printer = nullptr;
  if (!sp.OpenPrinter(device.data(), &printer, nullptr)) return result;
  LONG size = sp.DocumentProperties(nullptr, printer, device.data(), nullptr, nullptr, 0);
  if (size > 0) {
    result.assign(size_t(size), 0);
    auto* dm = reinterpret_cast<DEVMODEW*>(result.data());
    if (sp.DocumentProperties(nullptr, printer, device.data(), dm, nullptr, DM_OUT_BUFFER) == IDOK) {
      dm->dmFields |= DM_ORIENTATION | DM_COPIES;
      dm->dmOrientation = orientation == poLandscape ? DMORIENT_LANDSCAPE : DMORIENT_PORTRAIT;
      dm->dmCopies = short(copies);
      // The driver merges the changes into settings it accepts.
      sp.DocumentProperties(nullptr, printer, device.data(), dm, dm, DM_IN_BUFFER | DM_OUT_BUFFER);
    } else {
      result.clear();
    }
  }
  sp.ClosePrinter(printer);
  return result;
}

[[noreturn]] void RaisePrinterError(const String& name, DWORD code) {
  throw EPrinter(Format(SRes::SPrinterError, {name, SysErrorMessage(code)}));
}

}  // namespace

// The printer's canvas asks the printer for its DC, so drawing outside a document still
// measures with the printer's fonts.
class TPrinterCanvas : public TCanvas {
  KW_CLASS(TPrinterCanvas, TCanvas)
  explicit TPrinterCanvas(TPrinter* printer) : FPrinter(printer) {}

protected:
  void CreateHandle() override {
    HDC dc = FPrinter->Handle();
    // Keep the size in points across the change of resolution.
    const int size = Font()->Size();
    Font()->SetPixelsPerInch(GetDeviceCaps(dc, LOGPIXELSY));
    Font()->SetSize(size);
    SetHandle(dc);
  }

private:
  TPrinter* FPrinter;
};

KW_REGISTER_CLASS(TPrinterCanvas, TCanvas)

TPrinter::TPrinter() : FPrinters(std::make_unique<TStringList>()) {}

TPrinter::~TPrinter() {
  if (FPrinting) {
    AbortDoc(FDC);
    EndPrinting();
  }
  FreeDC();
}

void TPrinter::CheckPrinting(bool printing) const {
  if (FPrinting != printing) throw EPrinter(printing ? SRes::SNotPrinting : SRes::SPrinting);
}

void TPrinter::FreeDC() {
  if (FCanvas) FCanvas->SetHandle(nullptr);
  if (FDC) KwDeleteDC(FDC);
  FDC = nullptr;
}

void TPrinter::EndPrinting() {
  FPrinting = false;
  FPageNumber = 0;
}

TStrings* TPrinter::Printers() {
  if (!FPrintersRead) {
    FPrinters->BeginUpdate();
    FPrinters->Clear();
    for (const String& name : EnumPrinterNames()) FPrinters->Add(name);
    FPrinters->EndUpdate();
    FPrintersRead = true;
  }
  return FPrinters.get();
}

void TPrinter::Refresh() {
  CheckPrinting(false);
  FreeDC();
  FPrintersRead = false;
  FPrinterIndex = -1;
}

int TPrinter::PrinterIndex() {
  if (FPrinterIndex >= 0) return FPrinterIndex;
  const String name = DefaultPrinterName();
  return name.empty() ? -1 : Printers()->IndexOf(name);
}

void TPrinter::SetPrinterIndex(int value) {
  CheckPrinting(false);
  if (value < -1 || value >= Printers()->Count()) throw EPrinter(SRes::SPrinterIndexError);
  if (value == FPrinterIndex) return;
  FreeDC();
  FPrinterIndex = value;
}

String TPrinter::PrinterName() {
  if (FPrinterIndex >= 0) {
    if (FPrinterIndex >= Printers()->Count()) throw EPrinter(SRes::SInvalidPrinter);
    return Printers()->Strings(FPrinterIndex);
  }
  String name = DefaultPrinterName();
  if (name.empty()) throw EPrinter(SRes::SNoDefaultPrinter);
  return name;
}

void TPrinter::SetOrientation(TPrinterOrientation value) {
  if (value == FOrientation) return;
  CheckPrinting(false);
  FreeDC();
  FOrientation = value;
}

void TPrinter::SetCopies(int value) {
  if (value < 1) value = 1;
  if (value == FCopies) return;
  CheckPrinting(false);
  FreeDC();
  FCopies = value;
}

void TPrinter::SetTitle(const String& value) {
  if (value != FTitle) FTitle = value;
}

void TPrinter::SetOutputFile(const String& value) {
  if (value != FOutputFile) FOutputFile = value;
}

HDC__* TPrinter::Handle() {
  if (FDC) return FDC;
  const String name = PrinterName();
  std::vector<BYTE> settings = PrinterSettings(name, FOrientation, FCopies);
  HDC dc = CreateDCW(L"WINSPOOL", name.c_str(), nullptr,
                     settings.empty() ? nullptr : reinterpret_cast<const DEVMODEW*>(settings.data()));
  if (!dc) RaisePrinterError(name, GetLastError());
  KwGdiCreated(gkDC);
  FDC = dc;
  return FDC;
}

TCanvas* TPrinter::Canvas() {
  if (!FCanvas) FCanvas = std::make_unique<TPrinterCanvas>(this);
  return FCanvas.get();
}

int TPrinter::PageWidth() { return GetDeviceCaps(Handle(), HORZRES); }

int TPrinter::PageHeight() { return GetDeviceCaps(Handle(), VERTRES); }

void TPrinter::BeginDoc() {
  CheckPrinting(false);
  HDC dc = Handle();
  DOCINFOW info{};
  info.cbSize = sizeof(info);
  info.lpszDocName = FTitle.c_str();
  info.lpszOutput = FOutputFile.empty() ? nullptr : FOutputFile.c_str();
  if (StartDocW(dc, &info) <= 0) {
    const DWORD code = GetLastError();
    FreeDC();
    RaisePrinterError(PrinterName(), code);
  }
  if (StartPage(dc) <= 0) {
    const DWORD code = GetLastError();
    AbortDoc(dc);
    FreeDC();
    RaisePrinterError(PrinterName(), code);
  }
  FPrinting = true;
  FAborted = false;
  FPageNumber = 1;
  Canvas()->Refresh();
}

void TPrinter::NewPage() {
  CheckPrinting(true);
  if (EndPage(FDC) <= 0 || StartPage(FDC) <= 0) {
    const DWORD code = GetLastError();
    Abort();
    RaisePrinterError(PrinterName(), code);
  }
  ++FPageNumber;
  // A new page may start with the DC's defaults; the canvas selects its tools again.
  Canvas()->Refresh();
}

void TPrinter::EndDoc() {
  CheckPrinting(true);
  const bool ok = EndPage(FDC) > 0 && ::EndDoc(FDC) > 0;
  const DWORD code = GetLastError();
  if (!ok) AbortDoc(FDC);
  EndPrinting();
  FreeDC();
  if (!ok) RaisePrinterError(PrinterName(), code);
}

void TPrinter::Abort() {
  CheckPrinting(true);
  AbortDoc(FDC);
  FAborted = true;
  EndPrinting();
  FreeDC();
}

namespace {

struct TPrinterHolder {
  std::mutex Lock;
  TPrinter* Object = nullptr;
  // The canvas's tools go back to the shared handle cache when the printer is freed at exit,
  // so the cache is made first and outlives the holder.
  TPrinterHolder() { KwResourceCount(gkPen); }
  ~TPrinterHolder() { FreeAndNil(Object); }
};

TPrinterHolder& Holder() {
  static TPrinterHolder holder;
  return holder;
}

}  // namespace

TPrinter* Printer() {
  TPrinterHolder& h = Holder();
  std::lock_guard<std::mutex> guard(h.Lock);
  if (!h.Object) h.Object = new TPrinter();
  return h.Object;
}

TPrinter* SetPrinter(TPrinter* newPrinter) {
  TPrinterHolder& h = Holder();
  std::lock_guard<std::mutex> guard(h.Lock);
  TPrinter* old = h.Object;
  h.Object = newPrinter;
  return old;
}

}  // namespace kw
