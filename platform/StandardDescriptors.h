#pragma once

// Launchers and service managers may start a program with standard input,
// output or error closed. The next file the program opens would then take that
// number, and whatever is written to standard error (Qt's warnings among it)
// would land in that file or pipe. Called first in main, before anything opens
// a file: each of descriptors 0, 1 and 2 that is closed is opened on /dev/null.
namespace StandardDescriptors {

void openClosedOnNull();

}  // namespace StandardDescriptors
