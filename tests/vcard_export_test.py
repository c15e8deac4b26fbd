# ledgerine-export --format vcard|vcard4 and --split: the cards of byte-built
# lists line by line, their folding and UIDs (against Python's uuid and hashlib),
# the card files of a folder, the failures, and every card of a 100-record
# export read back by python3-vobject.
# Usage: vcard_export_test.py EXPORTER [--strace] (LEDGERINE_TEST_EXPORTER and
# LEDGERINE_TEST_WRAPPER as for the other tool tests). With --strace, only the
# card files while a card is being written, with calls held back by strace, and
# when each call of a card's write is failed by strace.
import errno, hashlib, os, resource, signal, subprocess, sys, tempfile, time, uuid
import vobject

WIDTHS = (20, 20, 30, 20, 3, 8, 15, 20)
WRAPPER = os.environ.get("LEDGERINE_TEST_WRAPPER", "").split()
COMMAND = WRAPPER + [os.path.abspath(os.environ.get("LEDGERINE_TEST_EXPORTER", sys.argv[1]))]
NAMESPACE = uuid.UUID("64fbcf4c-c960-400d-897a-cc164b1bf024")
ROOT = tempfile.TemporaryDirectory()
failures = []

def record(*fields):  # a field as long as its width has no NUL; fields not given are empty
    return b"".join(f.ljust(w, b"\0") for f, w in zip(fields + (b"",) * 8, WIDTHS))

def list_folder(data):
    folder = tempfile.mkdtemp(dir=ROOT.name)
    with open(os.path.join(folder, "Maillist.dat"), "wb") as f:
        f.write(data)
    return folder

def export(data, arguments, stdout=subprocess.PIPE, start=None):
    folder = list_folder(data)
    return subprocess.run(COMMAND + arguments, cwd=folder, stdout=stdout, stderr=subprocess.PIPE, preexec_fn=start)

def files_in(folder):  # a link by what it points to
    paths = {name: os.path.join(folder, name) for name in os.listdir(folder)}
    return {name: os.readlink(p).encode() if os.path.islink(p) else open(p, "rb").read() for name, p in paths.items()}

def uid(last, first, ordinal=0):  # the name-based UUID of the stored bytes
    name = last + b"\0" + first + b"\0" + str(ordinal).encode()
    made = uuid.UUID(bytes=hashlib.sha1(NAMESPACE.bytes + name).digest()[:16], version=5)
    if name.isascii() and made != uuid.uuid5(NAMESPACE, name.decode()):
        failures.append(f"the reference UUID of {name!r} is not uuid5's")
    return str(made)

def card(version, names, fn, n, adr, tel=None, note=None, ordinal=0):  # the logical lines of one card
    lines = ["BEGIN:VCARD", f"VERSION:{version}", f"UID:urn:uuid:{uid(*names, ordinal)}", f"FN:{fn}", f"N:{n}",
             f"ADR;TYPE=home:{adr}"]
    if tel is not None:
        lines.append(("TEL;TYPE=voice:" if version == "3.0" else "TEL;VALUE=text;TYPE=voice:") + tel)
    if note is not None:
        lines.append(f"NOTE:{note}")
    return lines + ["END:VCARD"]

def unfold(name, out):  # the logical lines, after checking every physical line and fold
    if out and not out.endswith(b"\r\n"):
        failures.append(f"{name}: the last line has no CR LF: {out[-80:]!r}")
    logical = []
    physical = out.split(b"\r\n")[:-1]
    for at, line in enumerate(physical):
        try:
            text = line.decode("utf-8")
        except UnicodeDecodeError:
            failures.append(f"{name}: line {at + 1} is cut inside a character: {line!r}")
            return None
        if len(line) > 75 or "\r" in text or "\n" in text or text.startswith("\ufeff"):
            failures.append(f"{name}: line {at + 1} is longer than 75 octets, holds a line break or a BOM: {line!r}")
        if line.startswith(b" ") and logical:
            # Folded only where the next character would not have fitted.
            if len(physical[at - 1]) + len(text[1].encode("utf-8")) <= 75:
                failures.append(f"{name}: line {at} folded early: {physical[at - 1]!r}")
            logical[-1] += text[1:]
        else:
            logical.append(text)
    return logical

def check_cards(name, data, expected, arguments):
    run = export(data, arguments)
    lines = unfold(name, run.stdout)
    if (run.returncode, run.stderr, lines) != (0, b"", [line for c in expected for line in c]):
        failures.append(f"{name}: status {run.returncode}, stderr {run.stderr!r}, cards {lines!r}")

def cards_of(out):  # each card's bytes by its file name
    pieces = [c + b"END:VCARD\r\n" for c in out.split(b"END:VCARD\r\n")[:-1]]
    return {c.split(b"UID:urn:uuid:")[1][:36].decode() + ".vcf": c for c in pieces}

# Under strace, which holds back one call for a second: a card file that
# appears after the names were looked at, while its card is being written (the
# link of the temporary file to its name held back), is kept, and the run fails;
# a run killed in the middle of writing a card (its write held back) leaves no
# file under a card's name, only the hidden temporary one.
def under_strace(call, act):  # the run, its standard error and the folder's files
    folder = tempfile.mkdtemp(dir=ROOT.name)
    strace = ["/usr/bin/strace", "-f", "-qq", "-o", "/dev/null", "-e", f"trace={call}",
              "-e", f"inject={call}:delay_enter=1000000"]
    waiting = subprocess.Popen(strace + COMMAND + ["--format", "vcard", "--split", folder], start_new_session=True,
                               cwd=list_folder(record(b"Roy", b"Lu")), stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    for _ in range(600):
        if os.listdir(folder) or waiting.poll() is not None:  # the card's first file is made
            break
        time.sleep(0.05)
    act(folder, waiting)
    out, err = waiting.communicate()
    return waiting, out + err, files_in(folder)

if sys.argv[2:] == ["--strace"]:
    card_name = uid(b"Roy", b"Lu") + ".vcf"
    run, said, files = under_strace("link", lambda folder, _: open(os.path.join(folder, card_name), "wb").write(b"kept"))
    if (run.returncode, files, b"could not write" in said) != (1, {card_name: b"kept"}, True):
        failures.append(f"a card file made during the write: status {run.returncode}, said {said!r}, files {files!r}")
    def kill(_, waiting):
        if waiting.poll() is None:
            os.killpg(waiting.pid, signal.SIGKILL)
    run, said, files = under_strace("pwrite64", kill)
    if run.returncode != -signal.SIGKILL or [name for name in files if name.endswith(".vcf")]:
        failures.append(f"killed while writing a card: status {run.returncode}, said {said!r}, files {files!r}")
    # Each call of the first card's whole write fails in turn (strace sees only
    # the calls on the folder and that card's two names): the run says so, no
    # card is written and no temporary file is left, and a file already in the
    # folder is kept. A folder that cannot be synced fails the run too, that
    # card whole in its place, as it might not outlast a crash.
    cards = cards_of(export(record(b"Roy", b"Lu") + record(b"Lee", b"Kim"), ["--format", "vcard"]).stdout)
    roy = uid(b"Roy", b"Lu") + ".vcf"
    # Each case: its name, the call failed, and the cards written.
    for name, fault, written in [
            ("the temporary file cannot be made", "openat:error=EACCES:when=1", {}),
            ("its permissions cannot be set", "fchmod:error=EPERM", {}),
            ("the disk is full", "pwrite64:error=ENOSPC", {}),
            ("its sync fails", "fsync:error=EIO:when=1", {}),
            ("its close fails", "close:error=EIO:when=1", {}),
            ("its link to the card's name fails", "link:error=EIO", {}),
            ("the folder's sync fails", "fsync:error=EIO:when=2", {roy: cards[roy]}),
            ("the folder cannot be opened to be synced", "openat:error=EACCES:when=2", {roy: cards[roy]})]:
        folder = tempfile.mkdtemp(dir=ROOT.name)
        with open(os.path.join(folder, "other.vcf"), "wb") as f:
            f.write(b"kept")
        trace = os.path.join(ROOT.name, "trace")
        strace = ["/usr/bin/strace", "-f", "-qq", "-o", trace, "-P", folder, "-P", os.path.join(folder, roy),
                  "-P", os.path.join(folder, "." + roy + ".tmp"), "-e", f"inject={fault}"]
        # LeakSanitizer cannot work under ptrace; valgrind checks these runs for leaks.
        run = subprocess.run(strace + COMMAND + ["--format", "vcard", "--split", folder],
                             cwd=list_folder(record(b"Roy", b"Lu") + record(b"Lee", b"Kim")), capture_output=True,
                             env=dict(os.environ, ASAN_OPTIONS="detect_leaks=0"))
        why = os.strerror(getattr(errno, fault.split("=")[1].split(":")[0]))
        said = f"ledgerine-export: could not write {os.path.join(folder, roy)}: {why}; 0 of the 2 cards were written\n"
        got = (run.returncode, run.stdout, run.stderr, files_in(folder), "(INJECTED)" in open(trace).read())
        if got != (1, b"", said.encode(), dict(written, **{"other.vcf": b"kept"}), True):
            failures.append(f"--split, {name}: status, stdout, stderr, files, injected: {got!r}")
    print("\n".join(failures) or "a card file made during the write is kept; a killed run leaves no part of a card; "
          "no failed call of a card's write leaves part of one")
    sys.exit(1 if failures else 0)

BROWN = (b"Brown", b"Ann", b"48 Elm Avenue", b"Toronto", b"ON", b"M5V 2T6", b"416-555-0199", b"2001 Sedan")
BROWN_CARD = ("Ann Brown", "Brown;Ann;;;", ";;48 Elm Avenue;Toronto;ON;M5V 2T6;", "416-555-0199", "2001 Sedan")
BOX = b"\xce"  # U+256C, three octets in UTF-8
CARDS = [
    ("a whole record", [BROWN], "3.0", [card("3.0", BROWN[:2], *BROWN_CARD)]),
    ("a whole record, vCard 4.0", [BROWN], "4.0", [card("4.0", BROWN[:2], *BROWN_CARD)]),
    ("no names, nothing else", [()], "3.0", [card("3.0", (b"", b""), "(no name)", ";;;;", ";;;;;;")]),
    ("a last name only", [(b"Smith",)], "3.0", [card("3.0", (b"Smith", b""), "Smith", "Smith;;;;", ";;;;;;")]),
    ("a first name only", [(b"", b"Ann")], "4.0", [card("4.0", (b"", b"Ann"), "Ann", ";Ann;;;", ";;;;;;")]),
    ("a backslash, comma and semicolon in every field",
     [(b"Smith, Jr.", b"A;B\\C", b"1\\2,3;4", b"a,b", b";", b"\\", b"555,1;2\\3", b"x,y;z\\")], "3.0",
     [card("3.0", (b"Smith, Jr.", b"A;B\\C"), r"A\;B\\C Smith\, Jr.", r"Smith\, Jr.;A\;B\\C;;;",
           r";;1\\2\,3\;4;a\,b;\;;\\;", r"555\,1\;2\\3", r"x,y;z\\".replace(",", r"\,").replace(";", r"\;"))]),
    ("a lone CR, a LF and a CR LF, each as one line break",
     [(b"Roy", b"\r", b"12 Main\rSt", b"Line\nTwo", b"", b"", b"555\r", b"a\r\nb")], "3.0",
     [card("3.0", (b"Roy", b"\r"), r"\n Roy", r"Roy;\n;;;", r";;12 Main\nSt;Line\nTwo;;;", r"555\n", r"a\nb")]),
    ("accents and box drawings from code page 850",
     [(b"C\x93t\x82", b"Ren\x82e", b"12 rue Saint-J\x82r\x93me", b"Qu\x82bec", b"QC", b"G1R 4P5", b"", BOX * 3)], "3.0",
     [card("3.0", (b"C\x93t\x82", b"Ren\x82e"), "Renée Côté", "Côté;Renée;;;", ";;12 rue Saint-Jérôme;Québec;QC;G1R 4P5;",
           None, "╬╬╬")]),
    ("fields without a NUL", [(b"L" * 20, b"F" * 20, b"A" * 30, b"C" * 20, b"ONT", b"12345678", b"9" * 15, b"Y" * 20)],
     "3.0", [card("3.0", (b"L" * 20, b"F" * 20), "F" * 20 + " " + "L" * 20, "L" * 20 + ";" + "F" * 20 + ";;;",
                  ";;" + "A" * 30 + ";" + "C" * 20 + ";ONT;12345678;", "9" * 15, "Y" * 20)]),
    # The address line is 16 octets before the street, so the fold falls on each
    # octet of a three-octet character in turn, and of a two-octet one.
    *[(f"folded at 75 octets, {k} ASCII before the box drawings", [(b"Lee", b"", b"x" * k + BOX * (29 - k), BOX * 19)],
       "3.0", [card("3.0", (b"Lee", b""), "Lee", "Lee;;;;", ";;" + "x" * k + "╬" * (29 - k) + ";" + "╬" * 19 + ";;;")])
      for k in (0, 1, 2)],
    ("folded at 75 octets between two-octet characters", [(b"Lee", b"", b"x" + b"\x82" * 29, b"\x82" * 19)], "3.0",
     [card("3.0", (b"Lee", b""), "Lee", "Lee;;;;", ";;x" + "é" * 29 + ";" + "é" * 19 + ";;;")]),
    ("names at their longest in box drawings, folded in FN and N", [(BOX * 20, BOX * 20)], "4.0",
     [card("4.0", (BOX * 20, BOX * 20), "╬" * 20 + " " + "╬" * 20, "╬" * 20 + ";" + "╬" * 20 + ";;;", ";;;;;;")]),
    ("an empty list", [], "3.0", []),
    # Same two names: the ordinal tells them apart; the second alone, once the
    # first is pruned, takes the first's UID; another record before them, or
    # an address corrected, changes no UID.
    ("twins", [BROWN, BROWN[:2] + (b"1 Bay St",)], "3.0",
     [card("3.0", BROWN[:2], *BROWN_CARD),
      card("3.0", BROWN[:2], "Ann Brown", "Brown;Ann;;;", ";;1 Bay St;;;;", ordinal=1)]),
    ("the second twin, the first pruned", [(b"Roy", b"Lu"), BROWN[:2] + (b"1 Bay St",)], "3.0",
     [card("3.0", (b"Roy", b"Lu"), "Lu Roy", "Roy;Lu;;;", ";;;;;;"),
      card("3.0", BROWN[:2], "Ann Brown", "Brown;Ann;;;", ";;1 Bay St;;;;")]),
    ("twins and a third namesake apart from them",
     [(b"Roy", b"Lu"), (b"Roy", b"Lu "), (b"Roy", b"Lu"), (b"Lu", b"Roy")], "3.0",
     [card("3.0", (b"Roy", b"Lu"), "Lu Roy", "Roy;Lu;;;", ";;;;;;"),
      card("3.0", (b"Roy", b"Lu "), "Lu  Roy", "Roy;Lu ;;;", ";;;;;;"),
      card("3.0", (b"Roy", b"Lu"), "Lu Roy", "Roy;Lu;;;", ";;;;;;", ordinal=1),
      card("3.0", (b"Lu", b"Roy"), "Roy Lu", "Lu;Roy;;;", ";;;;;;")]),
]
for name, fields, version, expected in CARDS:
    check_cards(name, b"".join(record(*f) for f in fields), expected, ["--format", "vcard" if version == "3.0" else "vcard4"])

# The SHA-1 under the UIDs, through every message length from one 64-octet
# block to two (16 octets of namespace, names of 0 to 20 octets, two NULs and
# an ordinal), and names in code page 850, hashed as stored.
sweep = [(b"k" * n, b"f" * 20) for n in range(21)] + [(b"", b"g" * n) for n in range(21)] + \
        [(b"C\x93t\x82", b"\x90mile"), (bytes(range(0x80, 0x94)), bytes(range(0xEC, 0x100)))]
data = b"".join(record(*names) for names in sweep)
run = export(data, ["--format=vcard4"])
uids = [line for line in (unfold("UID sweep", run.stdout) or []) if line.startswith("UID:")]
if uids != [f"UID:urn:uuid:{uid(*names)}" for names in sweep]:
    failures.append(f"UIDs of names of every length: {uids!r}")
if export(data, ["--format=vcard4"]).stdout != run.stdout:
    failures.append("a second run wrote other cards")

# Every card of an export of 100 records, read by python3-vobject: the fields
# as the list holds them, a line break in any form as "\n".
def varied(k):
    accents = [b"Gagn\x82", b"B\x82langer", b"C\x93t\x82", b"Smith, Jr.", b"O;Neil\\", b"", BOX * 19, b"Roy"]
    return (accents[k % 8], [b"Ren\x82e", b"", b"Fran\x87ois", b"A\rB", b"Lu"][k % 5],
            (b"%d rue Saint-J\x82r\x93me, app. %d" % (k, k))[:29], [b"Qu\x82bec", b"Line\r\nTwo", BOX * 19][k % 3],
            [b"QC", b"", b"O;"][k % 3], b"G1R 4P%d" % (k % 10), [b"418-555-%04d" % k, b""][k % 2],
            [b"1995 Coupe", b"", b"a,b;c\\d\re"][k % 3])
hundred = [varied(k) for k in range(100)]
def text(field):
    return field.decode("cp850").replace("\r\n", "\n").replace("\r", "\n")
for version, option in (("3.0", "vcard"), ("4.0", "vcard4")):
    run = export(b"".join(record(*f) for f in hundred), ["--format", option])
    unfold(f"100 records, {option}", run.stdout)
    try:
        parsed = list(vobject.readComponents(run.stdout.decode("utf-8")))
    except Exception as error:  # vobject says what it could not read by an exception of its own
        failures.append(f"vobject could not read the {option} export: {error}")
        parsed = []
    read = [(c.version.value, c.uid.value, c.fn.value, c.n.value.family, c.n.value.given, c.adr.value.street,
             c.adr.value.city, c.adr.value.region, c.adr.value.code, c.adr.params,
             c.tel.value if hasattr(c, "tel") else "", c.note.value if hasattr(c, "note") else "") for c in parsed]
    counted = {}
    expected = []
    for f in hundred:
        ordinal = counted.get(f[:2], 0)
        counted[f[:2]] = ordinal + 1
        fn = " ".join(t for t in (text(f[1]), text(f[0])) if t) or "(no name)"
        expected.append((version, f"urn:uuid:{uid(f[0], f[1], ordinal)}", fn, text(f[0]), text(f[1]), text(f[2]),
                         text(f[3]), text(f[4]), text(f[5]), {"TYPE": ["home"]}, text(f[6]), text(f[7])))
    for at, (got, want) in enumerate(zip(read, expected)):
        if got != want:
            failures.append(f"vobject, {option}, card {at + 1}: read {got!r}, expected {want!r}")
    if len(read) != 100:
        failures.append(f"vobject read {len(read)} cards of the {option} export")

# --format csv is the CSV written without the option.
for data in (record(*BROWN) * 3, record(*hundred[3]) + record(BOX * 20), b""):
    plain, chosen = export(data, []), export(data, ["--format", "csv"])
    if (plain.returncode, chosen.returncode, chosen.stdout) != (0, 0, plain.stdout) or not plain.stdout:
        failures.append(f"--format csv: status {chosen.returncode}, {chosen.stdout[:200]!r}, not {plain.stdout[:200]!r}")

# --split: one file a card, named by its UUID, holding the card's bytes of the
# one file, and nothing on standard output. Refused with status 1, one line on
# standard error and no card written: a card's file, or its temporary file,
# already there (kept as it was); a folder that is missing or is a file. A card
# that cannot be written whole (files limited to 250 bytes; the second card is
# longer) leaves the first card's file whole and no part of the second, under
# its name or the temporary one.
twins = record(*BROWN) + record(*BROWN) + record(b"C\x93t\x82", b"Ren\x82e", BOX * 29) + record()
short_then_long = record(b"Roy", b"Lu") + record(b"Lee", b"Kim", BOX * 29, BOX * 19, b"ON", b"K1A 0B1", b"613-555-0100",
                                                        BOX * 19) + record(b"Ng")
cards, cards4, cut = (cards_of(export(data, ["--format", f]).stdout)
                      for data, f in ((twins, "vcard"), (twins, "vcard4"), (short_then_long, "vcard")))
first, second = sorted(cards)[:2]
roy, lee = f"{uid(b'Roy', b'Lu')}.vcf", f"{uid(b'Lee', b'Kim')}.vcf"
def put(name):
    return lambda folder: open(os.path.join(folder, name), "wb").write(b"kept")
def small_files():
    resource.setrlimit(resource.RLIMIT_FSIZE, (250, 250))
for name, data, option, prepare, start, status, files, said in [
        ("vcard", twins, "vcard", None, None, 0, cards, b""),
        ("vcard4", twins, "vcard4", None, None, 0, cards4, b""),
        ("an empty list", b"", "vcard", None, None, 0, {}, b""),
        ("a card's file already there", twins, "vcard", put(second), None, 1, {second: b"kept"}, b"already there"),
        ("a dangling link in a card's place", twins, "vcard", lambda f: os.symlink("nowhere", os.path.join(f, first)),
         None, 1, {first: b"nowhere"}, b"already there"),
        ("a card's temporary file already there", twins, "vcard", put(f".{first}.tmp"), None, 1,
         {f".{first}.tmp": b"kept"}, b"already there"),
        ("a missing folder", twins, "vcard", os.rmdir, None, 1, None, b": not a folder"),
        ("a file for the folder", twins, "vcard", lambda f: os.rmdir(f) or open(f, "wb").close(), None, 1, None,
         b": not a folder"),
        ("a card cut by the file size limit", short_then_long, "vcard", None, small_files, 1, {roy: cut[roy]},
         b": File too large; 1 of the 3 cards were written")]:
    folder = tempfile.mkdtemp(dir=ROOT.name)
    if prepare:
        prepare(folder)
    run = export(data, ["--format", option, "--split", folder], start=start)
    got = files_in(folder) if os.path.isdir(folder) else None
    if (run.returncode, run.stdout, run.stderr.count(b"\n"), said in run.stderr, got) != \
            (status, b"", status, True, files) or len(cut[lee]) <= 250 or len(cards) != 4:
        failures.append(f"--split, {name}: status {run.returncode}, stderr {run.stderr!r}, files {got!r}")
run = subprocess.run(COMMAND + ["--format", "vcard"], cwd=tempfile.mkdtemp(dir=ROOT.name), capture_output=True)
if (run.returncode, run.stdout, run.stderr) != \
        (1, b"", b"ledgerine-export: could not open Maillist.dat: No such file or directory\n"):
    failures.append(f"vcard, no list: status {run.returncode}, stderr {run.stderr!r}")

# Standard output that cannot take the cards; usage errors, status 2 with nothing done.
run = export(twins, ["--format", "vcard"], stdout=open("/dev/full", "wb"))
if (run.returncode, run.stderr) != \
        (1, b"ledgerine-export: could not write the list to standard output: No space left on device\n"):
    failures.append(f"vcard to a full disk: status {run.returncode}, stderr {run.stderr!r}")
for arguments, said in [(["--format", "vcard3"], b"unknown format 'vcard3' (the formats are csv, vcard and vcard4)"),
                        (["--format"], b"option '--format' needs a value"),
                        (["--split", ROOT.name], b"--split needs --format vcard or vcard4"),
                        (["--format=csv", "--split", ROOT.name], b"--split needs --format vcard or vcard4")]:
    run = export(twins, arguments)
    if (run.returncode, run.stdout, run.stderr) != \
            (2, b"", b"ledgerine-export: " + said + b"\nTry 'ledgerine-export --help'.\n"):
        failures.append(f"{arguments}: status {run.returncode}, stdout {run.stdout[:80]!r}, stderr {run.stderr!r}")

print("\n".join(failures) or f"{len(CARDS) + 1} card tables, vobject on 100 records and the folder cases pass")
sys.exit(1 if failures else 0)
