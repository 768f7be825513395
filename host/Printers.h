// TPrinter: the installed printers, the one selected with its orientation and copies, and
// printing a document page by page on a canvas over the printer's DC. The process-wide
// printer is Printer(). Print and page-setup dialogs are not here.
#pragma once

#include <memory>

#include "host/Classes.h"
#include "host/Typinfo.h"

struct HDC__;

namespace kw {

class TCanvas;
class TStrings;

KW_EXCEPTION(EPrinter, Exception)

namespace SRes {
inline constexpr const wchar_t* SNoDefaultPrinter = L"There is no default printer currently selected";
inline constexpr const wchar_t* SPrinting = L"Printing in progress";
inline constexpr const wchar_t* SNotPrinting = L"Printer is not currently printing";
inline constexpr const wchar_t* SPrinterIndexError = L"Printer index out of range";
inline constexpr const wchar_t* SInvalidPrinter = L"Printer selected is not valid";
inline constexpr const wchar_t* SPrinterError = L"Printer %s: %s";
}  // namespace SRes

enum TPrinterOrientation { poPortrait, poLandscape };
KW_DECLARE_ENUM(TPrinterOrientation)

class TPrinter : public TObject {
  KW_CLASS(TPrinter, TObject)
  TPrinter();
  // Abandons a document still being printed.
  ~TPrinter() override;

  // Starts a document named Title and its first page. EPrinter when there is no printer,
  // when already printing, or when the spooler refuses the job.
  void BeginDoc();
  // Ends the last page and the document.
  void EndDoc();
  void NewPage();
  // Abandons the document; Aborted tells so until the next BeginDoc.
  void Abort();
  bool Printing() const { return FPrinting; }
  bool Aborted() const { return FAborted; }
  // The page being printed, from 1; 0 when not printing.
  int PageNumber() const { return FPageNumber; }

  // The names of the installed printers, read on first use; empty when there are none.
  TStrings* Printers();
  // Reads the printers again; the selection goes back to the default printer.
  void Refresh();
  // The selected printer's position in Printers; -1 when there is no printer. Setting -1
  // selects the default printer. EPrinter for an index out of range or while printing.
  int PrinterIndex();
  void SetPrinterIndex(int value);
  // The name of the selected printer; EPrinter SNoDefaultPrinter when there is none.
  String PrinterName();

  // Applied to the printer's settings when its DC is made; EPrinter while printing.
  TPrinterOrientation Orientation() const { return FOrientation; }
  void SetOrientation(TPrinterOrientation value);
  int Copies() const { return FCopies; }
  void SetCopies(int value);  // below 1 becomes 1
  // The document's name in the print queue.
  const String& Title() const { return FTitle; }
  void SetTitle(const String& value);
  // A file the document goes to instead of the printer's port; empty for the port.
  const String& OutputFile() const { return FOutputFile; }
  void SetOutputFile(const String& value);

  // The printable area in device pixels.
  int PageWidth();
  int PageHeight();
  // Draws on the printer's DC; its font is scaled to the printer's resolution.
  TCanvas* Canvas();
  // The selected printer's DC, made on first use (EPrinter when there is no printer).
  HDC__* Handle();

private:
  void CheckPrinting(bool printing) const;
  // Lets go of the DC (and the canvas's hold on it), so the next use makes it anew.
  void FreeDC();
  void EndPrinting();
  std::unique_ptr<TStrings> FPrinters;
  bool FPrintersRead = false;
  int FPrinterIndex = -1;  // -1: the default printer
  TPrinterOrientation FOrientation = poPortrait;
  int FCopies = 1;
  String FTitle;
  String FOutputFile;
  HDC__* FDC = nullptr;
  std::unique_ptr<TCanvas> FCanvas;
  bool FPrinting = false;
  bool FAborted = false;
  int FPageNumber = 0;
};

// The process-wide printer, made on first use and freed at exit.
TPrinter* Printer();
// Puts newPrinter (or a fresh one later, for null) in its place; returns the previous one,
// which is now the caller's. Sources that include <winspool.h> must undefine its SetPrinter
// macro to call this.
TPrinter* SetPrinter(TPrinter* newPrinter);

}  // namespace kw
