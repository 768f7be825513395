// Conversion between the binary form stream ("TPF0") and the text form file, both ways, and
// the file-level conversion used by the formconv tool. Component objects are not involved:
// the converters work on the stream encoding alone.
#pragma once

#include "host/Streams.h"

namespace kw {

enum TStreamOriginalFormat { sofUnknown, sofBinary, sofText, sofUTF8Text };

// Reads one binary component from input's position and appends its text to output. The text
// is ASCII unless names or identifiers hold other characters; then it is UTF-8 with a BOM.
// Nothing is written to output when input is bad (EReadError, EInvalidImage).
void ObjectBinaryToText(TStream& input, TStream& output);
// Reads the text of one component from input's position to its end and appends the binary
// form to output. Bad text raises EParserError "... on line N"; nothing is written then.
void ObjectTextToBinary(TStream& input, TStream& output);
// What stream holds at its position; the position is left unchanged.
TStreamOriginalFormat TestStreamFormat(TStream& stream);

// Converts a whole file, binary to text or text to binary as its content says, and writes
// the result through TSafeFileStream. Returns the format of the input. Failures carry the
// input file's name.
TStreamOriginalFormat ConvertFormFile(const String& inputName, const String& outputName);

}  // namespace kw
