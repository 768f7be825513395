// Version information read through version.dll, which is loaded when first needed so that
// programs link nothing for it. Only reading; a missing library reads as no information.
#include "host/Version.h"

#include <cwchar>

#include "host/Sysutils.h"
#include "host/Win.h"

namespace kw {

namespace {

struct TVersionApi {
  decltype(&::GetFileVersionInfoSizeW) GetSize = nullptr;
  decltype(&::GetFileVersionInfoW) GetInfo = nullptr;
  decltype(&::VerQueryValueW) QueryValue = nullptr;
  bool Loaded() const { return GetSize && GetInfo && QueryValue; }
};

template <class F>
void Resolve(HMODULE lib, F& fn, const char* name) {
  fn = reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(lib, name)));
}

const TVersionApi& VersionApi() {
  static const TVersionApi api = [] {
    TVersionApi a;
    if (HMODULE lib = LoadLibraryW(L"version.dll")) {
      Resolve(lib, a.GetSize, "GetFileVersionInfoSizeW");
      Resolve(lib, a.GetInfo, "GetFileVersionInfoW");
      Resolve(lib, a.QueryValue, "VerQueryValueW");
    }
    return a;
  }();
  return api;
}

TVersionNumber Split(DWORD ms, DWORD ls) {
  return TVersionNumber{HIWORD(ms), LOWORD(ms), HIWORD(ls), LOWORD(ls)};
}

String Hex4(unsigned v) {
  wchar_t buf[8];
  swprintf(buf, 8, L"%04X", v & 0xFFFF);
  return buf;
}

}  // namespace

const wchar_t* VersionFieldName(TVersionField field) {
  static const wchar_t* const names[VersionFieldCount] = {
      L"CompanyName",      L"FileDescription", L"FileVersion",    L"InternalName", L"LegalCopyright",
      L"OriginalFilename", L"ProductName",     L"ProductVersion", L"Comments"};
  int i = int(field);
  return i >= 0 && i < VersionFieldCount ? names[i] : L"";
}

String TVersionNumber::ToString() const {
  return IntToStr(Major) + L"." + IntToStr(Minor) + L"." + IntToStr(Release) + L"." + IntToStr(Build);
}

TFileVersionInfo::TFileVersionInfo(const String& fileName)
    : FFileName(fileName.empty() ? GetModuleFileNameStr() : fileName) {
  const TVersionApi& api = VersionApi();
  if (!api.Loaded() || FFileName.empty()) return;
  DWORD handle = 0;
  DWORD size = api.GetSize(FFileName.c_str(), &handle);
  if (size == 0) return;
  std::vector<Byte> data(size);
  if (!api.GetInfo(FFileName.c_str(), 0, size, data.data())) return;
  FData = std::move(data);

  const void* p = nullptr;
  unsigned len = 0;
  if (Query(L"\\", p, len) && p && len >= sizeof(VS_FIXEDFILEINFO)) {
    auto* fixed = static_cast<const VS_FIXEDFILEINFO*>(p);
    if (fixed->dwSignature == 0xFEEF04BD) {
      FHasFixed = true;
      FFileVersion = Split(fixed->dwFileVersionMS, fixed->dwFileVersionLS);
      FProductVersion = Split(fixed->dwProductVersionMS, fixed->dwProductVersionLS);
      FFileFlags = fixed->dwFileFlags & fixed->dwFileFlagsMask;
    }
  }

  // The first translation whose string block is there, then the two usual US English blocks;
  // a table naming a block the resource lacks would otherwise hide every string.
  std::vector<std::pair<Word, Word>> candidates;
  if (Query(L"\\VarFileInfo\\Translation", p, len) && p) {
    auto* pairs = static_cast<const Word*>(p);
    for (unsigned i = 0; i + 1 < len / sizeof(Word); i += 2) candidates.emplace_back(pairs[i], pairs[i + 1]);
  }
  candidates.emplace_back(0x0409, 1252);
  candidates.emplace_back(0x0409, 1200);
  FLanguage = candidates.front().first;
  FCodePage = candidates.front().second;
  for (auto [lang, cp] : candidates) {
    if (Query(L"\\StringFileInfo\\" + Hex4(lang) + Hex4(cp), p, len)) {
      FLanguage = lang;
      FCodePage = cp;
      break;
    }
  }
}

bool TFileVersionInfo::Query(const String& path, const void*& value, unsigned& size) const {
  if (FData.empty()) return false;
  void* out = nullptr;
  UINT n = 0;
  if (!VersionApi().QueryValue(FData.data(), path.c_str(), &out, &n)) return false;
  value = out;
  size = n;
  return true;
}

String TFileVersionInfo::TranslationKey() const { return Hex4(FLanguage) + Hex4(FCodePage); }

String TFileVersionInfo::Value(const String& name) const {
  const void* p = nullptr;
  unsigned len = 0;
  if (name.empty() || !Query(L"\\StringFileInfo\\" + TranslationKey() + L"\\" + name, p, len) || !p || len == 0) return String();
  // The length counts characters and usually the terminator; some writers leave it out.
  auto* text = static_cast<const wchar_t*>(p);
  return String(text, wcsnlen(text, len));
}

const TFileVersionInfo& KwProgramVersionInfo() {
  static const TFileVersionInfo info;
  return info;
}

}  // namespace kw
