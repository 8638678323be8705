"""FTP server for the tests and benchmarks: pyftpdlib on 127.0.0.1 and a free port, or
Debian's vsftpd.

Usage: /usr/bin/python3 ftp_server.py CONFIG.json

The configuration is a JSON object:
  accounts        list of {name, password, home}, each with every permission over its
                  home; each character of a text is one byte (so names and passwords need
                  not be UTF-8)
  canned_listing  optional file whose bytes every LIST sends instead of a real listing
  login_refusal   optional text of the 530 reply to a wrong password; a text of several
                  lines goes out as a proper multi-line reply
  throttle        optional bytes per second for every data connection (0 = no limit);
                  a small limit sends a few bytes at a time, a slow drip
  truncate        optional: every download sends half the file and then says it is done
  no_rename_over  optional: a rename onto an existing file is refused
  tls             optional: "explicit" asks for AUTH TLS on the control and data
                  connections, with a new self-signed certificate on every start;
                  "explicit-1.3" does so with TLS 1.3 only
  certificate_file  optional file that gets that certificate (PEM)
  certificate_name  optional common name of that certificate (default "varnox test server")
  port            optional port to listen on (0 or missing: any free one)
  command_log     optional file that gets the name of every command received, one a line,
                  and "421" when the server closes an idle control connection
  idle_timeout    optional seconds after which an idle control connection is closed
                  with a 421 reply (0 = the server's default)
  server          optional "vsftpd": Debian's /usr/sbin/vsftpd instead, run as the user who
                  runs the tests: anonymous logins (no password) with every write permission
                  over the first account's home, AUTH TLS required with a new certificate, and
                  vsftpd's own TLS settings otherwise (require_ssl_reuse=YES among them); its
                  log of commands, replies and logins goes to command_log. Other keys are
                  not used then.

Once the server listens, the port number is printed on a line of its own. The server
stops when its standard input closes, so a test program that dies takes it along; the test
program starts it in a process group of its own and ends that group, vsftpd with it.
"""

import json
import logging
import os
import pathlib
import socket
import subprocess
import sys
import threading
import time

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler, ThrottledDTPHandler, TLS_DTPHandler, TLS_FTPHandler
from pyftpdlib.servers import FTPServer


def tls_context(certificate_file, name="varnox test server", tls13_only=False, with_key=False):
    """A context with a new RSA key and self-signed certificate named name, for localhost and
    127.0.0.1, which is also written to certificate_file when one is named, with the key if
    asked."""
    from OpenSSL import SSL, crypto
    key = crypto.PKey()
    key.generate_key(crypto.TYPE_RSA, 2048)
    cert = crypto.X509()
    cert.get_subject().CN = name
    cert.set_serial_number(int.from_bytes(os.urandom(8), "big"))
    cert.gmtime_adj_notBefore(0)
    cert.gmtime_adj_notAfter(24 * 3600)
    cert.set_issuer(cert.get_subject())
    cert.set_pubkey(key)
    cert.add_extensions([crypto.X509Extension(
        b"subjectAltName", False, b"DNS:localhost,IP:127.0.0.1")])
    cert.sign(key, "sha256")
    if certificate_file:
        with open(certificate_file, "wb") as out:
            out.write(crypto.dump_certificate(crypto.FILETYPE_PEM, cert))
            out.write(crypto.dump_privatekey(crypto.FILETYPE_PEM, key) if with_key else b"")
    context = SSL.Context(SSL.TLS_METHOD)
    if tls13_only:
        context.set_min_proto_version(SSL.TLS1_3_VERSION)
    context.use_certificate(cert)
    context.use_privatekey(key)
    # Clients resume the control connection's session on data connections.
    context.set_session_id(b"varnox-test")
    return context


def serve_vsftpd(config):
    """Runs vsftpd as the module's text says until standard input closes."""
    work = pathlib.Path(sys.argv[1]).absolute().parent
    tls_context(work / "vsftpd.pem", with_key=True)  # RSA: vsftpd's TLS 1.2 ciphers need it
    (work / "empty").mkdir(exist_ok=True)
    on = ("listen run_as_launching_user anonymous_enable no_anon_password write_enable "
          "anon_upload_enable anon_other_write_enable ssl_enable allow_anon_ssl "
          "force_anon_logins_ssl force_anon_data_ssl xferlog_enable log_ftp_protocol")
    for _ in range(5):  # another program may take the free port before vsftpd binds it
        with socket.socket() as probe:
            probe.bind(("127.0.0.1", 0))
            port = probe.getsockname()[1]
        settings = dict.fromkeys(on.split(), "YES") | {
            "listen_address": "127.0.0.1", "listen_port": port, "secure_chroot_dir": work / "empty",
            "anon_world_readable_only": "NO", "anon_root": config["accounts"][0]["home"],
            "rsa_cert_file": work / "vsftpd.pem",
            "vsftpd_log_file": config.get("command_log") or os.devnull}
        (work / "vsftpd.conf").write_text("".join("%s=%s\n" % s for s in settings.items()))
        server = subprocess.Popen(["/usr/sbin/vsftpd", work / "vsftpd.conf"])
        while server.poll() is None:
            with socket.socket() as probe:
                if probe.connect_ex(("127.0.0.1", port)) == 0:
                    break
            time.sleep(0.01)
        if server.poll() is None:
            print(port, flush=True)
            sys.stdin.buffer.read()
            server.kill()  # its sessions end with their clients
            return
    sys.exit("vsftpd did not start")


def main():
    with open(sys.argv[1], encoding="utf-8") as f:
        config = json.load(f)
    if config.get("server") == "vsftpd":
        return serve_vsftpd(config)

    # Texts come as one character a byte; the server sees them as it decodes the wire.
    def wire(text):
        return text.encode("latin-1").decode("utf8", "surrogateescape")

    authorizer = DummyAuthorizer()
    for account in config["accounts"]:
        authorizer.add_user(wire(account["name"]), wire(account["password"]),
                            wire(account["home"]), perm="elradfmwMT")
    canned = config.get("canned_listing") and pathlib.Path(config["canned_listing"]).read_bytes()
    refusal = config.get("login_refusal")
    command_log = config.get("command_log")
    tls = config.get("tls")

    def note(word):
        if command_log:
            with open(command_log, "a", encoding="utf-8") as log:
                log.write(word + "\n")

    class Handler(TLS_FTPHandler if tls else FTPHandler):
        # Names travel as raw bytes both ways, so names that are not UTF-8 survive.
        unicode_errors = "surrogateescape"
        auth_failed_timeout = 0

        def push(self, s):
            # FTPHandler.push encodes strictly; skip to the byte-level push below it.
            super(FTPHandler, self).push(s.encode("utf8", "surrogateescape"))

        def handle_auth_failed(self, msg, password):
            if refusal is None:
                return super().handle_auth_failed(msg, password)
            self.username = ""
            *lines, last = refusal.split("\n")
            for line in lines:
                self.push("530-%s\r\n" % line)
            self.respond("530 " + last)

        def ftp_LIST(self, path):
            if not canned:
                return super().ftp_LIST(path)
            self.push_dtp_data(canned, cmd="LIST")
            return path

        def pre_process_command(self, line, cmd, arg):
            note(cmd)
            return super().pre_process_command(line, cmd, arg)

        def handle_timeout(self):
            super().handle_timeout()
            note("421")

        def ftp_RETR(self, file):
            if not config.get("truncate"):
                return super().ftp_RETR(file)
            data = pathlib.Path(file).read_bytes()
            self.push_dtp_data(data[: len(data) // 2], cmd="RETR")
            return file

        def ftp_RNTO(self, path):
            if config.get("no_rename_over") and os.path.exists(path):
                self._rnfr = None
                self.respond("550 Cannot rename onto an existing file.")
                return None
            return super().ftp_RNTO(path)

    Handler.authorizer = authorizer
    Handler.timeout = int(config.get("idle_timeout", 0)) or Handler.timeout
    throttle = int(config.get("throttle", 0))
    if throttle > 0:
        class Throttled(ThrottledDTPHandler):
            read_limit = throttle
            write_limit = throttle
            ac_out_buffer_size = min(65536, throttle)
        Handler.dtp_handler = Throttled
    if tls:
        class DataHandler(TLS_DTPHandler):
            # pyftpdlib 1.5.7 closes a data connection whose handshake is still going on.
            def readable(self):
                return self._ssl_accepting or super().readable()

        name = wire(config.get("certificate_name") or "varnox test server")
        Handler.ssl_context = tls_context(config.get("certificate_file"), name,
                                          tls13_only=tls == "explicit-1.3")
        Handler.tls_control_required = True
        Handler.tls_data_required = True
        Handler.dtp_handler = DataHandler

    logging.basicConfig(level=logging.WARNING)
    server = FTPServer(("127.0.0.1", int(config.get("port", 0))), Handler)

    def stop_when_parent_goes():
        sys.stdin.buffer.read()
        os._exit(0)

    threading.Thread(target=stop_when_parent_goes, daemon=True).start()
    print(server.socket.getsockname()[1], flush=True)
    server.serve_forever()


if __name__ == "__main__":
    main()
