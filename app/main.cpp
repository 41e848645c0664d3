// The program's entry: creates the main window, runs the message loop until the window has
// closed, and ends.
#include <exception>

#include "app/main_form.h"
#include "platform/dialogs.h"
#include "platform/message_loop.h"
#include "platform/system.h"

int main(int argc, char** argv) {
  zarn::platform::SetCommandLine(argc, argv);
  try {
    zarn::TfrmZarnUpdate form;
    zarn::platform::MessageLoop::Run();
    // 0: the pass stored its update time; 2: the user declined; 1: any other end.
    return form.ExitCode();
  } catch (const std::exception& error) {
    // The window could not be set up: say why and end, rather than stay hidden for ever.
    zarn::platform::ShowMessageBox(error.what(), zarn::TfrmZarnUpdate::kCaption,
                                   zarn::platform::kMbIconError);
    return 1;
  }
}
