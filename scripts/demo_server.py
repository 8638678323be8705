#!/usr/bin/python3
"""A local FTP server that stands in for a redirect server in the demo: pyftpdlib on
127.0.0.1, one account, a folder tree like a redirect server's.

usage: demo_server.py ROOT_FOLDER PORT USER PASSWORD"""

import logging
import os
import sys

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler
from pyftpdlib.servers import FTPServer


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
    handler.banner = "varnox demo redirect server ready."
    handler.passive_ports = range(60000, 60100)
    logging.basicConfig(level=logging.WARNING)
    server = FTPServer(("127.0.0.1", port), handler)
    print(f"demo FTP server on 127.0.0.1:{port}, user {user}", flush=True)
    server.serve_forever()


if __name__ == "__main__":
    main()
