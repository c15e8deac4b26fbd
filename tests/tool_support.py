# What the companion tools' tests share: the tools to run (from the arguments,
# or LEDGERINE_TEST_EXPORTER, LEDGERINE_TEST_PROGRAM, LEDGERINE_TEST_IMPORTER
# and LEDGERINE_TEST_WRAPPER as for the program's own tests), records built from
# the layout, lists in scratch folders, and the runs of both tools.
# Arguments of every tools test: GROUP EXPORTER CORPUS_DIR PROGRAM IMPORTER.
import csv, io, os, subprocess, sys, tempfile

WIDTHS = (20, 20, 30, 20, 3, 8, 15, 20)
LIMITS = [w - 1 for w in WIDTHS]
HEADER = b"Last Name,First Name,Address,City,Province Code,Postal Code,Telephone Number,Year & Model\r\n"
LABELS = HEADER.decode()[:-2].split(",")
WRAPPER = os.environ.get("LEDGERINE_TEST_WRAPPER", "").split()
GROUP = sys.argv[1]
EXPORTER = WRAPPER + [os.path.abspath(os.environ.get("LEDGERINE_TEST_EXPORTER", sys.argv[2]))]
CORPUS = sys.argv[3]
PROGRAM = WRAPPER + [os.path.abspath(os.environ.get("LEDGERINE_TEST_PROGRAM", sys.argv[4]))]
IMPORTER = WRAPPER + [os.path.abspath(os.environ.get("LEDGERINE_TEST_IMPORTER", sys.argv[5]))]
ROOT = tempfile.TemporaryDirectory()

def record(*fields):  # a field as long as its width has no NUL; fields not given are empty
    return b"".join(f.ljust(w, b"\0") for f, w in zip(fields + (b"",) * 8, WIDTHS))

def loaded(data):  # what loading makes of a file: its first 100 records
    data = data[:len(data.rstrip(b" \t\n\v\f\r"))]
    data += b"\0" * (-len(data) % 136)
    return [[data[at + sum(WIDTHS[:i]):at + sum(WIDTHS[:i + 1])].split(b"\0")[0] for i in range(8)]
            for at in range(0, min(len(data), 100 * 136), 136)]

def normalized(data):  # the file loading reads, as the form would have written it
    return b"".join(record(*fields) for fields in loaded(data))

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

def corpus():  # the data files of the fuzzer's corpus, by name
    return [(n, open(os.path.join(CORPUS, n), "rb").read()) for n in sorted(os.listdir(CORPUS))]

def export(data, stdout=subprocess.PIPE, start=None, arguments=()):
    folder = list_folder(data)
    run = subprocess.run(EXPORTER + list(arguments), cwd=folder, stdout=stdout, stderr=subprocess.PIPE,
                         preexec_fn=start, env={"LC_ALL": "C"})
    return run, folder

def import_file(data, file_bytes, arguments=(), locale="C", stdout=subprocess.PIPE):  # the run, and the list after it
    folder = list_folder(data)
    run = subprocess.run(IMPORTER + list(arguments), cwd=folder, input=file_bytes, stdout=stdout,
                         stderr=subprocess.PIPE, env={"LC_ALL": locale})
    return run, list_in(folder)

def every_character_typed():
    """Every character of the code page, typed in UTF-8 at the form of the
    program under a UTF-8 locale: the records it should make, and the list."""
    upper = bytes(range(0x80, 0x100))
    typed, at = [], 0
    while at < len(upper):
        fields = []
        for limit in LIMITS:
            fields.append(upper[at:at + limit])
            at += limit
        typed.append(fields)
    folder = list_folder(b"")
    keys = b"".join(b"e\n" + b"".join(f.decode("cp850").encode("utf-8") + b"\n" for f in fields) for fields in typed)
    subprocess.run(PROGRAM, cwd=folder, input=keys + b"q\n", stdout=subprocess.DEVNULL, env={"LC_ALL": "C.UTF-8"},
                   check=True)
    return typed, list_in(folder)

def finish(failures, passed):
    print("\n".join(failures) or passed)
    sys.exit(1 if failures else 0)
