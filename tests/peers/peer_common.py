"""What every Python test peer shares: its arguments' common part, the port
announcement and the watchdog that ends the peer by itself."""

import argparse
import os
import sys
import threading
import time


def parser(description):
    p = argparse.ArgumentParser(description=description)
    p.add_argument("--root", required=True, help="folder whose files are served")
    p.add_argument("--limit", type=float, default=60.0, help="seconds before the peer ends by itself")
    return p


def announce(port):
    """The test reads the chosen port from the first line of standard output."""
    print(port, flush=True)


def start_watchdog(limit):
    """Ends the process when its parent goes away or its time is up."""
    parent = os.getppid()
    deadline = time.monotonic() + limit

    def watch():
        while time.monotonic() < deadline and os.getppid() == parent:
            time.sleep(0.2)
        sys.stdout.flush()
        os._exit(0)

    threading.Thread(target=watch, daemon=True).start()
