// The Win32 API for the host's sources. Some Win32 macros share names with host routines
// (RegisterClass, DeleteFile, ...): they are undefined here, so include this, never
// <windows.h> directly, in any file that also uses the host.
#pragma once

#include <windows.h>

#undef RegisterClass
#undef DeleteFile
#undef GetObject
#undef CreateFont
#undef DrawText
#undef TextOut
#undef LoadIcon
#undef LoadCursor
#undef LoadBitmap
#undef CopyFile
#undef MoveFile
#undef GetMessage
#undef PostMessage
#undef SendMessage
#undef FindWindow
#undef RegisterClipboardFormat
#undef CreateWindow
#undef GetClassName
#undef GetClassInfo
#undef Yield
#undef GetRValue
#undef GetGValue
#undef GetBValue
#undef min
#undef max
