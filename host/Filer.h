// Component streaming: TFiler, TReader and TWriter over the host's published value encoding,
// from single typed values up to whole component trees with fix-ups and inheritance.
// The primitive values live in Filer.cpp, component reading in Reader.cpp, writing in Writer.cpp.
#pragma once

#include <functional>

#include "host/Events.h"
#include "host/Streams.h"

namespace kw {

class TPersistent;
class TComponent;
class TCollection;
class TReader;
class TWriter;
class Variant;
struct TTypeInfo;
struct TPropInfo;

// The value-type byte that precedes every value in a component stream.
enum TValueType : Byte {
  vaNull, vaList, vaInt8, vaInt16, vaInt32, vaExtended, vaString, vaIdent, vaFalse, vaTrue,
  vaBinary, vaSet, vaLString, vaNil, vaCollection, vaSingle, vaCurrency, vaDate, vaWString,
  vaInt64, vaUTF8String, vaDouble
};
constexpr int vaLast = vaDouble;

enum TFilerFlag { ffInherited, ffChildPos, ffInline };
using TFilerFlags = TSet<TFilerFlag>;

// The signature that opens a binary form stream.
constexpr char FilerSignature[4] = {'T', 'P', 'F', '0'};
// How deep components, lists and collections may nest before a reader gives up.
constexpr int MaxFilerNesting = 200;

// Converts between double and the 10-byte extended type of the stream encoding, exactly
// where the value fits a double (the nearest double, ties to even, otherwise).
void DoubleToExtended(double value, Byte out[10]);
double ExtendedToDouble(const Byte in[10]);

class TFiler : public TObject {
  KW_CLASS(TFiler, TObject)
  TFiler(TStream& stream, int bufSize);
  ~TFiler() override;

  TStream& Stream() { return FStream; }
  TComponent* Root() const { return FRoot; }
  virtual void SetRoot(TComponent* root) { FRoot = root; }
  TComponent* LookupRoot() const { return FLookupRoot; }
  // When set, only what differs from the ancestor object is written (writer), or the
  // object being read is known to start as a copy of it (reader).
  TPersistent* Ancestor() const { return FAncestor; }
  void SetAncestor(TPersistent* ancestor) { FAncestor = ancestor; }
  bool IgnoreChildren() const { return FIgnoreChildren; }
  void SetIgnoreChildren(bool v) { FIgnoreChildren = v; }

  // Called from DefineProperties. A reader calls readData when the stream holds the name;
  // a writer writes the name and calls writeData when hasData is true.
  virtual void DefineProperty(const String& name, const std::function<void(TReader&)>& readData,
                              const std::function<void(TWriter&)>& writeData, bool hasData) = 0;
  virtual void DefineBinaryProperty(const String& name, const std::function<void(TStream&)>& readData,
                                    const std::function<void(TStream&)>& writeData, bool hasData) = 0;
  virtual void FlushBuffer() = 0;

protected:
  TStream& FStream;
  std::vector<Byte> FBuffer;
  int FBufPos = 0;
  int FBufEnd = 0;
  TComponent* FRoot = nullptr;
  TComponent* FLookupRoot = nullptr;
  TPersistent* FAncestor = nullptr;
  bool FIgnoreChildren = false;
};

class TReader : public TFiler {
  KW_CLASS(TReader, TFiler)
  TReader(TStream& stream, int bufSize = 4096);
  // Leaves the stream just after the last value read.
  ~TReader() override;

  // --- Primitive values (Filer.cpp) ---
  void Read(void* buffer, Int64 count);  // raw bytes through the buffer; EReadError at the end
  TValueType ReadValue();
  TValueType NextValue();                // peeks
  void CheckValue(TValueType expected);  // reads one value type byte, raises when different
  bool EndOfList();                      // peeks for vaNull
  void ReadListBegin();
  void ReadListEnd();
  void SkipValue();                      // one whole value of any kind, nested ones included
  bool ReadBoolean();
  wchar_t ReadChar();
  Int64 ReadInt64();                     // any integer width
  int ReadInteger();                     // raises when the value does not fit 32 bits
  double ReadFloat();                    // extended, double, single or an integer
  float ReadSingle();
  double ReadDouble();
  Currency ReadCurrency();
  TDateTime ReadDate();
  String ReadIdent();                    // vaIdent, vaFalse, vaTrue, vaNil, vaNull as text
  String ReadString();                   // every string kind
  String ReadWideString() { return ReadString(); }
  String ReadStr();                      // a length-prefixed UTF-8 short string (names)
  Variant ReadVariant();
  UInt64 ReadSet(const TTypeInfo* setType);  // names of the set's element enumeration
  TBytes ReadBinary();                   // vaBinary value
  void ReadSignature();                  // "TPF0" or EInvalidImage
  void ReadPrefix(TFilerFlags& flags, int& childPos);
  // The logical position: the stream position of the next unread byte.
  Int64 Position() const;
  void SetPosition(Int64 pos);
  void FlushBuffer() override;           // gives unread buffered bytes back to the stream
  // Bytes left in the stream after the logical position (bounds every length read).
  Int64 Remaining() const;

  // --- Components (Reader.cpp) ---
  TComponent* ReadRootComponent(TComponent* root);  // nullptr: create from the class name
  TComponent* ReadComponent(TComponent* component);
  void ReadComponents(TComponent* owner, TComponent* parent, const std::function<void(TComponent*)>& proc);
  void ReadData(TComponent* instance);
  void ReadProperty(TPersistent* instance);
  void ReadCollection(TCollection* collection);
  void DefineProperty(const String& name, const std::function<void(TReader&)>& readData,
                      const std::function<void(TWriter&)>& writeData, bool hasData) override;
  void DefineBinaryProperty(const String& name, const std::function<void(TStream&)>& readData,
                            const std::function<void(TStream&)>& writeData, bool hasData) override;

  TComponent* Owner() const { return FOwner; }
  void SetOwner(TComponent* owner) { FOwner = owner; }
  TComponent* Parent() const { return FParent; }
  void SetParent(TComponent* parent) { FParent = parent; }
  void SetRoot(TComponent* root) override;

  // Fix-ups: component references read by name are resolved when references end.
  void BeginReferences();
  void FixupReferences();
  void EndReferences();

  // Handled set true accepts the fault and reading goes on past the value.
  TEvent<void(TReader& reader, const String& message, bool& handled)> OnError;
  TEvent<void(TReader& reader, const String& className, TClass& cls)> OnFindComponentClass;
  TEvent<void(TReader& reader, TClass cls, TComponent*& component)> OnCreateComponent;
  TEvent<void(TReader& reader, TComponent* component, String& name)> OnSetName;
  TEvent<void(TReader& reader, String& name)> OnReferenceName;
  TEvent<void(TReader& reader, const String& componentName, TClass cls, TComponent*& component)> OnAncestorNotFound;
  TEvent<void(TReader& reader, const String& methodName, bool& error)> OnFindMethod;

  // Raises EReadError with the message unless OnError accepts it.
  bool Error(const String& message);

private:
  void ReadBufferFill();
  void ReadPropValue(TPersistent* instance, const TPropInfo* prop);
  String ReadPropPath(TPersistent*& instance);
  int FDepth = 0;
  friend class TNestGuard;
  TComponent* FOwner = nullptr;
  TComponent* FParent = nullptr;
  TComponent* FReadingComponent = nullptr;  // whose properties are being read, for messages
  String FPropName;                          // the defined property being looked for
  TComponent* CreateChild(const String& className, const String& name, TFilerFlags flags);
  TComponent* ResolveReference(const String& name) const;
  std::vector<TComponent*> FLoaded;   // in reading order, for Loaded
  std::vector<TComponent*> FCreated;  // made by this reader, freed again if reading fails
  struct TFixup {
    TPersistent* Instance;
    TComponent* Component;  // the component being read when the reference was met
    const TPropInfo* Prop;
    String Name;
  };
  std::vector<TFixup> FFixups;
  int FReferenceLevel = 0;
};

class TWriter : public TFiler {
  KW_CLASS(TWriter, TFiler)
  TWriter(TStream& stream, int bufSize = 4096);
  // Flushes what is buffered, so the stream ends just after the last value written.
  ~TWriter() override;

  // --- Primitive values (Filer.cpp) ---
  void Write(const void* buffer, Int64 count);
  void WriteValue(TValueType value);
  void WriteListBegin() { WriteValue(vaList); }
  void WriteListEnd() { WriteValue(vaNull); }
  void WriteBoolean(bool value);
  void WriteChar(wchar_t value);
  void WriteInteger(Int64 value);  // the smallest of 8, 16, 32 bits, 64 beyond
  void WriteFloat(double value);   // as the 10-byte extended type
  void WriteSingle(float value);
  void WriteDouble(double value);
  void WriteCurrency(Currency value);
  void WriteDate(TDateTime value);
  void WriteIdent(const String& ident);  // True/False/nil/Null become their own value types
  void WriteString(const String& value); // ASCII as a short or long string, else UTF-8 or UTF-16, the smaller
  void WriteWideString(const String& value);
  void WriteUTF8Str(const String& value);
  void WriteStr(const String& value);    // short UTF-8 string, at most 255 bytes
  void WriteVariant(const Variant& value);
  void WriteSet(const TTypeInfo* setType, UInt64 bits);
  void WriteBinary(const void* data, Int64 count);
  void WriteSignature();
  void WritePrefix(TFilerFlags flags, int childPos);
  Int64 Position() const;
  void FlushBuffer() override;

  // --- Components (Writer.cpp) ---
  void WriteRootComponent(TComponent* root);
  void WriteDescendent(TComponent* root, TComponent* ancestor);
  void WriteComponent(TComponent* component);
  void WriteProperties(TPersistent* instance);
  void WriteCollection(TCollection* collection);
  // Writes the component's header, properties and children (what WriteState calls).
  void WriteData(TComponent* instance);
  void DefineProperty(const String& name, const std::function<void(TReader&)>& readData,
                      const std::function<void(TWriter&)>& writeData, bool hasData) override;
  void DefineBinaryProperty(const String& name, const std::function<void(TStream&)>& readData,
                            const std::function<void(TStream&)>& writeData, bool hasData) override;
  void SetRoot(TComponent* root) override;
  TComponent* RootAncestor() const { return FRootAncestor; }
  void SetRootAncestor(TComponent* a) { FRootAncestor = a; }

private:
  void WriteProperty(TPersistent* instance, const TPropInfo* prop);
  void WritePropName(const String& name);
  void WriteBuffer();
  String ReferenceName(TComponent* component) const;
  void WriteChild(TComponent* child);
  String FPropPath;
  TComponent* FRootAncestor = nullptr;
  std::vector<TComponent*> FAncestorList;
  bool FHasAncestorList = false;
  int FChildPos = 0;      // position of the child being written among its siblings
  bool FUseChildPos = false;
};

// Roots that references of other roots ("Form2.Button1") may be resolved against. The
// application's screen registers a finder; references to roots not loaded yet wait in a global
// list until GlobalFixupReferences finds them.
using TFindGlobalComponent = TComponent* (*)(const String& name);
void RegisterFindGlobalComponentProc(TFindGlobalComponent proc);
void UnregisterFindGlobalComponentProc(TFindGlobalComponent proc);
TComponent* FindGlobalComponent(const String& name);
void GlobalFixupReferences();
// Drops pending references of a dying component (TComponent's destructor calls it).
void RemoveFixups(TComponent* component);
int PendingFixupCount();

}  // namespace kw
