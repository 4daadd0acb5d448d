// Running an installer: the process is started with the tool's environment and current
// folder, its window (if any) shown normally, and waited for without a time limit; the GUI
// thread processes no messages meanwhile.
#pragma once

#include "ui/props/install_command.h"

// Returns when the installer ended with exit code 0. Raises "Error executing application
// (<command line>)." when it cannot be started and "Error installing service
// (exitcode=0x<hex>)." when it ends with another code.
void RunInstaller(const TInstallCommand& command);
