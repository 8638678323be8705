#!/usr/bin/python3
"""varnox-redirect over SFTP against references in the same run, on a local OpenSSH server.

  upload  100 files of 1 MiB uploaded by `varnox-redirect upload --server sftp://...` (one
          connection, each file under a temporary name, then renamed) against one `sftp -b`
          batch that puts the 100 files the same way (put under a temporary name, rename),
          and against one `curl sftp://` per file. Targets: at most 1.2 times the batch's
          time, and at least 3 times as fast as curl per file.

The server is Debian's sshd, started here as the user running the benchmark on 127.0.0.1,
with a host key and an authorized key made for it; HOME is a temporary folder whose
~/.ssh/known_hosts knows the host key, for all three clients (ssh is told the file: it takes
~ from the password database, not from HOME).

Usage: bench/sftp_bench.py [--build DIR] [--rounds N]     (defaults: build, 3)
Prints the median times and their ratios; exits 1 when a target is missed.
"""

import argparse
import os
import pwd
import socket
import statistics
import subprocess
import sys
import tempfile
import time

from bench_runs import random_files, timed

HERE = os.path.dirname(os.path.abspath(__file__))


def keygen(path):
    subprocess.run(["ssh-keygen", "-q", "-t", "ed25519", "-N", "", "-f", path], check=True)


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


class Server:
    """sshd -D on 127.0.0.1 that lets the user running this in with `key`."""

    def __init__(self, work):
        self.key = os.path.join(work, "user_key")
        host_key = os.path.join(work, "host_key")
        keygen(self.key)
        keygen(host_key)
        with open(os.path.join(work, "authorized_keys"), "w") as f:
            f.write(open(self.key + ".pub").read())
        self.port = free_port()
        config = os.path.join(work, "sshd_config")
        with open(config, "w") as f:
            f.write(f"ListenAddress 127.0.0.1\nPort {self.port}\nHostKey {host_key}\n"
                    "PidFile none\nUsePAM no\nStrictModes no\n"
                    "PermitRootLogin prohibit-password\nPasswordAuthentication no\n"
                    f"AuthorizedKeysFile {work}/authorized_keys\n"
                    f"AllowUsers {pwd.getpwuid(os.geteuid()).pw_name}\n"
                    "Subsystem sftp internal-sftp\n")
        os.makedirs("/run/sshd", exist_ok=True) if os.geteuid() == 0 else None
        log = os.path.join(work, "sshd.log")
        self.process = subprocess.Popen(["/usr/sbin/sshd", "-D", "-E", log, "-f", config])
        for _ in range(300):
            if os.path.exists(log) and "Server listening" in open(log).read():
                break
            time.sleep(0.01)
        else:
            raise SystemExit("sshd did not start: " + open(log).read())
        home_ssh = os.path.join(os.environ["HOME"], ".ssh")
        os.makedirs(home_ssh, exist_ok=True)
        with open(os.path.join(home_ssh, "known_hosts"), "w") as f:
            f.write(f"[127.0.0.1]:{self.port} " + open(host_key + ".pub").read())

    def close(self):
        self.process.terminate()
        self.process.wait()


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", default=os.path.join(HERE, "..", "build"))
    parser.add_argument("--rounds", type=int, default=3)
    args = parser.parse_args()
    redirect = os.path.join(os.path.abspath(args.build), "bin", "varnox-redirect")
    with tempfile.TemporaryDirectory(prefix="varnox-sftp-bench-") as work:
        os.environ["HOME"] = os.path.join(work, "home")
        os.environ.pop("SSH_AUTH_SOCK", None)
        uz, remote = os.path.join(work, "game", "uz"), os.path.join(work, "remote")
        os.makedirs(uz)
        os.makedirs(remote)
        names = random_files(uz, 100, 1 << 20)
        server = Server(work)
        user = pwd.getpwuid(os.geteuid()).pw_name
        batch = os.path.join(work, "batch")
        with open(batch, "w") as f:
            for name in names:
                f.write(f'put "{uz}/{name}" "{remote}/.tmp-{name}"\n'
                        f'rename "{remote}/.tmp-{name}" "{remote}/{name}"\n')
        commands = {
            "varnox": [redirect, "upload", "--game", os.path.dirname(uz), "--quiet",
                       "--server", f"sftp://127.0.0.1:{server.port}{remote}",
                       "--identity", server.key],
            "sftp": ["sftp", "-q", "-b", batch, "-i", server.key, "-o", "BatchMode=yes",
                     "-o", f"UserKnownHostsFile={os.environ['HOME']}/.ssh/known_hosts",
                     "-P", str(server.port), f"{user}@127.0.0.1"],
            "curl": ["bash", "-c", f'for f in {uz}/*.uz; do curl -sS --key {server.key} '
                     f'-T "$f" sftp://{user}@127.0.0.1:{server.port}{remote}/ || exit 1; done'],
        }
        times = {who: [] for who in commands}
        try:
            for r in range(max(1, args.rounds)):
                order = list(commands)
                order = order[r % len(order):] + order[:r % len(order)]
                for who in order:
                    for name in os.listdir(remote):
                        os.remove(os.path.join(remote, name))
                    times[who].append(timed(commands[who])[0])
                    if sorted(os.listdir(remote)) != names:
                        raise SystemExit(f"{who}: the server does not hold the 100 files")
        finally:
            server.close()
    ours, batch_time, curl = (statistics.median(times[w]) for w in ("varnox", "sftp", "curl"))
    against_batch, against_curl = ours / batch_time, curl / ours
    print(f"upload 100 x 1 MiB over SFTP, median of {args.rounds}: varnox-redirect {ours:.2f} s, "
          f"sftp -b batch {batch_time:.2f} s, curl per file {curl:.2f} s")
    print(f"  against the batch: {against_batch:.2f}x its time (target at most 1.2x: "
          f"{'met' if against_batch <= 1.2 else 'MISSED'})")
    print(f"  against curl per file: {against_curl:.1f}x as fast (target at least 3x: "
          f"{'met' if against_curl >= 3 else 'MISSED'})")
    return 0 if against_batch <= 1.2 and against_curl >= 3 else 1


if __name__ == "__main__":
    sys.exit(main())
