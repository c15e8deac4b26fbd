# ledgerine-labels: the PDF of small lists read back with poppler's pdftotext
# -bbox-layout. Every word of a record must lie inside its own label, less the
# 2 mm margin, and the label's words must spell its address block; every font
# must be embedded (pdffonts); a refusal writes nothing to standard output, and
# a file is replaced only when whole.
# Usage: labels_test.py LABELS [--strace] (LEDGERINE_TEST_LABELS and
# LEDGERINE_TEST_WRAPPER as for the program's own tests). With --strace, only
# the failed calls of -o's whole write, made to fail by strace.
import errno, os, pty, re, resource, stat, subprocess, sys, threading, unicodedata

from label_support import *
from tool_conventions import check_conventions

failures = []

def fields_of(data):
    return [[data[at + sum(WIDTHS[:i]):at + sum(WIDTHS[:i + 1])].split(b"\0")[0].decode("cp850") for i in range(8)]
            for at in range(0, len(data), 136)]

def block(fields, upper):  # the address block, as Canada Post asks for it
    last, first, address, city, province, postal = fields[:6]
    if re.fullmatch(r"[A-Za-z][0-9][A-Za-z][0-9][A-Za-z][0-9]", postal):
        postal = postal[:3] + " " + postal[3:]
    place = city
    for part, spaces in ((province, " "), (postal, "  ")):
        place = place + spaces + part if place and part else place or part
    text = " ".join([" ".join(p for p in (first, last) if p), address, place])
    return " ".join((text.upper() if upper else text).split())

def folded(text):
    return unicodedata.normalize("NFC", "".join(c for c in unicodedata.normalize("NFD", text)
                                                if not unicodedata.combining(c))).casefold()

def sort_key(order):
    if order == "last-name":
        return lambda f: (folded(f[0]), folded(f[1]), f[0].encode("cp850"), f[1].encode("cp850"))
    return lambda f: (f[5].strip(" ") == "", folded(f[5].replace(" ", "")), f[5].encode("cp850"))

# Under strace, which sees only the calls on the output's folder, the file and
# its temporary file (-P), each call of the whole write fails in turn: the old
# file, or its absence, is as it was, no temporary file is left, and the run
# says why with status 1. Through a link from another folder, the file the link
# names is written beside itself (else no call there would fail), and the link
# is kept. A folder that cannot be synced fails the run too, the new file whole
# in its place, as it might not outlast a crash.
if sys.argv[2:] == ["--strace"]:
    OLD = b"old labels"
    # Each case: the calls failed (strace's -e inject=), the old file, whether -o
    # names it through a link, the status, the file after ("new" for a whole
    # PDF), and whether the temporary file is left (only when it cannot be removed).
    for name, faults, old, linked, status, after, left in [
            ("a whole write", [], OLD, False, 0, "new", False),
            ("the temporary file cannot be made", ["openat:error=EACCES:when=1"], OLD, False, 1, OLD, False),
            ("its permissions cannot be set", ["fchmod:error=EPERM"], OLD, False, 1, OLD, False),
            ("the disk is full", ["pwrite64:error=ENOSPC"], OLD, False, 1, OLD, False),
            ("its sync fails", ["fsync:error=EIO:when=1"], OLD, False, 1, OLD, False),
            ("its close fails", ["close:error=EIO:when=1"], OLD, False, 1, OLD, False),
            ("the rename fails", ["rename:error=EIO"], OLD, False, 1, OLD, False),
            ("a new file, the disk full", ["pwrite64:error=ENOSPC"], None, False, 1, None, False),
            ("a new file, its sync fails", ["fsync:error=EIO:when=1"], None, False, 1, None, False),
            ("a new file, the rename fails", ["rename:error=EIO"], None, False, 1, None, False),
            ("through a link, a whole write", [], OLD, True, 0, "new", False),
            ("through a link, the disk is full", ["pwrite64:error=ENOSPC"], OLD, True, 1, OLD, False),
            ("through a link, its sync fails", ["fsync:error=EIO:when=1"], OLD, True, 1, OLD, False),
            ("through a link, the rename fails", ["rename:error=EIO"], OLD, True, 1, OLD, False),
            ("the folder cannot be opened to be synced", ["openat:error=EACCES:when=2"], OLD, False, 1, "new", False),
            ("the folder's sync fails", ["fsync:error=EIO:when=2"], OLD, False, 1, "new", False),
            ("a new file, the folder's sync fails", ["fsync:error=EIO:when=2"], None, False, 1, "new", False),
            # The run says why the write failed, not why the removal did.
            ("the disk is full, the temporary file cannot be removed", ["pwrite64:error=ENOSPC", "unlink:error=EBUSY"],
             OLD, False, 1, OLD, True),
            ("the rename fails, the temporary file cannot be removed", ["rename:error=EIO", "unlink:error=EBUSY"],
             OLD, False, 1, OLD, True)]:
        folder = folder_with(record("Smith", "John", "12 Main St", "Ottawa", "ON", "K1A0B1"))
        out, links = os.path.join(folder, "out"), os.path.join(folder, "links")
        os.mkdir(out)
        os.mkdir(links)
        target, given = os.path.join(out, "labels.pdf"), os.path.join(links, "link.pdf")
        if old is not None:
            with open(target, "wb") as f:
                f.write(old)
        if linked:
            os.symlink("../out/labels.pdf", given)
        else:
            given = target
        trace = os.path.join(folder, "trace")
        strace = ["/usr/bin/strace", "-f", "-qq", "-o", trace, "-P", out, "-P", target,
                  "-P", os.path.join(out, ".labels.pdf.tmp")] + [f"--inject={fault}" for fault in faults]
        # LeakSanitizer cannot work under ptrace; valgrind checks these runs for leaks.
        run = subprocess.run(strace + LABELS + ["-o", given], cwd=folder, capture_output=True,
                             env=dict(C, ASAN_OPTIONS="detect_leaks=0"))
        said = b""
        if faults:  # "call:error=NAME[:when=N]": the program says NAME's text
            why = os.strerror(getattr(errno, faults[0].split("=")[1].split(":")[0]))
            said = f"ledgerine-labels: could not write the labels to {given}: {why}\n".encode()
        written = open(target, "rb").read() if os.path.exists(target) else None
        whole = written is not None and written.startswith(b"%PDF-") and written.rstrip().endswith(b"%%EOF")
        link = os.path.join(links, "link.pdf")
        got = (run.returncode, run.stdout, run.stderr, sorted(os.listdir(out)), "new" if whole else written,
               os.listdir(links) == (["link.pdf"] if linked else []) and
               (not linked or os.path.islink(link) and os.readlink(link) == "../out/labels.pdf"),
               open(trace).read().count("(INJECTED)") >= len(faults))
        files = ([".labels.pdf.tmp"] if left else []) + (["labels.pdf"] if after else [])
        if got != (status, b"", said, files, after, True, True):
            failures.append(f"-o, {name}: status, stdout, stderr, files, file, link, injected: {got!r}")
    print("\n".join(failures) or "every failed call of a whole write keeps the old file and removes the temporary one")
    sys.exit(1 if failures else 0)

def check_sheet(name, pdf, blocks, sheet, first, offset, checks):
    found, pages = words(pdf)
    per_sheet = SHEETS[sheet][3] * SHEETS[sheet][4]
    expected_pages = (first - 1 + len(blocks) - 1) // per_sheet + 1
    if pages != expected_pages:
        failures.append(f"{name}: {pages} pages, not {expected_pages}")
    placed = set()
    for k, text in enumerate(blocks):
        index = first - 1 + k
        x0, y0, x1, y1 = label_box(sheet, index, offset)
        inside = [w for w in found if w[0] == index // per_sheet and x0 - 4 < (w[1] + w[3]) / 2 < x1 + 4 and
                  y0 - 4 < (w[2] + w[4]) / 2 < y1 + 4]
        placed.update(inside)
        spelt = " ".join(w[5] for w in sorted(inside, key=lambda w: (round(w[2], 1), w[1])))
        if checks.get(k) == shrunk_and_broken:  # a word broken between two characters
            spelt, text = spelt.replace(" ", ""), text.replace(" ", "")
        outside = [w for w in inside
                   if w[1] < x0 - SLACK or w[2] < y0 - SLACK or w[3] > x1 + SLACK or w[4] > y1 + SLACK]
        if spelt != text or outside:
            failures.append(f"{name}: label {index + 1} spells {spelt!r}, not {text!r}; outside its margin: {outside}")
        elif k in checks and not checks[k](inside):
            failures.append(f"{name}: label {index + 1}: {[(w[5], round(w[4] - w[2], 2)) for w in inside]}")
    stray = [w for w in found if w not in placed]
    if stray:
        failures.append(f"{name}: words on no label of theirs: {stray[:5]}")

def shrunk_and_broken(inside):  # some lines smaller than others, and more than three lines
    heights = [w[4] - w[2] for w in inside]
    return min(heights) < 0.95 * max(heights) and len({round(w[2], 1) for w in inside}) > 3

def shrunk(inside):
    heights = [w[4] - w[2] for w in inside]
    return min(heights) < 0.95 * max(heights)

ADDRESS_29 = "12345 BOULEVARD SAINT-LAURENT"
assert len(ADDRESS_29) == 29
MIXED = [
    record("Côté", "Hélène", "12 rue Saint-Jérôme", "Québec", "QC", "g1r4p2", "418-555-1234", "1995 Coupe"),
    record("Smith", "", "12 Main St", "", "ON", "K1A 0B1"),
    record(),  # nothing to show: a blank label, kept
    record("", "Ann", "", "Toronto", "", "12345"),
    record("Tremblay", "Marie", ADDRESS_29, "Montréal", "QC", "H2X1K9"),
    record("W" * 19, "W" * 19, "W" * 29, "Ø" * 19, "QC", "H2X 1K9"),
    record("   ", "", "   ", "Ottawa"),
]
SORTABLE = [
    record("Cote", "Zoé", "1 A St", "", "", "h2x1k9"), record("côté", "anne", "2 B St", "", "", "K1A 0B1"),
    record("Côté", "Anne", "3 C St", "", "", "   "), record("Gagnon", "Éric", "4 D St", "", "", "A1A1A1"),
    record("Côté", "Anne", "5 E St", "", "", "h2x 1k9"), record("Æbelø", "Ida", "6 F St", "", "", ""),
    record("Cote", "zoe", "7 G St", "", "", "H2X1K9"),
]
MANY = b"".join(record(f"Name{n}", f"First{n}", f"{n} Main St", "Ottawa", "ON", "K1A0B1") for n in range(35))
# Each case: its records, the arguments, the locale, and what some of its
# labels must show besides (by the record's place in the case).
CASES = [(f"sheet {s}", MIXED, ["--sheet", s.lower()], None, {4: shrunk, 5: shrunk_and_broken} if s == "L7160" else {})
         for s in SHEETS] + [
    ("--first 5", MIXED[:3], ["--first", "5"], None, {}),
    ("--first 30: onto a second sheet", MIXED[:3], ["--first=30"], None, {}),
    ("35 on three sheets, from label 13", [MANY], ["--sheet", "L7163", "--first", "13"], None, {}),
    ("--offset -1.5mm,.02in", MIXED[:4], ["--sheet", "5161", "--offset", "-1.5mm,.02in"], None, {}),
    ("--offset at its bounds", MIXED[:1], ["--sheet", "5163", "--first", "3", "--offset=20mm,-20mm"], None, {}),
    ("--offset at its other bounds", MIXED[:1], ["--sheet", "L7163", "--first", "2", "--offset", "-20mm,20mm"], None,
     {}),
    ("--offset in points and inches", MIXED[:4], ["--sheet", "L7163", "--offset", "+10pt,-0.25in"], None, {}),
    ("--sort last-name", SORTABLE, ["--sort", "last-name"], None, {}),
    ("--sort postal-code", SORTABLE, ["--sort", "postal-code"], None, {}),
    ("--upper", MIXED + [record("Straße", "Éloïse", "9 rue de l'Église", "Sainte-Foy", "qc", "g1v0a6")],
     ["--upper"], None, {}),
    ("--last-name in UTF-8", SORTABLE, ["--last-name", "Côté"], UTF8, {}),
    ("--last-name in code page 850 bytes", SORTABLE, [b"--last-name=C\x93t\x82"], None, {}),
]
for name, records, arguments, env, checks in CASES:
    data = b"".join(records)
    run = labels(data, arguments, env)
    if run.returncode != 0 or run.stderr or not run.stdout.startswith(b"%PDF-"):
        failures.append(f"{name}: status {run.returncode}, stderr {run.stderr!r}")
        continue
    chosen = fields_of(data)
    text_arguments = [a.decode("cp850") if isinstance(a, bytes) else a for a in arguments]
    joined = " ".join(text_arguments)
    if "--last-name" in joined:
        chosen = [f for f in chosen if f[0] == "Côté"]
    for order in ("last-name", "postal-code"):
        if f"--sort {order}" in joined:
            chosen = sorted(chosen, key=sort_key(order))
    sheet = next((a.upper() for a in text_arguments if a.upper() in SHEETS), "5160")
    first = int(re.search(r"--first[= ](\d+)", joined).group(1)) if "--first" in joined else 1
    offset = (0, 0)
    if "--offset" in joined:
        units = {"mm": 1, "in": 25.4, "pt": 25.4 / 72}
        given = re.search(r"--offset[= ](\S+)", joined).group(1).split(",")
        offset = tuple(float(v[:-2]) * units[v[-2:]] for v in given)
    check_sheet(name, run.stdout, [block(f, "--upper" in joined) for f in chosen], sheet, first, offset, checks)

# Every font embedded, as a subset: the default, and one named.
for arguments, family in (([], "DejaVuSans"), (["--font", "DejaVu Serif"], "DejaVuSerif")):
    pdf = os.path.join(ROOT.name, "fonts.pdf")
    with open(pdf, "wb") as f:
        f.write(labels(b"".join(MIXED), arguments).stdout)
    fonts = subprocess.run(["pdffonts", pdf], capture_output=True, text=True).stdout.splitlines()[2:]
    if not fonts or any(line.split()[-5:-3] != ["yes", "yes"] for line in fonts) or \
            not all(re.match(rf"[A-Z]{{6}}\+{family}\b", line) for line in fonts):
        failures.append(f"fonts {arguments}: {fonts}")

# The sheets as the program lists them are the figures above.
listed = labels(None, ["--list-sheets"]).stdout.decode().splitlines()
wanted = [f"{n} {s[0]} {s[3]} x {s[4]} {s[5]:.2f} x {s[6]:.2f} mm" for n, s in SHEETS.items()]
if [" ".join(line.split()) for line in listed] != wanted:
    failures.append(f"--list-sheets: {listed}")

# Refusals: nothing on standard output, the status, the first words said.
SMITH = record("Smith", "John", "12 Main St", "Ottawa", "ON", "K1A0B1")
full = open("/dev/full", "wb")
REFUSALS = [
    ("unknown option", SMITH, ["--verbose"], None, 2, "unknown option '--verbose'\nTry 'ledgerine-labels --help'.\n"),
    ("unknown sheet, the names listed", SMITH, ["--sheet", "A4"], None, 2,
     "unknown sheet 'A4' (the sheets are 5160, 5161, 5163, L7160 and L7163)\n"),
    ("--first 0", SMITH, ["--first", "0"], None, 2, "unknown label '0' for --first (the labels are 1 to 30)\n"),
    ("--first past the sheet", SMITH, ["--sheet", "L7160", "--first", "22"], None, 2,
     "unknown label '22' for --first (the labels are 1 to 21)\n"),
    ("--first not a number", SMITH, ["--first", "2x"], None, 2, "unknown label '2x' for --first"),
    ("--offset past 20mm", SMITH, ["--offset", "20.1mm,0mm"], None, 2,
     "unknown offset '20.1mm,0mm' (X,Y, each a number with mm, in or pt, at most 20mm)\n"),
    ("--offset past 20mm in inches", SMITH, ["--offset", "0mm,-0.79in"], None, 2, "unknown offset '0mm,-0.79in'"),
    ("--offset without a unit", SMITH, ["--offset", "1,2mm"], None, 2, "unknown offset '1,2mm'"),
    ("--offset in centimetres", SMITH, ["--offset", "1cm,2mm"], None, 2, "unknown offset '1cm,2mm'"),
    ("--offset with one length", SMITH, ["--offset", "1mm"], None, 2, "unknown offset '1mm'"),
    ("--sort by city", SMITH, ["--sort", "city"], None, 2,
     "unknown sort key 'city' (the sort keys are last-name and postal-code)\n"),
    ("--font replaced by another family", SMITH, ["--font", "No Such Family"], None, 2,
     "unknown font 'No Such Family' (fontconfig would put "),
    ("--font naming no family", SMITH, ["--font", ":bold"], None, 2, "font ':bold' names no family\n"),
    ("an empty list", b"", [], None, 1, "no labels"),
    ("a block too tall for its label (line breaks in a field)", SMITH + record("Roy", "Ann", "\n" * 29), [], None, 1,
     "could not fit the address of record 2 on its label"),
    ("a last name nobody has", SMITH, ["--last-name", "Jones"], None, 1, "no labels"),
    ("no list", None, [], None, 1, "could not open Maillist.dat: No such file or directory\n"),
    ("standard output full", SMITH, [], full, 1,
     "could not write the labels to standard output: No space left on device\n"),
    ("-o /dev/full", SMITH, ["-o", "/dev/full"], None, 1, "could not write the labels to /dev/full: No space left"),
    ("-o into no folder", SMITH, ["-o", "nowhere/labels.pdf"], None, 1,
     "could not write the labels to nowhere/labels.pdf: No such file or directory\n"),
]
# A usage error (status 2) is its fault and where to look, in two lines; any
# other refusal one line.
for name, data, arguments, stdout, status, said in REFUSALS:
    run = subprocess.run(LABELS + arguments, cwd=folder_with(data), stdout=stdout or subprocess.PIPE,
                         stderr=subprocess.PIPE, env=C)
    told = run.stderr.decode()
    lines = 2 if status == 2 else 1
    if (run.returncode, run.stdout or b"", told.startswith("ledgerine-labels: " + said), told.count("\n")) != \
            (status, b"", True, lines) or status == 2 and not told.endswith("\nTry 'ledgerine-labels --help'.\n"):
        failures.append(f"{name}: status {run.returncode}, stdout {(run.stdout or b'')[:40]!r}, stderr {run.stderr!r}")

# --help and --version on standard output, with nothing else done.
for arguments, out in ((["--help"], b"Usage: ledgerine-labels [OPTIONS]\n"), (["--version"], b"ledgerine-labels 1.0\n")):
    run = subprocess.run(LABELS + arguments, cwd=folder_with(None), capture_output=True)
    if (run.returncode, run.stdout[:len(out)], run.stderr) != (0, out, b""):
        failures.append(f"{arguments}: status {run.returncode}, stdout {run.stdout[:60]!r}, stderr {run.stderr!r}")

# What every tool does the same way.
check_conventions("ledgerine-labels", LABELS, SMITH, None, C, lambda out, after: out.startswith(b"%PDF-"), failures)
# --list-sheets writes to standard output too.
for name, stdout, start, why in [("closed", None, lambda: os.close(1), "Bad file descriptor"),
                                 ("full", full, None, "No space left on device")]:
    run = subprocess.run(LABELS + ["--list-sheets"], cwd=folder_with(None), stdout=stdout or subprocess.PIPE,
                         stderr=subprocess.PIPE, preexec_fn=start)
    if (run.returncode, run.stdout or b"", run.stderr.decode()) != \
            (1, b"", f"ledgerine-labels: could not write{' the sheets' * (stdout is not None)} to standard output: {why}\n"):
        failures.append(f"--list-sheets, standard output {name}: status {run.returncode}, stderr {run.stderr!r}")

# A terminal is refused, whether standard output or named by -o, and sees nothing.
main, terminal = pty.openpty()
os.set_blocking(main, False)
for arguments, stdout in (([], terminal), (["-o", os.ttyname(terminal)], subprocess.PIPE)):
    run = subprocess.run(LABELS + arguments, cwd=folder_with(SMITH), stdout=stdout, stderr=subprocess.PIPE)
    try:
        shown = os.read(main, 4096)
    except BlockingIOError:
        shown = b""
    if (run.returncode, shown, run.stdout or b"", b"is a terminal" in run.stderr) != (2, b"", b"", True):
        failures.append(f"terminal {arguments}: status {run.returncode}, shown {shown[:40]!r}, stderr {run.stderr!r}")

# -o FILE: a new file as open(2) would make it; an old one replaced whole,
# keeping its permissions, or left as it was when the PDF cannot be written
# whole (here a file size limit), with no temporary file left beside it. A
# temporary file already there (another run's) is never written over: the run
# fails, and both files are kept.
def small_files():
    os.umask(0o022)
    resource.setrlimit(resource.RLIMIT_FSIZE, (4096, 4096))

for name, old, mode, start, leftover, status in [
        ("a new file", None, None, lambda: os.umask(0o022), None, 0),
        ("an old file replaced, its permissions kept", b"old labels", 0o640, None, None, 0),
        ("an old file kept when the new cannot be written whole", b"old labels", 0o604, small_files, None, 1),
        ("no file made when it cannot be written whole", None, None, small_files, None, 1),
        ("a temporary file already there", b"old labels", 0o640, None, b"another run's", 1)]:
    folder = folder_with(SMITH)
    path = os.path.join(folder, "labels.pdf")
    if old is not None:
        with open(path, "wb") as f:
            f.write(old)
        os.chmod(path, mode)
    if leftover is not None:
        with open(os.path.join(folder, ".labels.pdf.tmp"), "wb") as f:
            f.write(leftover)
    run = subprocess.run(LABELS + ["-o", "labels.pdf"], cwd=folder, capture_output=True, preexec_fn=start)
    after = open(path, "rb").read() if os.path.exists(path) else None
    left = sorted(os.listdir(folder))
    expected_files = (["Maillist.dat", "labels.pdf"] if status == 0 or old is not None else ["Maillist.dat"]) + \
        ([".labels.pdf.tmp"] if leftover is not None else [])
    kept = after == old if status else after.startswith(b"%PDF-") and after.rstrip().endswith(b"%%EOF")
    kept = kept and (leftover is None or open(os.path.join(folder, ".labels.pdf.tmp"), "rb").read() == leftover)
    file_mode = stat.S_IMODE(os.stat(path).st_mode) if after is not None else None
    expected_mode = mode or (0o644 if after else None)
    if (run.returncode, run.stdout, kept, left, file_mode) != \
            (status, b"", True, sorted(expected_files), expected_mode):
        failures.append(f"-o, {name}: status {run.returncode}, stderr {run.stderr!r}, files {left}, mode {file_mode}")

# A FIFO is written as it is, and a symbolic link is followed to the file it names.
folder = folder_with(SMITH)
os.mkfifo(os.path.join(folder, "fifo"))
read_back = []
def read_fifo():  # a reader that never gets a writer must not keep the test from ending
    with open(os.path.join(folder, "fifo"), "rb") as fifo:
        read_back.append(fifo.read())

reader = threading.Thread(target=read_fifo, daemon=True)
reader.start()
run = subprocess.run(LABELS + ["-o", "fifo"], cwd=folder, capture_output=True, timeout=60)
reader.join(60)
if run.returncode != 0 or not read_back or not read_back[0].startswith(b"%PDF-") or \
        not stat.S_ISFIFO(os.stat(os.path.join(folder, "fifo")).st_mode):
    failures.append(f"-o a FIFO: status {run.returncode}, stderr {run.stderr!r}, read {len(read_back)}")
open(os.path.join(folder, "target.pdf"), "wb").close()
os.symlink("target.pdf", os.path.join(folder, "link.pdf"))
run = subprocess.run(LABELS + ["-o", "link.pdf"], cwd=folder, capture_output=True)
if run.returncode != 0 or not os.path.islink(os.path.join(folder, "link.pdf")) or \
        not open(os.path.join(folder, "target.pdf"), "rb").read().startswith(b"%PDF-"):
    failures.append(f"-o a symbolic link: status {run.returncode}, stderr {run.stderr!r}")

print("\n".join(failures) or f"{len(CASES)} sheets, {len(REFUSALS) + 2} refusals, 2 answers and 7 outputs pass")
sys.exit(1 if failures else 0)
