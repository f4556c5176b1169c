#!/usr/bin/python3
"""Opening a large gradebook and reading every cell: Tallyra's embedded
reader against openpyxl (read-only mode) on the same file, in one run.

    /usr/bin/python3 bench/reader_benchmark.py [BUILD_DIR]

Prints the median wall time of each over several runs, their ratio, and the
peak resident memory of Tallyra's reader. Needs python3-openpyxl.
"""
import os
import statistics
import subprocess
import sys
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
BUILD = os.path.abspath(sys.argv[1]) if len(sys.argv) > 1 else os.path.join(ROOT, "build")
BIN = os.path.join(BUILD, "bin")
RUNS = 5

OPENPYXL = """
import sys, openpyxl
book = openpyxl.load_workbook(sys.argv[1], read_only=True, data_only=True)
cells = 0
chars = 0
for sheet in book.worksheets:
    for row in sheet.iter_rows(values_only=True):
        for v in row:
            if v is not None:
                cells += 1
                chars += len(str(v))
print("cells", cells, "characters", chars)
"""


def run(command):
    """Wall time and standard output of one run."""
    start = time.perf_counter()
    out = subprocess.run(command, check=True, capture_output=True, text=True).stdout
    return time.perf_counter() - start, out.strip()


def peak_rss_kib(command):
    """Peak resident memory of one run of the command, in KiB."""
    pid = os.fork()
    if pid == 0:
        devnull = os.open(os.devnull, os.O_WRONLY)
        os.dup2(devnull, 1)
        os.execv(command[0], command)
    _, _, usage = os.wait4(pid, 0)
    return usage.ru_maxrss


def median_time(command):
    times = []
    output = ""
    for _ in range(RUNS):
        t, output = run(command)
        times.append(t)
    return statistics.median(times), output


def main():
    reader = os.path.join(BIN, "tallyra-read-workbook")
    maker = os.path.join(BIN, "tallyra-make-big-workbook")
    with tempfile.TemporaryDirectory() as tmp:
        big = os.path.join(tmp, "big.xlsx")
        subprocess.run([maker, big, "50000", "10"], check=True)
        size_mb = os.path.getsize(big) / 1e6
        print(f"workbook: 50,000 rows x 10 columns, {size_mb:.1f} MB")

        ours, our_out = median_time([reader, big])
        # Debian's Python, where python3-openpyxl lives.
        theirs, their_out = median_time(["/usr/bin/python3", "-c", OPENPYXL, big])
        rss = peak_rss_kib([reader, big])
        print(f"tallyra reader : {ours:.3f} s   ({our_out})")
        print(f"openpyxl (r/o) : {theirs:.3f} s   ({their_out})")
        print(f"ratio          : tallyra is {theirs / ours:.1f} x faster (target: at least 5)")
        print(f"peak memory    : tallyra {rss / 1024:.0f} MiB (target: under 100)")

        demo = os.path.join(ROOT, "demo", "gradebooks", "示範成績冊.xls")
        xls_time, xls_out = median_time([reader, demo])
        print(f"40-student .xls: {xls_time * 1000:.0f} ms   ({xls_out})")


if __name__ == "__main__":
    main()
