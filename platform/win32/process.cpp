// Starting programs hidden through the shell, as the suite's registration tool is started.
#include "platform/process.h"

#include <string>

#include "platform/win32/window_class.h"

namespace zarn::platform {

namespace {

static_assert(sizeof(SHELLEXECUTEINFOA) == (sizeof(void*) == 4 ? 60 : 112),
              "the shell's execute record");

class Win32ChildProcess final : public ChildProcess {
 public:
  explicit Win32ChildProcess(HANDLE process) : process_(process) {}
  ~Win32ChildProcess() override {
    if (process_ != nullptr) CloseHandle(process_);
  }
  Win32ChildProcess(const Win32ChildProcess&) = delete;
  Win32ChildProcess& operator=(const Win32ChildProcess&) = delete;

  // The process object is signalled when the process ends. Its exit code alone cannot tell:
  // a program may end with the code STILL_ACTIVE (259) and would then look alive for ever.
  bool Running() override {
    return process_ != nullptr && WaitForSingleObject(process_, 0) == WAIT_TIMEOUT;
  }

  std::intptr_t WaitHandle() const override { return reinterpret_cast<std::intptr_t>(process_); }

 private:
  HANDLE process_;
};

}  // namespace

std::unique_ptr<ChildProcess> StartHidden(std::string_view file, std::string_view parameters,
                                          std::string_view folder, std::uint32_t& error) {
  const std::string file_text(file);
  const std::string parameter_text(parameters);
  const std::string folder_text(folder);
  SHELLEXECUTEINFOA info{};
  info.cbSize = sizeof info;
  // The shell must not put up an error box of its own: a failed start is reported to the caller
  // by its error code, and the update runs unattended in the background.
  info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI;
  info.hwnd = win32::CurrentMainWindow();
  info.lpVerb = nullptr;
  info.lpFile = file_text.c_str();
  info.lpParameters = parameter_text.c_str();
  info.lpDirectory = folder_text.c_str();
  info.nShow = SW_HIDE;
  if (!ShellExecuteExA(&info)) {
    error = GetLastError();
    return nullptr;
  }
  return std::make_unique<Win32ChildProcess>(info.hProcess);
}

}  // namespace zarn::platform
