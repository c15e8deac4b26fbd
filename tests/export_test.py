# ledgerine-export on byte-built lists, its CSV read back by Python's csv module
# and its code page 850 by Python's own codec; and the program's typing under a
# UTF-8 locale, through every character of the code page.
# Usage: export_test.py EXPORTER CORPUS_DIR PROGRAM (LEDGERINE_TEST_EXPORTER,
# LEDGERINE_TEST_PROGRAM and LEDGERINE_TEST_WRAPPER as for the program's own tests).
import csv, fcntl, io, os, subprocess, sys, tempfile, time

WIDTHS = (20, 20, 30, 20, 3, 8, 15, 20)
HEADER = b"Last Name,First Name,Address,City,Province Code,Postal Code,Telephone Number,Year & Model\r\n"
WRAPPER = os.environ.get("LEDGERINE_TEST_WRAPPER", "").split()
COMMAND = WRAPPER + [os.path.abspath(os.environ.get("LEDGERINE_TEST_EXPORTER", sys.argv[1]))]
PROGRAM = WRAPPER + [os.path.abspath(os.environ.get("LEDGERINE_TEST_PROGRAM", sys.argv[3]))]
ROOT = tempfile.TemporaryDirectory()
failures = []

def record(*fields):  # a field as long as its width has no NUL
    return b"".join(f.ljust(w, b"\0") for f, w in zip(fields, WIDTHS))

def loaded(data):  # what loading makes of a file: its first 100 records
    data = data[:len(data.rstrip(b" \t\n\v\f\r"))]
    data += b"\0" * (-len(data) % 136)
    return [[data[at + sum(WIDTHS[:i]):at + sum(WIDTHS[:i + 1])].split(b"\0")[0] for i in range(8)]
            for at in range(0, min(len(data), 100 * 136), 136)]

def texts(rows):
    return [[f.decode("cp850") for f in row] for row in rows]

def parse(out):
    return list(csv.reader(io.StringIO(out.decode("utf-8"), newline="")))

def export(data, stdout=subprocess.PIPE, start=None):
    folder = tempfile.mkdtemp(dir=ROOT.name)
    if data is not None:
        with open(os.path.join(folder, "Maillist.dat"), "wb") as f:
            f.write(data)
    run = subprocess.run(COMMAND, cwd=folder, stdout=stdout, stderr=subprocess.PIPE, preexec_fn=start)
    return run, folder

def check(name, data, rows):
    run, _ = export(data)
    out = run.stdout
    expected = [HEADER.decode()[:-2].split(",")] + texts(rows)
    written = io.StringIO(newline="")
    csv.writer(written, lineterminator="\r\n").writerows(expected)
    # Read back field for field, and byte for byte as a reference writer puts it.
    if (run.returncode, run.stderr) != (0, b"") or parse(out) != expected or out != written.getvalue().encode("utf-8"):
        failures.append(f"{name}: status {run.returncode}, stderr {run.stderr!r}, stdout {out[:400]!r}")

plain = [b"Brown", b"Ann", b"48 Elm Avenue", b"Toronto", b"ON", b"M5V2T", b"416-555-0199", b"2001 Sedan"]
awkward = [b"Smith, Jr.", b'Bob "Bo"', b"12 Main\rSt", b"Line\nTwo", b"", b"K1A0B", b"\x80\xe9\xff caf\x82", b"  Coupe  "]
full = [b"L" * 20, b'"' * 20, b"A," * 15, b"C\r\n" * 6 + b"CC", b"ONT", b"12345678", b"9" * 15, b"\xff" * 20]
quotes = [b'"' * w for w in WIDTHS]
boxes = [b"\xce" * w for w in WIDTHS]  # three bytes of UTF-8 each: every row at its longest
# Every character of the code page, typed in UTF-8 at the form of the program
# under a UTF-8 locale, lands in the list as its byte.
upper = bytes(range(0x80, 0x100))
limits = [w - 1 for w in WIDTHS]
limits[5] = 5
typed, at = [], 0
while at < len(upper):
    fields = []
    for limit in limits:
        fields.append(upper[at:at + limit])
        at += limit
    typed.append(fields)
folder = tempfile.mkdtemp(dir=ROOT.name)
open(os.path.join(folder, "Maillist.dat"), "wb").close()
keys = b"".join(b"e\n" + b"".join(f.decode("cp850").encode("utf-8") + b"\n" for f in fields) for fields in typed)
subprocess.run(PROGRAM, cwd=folder, input=keys + b"q\n", stdout=subprocess.DEVNULL, env={"LC_ALL": "C.UTF-8"}, check=True)
entered = open(os.path.join(folder, "Maillist.dat"), "rb").read()
if entered != b"".join(record(*fields) for fields in typed):
    failures.append(f"code page: typed in UTF-8, the list holds {entered!r}")
CASES = [
    ("every character of the code page, entered in UTF-8", entered, typed),
    ("fields at their longest in UTF-8", record(*boxes) * 100, [boxes] * 100),
    ("a comma, a quote, a CR, a LF, empty, high bytes, spaces", record(*plain) + record(*awkward), [plain, awkward]),
    ("fields without a NUL", record(*full), [full]),
    ("an empty list", b"", []),
    ("a whitespace tail", record(*plain) + b" \t\n\v\f\r" * 40, [plain]),
    ("101 records of quotes, the first 100 written", record(*quotes) * 100 + record(*plain), [quotes] * 100),
] + [(f"corpus {n}", open(os.path.join(sys.argv[2], n), "rb").read(), None) for n in sorted(os.listdir(sys.argv[2]))]
for name, data, rows in CASES:
    check(name, data, loaded(data) if rows is None else rows)

# Status, standard output and the lines on standard error: no list, and a full
# disk, fail with one line and nothing written; a closed standard output never
# becomes the list, which stays as it was.
for name, data, stdout, start, status, errors in [
        ("no list", None, subprocess.PIPE, None, 1, 1),
        ("a full disk", b"", open("/dev/full", "wb"), None, 1, 1),
        ("a closed standard output", record(*plain), subprocess.PIPE, lambda: os.close(1), 0, 0)]:
    run, folder = export(data, stdout, start)
    kept = data is None or open(os.path.join(folder, "Maillist.dat"), "rb").read() == data
    if (run.returncode, run.stdout or b"", run.stderr.count(b"\n"), kept) != (status, b"", errors, True):
        failures.append(f"{name}: status {run.returncode}, stdout {run.stdout!r}, stderr {run.stderr!r}, list kept {kept}")

# A record being added under the exclusive lock is waited for, then written.
folder = tempfile.mkdtemp(dir=ROOT.name)
with open(os.path.join(folder, "Maillist.dat"), "wb+") as held:
    held.write(record(*plain)); held.flush()
    fcntl.lockf(held, fcntl.LOCK_EX)
    waiting = subprocess.Popen(COMMAND, cwd=folder, stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    time.sleep(0.5)
    held.write(record(*awkward)); held.flush()
    fcntl.lockf(held, fcntl.LOCK_UN)
    out, _ = waiting.communicate()
if waiting.returncode != 0 or parse(out)[1:] != texts([plain, awkward]):
    failures.append(f"locked list: status {waiting.returncode}, stdout {out!r}")

print("\n".join(failures) or f"{len(CASES) + 4} cases pass")
sys.exit(1 if failures else 0)
