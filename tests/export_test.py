# ledgerine-export: its CSV of byte-built lists read back by Python's csv module
# and its code page 850 by Python's own codec; its failures, its wait for a lock,
# its command line. GROUP is one of csv, failures, lock, command-line.
import fcntl, io, os, subprocess, time, csv
from tool_support import *
from tool_conventions import check_conventions

failures = []
plain = [b"Brown", b"Ann", b"48 Elm Avenue", b"Toronto", b"ON", b"M5V2T", b"416-555-0199", b"2001 Sedan"]
awkward = [b"Smith, Jr.", b'Bob "Bo"', b"12 Main\rSt", b"Line\nTwo", b"", b"K1A0B", b"\x80\xe9\xff caf\x82", b"  Coupe  "]

def check(name, data, rows):
    run, _ = export(data)
    out = run.stdout
    expected = [LABELS] + texts(rows)
    written = io.StringIO(newline="")
    csv.writer(written, lineterminator="\r\n").writerows(expected)
    # Read back field for field, and byte for byte as a reference writer puts it.
    if (run.returncode, run.stderr) != (0, b"") or parse(out) != expected or out != written.getvalue().encode("utf-8"):
        failures.append(f"{name}: status {run.returncode}, stderr {run.stderr!r}, stdout {out[:400]!r}")

if GROUP == "csv":
    full = [b"L" * 20, b'"' * 20, b"A," * 15, b"C\r\n" * 6 + b"CC", b"ONT", b"12345678", b"9" * 15, b"\xff" * 20]
    quotes = [b'"' * w for w in WIDTHS]
    boxes = [b"\xce" * w for w in WIDTHS]  # three bytes of UTF-8 each: every row at its longest
    typed, entered = every_character_typed()
    if entered != b"".join(record(*fields) for fields in typed):
        failures.append(f"code page: typed in UTF-8, the list holds {entered!r}")
    cases = [
        ("every character of the code page, entered in UTF-8", entered, typed),
        ("fields at their longest in UTF-8", record(*boxes) * 100, [boxes] * 100),
        ("a comma, a quote, a CR, a LF, empty, high bytes, spaces", record(*plain) + record(*awkward), [plain, awkward]),
        ("fields without a NUL", record(*full), [full]),
        ("an empty list", b"", []),
        ("a whitespace tail", record(*plain) + b" \t\n\v\f\r" * 40, [plain]),
        ("101 records of quotes, the first 100 written", record(*quotes) * 100 + record(*plain), [quotes] * 100),
    ] + [(f"corpus {n}", data, None) for n, data in corpus()]
    for name, data, rows in cases:
        check(name, data, loaded(data) if rows is None else rows)
    finish(failures, f"{len(cases)} lists exported as CSV")

if GROUP == "failures":
    # Status, standard output and the lines on standard error: no list, a full
    # disk, and a closed standard output fail with one line saying why and
    # nothing written; a closed standard output never becomes the list, which
    # stays as it was.
    for name, data, stdout, start, status, errors, why in [
            ("no list", None, subprocess.PIPE, None, 1, 1, b": No such file or directory\n"),
            ("a full disk", b"", open("/dev/full", "wb"), None, 1, 1, b": No space left on device\n"),
            ("a closed standard output", record(*plain), subprocess.PIPE, lambda: os.close(1), 1, 1,
             b": Bad file descriptor\n")]:
        run, folder = export(data, stdout, start)
        kept = data is None or open(os.path.join(folder, "Maillist.dat"), "rb").read() == data
        if (run.returncode, run.stdout or b"", run.stderr.count(b"\n"), run.stderr.endswith(why), kept) != \
                (status, b"", errors, True, True):
            failures.append(f"{name}: status {run.returncode}, stdout {run.stdout!r}, stderr {run.stderr!r}, list kept {kept}")
    finish(failures, "3 failures of the export")

if GROUP == "lock":
    # A record being added under the exclusive lock is waited for, then written.
    folder = list_folder(None)
    with open(os.path.join(folder, "Maillist.dat"), "wb+") as held:
        held.write(record(*plain)); held.flush()
        fcntl.lockf(held, fcntl.LOCK_EX)
        waiting = subprocess.Popen(EXPORTER, cwd=folder, stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        time.sleep(0.5)
        held.write(record(*awkward)); held.flush()
        fcntl.lockf(held, fcntl.LOCK_UN)
        out, _ = waiting.communicate()
    if waiting.returncode != 0 or parse(out)[1:] != texts([plain, awkward]):
        failures.append(f"locked list: status {waiting.returncode}, stdout {out!r}")
    finish(failures, "the export waits for a save")

if GROUP == "command-line":
    name = "ledgerine-export"
    try_help = f"\nTry '{name} --help'.\n"
    for arguments, status, out, err in [(["--help"], 0, b"Usage: " + name.encode(), b""),
                                        (["--version"], 0, f"{name} 1.0\n".encode(), b""),
                                        (["--verbose"], 2, b"", f"{name}: unknown option '--verbose'{try_help}".encode()),
                                        (["a", "b"], 2, b"", f"{name}: unexpected argument 'a'{try_help}".encode())]:
        run = subprocess.run(EXPORTER + arguments, cwd=list_folder(record(*plain)), capture_output=True)
        if (run.returncode, run.stdout[:len(out)], run.stderr, bool(out)) != (status, out, err, bool(run.stdout)):
            failures.append(f"{name} {arguments}: status {run.returncode}, stdout {run.stdout!r}, stderr {run.stderr!r}")
    written = export(record(*plain))[0].stdout
    check_conventions(name, EXPORTER, record(*plain), None, {"LC_ALL": "C"},
                      lambda out, after: (out, after) == (written, record(*plain)), failures)
    finish(failures, "4 command lines of the export, and what every tool does the same way")
raise SystemExit(f"export_test.py: no group {GROUP}")
