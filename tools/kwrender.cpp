// kwrender: renders a JSON job (an image size, a background colour and a list of calls of the
// rendering routines with their arguments by name) into a PNG. Routines that read style sets or
// descriptors are not offered; images are refused until image packages can resolve them.
#include <cstdio>
#include <exception>
#include <functional>
#include <map>
#include <set>
#include <string>

#include <nlohmann/json.hpp>

#include "host/Bitmap.h"
#include "host/Exceptions.h"
#include "host/Imaging.h"
#include "host/Streams.h"
#include "host/Sysutils.h"
#include "skin/Kwdrawutil.h"

using namespace kw;
using json = nlohmann::json;

namespace {

// A fault in the job: the message names the call and the member.
struct TJobError {
  std::string Message;
};

class TCall {
public:
  TCall(const json& j, size_t index, const String& jobDir) : FJ(j), FJobDir(jobDir) {
    FName = j.at("call").get<std::string>();
    FWhere = "call " + std::to_string(index + 1) + " (" + FName + ")";
  }
  const std::string& Name() const { return FName; }
  [[noreturn]] void Fail(const std::string& member, const std::string& what) const {
    throw TJobError{FWhere + (member.empty() ? "" : ": member '" + member + "'") + ": " + what};
  }
  // Every member the routine knows is named here before it is read; the rest are faults.
  void Allow(std::initializer_list<const char*> names) {
    for (const char* n : names) FAllowed.insert(n);
  }
  void CheckMembers() const {
    for (auto it = FJ.begin(); it != FJ.end(); ++it)
      if (it.key() != "call" && !FAllowed.count(it.key())) Fail(it.key(), "unknown member");
  }

  TRect Rect(const char* m) const {
    const json* v = Find(m);
    if (!v) Fail(m, "missing");
    if (!v->is_array() || v->size() != 4) Fail(m, "must be [left, top, right, bottom]");
    int c[4];
    for (int i = 0; i < 4; i++) {
      if (!(*v)[size_t(i)].is_number_integer()) Fail(m, "must be [left, top, right, bottom] of integers");
      c[i] = (*v)[size_t(i)].get<int>();
    }
    return TRect(c[0], c[1], c[2], c[3]);
  }
  int Int(const char* m, int def) const {
    const json* v = Find(m);
    if (!v) return def;
    if (!v->is_number_integer()) Fail(m, "must be an integer");
    return v->get<int>();
  }
  bool Bool(const char* m, bool def) const {
    const json* v = Find(m);
    if (!v) return def;
    if (!v->is_boolean()) Fail(m, "must be true or false");
    return v->get<bool>();
  }
  TColor Color(const char* m, TColor def) const {
    const json* v = Find(m);
    if (!v) return def;
    if (!v->is_string()) Fail(m, "must be a colour name such as \"clWhite\" or \"$BBGGRR\"");
    return ParseColor(*v, m, FWhere);
  }
  template <class E>
  E Enum(const char* m, E def) const {
    const json* v = Find(m);
    if (!v) return def;
    const TTypeInfo* type = TypeInfoOf<E>();
    if (!v->is_string()) Fail(m, "must be a member name of " + UTF8Encode(type->Name));
    int value = GetEnumValue(type, UTF8ToString(v->get<std::string>()));
    if (value < 0) Fail(m, "'" + v->get<std::string>() + "' is not a member of " + UTF8Encode(type->Name));
    return E(value);
  }
  const TKwMemoryImage* Image(const char* m) const {
    const json* v = Find(m);
    if (!v || v->is_null()) return nullptr;
    if (!v->is_object() || !v->contains("file") || !(*v)["file"].is_string() || v->size() != 1)
      Fail(m, "must be {\"file\": \"name.png\"}");
    String file = UTF8ToString((*v)["file"].get<std::string>());
    if (ExtractFileDrive(file).empty() && !file.empty() && file[0] != L'\\' && file[0] != L'/')
      file = FJobDir + file;
    try {
      TFileStream probe(file, fmOpenRead | fmShareDenyWrite);
    } catch (const Exception& e) {
      Fail(m, "cannot read " + UTF8Encode(file) + ": " + UTF8Encode(e.Message()));
    }
    Fail(m, "images are resolved by the application controller, which this program does not have yet");
  }

  static TColor ParseColor(const json& v, const std::string& member, const std::string& where = {}) {
    String text = UTF8ToString(v.get<std::string>());
    try {
      return StringToColor(text);
    } catch (const Exception&) {
      throw TJobError{where + (where.empty() ? "" : ": ") + "member '" + member + "': '" + UTF8Encode(text) +
                      "' is not a colour"};
    }
  }

private:
  const json* Find(const char* m) const {
    auto it = FJ.find(m);
    return it == FJ.end() ? nullptr : &*it;
  }
  const json& FJ;
  String FJobDir;
  std::string FName, FWhere;
  std::set<std::string> FAllowed;
};

TPenStyle HostPenStyle(const TCall& c, const char* m, TPenStyle def, const json& j) {
  auto it = j.find(m);
  if (it == j.end()) return def;
  if (!it->is_string()) c.Fail(m, "must be a member name of TPenStyle");
  int v = GetEnumValue(TypeInfoOf<TPenStyle>(), UTF8ToString(it->get<std::string>()));
  if (v < 0) c.Fail(m, "'" + it->get<std::string>() + "' is not a member of TPenStyle");
  return TPenStyle(v);
}

void RunCall(TCanvas* canvas, const json& j, size_t index, const String& jobDir) {
  if (!j.is_object()) throw TJobError{"call " + std::to_string(index + 1) + ": must be an object"};
  if (!j.contains("call") || !j["call"].is_string())
    throw TJobError{"call " + std::to_string(index + 1) + ": member 'call' must name a routine"};
  TCall c(j, index, jobDir);
  const std::string& n = c.Name();
  if (n == "KwDrawGradient") {
    c.Allow({"r", "style", "start", "end", "solid", "image", "transparent", "maxSteps"});
    c.CheckMembers();
    KwDrawGradient(canvas, c.Rect("r"), c.Enum("style", bgsDown), c.Color("start", clWhite), c.Color("end", clBlack),
                   c.Color("solid", clBtnFace), c.Image("image"), c.Bool("transparent", false), c.Int("maxSteps", 0));
  } else if (n == "KwDrawGradientShape") {
    c.Allow({"r", "style", "start", "end", "solid", "shape", "reflection", "orientation", "image", "transparent",
             "penWidth", "penStyle", "down", "maxSteps"});
    c.CheckMembers();
    KwDrawGradientShape(canvas, c.Rect("r"), c.Enum("style", bgsDown), c.Color("start", clWhite),
                        c.Color("end", clBlack), c.Color("solid", clBtnFace), c.Enum("shape", shaRectangle),
                        c.Bool("reflection", false), c.Enum("orientation", sorDefault), c.Image("image"),
                        c.Bool("transparent", false), c.Int("penWidth", 1), c.Enum("penStyle", pesSolid),
                        c.Bool("down", false), c.Int("maxSteps", 0));
  } else if (n == "KwDrawSolidShape") {
    c.Allow({"r", "drawStyle", "shape", "reflection", "orientation", "brushStyle", "brushColor", "penStyle",
             "penColor", "penWidth"});
    c.CheckMembers();
    KwDrawSolidShape(canvas, c.Rect("r"), c.Enum("drawStyle", dssSolid), c.Enum("shape", shaRectangle),
                     c.Bool("reflection", false), c.Enum("orientation", sorDefault), c.Enum("brushStyle", brsSolid),
                     c.Color("brushColor", clWhite), c.Enum("penStyle", pesSolid), c.Color("penColor", clBlack),
                     c.Int("penWidth", 1));
  } else if (n == "KwDrawShapeEx") {
    c.Allow({"r", "shape", "reflection", "orientation", "penColor", "penWidth", "penStyle", "brushColor",
             "brushStyle"});
    c.CheckMembers();
    TRect r = c.Rect("r");
    canvas->Pen()->SetColor(c.Color("penColor", clBlack));
    canvas->Pen()->SetWidth(c.Int("penWidth", 1));
    canvas->Pen()->SetStyle(HostPenStyle(c, "penStyle", psSolid, j));
    canvas->Brush()->SetColor(c.Color("brushColor", clWhite));
    canvas->Brush()->SetStyle(c.Enum("brushStyle", bsSolid));
    KwDrawShapeEx(canvas, r, c.Enum("shape", shaRectangle), c.Bool("reflection", false),
                  c.Enum("orientation", sorDefault), nullptr);
  } else if (n == "KwDrawBox") {
    c.Allow({"r", "topLeft", "bottomRight", "down"});
    c.CheckMembers();
    KwDrawBox(canvas, c.Rect("r"), c.Color("topLeft", clBtnHighlight), c.Color("bottomRight", clBtnShadow),
              c.Bool("down", false));
  } else if (n == "KwDrawDirection") {
    c.Allow({"r", "direction", "color"});
    c.CheckMembers();
    KwDrawDirection(c.Rect("r"), canvas, c.Enum("direction", mvdMove), c.Color("color", clBlack));
  } else if (n == "KwDrawGridLines") {
    c.Allow({"r", "lineColor", "boxColor", "step", "drawLines", "drawBox", "linesInverted", "boxInverted"});
    c.CheckMembers();
    KwDrawGridLines(canvas, c.Rect("r"), c.Color("lineColor", clGray), c.Color("boxColor", clBlack),
                    c.Int("step", 4), c.Bool("drawLines", true), c.Bool("drawBox", true),
                    c.Bool("linesInverted", false), c.Bool("boxInverted", false));
  } else if (n == "KwPaintCorners") {
    c.Allow({"r", "width", "height", "length", "angleDegrees"});
    c.CheckMembers();
    TRect r = c.Rect("r");
    KwPaintCorners(canvas, r, c.Int("width", r.Width()), c.Int("height", r.Height()), c.Int("length", 4),
                   c.Int("angleDegrees", 0));
  } else if (n == "KwPaintLimits") {
    c.Allow({"r", "width", "height", "span", "markSize", "alignment", "angleDegrees"});
    c.CheckMembers();
    TRect r = c.Rect("r");
    KwPaintLimits(canvas, r, c.Int("width", r.Width()), c.Int("height", r.Height()), c.Int("span", 0),
                  c.Int("markSize", 4), c.Enum("alignment", aliLeft), c.Int("angleDegrees", 0));
  } else {
    c.Fail("", "unknown routine");
  }
}

constexpr int MaxSide = 8192;

void Render(const String& jobFile, const String& outFile) {
  std::string text;
  {
    TFileStream in(jobFile, fmOpenRead | fmShareDenyWrite);
    text.resize(size_t(in.Size()));
    if (!text.empty()) in.ReadBuffer(text.data(), Int64(text.size()));
  }
  json job;
  try {
    job = json::parse(text);
  } catch (const json::parse_error& e) {
    throw TJobError{std::string("not JSON: ") + e.what()};
  }
  if (!job.is_object()) throw TJobError{"the job must be an object"};
  for (auto it = job.begin(); it != job.end(); ++it)
    if (it.key() != "width" && it.key() != "height" && it.key() != "background" && it.key() != "calls")
      throw TJobError{"member '" + it.key() + "': unknown member"};
  auto side = [&](const char* m) {
    if (!job.contains(m) || !job[m].is_number_integer()) throw TJobError{std::string("member '") + m + "' must be an integer"};
    int v = job[m].get<int>();
    if (v < 1 || v > MaxSide) throw TJobError{std::string("member '") + m + "' must be 1 to " + std::to_string(MaxSide)};
    return v;
  };
  int w = side("width"), h = side("height");
  TColor background = clWhite;
  if (job.contains("background")) {
    if (!job["background"].is_string()) throw TJobError{"member 'background' must be a colour name"};
    background = TCall::ParseColor(job["background"], "background");
  }
  if (job.contains("calls") && !job["calls"].is_array()) throw TJobError{"member 'calls' must be a list"};
  TBitmap bmp(w, h);
  bmp.SetPixelFormat(pf24bit);
  TCanvas* canvas = bmp.Canvas();
  canvas->Brush()->SetColor(background);
  canvas->FillRect(TRect(0, 0, w, h));
  String dir = ExtractFilePath(jobFile);
  if (job.contains("calls"))
    for (size_t i = 0; i < job["calls"].size(); i++) {
      // Each call starts from the same canvas, so one call's pen does not leak into the next.
      canvas->Pen()->SetColor(clBlack);
      canvas->Pen()->SetWidth(1);
      canvas->Pen()->SetStyle(psSolid);
      canvas->Brush()->SetColor(clWhite);
      canvas->Brush()->SetStyle(bsSolid);
      RunCall(canvas, job["calls"][i], i, dir);
    }
  TPngImage png;
  png.Assign(&bmp);
  png.SaveToFile(outFile);
}

void PrintError(const std::string& message) { std::fputs(("kwrender: " + message + "\n").c_str(), stderr); }

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 3) {
    PrintError("usage: kwrender JOB.json OUT.png");
    return 2;
  }
  String job = argv[1], out = argv[2];
  try {
    Render(job, out);
  } catch (const TJobError& e) {
    PrintError(UTF8Encode(job) + ": " + e.Message);
    return 1;
  } catch (const Exception& e) {
    PrintError(UTF8Encode(job) + ": " + UTF8Encode(e.Message()));
    return 1;
  } catch (const std::exception& e) {
    PrintError(UTF8Encode(job) + ": " + e.what());
    return 1;
  }
  return 0;
}
