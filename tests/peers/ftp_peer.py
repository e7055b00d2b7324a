"""FTP file server for the download tests: anonymous, read-only, files from
--root; with --no-rest it refuses REST, so a resume must start over."""

import logging

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler
from pyftpdlib.servers import FTPServer

import peer_common


class NoRestHandler(FTPHandler):
    def ftp_REST(self, line):
        self.respond("502 REST not allowed here.")


def main():
    p = peer_common.parser("FTP test peer")
    p.add_argument("--no-rest", action="store_true")
    args = p.parse_args()
    logging.basicConfig(level=logging.ERROR)
    authorizer = DummyAuthorizer()
    authorizer.add_anonymous(args.root, perm="elr")
    handler = NoRestHandler if args.no_rest else FTPHandler
    handler.authorizer = authorizer
    server = FTPServer(("127.0.0.1", 0), handler)
    peer_common.start_watchdog(args.limit)
    peer_common.announce(server.socket.getsockname()[1])
    server.serve_forever()


if __name__ == "__main__":
    main()
