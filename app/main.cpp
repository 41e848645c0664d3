// The program's entry: starts the automation server (which may end the program at once for a
// register or unregister run), creates the main window, runs the message loop until the window
// has closed, and ends.
#include <exception>
#include <utility>

#include "app/main_form.h"
#include "automation/com_server.h"
#include "automation/z4update.h"
#include "platform/dialogs.h"
#include "platform/files.h"
#include "platform/message_loop.h"
#include "platform/system.h"

int main(int argc, char** argv) {
  zarn::platform::SetCommandLine(argc, argv);
  try {
    zarn::TComServer::Parts parts;
    parts.parameters = zarn::platform::CommandLineParameters();
    parts.module_path = zarn::platform::ExecutablePath();
    parts.library = zarn::Zarn4UpdateLibrary();
    zarn::TComServer server(std::move(parts));
    zarn::CreateZ4UpdateFactory(server);
    if (!server.StartComServer()) return 0;
    zarn::TfrmZarnUpdate form;
    zarn::platform::MessageLoop::Run();
    // 0: the pass stored its update time; 2: the user declined; 1: any other end.
    return form.ExitCode();
  } catch (const std::exception& error) {
    // The program could not be set up: say why and end, rather than stay hidden for ever.
    zarn::platform::ShowMessageBox(error.what(), zarn::TfrmZarnUpdate::kCaption,
                                   zarn::platform::kMbIconError);
    return 1;
  }
}
