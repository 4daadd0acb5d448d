// Running an installer: the process is started with the tool's environment and current
// folder, its window (if any) shown normally, and waited for without a time limit while the
// GUI thread goes on processing messages (the windows paint and answer; the caller keeps its
// dialog from starting a second run meanwhile).
#pragma once

#include "erp/install_command.h"

// True when the installer ended with exit code 0; false when the application began to quit
// during the wait, which then ends at once and leaves the installer running. Raises "Error
// executing application (<command line>)." when it cannot be started and "Error installing
// service (exitcode=0x<hex>)." when it ends with another code.
bool RunInstaller(const TInstallCommand& command);
