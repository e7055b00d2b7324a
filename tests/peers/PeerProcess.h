#pragma once

class QProcess;

// The port a peer program started in `peer` gives on its first line of output;
// 0 when it ends without giving one. Waits as long as the peer runs, however
// busy the machine: each peer ends by itself at its own time limit.
int announcedPort(QProcess& peer);
