// The COM face of the automation server: the class factory that COM calls for a client's
// create request, and the object it returns (IZ4Update90 with its four-slot table, IDispatch
// from the type information, ISupportErrorInfo).
#pragma once

#include "platform/automation.h"
#include "platform/win32/com_support.h"

namespace zarn::platform::win32 {

// A new class factory for the published class, with one reference for the caller.
IClassFactory* NewClassFactory(const AutomationClass& published, ITypeLib* library);

}  // namespace zarn::platform::win32
