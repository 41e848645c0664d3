// The suite's two resident programs, which must not run while their files are replaced: the
// main program (window class "TZARN4MF", "zarn4.exe") and the network program ("TfrmZarnNet",
// "zarn4net.exe"). They are closed before installing and started again at the end of the pass,
// each only if it was running.
#pragma once

#include <string>
#include <string_view>

#include "app/status_sink.h"
#include "platform/window_messages.h"

namespace zarn {

class CompanionPrograms {
 public:
  // `owner` is the window that owns the restarted programs' start. The closed flags live where
  // the caller keeps them (the main window's MainProgramClosed and NetProgramClosed), or in the
  // object itself.
  CompanionPrograms(StatusSink& status, platform::WindowId owner, bool& main_program_closed,
                    bool& net_program_closed)
      : status_(status),
        owner_(owner),
        main_program_closed_(main_program_closed),
        net_program_closed_(net_program_closed) {}
  CompanionPrograms(StatusSink& status, platform::WindowId owner)
      : CompanionPrograms(status, owner, own_flags_[0], own_flags_[1]) {}
  CompanionPrograms(const CompanionPrograms&) = delete;
  CompanionPrograms& operator=(const CompanionPrograms&) = delete;

  // Closes the program if it runs and waits, window messages flowing, until it has gone; there
  // is no time limit. Always true.
  bool CloseMainProgram();
  bool CloseNetProgram();
  // Start the program again from the program folder (which ends in a path delimiter). A start
  // that fails leaves only the status line.
  void RestartMainProgram(std::string_view program_folder);
  void RestartNetProgram(std::string_view program_folder);
  // The restarts at the end of a pass: the network program first, then the main program, each
  // only if it was closed.
  void RestartClosedPrograms(std::string_view program_folder);

  bool MainProgramClosed() const { return main_program_closed_; }
  bool NetProgramClosed() const { return net_program_closed_; }

 private:
  StatusSink& status_;
  platform::WindowId owner_;
  bool own_flags_[2] = {false, false};
  bool& main_program_closed_;
  bool& net_program_closed_;
};

}  // namespace zarn
