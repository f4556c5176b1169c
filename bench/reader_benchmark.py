#!/usr/bin/python3
"""Opening a large gradebook and reading every cell: Tallyra's embedded
reader against calamine (Rust, the fastest widely used open-source reader)
on five kinds of file, and against openpyxl (read-only mode), in one run.

    /usr/bin/python3 bench/reader_benchmark.py [BUILD_DIR]

Makes the files itself: a 50,000 x 10 .xlsx from tallyra-make-big-workbook,
one of numbers and short strings with a shared-strings table (XlsxWriter)
and the same with inline strings (openpyxl), and the first saved as .xls
and .ods by LibreOffice, headless. For each it prints the median wall time
of both readers over several alternating runs after a warm-up, their
ratio and both peak resident memories. calamine's benchmark program is
used where it has been built (../shared/anchors/calamine/build.sh puts it
in BUILD_DIR/calamine/bench/target/release/calbench; CALBENCH=... names
another). Needs python3-openpyxl, python3-xlsxwriter and LibreOffice.
"""
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
BUILD = os.path.abspath(sys.argv[1]) if len(sys.argv) > 1 else os.path.join(ROOT, "build")
BIN = os.path.join(BUILD, "bin")
CALBENCH = os.environ.get("CALBENCH", os.path.join(BUILD, "calamine", "bench", "target", "release", "calbench"))
RUNS = 5
ROWS, COLUMNS = 50000, 10

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

# Numbers and short strings, as a reader meets them in the wild: whole
# numbers, decimals of up to six places and words with a number.
WRITE_MIXED = """
import random, sys
out, writer = sys.argv[1], sys.argv[2]
rows, columns = int(sys.argv[3]), int(sys.argv[4])
rng = random.Random(2026)
names = ["north", "south", "east", "west", "red", "blue", "green", "amber", "slate", "ivory"]
def value(column):
    kind = column % 3
    if kind == 0 or column == columns - 1:
        return rng.randint(-50000, 2000000)
    if kind == 1:
        return round(rng.uniform(-500, 1500), rng.randint(0, 6))
    return names[rng.randrange(len(names))] + str(rng.randint(0, 9999))
if writer == "openpyxl":  # write-only mode: inline strings
    from openpyxl import Workbook
    book = Workbook(write_only=True)
    sheet = book.create_sheet("data")
    for r in range(rows):
        sheet.append([value(c) for c in range(columns)])
    book.save(out)
else:  # XlsxWriter: a shared-strings table
    import xlsxwriter
    book = xlsxwriter.Workbook(out)
    sheet = book.add_worksheet("data")
    for r in range(rows):
        sheet.write_row(r, 0, [value(c) for c in range(columns)])
    book.close()
"""


def run(command):
    """Wall time and standard output of one run."""
    start = time.perf_counter()
    out = subprocess.run(command, check=True, capture_output=True, text=True).stdout
    return time.perf_counter() - start, out.strip()


def median_time(command):
    times = []
    output = ""
    for _ in range(RUNS):
        t, output = run(command)
        times.append(t)
    return statistics.median(times), output


def timed(command):
    """Wall time and peak resident memory (KiB) of one run."""
    start = time.perf_counter()
    pid = os.fork()
    if pid == 0:
        devnull = os.open(os.devnull, os.O_WRONLY)
        os.dup2(devnull, 1)
        os.execv(command[0], command)
    _, status, usage = os.wait4(pid, 0)
    elapsed = time.perf_counter() - start
    if status != 0:
        raise SystemExit(f"failed: {' '.join(command)}")
    return elapsed, usage.ru_maxrss


def compare(commands):
    """Median wall time and median peak memory of each command, the runs
    alternating so that both meet the same load; one warm-up each."""
    for command in commands:
        timed(command)
    times = [[] for _ in commands]
    memory = [[] for _ in commands]
    for _ in range(RUNS):
        for i, command in enumerate(commands):
            t, rss = timed(command)
            times[i].append(t)
            memory[i].append(rss)
    return [(statistics.median(t), statistics.median(m)) for t, m in zip(times, memory)]


def make_files(tmp, maker):
    """The five files, by kind."""
    files = []
    big = os.path.join(tmp, "big.xlsx")
    subprocess.run([maker, big, str(ROWS), str(COLUMNS)], check=True)
    files.append((".xlsx, tallyra-make-big-workbook", big))
    shared = os.path.join(tmp, "shared.xlsx")
    subprocess.run(["/usr/bin/python3", "-c", WRITE_MIXED, shared, "xlsxwriter", str(ROWS), str(COLUMNS)], check=True)
    files.append((".xlsx, shared strings", shared))
    inline = os.path.join(tmp, "inline.xlsx")
    subprocess.run(["/usr/bin/python3", "-c", WRITE_MIXED, inline, "openpyxl", str(ROWS), str(COLUMNS)], check=True)
    files.append((".xlsx, inline strings", inline))
    office = shutil.which("soffice") or shutil.which("libreoffice")
    if not office:
        print("LibreOffice not found: no .xls or .ods")
        return files
    profile = "file://" + os.path.join(tmp, "profile")
    for kind in ("xls", "ods"):
        subprocess.run([office, f"-env:UserInstallation={profile}", "--headless", "--convert-to", kind,
                        "--outdir", tmp, big], check=True, capture_output=True)
        files.append((f".{kind}, the first saved by LibreOffice", os.path.join(tmp, f"big.{kind}")))
    return files


def main():
    reader = os.path.join(BIN, "tallyra-read-workbook")
    maker = os.path.join(BIN, "tallyra-make-big-workbook")
    calamine = CALBENCH if os.access(CALBENCH, os.X_OK) else None
    with tempfile.TemporaryDirectory() as tmp:
        files = make_files(tmp, maker)
        print(f"{ROWS:,} rows x {COLUMNS} columns; median of {RUNS} alternating runs after a warm-up")
        if not calamine:
            print(f"calamine's benchmark program not built ({CALBENCH}): Tallyra alone")
        print(f"{'file':38} {'MB':>5} {'tallyra':>9} {'calamine':>9} {'ratio':>6} {'tallyra mem':>12} {'calamine mem':>13}")
        for label, path in files:
            commands = [[reader, path]] + ([[calamine, path]] if calamine else [])
            results = compare(commands)
            (ours, our_rss) = results[0]
            size = os.path.getsize(path) / 1e6
            line = f"{label:38} {size:5.1f} {ours:8.3f}s"
            if calamine:
                (theirs, their_rss) = results[1]
                line += f" {theirs:8.3f}s {ours / theirs:6.2f} {our_rss / 1024:8.1f} MiB {their_rss / 1024:9.1f} MiB"
            else:
                line += f" {'-':>9} {'-':>6} {our_rss / 1024:8.1f} MiB"
            print(line)
        print("ratio: Tallyra's time / calamine's (target: at most 1.0; memory within 10% of calamine's)")

        big = files[0][1]
        ours, our_out = median_time([reader, big])
        # Debian's Python, where python3-openpyxl lives.
        theirs, their_out = median_time(["/usr/bin/python3", "-c", OPENPYXL, big])
        print(f"tallyra reader : {ours:.3f} s   ({our_out})")
        print(f"openpyxl (r/o) : {theirs:.3f} s   ({their_out})")
        print(f"ratio          : tallyra is {theirs / ours:.1f} x faster (target: at least 5)")

        demo = os.path.join(ROOT, "demo", "gradebooks", "示範成績冊.xls")
        xls_time, xls_out = median_time([reader, demo])
        print(f"40-student .xls: {xls_time * 1000:.0f} ms   ({xls_out})")


if __name__ == "__main__":
    main()
