"""What a pseudo-terminal receives from a process, for the end-to-end groups that need a console."""
import os
import select
import time


def read_until_exit(master, process):
    """Everything written to the terminal whose other side is master, until the process has ended."""
    received = b""
    while True:
        ready, _, _ = select.select([master], [], [], 0.5)
        chunk = b""
        if ready:
            try:
                chunk = os.read(master, 65536)
            except OSError:  # the terminal's other side is closed
                pass
        if chunk:
            received += chunk
        elif process.poll() is not None:
            break
        elif ready:
            time.sleep(0.1)
    os.close(master)
    return received
