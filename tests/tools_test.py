# The companion tools. ledgerine-export on byte-built lists, its CSV read back
# by Python's csv module and its code page 850 by Python's own codec, with the
# program's typing under a UTF-8 locale through every character of the code
# page; ledgerine-import's reader and refusals, its limit and lock, and the round
# trip through both; the command line of both.
# Usage: tools_test.py EXPORTER CORPUS_DIR PROGRAM IMPORTER (LEDGERINE_TEST_EXPORTER,
# LEDGERINE_TEST_PROGRAM, LEDGERINE_TEST_IMPORTER and LEDGERINE_TEST_WRAPPER as
# for the program's own tests).
import csv, fcntl, io, os, subprocess, sys, tempfile, time

WIDTHS = (20, 20, 30, 20, 3, 8, 15, 20)
HEADER = b"Last Name,First Name,Address,City,Province Code,Postal Code,Telephone Number,Year & Model\r\n"
WRAPPER = os.environ.get("LEDGERINE_TEST_WRAPPER", "").split()
COMMAND = WRAPPER + [os.path.abspath(os.environ.get("LEDGERINE_TEST_EXPORTER", sys.argv[1]))]
PROGRAM = WRAPPER + [os.path.abspath(os.environ.get("LEDGERINE_TEST_PROGRAM", sys.argv[3]))]
IMPORTER = WRAPPER + [os.path.abspath(os.environ.get("LEDGERINE_TEST_IMPORTER", sys.argv[4]))]
ROOT = tempfile.TemporaryDirectory()
failures = []

def record(*fields):  # a field as long as its width has no NUL; fields not given are empty
    return b"".join(f.ljust(w, b"\0") for f, w in zip(fields + (b"",) * 8, WIDTHS))

def loaded(data):  # what loading makes of a file: its first 100 records
    data = data[:len(data.rstrip(b" \t\n\v\f\r"))]
    data += b"\0" * (-len(data) % 136)
    return [[data[at + sum(WIDTHS[:i]):at + sum(WIDTHS[:i + 1])].split(b"\0")[0] for i in range(8)]
            for at in range(0, min(len(data), 100 * 136), 136)]

def texts(rows):
    return [[f.decode("cp850") for f in row] for row in rows]

def parse(out):
    return list(csv.reader(io.StringIO(out.decode("utf-8"), newline="")))

def list_folder(data):  # a folder with the list `data`, or none
    folder = tempfile.mkdtemp(dir=ROOT.name)
    if data is not None:
        with open(os.path.join(folder, "Maillist.dat"), "wb") as f:
            f.write(data)
    return folder

def list_in(folder):
    path = os.path.join(folder, "Maillist.dat")
    return open(path, "rb").read() if os.path.exists(path) else None

def export(data, stdout=subprocess.PIPE, start=None):
    folder = list_folder(data)
    run = subprocess.run(COMMAND, cwd=folder, stdout=stdout, stderr=subprocess.PIPE, preexec_fn=start)
    return run, folder

def import_csv(data, csv_bytes, arguments=()):  # the run, and the list after it
    folder = list_folder(data)
    run = subprocess.run(IMPORTER + list(arguments), cwd=folder, input=csv_bytes, capture_output=True)
    return run, list_in(folder)

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

# ledgerine-import. Each case: a list, the CSV, then either the records it adds
# or the problems it names on standard error, a line each, writing nothing.
SMITH_ROW = b"Smith,John,12 Main St,Ottawa,ON,K1A0B,555-1234,1995 Coupe"
SMITH = record(b"Smith", b"John", b"12 Main St", b"Ottawa", b"ON", b"K1A0B", b"555-1234", b"1995 Coupe")
LABELS = HEADER.decode()[:-2].split(",")
LIMITS = [w - 1 for w in WIDTHS]
reordered = b"First Name,Last Name," + HEADER.split(b",", 2)[2]
IMPORT_CASES = [
    ("the exporter's quoting, onto a list", SMITH, HEADER + b'"Smith, Jr.","Bob ""Bo""",,,,,,"A\rB"\r\n',
     [record(b"Smith, Jr.", b'Bob "Bo"', b"", b"", b"", b"", b"", b"A\rB")]),
    ("LF row ends, empty lines, no line end at the end", b"", b"\n" + HEADER[:-2] + b"\n\r\n" + SMITH_ROW + b"\n\n" + SMITH_ROW,
     [SMITH, SMITH]),
    ("a byte-order mark, and the columns in another order", b"", b"\xef\xbb\xbf" + reordered + b"John,Smith" + SMITH_ROW[10:],
     [SMITH]),
    ("UTF-8 into the code page: letters counted, ? for what it lacks, its own bytes as they are", b"",
     HEADER + ("é" * 19 + ",Renée,€ œ,日,,,,😀\r\n").encode() + b"Gagn\x82,\xc3,,,,,,\r\n",
     [record(b"\x82" * 19, b"Ren\x82e", b"? ?", b"?", b"", b"", b"", b"?"), record(b"Gagn\x82", b"\xc3")]),
    ("a Canadian postal code whole, with its space", b"", HEADER + b"Tremblay,Marie,,,QC,H2X 1K9,,\r\n",
     [record(b"Tremblay", b"Marie", b"", b"", b"QC", b"H2X 1K9")]),
    ("a header alone adds nothing", SMITH * 3, HEADER, []),
    ("too few and too many fields", b"", HEADER + b"a,b\r\n" + b"a,b,c,d,e,f,g,h,i\r\n",
     ["line 2: 2 fields, where the header names 8", "line 3: 9 fields, where the header names 8"]),
    ("a line break inside quotes; a quote inside a bare field; lines counted as in the file", b"",
     HEADER + b'"x\r\ny",,,,,,,\r\n\r\n' + b'a"b,,,,,,,\r\n',
     ["line 2: Last Name holds a line break", "line 5: a quote inside a field that does not start with one (Last Name)"]),
    ("text after a closing quote; a quote never closed", b"", HEADER + b'"a"b,,,,,,,\n,"open,,,,,,\n' + SMITH_ROW,
     ["line 2: text after the closing quote of a field (Last Name)", "line 3: a quoted field is never closed (First Name)"]),
    ("every field one letter past its limit, and a NUL", b"",
     HEADER + ",".join("é" * (limit + 1) for limit in LIMITS).encode() + b"\na\0,,,,,,,\n",
     [f"line 2: {label} is longer than {limit} characters" for label, limit in zip(LABELS, LIMITS)] +
     ["line 3: Last Name holds a NUL byte"]),
    ("a header with a repeated, an unknown and missing columns", b"", b"Last Name,Last Name,Notes\n" + SMITH_ROW,
     ['line 1: column "Last Name" named twice in the header', 'line 1: unknown column "Notes" in the header'] +
     [f'line 1: no column "{label}" in the header' for label in LABELS[1:]]),
    ("no header", b"", b"\r\n\n", ["line 1: no header row naming the columns"]),
    ("a quote out of place in the header: no later row is taken for one", b"", b'"Last Name"x\nNotes\n' + SMITH_ROW,
     ["line 1: text after the closing quote of a field"]),
    ("twenty problems are named, then counted", b"", HEADER + b"x\n" * 25,
     [f"line {n}: 1 field, where the header names 8" for n in range(2, 22)] + ["5 more problems"]),
    ("rows that would take the list past 100", SMITH * 99, HEADER + SMITH_ROW + b"\n" + SMITH_ROW,
     ["the list holds 99 records and takes 100 at the most: only 1 of the 2 rows fit; nothing was added"]),
]
for name, before, csv_bytes, outcome in IMPORT_CASES:
    for arguments in ([], ["--check"]):
        run, after = import_csv(before, csv_bytes, arguments)
        added = outcome if outcome and isinstance(outcome[0], bytes) or outcome == [] else None
        if added is not None:
            count = len(before) // 136 + len(added)
            verb = "would be added; the list would hold" if arguments else "added; the list holds"
            expected = (0, f"{len(added)} record{'s' * (len(added) != 1)} {verb} {count}\n".encode(), b"",
                        before + (b"".join(added) if not arguments else b""))
        else:
            told = [f"ledgerine-import: {line}" for line in outcome]
            if not told[-1].endswith("nothing was added"):
                told.append("ledgerine-import: nothing was added")
            expected = (1, b"", ("\n".join(told) + "\n").encode(), before)
        if (run.returncode, run.stdout, run.stderr, after) != expected:
            failures.append(f"import, {name} {arguments}: status {run.returncode}, stdout {run.stdout!r}, "
                            f"stderr {run.stderr.decode(errors='replace')!r}, list {after[-300:]!r}")

# The list must be there, and the file readable; neither is created or touched.
for name, before, arguments, said in [
        ("no list", None, [], "could not read Maillist.dat"),
        ("no such file", b"", ["nowhere.csv"], "cannot read nowhere.csv: No such file or directory"),
        ("a folder for a file", b"", ["."], "cannot read .: Is a directory")]:
    run, after = import_csv(before, HEADER, arguments)
    if (run.returncode, run.stdout, run.stderr, after) != (1, b"", f"ledgerine-import: {said}\n".encode(), before):
        failures.append(f"import, {name}: status {run.returncode}, stderr {run.stderr!r}, list {after!r}")

# The round trip: a list written by the program, and each list of the corpus
# as loading reads it, exported and imported into an empty list, is the same
# file; a field the form could not have held is refused by its line and label.
def normalized(data):
    return b"".join(record(*fields) for fields in loaded(data))

for name, data in [("the list typed through every character", entered)] + \
        [(f"corpus {n}", open(os.path.join(sys.argv[2], n), "rb").read()) for n in sorted(os.listdir(sys.argv[2]))]:
    csv_bytes = export(data)[0].stdout
    run, after = import_csv(b"", csv_bytes)
    sound = all(len(f) <= limit and b"\n" not in f for row in loaded(data) for f, limit in zip(row, LIMITS))
    if sound and (run.returncode, after) != (0, normalized(data)):
        failures.append(f"round trip, {name}: status {run.returncode}, stderr {run.stderr!r}")
    if not sound and (run.returncode, after, run.stderr.startswith(b"ledgerine-import: line ")) != (1, b"", True):
        failures.append(f"round trip, {name}: a list the form could not have written: status {run.returncode}, "
                        f"stderr {run.stderr!r}")

# A save under the exclusive lock is waited for; the rows are then counted
# against the list as that save left it: the 100th record is taken, so the
# import is refused whole.
folder = list_folder(SMITH * 98)
with open(os.path.join(folder, "Maillist.dat"), "rb+") as held:
    fcntl.lockf(held, fcntl.LOCK_EX)
    waiting = subprocess.Popen(IMPORTER, cwd=folder, stdin=subprocess.PIPE, stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    waiting.stdin.write(HEADER + SMITH_ROW + b"\n" + SMITH_ROW)
    waiting.stdin.close()
    time.sleep(0.5)
    held.seek(0, 2)
    held.write(SMITH); held.flush()
    fcntl.lockf(held, fcntl.LOCK_UN)
    waiting.wait()
if (waiting.returncode, list_in(folder)) != (1, SMITH * 99):
    failures.append(f"import onto a locked list: status {waiting.returncode}, stderr {waiting.stderr.read()!r}")

# Both tools: --help and --version on standard output; anything else they do
# not take, the usage on standard error and status 2, with nothing done.
for tool in (COMMAND, IMPORTER):
    name = os.path.basename(tool[-1])
    for arguments, status, out, err in [(["--help"], 0, b"Usage: " + name.encode(), b""),
                                        (["--version"], 0, f"{name} 1.0\n".encode(), b""),
                                        (["--verbose"], 2, b"", f"{name}: unknown option '--verbose'\nUsage: ".encode()),
                                        (["a", "b"], 2, b"", f"{name}: unexpected argument '".encode())]:
        run = subprocess.run(tool + arguments, cwd=list_folder(SMITH), input=HEADER, capture_output=True)
        if (run.returncode, run.stdout[:len(out)], run.stderr[:len(err)], bool(out), bool(err)) != \
                (status, out, err, bool(run.stdout), bool(run.stderr)):
            failures.append(f"{name} {arguments}: status {run.returncode}, stdout {run.stdout!r}, stderr {run.stderr!r}")
import_count = 2 * len(IMPORT_CASES) + 3 + len(os.listdir(sys.argv[2])) + 2 + 8
print("\n".join(failures) or f"{len(CASES) + 4} export and {import_count} import cases pass")
sys.exit(1 if failures else 0)
