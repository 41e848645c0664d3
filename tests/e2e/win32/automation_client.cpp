// A client of the updater's automation server, as the suite's programs are: it creates the class
// through its ProgID and calls Request late-bound and through the interface's own table. Prints
// one "name: value" line per fact; the driving script judges them.
//
//   automation_client activate [LOG]    COM starts the program; the client answers No to the
//                                       close question (reporting whether the file LOG is
//                                       there by then), then releases, waits for the end and
//                                       tells whether the end wrote LOG again
//   automation_client attach PROGRAM    starts PROGRAM itself, connects, releases, and reports
//                                       whether the program is still running; then waits for
//                                       it to end (the script ends its update pass)
#include <windows.h>
// The OLE header needs the base types above.
#include <ole2.h>

#include <cstdio>
#include <string>

#include "notify_icon.h"

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"
// The type library's ids are defined here, once.
#include <initguid.h>
#include "zarn4update_idl.h"
#pragma GCC diagnostic pop

namespace {

constexpr const char* kWindowCaption = "ZARN4 Program Update";
constexpr const char* kQuestionCaption = "COM Server Warning";

// Polls until check() holds or limit_ms has passed, pumping this thread's messages meanwhile.
template <typename Check>
bool WaitFor(Check check, DWORD limit_ms) {
  const DWORD start = GetTickCount();
  while (!check()) {
    if (GetTickCount() - start >= limit_ms) return false;
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
    Sleep(20);
  }
  return true;
}

void Fact(const char* name, const std::string& value) {
  std::printf("%s: %s\n", name, value.c_str());
  std::fflush(stdout);
}

std::string Hex(HRESULT result) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08lX", static_cast<unsigned long>(result));
  return text;
}

struct IconSearch {
  DWORD process_id;
  bool found;
};

BOOL CALLBACK LookForIcon(HWND window, LPARAM context) {
  auto& search = *reinterpret_cast<IconSearch*>(context);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  if (owner == search.process_id && IconExists(window)) search.found = true;
  return search.found ? FALSE : TRUE;
}

// The program's process, found through its main window; null when there is none.
HANDLE ProgramProcess() {
  HWND window = nullptr;
  if (!WaitFor([&] { return (window = FindWindowA(nullptr, kWindowCaption)) != nullptr; }, 15000)) {
    return nullptr;
  }
  DWORD id = 0;
  GetWindowThreadProcessId(window, &id);
  return OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION, FALSE, id);
}

bool Running(HANDLE process) {
  return WaitForSingleObject(process, 0) == WAIT_TIMEOUT;
}

// Request through IDispatch, looked up by name: the dispatch id and the call's result.
void CallLateBound(IDispatch* dispatch) {
  OLECHAR name[] = L"Request";
  LPOLESTR names[] = {name};
  DISPID id = 0;
  const HRESULT looked_up = dispatch->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
  Fact("dispid of Request", looked_up == S_OK ? std::to_string(id) : Hex(looked_up));
  VARIANT arguments[3];  // last argument first
  VariantInit(&arguments[0]);
  arguments[0].vt = VT_BSTR;
  arguments[0].bstrVal = SysAllocString(L"text");
  VariantInit(&arguments[1]);
  arguments[1].vt = VT_I4;
  arguments[1].lVal = 7;
  VariantInit(&arguments[2]);
  arguments[2].vt = VT_I4;
  arguments[2].lVal = 42;
  DISPPARAMS parameters{arguments, nullptr, 3, 0};
  VARIANT result;
  VariantInit(&result);
  const HRESULT invoked = dispatch->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD,
                                           &parameters, &result, nullptr, nullptr);
  Fact("late-bound Request", Hex(invoked));
  VariantClear(&arguments[0]);
  VariantClear(&result);
}

// The type information the object offers: its count and what index 1 gives.
void AskTypeInfo(IDispatch* dispatch) {
  UINT count = 0;
  dispatch->GetTypeInfoCount(&count);
  Fact("type info count", std::to_string(count));
  ITypeInfo* info = nullptr;
  Fact("type info 1", Hex(dispatch->GetTypeInfo(1, LOCALE_USER_DEFAULT, &info)));
  if (info != nullptr) info->Release();
}

// Request through the interface's own table.
void CallEarlyBound(IUnknown* object) {
  IZ4Update90* update = nullptr;
  const HRESULT queried =
      object->QueryInterface(IID_IZ4Update90, reinterpret_cast<void**>(&update));
  if (FAILED(queried)) {
    Fact("table Request", "no interface " + Hex(queried));
    return;
  }
  BSTR text = SysAllocString(L"text");
  Fact("table Request", Hex(update->Request(42, 7, text)));
  SysFreeString(text);
  update->Release();
}

IDispatch* CreateObject() {
  CLSID class_id{};
  const HRESULT found = CLSIDFromProgID(L"zarn4update.Z4Update", &class_id);
  if (FAILED(found)) {
    Fact("progid", Hex(found));
    return nullptr;
  }
  Fact("progid class", IsEqualCLSID(class_id, CLSID_Z4Update) ? "yes" : "no");
  IDispatch* dispatch = nullptr;
  const DWORD start = GetTickCount();
  const HRESULT created = CoCreateInstance(class_id, nullptr, CLSCTX_LOCAL_SERVER, IID_IDispatch,
                                           reinterpret_cast<void**>(&dispatch));
  Fact("create", Hex(created));
  Fact("create ms", std::to_string(GetTickCount() - start));
  return SUCCEEDED(created) ? dispatch : nullptr;
}

// Answers the close question with the button, if it is up; true when it was.
bool AnswerQuestion(int button) {
  HWND question = FindWindowA(nullptr, kQuestionCaption);
  if (question == nullptr) return false;
  SendMessageA(question, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED),
               reinterpret_cast<LPARAM>(GetDlgItem(question, button)));
  WaitFor([&] { return !IsWindow(question); }, 5000);
  return true;
}

// Waits for the program to end; reports when and with which exit code. A close question that
// comes up meanwhile is answered with answer (0: left alone).
void AwaitEnd(HANDLE process, DWORD limit_ms, const char* fact, int answer = 0) {
  const DWORD start = GetTickCount();
  const bool ended = WaitFor(
      [&] {
        if (answer != 0 && AnswerQuestion(answer)) Fact("close question answered", "yes");
        return !Running(process);
      },
      limit_ms);
  Fact(fact, ended ? "yes" : "no");
  if (!ended) return;
  Fact("end ms", std::to_string(GetTickCount() - start));
  DWORD code = 0;
  GetExitCodeProcess(process, &code);
  Fact("exit code", std::to_string(code));
}

// The file's size and time of last change, or nothing when it is not there.
std::string FileStamp(const char* path) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!GetFileAttributesExA(path, GetFileExInfoStandard, &data)) return "absent";
  return std::to_string(data.nFileSizeLow) + " " +
         std::to_string(data.ftLastWriteTime.dwHighDateTime) + ":" +
         std::to_string(data.ftLastWriteTime.dwLowDateTime);
}

// log: the program's log file, which must be on disk once the close question is up ("" to skip).
int Activate(const std::string& log) {
  IDispatch* dispatch = CreateObject();
  if (dispatch == nullptr) return 1;
  HANDLE process = ProgramProcess();
  Fact("program window", process != nullptr ? "yes" : "no");
  if (process == nullptr) return 1;
  DWORD id = GetProcessId(process);
  IconSearch search{id, false};
  const bool icon = WaitFor(
      [&] {
        EnumWindows(LookForIcon, reinterpret_cast<LPARAM>(&search));
        return search.found;
      },
      15000);
  Fact("icon", icon ? "yes" : "no");
  AskTypeInfo(dispatch);
  CallLateBound(dispatch);
  CallEarlyBound(dispatch);

  // The update pass ends and the program closes its window while this client holds an object.
  const bool asked =
      WaitFor([&] { return FindWindowA(nullptr, kQuestionCaption) != nullptr; }, 30000);
  Fact("close question", asked ? "yes" : "no");
  if (asked) {
    if (!log.empty()) {
      Fact("log at the question",
           GetFileAttributesA(log.c_str()) != INVALID_FILE_ATTRIBUTES ? "yes" : "no");
    }
    AnswerQuestion(IDNO);
    Sleep(1000);
    Fact("running after No", Running(process) ? "yes" : "no");
    CallEarlyBound(dispatch);
  }
  const std::string before_release = FileStamp(log.c_str());
  dispatch->Release();
  AwaitEnd(process, 15000, "ended after release");
  // The last release ends the program without the window's close, which saves the log.
  Fact("log written at the end", FileStamp(log.c_str()) == before_release ? "no" : "yes");
  CloseHandle(process);
  return 0;
}

int Attach(const char* program) {
  std::string command_line = "\"";
  command_line += program;
  command_line += '"';
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION started{};
  if (!CreateProcessA(nullptr, command_line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &started)) {
    Fact("start", "error " + std::to_string(GetLastError()));
    return 1;
  }
  CloseHandle(started.hThread);
  HANDLE own = ProgramProcess();
  Fact("program window", own != nullptr ? "yes" : "no");
  if (own != nullptr) CloseHandle(own);
  IDispatch* dispatch = CreateObject();
  if (dispatch != nullptr) {
    CallLateBound(dispatch);
    dispatch->Release();
    Sleep(1500);
    Fact("running after release", Running(started.hProcess) ? "yes" : "no");
  }
  // The script now lets the update pass end; the program then closes by itself. Should the
  // pass have ended while this client held its object, the question is up: Yes ends it.
  std::printf("waiting for the end\n");
  std::fflush(stdout);
  AwaitEnd(started.hProcess, 60000, "ended", IDYES);
  CloseHandle(started.hProcess);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string command = argc > 1 ? argv[1] : "";
  if (command != "activate" && !(command == "attach" && argc > 2)) {
    std::printf("usage: automation_client activate [LOG] | attach PROGRAM\n");
    return 2;
  }
  if (FAILED(CoInitialize(nullptr))) return 1;
  const int status = command == "activate" ? Activate(argc > 2 ? argv[2] : "") : Attach(argv[2]);
  CoUninitialize();
  return status;
}
