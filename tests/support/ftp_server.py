"""FTP server for the tests and benchmarks: pyftpdlib on 127.0.0.1 and a free port.

Usage: /usr/bin/python3 ftp_server.py CONFIG.json

The configuration is a JSON object:
  accounts        list of {name, password, home, perm}; each byte of a text is one
                  character (so names and passwords need not be UTF-8)
                  perm uses pyftpdlib's letters (elradfmwMT gives everything)
  canned_listing  optional file whose bytes every LIST sends instead of a real listing
  login_refusal   optional text of the 530 reply to a wrong password; a text of several
                  lines goes out as a proper multi-line reply
  throttle        optional bytes per second for every data connection (0 = no limit)
  idle_timeout    optional seconds after which an idle control connection is closed
                  with a 421 reply (0 = the server's default)

Once the server listens, the port number is printed on a line of its own. The server
stops when its standard input closes, so a test program that dies takes it along.
"""

import json
import logging
import os
import sys
import threading

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler, ThrottledDTPHandler
from pyftpdlib.servers import FTPServer


def main():
    with open(sys.argv[1], encoding="utf-8") as f:
        config = json.load(f)

    # Texts come as one character a byte; the server sees them as it decodes the wire.
    def wire(text):
        return text.encode("latin-1").decode("utf8", "surrogateescape")

    authorizer = DummyAuthorizer()
    for account in config["accounts"]:
        authorizer.add_user(wire(account["name"]), wire(account["password"]),
                            wire(account["home"]), perm=account.get("perm", "elradfmwMT"))

    canned = None
    if config.get("canned_listing"):
        with open(config["canned_listing"], "rb") as f:
            canned = f.read()
    refusal = config.get("login_refusal")
    throttle = int(config.get("throttle", 0))
    idle_timeout = int(config.get("idle_timeout", 0))

    class Handler(FTPHandler):
        # Names travel as raw bytes both ways, so names that are not UTF-8 survive.
        unicode_errors = "surrogateescape"
        auth_failed_timeout = 0

        def push(self, s):
            # FTPHandler.push encodes strictly; skip to the byte-level push below it.
            super(FTPHandler, self).push(s.encode("utf8", "surrogateescape"))

        def respond(self, resp, logfun=logging.debug):
            if "\n" not in resp:
                return super().respond(resp, logfun)
            code, text = resp[:3], resp[4:]
            lines = text.split("\n")
            for line in lines[:-1]:
                self.push("%s-%s\r\n" % (code, line))
            return super().respond("%s %s" % (code, lines[-1]), logfun)

        def handle_auth_failed(self, msg, password):
            if refusal is None:
                return super().handle_auth_failed(msg, password)
            self.username = ""
            self.respond("530 " + refusal)

        def ftp_LIST(self, path):
            if canned is None:
                return super().ftp_LIST(path)
            self.push_dtp_data(canned, cmd="LIST")
            return path

    Handler.authorizer = authorizer
    if idle_timeout > 0:
        Handler.timeout = idle_timeout
    if throttle > 0:
        class Throttled(ThrottledDTPHandler):
            read_limit = throttle
            write_limit = throttle
        Handler.dtp_handler = Throttled

    logging.basicConfig(level=logging.WARNING)
    server = FTPServer(("127.0.0.1", 0), Handler)

    def stop_when_parent_goes():
        sys.stdin.buffer.read()
        os._exit(0)

    threading.Thread(target=stop_when_parent_goes, daemon=True).start()
    print(server.socket.getsockname()[1], flush=True)
    server.serve_forever()


if __name__ == "__main__":
    main()
