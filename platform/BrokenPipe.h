#pragma once

// A program whose standard output or error is a pipe that nobody reads dies of
// SIGPIPE at its first write there, and Qt writes its warnings to standard error
// long before the program has said anything of its own. Ignoring the signal
// would pass that on to every program this one starts; a handler that does
// nothing lets the write fail with EPIPE instead, and exec puts a caught signal
// back at its default. Called first in main, before any thread starts.
namespace BrokenPipe {

void failWritesInsteadOfEnding();

}  // namespace BrokenPipe
