#pragma once
// A write to a socket the server has closed raises SIGPIPE, which by default ends
// the process. The connection's own threads block it (the write then fails with
// EPIPE and the library reports the broken transport); the GUI thread, which
// sends input, is covered by IgnoreBrokenPipeByDefault.
namespace kiv {

// The calling thread will not receive SIGPIPE.
void BlockBrokenPipeSignal();
// SIGPIPE is ignored process-wide unless someone installed a handler of their own.
void IgnoreBrokenPipeByDefault();

}  // namespace kiv
