// The one way the back end includes the Windows headers, in the order they need. A few of their
// ANSI/Unicode macros carry the names of the program's own functions (DeleteFile, FormatMessage);
// they are removed here so that the program's names keep their meaning in every file of the back
// end.
#pragma once

#include <windows.h>
// The shell and common-control headers need the base types above.
#include <commctrl.h>
#include <shellapi.h>

#undef DeleteFile
#undef FormatMessage
