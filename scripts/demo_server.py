#!/usr/bin/python3
"""A local FTP server that stands in for a redirect server in the demo: pyftpdlib on
127.0.0.1, one account, a folder tree like a redirect server's. Files travel at a steady
16 MiB a second, as over a fast link, so that large transfers show their progress.

usage: demo_server.py ROOT_FOLDER PORT USER PASSWORD"""

import logging
import os
import sys
import time

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler, ThrottledDTPHandler
from pyftpdlib.servers import FTPServer

RATE = 16 << 20  # bytes a second on each data connection


class PacedDTPHandler(ThrottledDTPHandler):
    """Keeps every data connection at RATE, pausing whenever it runs ahead by a tenth of a
    second (pyftpdlib's own throttle lets a whole second's worth through at once)."""

    read_limit = RATE
    write_limit = RATE

    def _throttle_bandwidth(self, len_chunk, max_speed):
        now = time.monotonic()
        if not hasattr(self, "_paced_start"):
            self._paced_start, self._paced_bytes = now, 0
        self._paced_bytes += len_chunk
        ahead = self._paced_bytes / max_speed - (now - self._paced_start)
        if ahead > 0.1:
            def resume():
                self.add_channel(events=self.ioloop.READ if self.receive else self.ioloop.WRITE)

            self.del_channel()
            self._cancel_throttler()
            self._throttler = self.ioloop.call_later(ahead, resume, _errback=self.handle_error)


def main():
    root, port, user, password = sys.argv[1], int(sys.argv[2]), sys.argv[3], sys.argv[4]
    for sub in ("maps", "sounds", "music", "textures", "system"):
        os.makedirs(os.path.join(root, sub), exist_ok=True)
    readme = os.path.join(root, "README.txt")
    if not os.path.exists(readme):
        with open(readme, "w") as f:
            f.write("Demo redirect server: put .uz files into the folder of their kind.\n")

    authorizer = DummyAuthorizer()
    authorizer.add_user(user, password, root, perm="elradfmwMT")
    handler = FTPHandler
    handler.authorizer = authorizer
    handler.dtp_handler = PacedDTPHandler
    handler.banner = "varnox demo redirect server ready."
    handler.passive_ports = range(60000, 60100)
    logging.basicConfig(level=logging.WARNING)
    server = FTPServer(("127.0.0.1", port), handler)
    print(f"demo FTP server on 127.0.0.1:{port}, user {user}", flush=True)
    server.serve_forever()


if __name__ == "__main__":
    main()
