"""What the benchmarks of whole program runs share: the time of one run, and files of random
bytes to move."""

import os
import subprocess
import tempfile
import time


def timed(command, **kwargs):
    """Wall seconds and CPU seconds (user + system) of one program run. What the program
    writes is kept aside and shown when it fails, which ends the benchmark."""
    with tempfile.TemporaryFile() as output:
        start = time.monotonic()
        process = subprocess.Popen(command, stdout=output, stderr=output, **kwargs)
        _, status, usage = os.wait4(process.pid, 0)
        wall = time.monotonic() - start
        process.returncode = os.waitstatus_to_exitcode(status)
        if process.returncode != 0:
            output.seek(0)
            raise SystemExit(f"failed ({process.returncode}): {' '.join(command)}\n"
                             f"{output.read().decode(errors='replace')}")
    return wall, usage.ru_utime + usage.ru_stime


def random_files(folder, count, size):
    """`count` files File000.unr.uz, File001.unr.uz, ... of `size` random bytes in `folder`;
    returns their names in order."""
    names = [f"File{i:03d}.unr.uz" for i in range(count)]
    for name in names:
        with open(os.path.join(folder, name), "wb") as f:
            f.write(os.urandom(size))
    return names
