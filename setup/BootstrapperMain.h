#pragma once

#include <QString>

// The setup program's run, from its command line (the text after the program
// name) to its exit code.
int BootstrapperMain(const QString& commandLine);
