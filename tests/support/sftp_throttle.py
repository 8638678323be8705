# The sftp subsystem of the test SSH server, slowed down: runs the command after the rate
# (OpenSSH's sftp-server) and passes the bytes between it and the client on at most RATE bytes
# a second each way.
import os, subprocess, sys, threading, time

rate = int(sys.argv[1])
server = subprocess.Popen(sys.argv[2:], stdin=subprocess.PIPE, stdout=subprocess.PIPE, bufsize=0)


def relay(source, target):
    while chunk := os.read(source, max(1, rate // 20)):
        os.write(target, chunk)
        time.sleep(len(chunk) / rate)
    os.close(target)


threading.Thread(target=relay, args=(server.stdout.fileno(), 1), daemon=True).start()
relay(0, server.stdin.fileno())
server.wait()
