# ledgerine-import: its CSV reader and refusals, what it says and where, the list
# and file it needs, the round trip of the exporter's CSV, its wait for a lock,
# its command line; vCard files. GROUP is one of csv, vcard, files, round-trip,
# lock, command-line.
import fcntl, os, subprocess, tempfile, time
from tool_support import *
from tool_conventions import check_conventions

failures = []
SMITH_ROW = b"Smith,John,12 Main St,Ottawa,ON,K1A0B,555-1234,1995 Coupe"
SMITH = record(b"Smith", b"John", b"12 Main St", b"Ottawa", b"ON", b"K1A0B", b"555-1234", b"1995 Coupe")

def utf8(file_bytes):
    try:
        file_bytes.decode("utf-8")
        return True
    except UnicodeDecodeError:
        return False

def run_cases(cases):
    """Each case: a name, a list, the file, then either the records it adds or
    the problems it names on standard error, a line each, writing nothing; then
    the locale (C unless given), the characters the code page lacks (none unless
    given) and the character set a check names (UTF-8 for a file that is, and
    else 850 unless given), in any order. Each is run as an import and with --check."""
    for name, before, file_bytes, outcome, *extras in cases:
        locale = [x for x in extras if x in ("C", "C.UTF-8")]
        lacking = next((x for x in extras if isinstance(x, int)), 0)
        read_as = next((x for x in extras if isinstance(x, str) and x.startswith("cp")), "utf-8" if utf8(file_bytes) else "cp850")
        for arguments in ([], ["--check"]):
            run, after = import_file(before, file_bytes, arguments, *locale)
            added = outcome if outcome and isinstance(outcome[0], bytes) or outcome == [] else None
            if added is not None:
                count = len(before) // 136 + len(added)
                line = f"{len(added)} record{'s' * (len(added) != 1)} " + \
                       (f"would be added; the list would hold {count}" if arguments else f"added; the list holds {count}")
                if lacking:
                    line += f"; {lacking} character{'s' * (lacking != 1)} 850 lacks " + ("would become ?" if arguments else "became ?")
                if arguments:
                    line += f"; read as {read_as}"
                expected = (0, (line + "\n").encode(), b"", before + (b"".join(added) if not arguments else b""))
            else:
                told = [f"ledgerine-import: {line}" for line in outcome]
                if not told[-1].endswith("nothing was added"):
                    told.append("ledgerine-import: nothing was added")
                # The terminal's character set: code page 850 under C, as the list has it.
                expected = (1, b"", ("\n".join(told) + "\n").encode("utf-8" if locale else "cp850"), before)
            if (run.returncode, run.stdout, run.stderr, after) != expected:
                failures.append(f"import, {name} {arguments}: status {run.returncode}, stdout {run.stdout!r}, "
                                f"stderr {run.stderr.decode(errors='replace')!r}, list {after[-300:]!r}")

if GROUP == "csv":
    reordered = b"First Name,Last Name," + HEADER.split(b",", 2)[2]
    cases = [
        ("the exporter's quoting, onto a list", SMITH, HEADER + b'"Smith, Jr.","Bob ""Bo""",,,,,,"A\rB"\r\n',
         [record(b"Smith, Jr.", b'Bob "Bo"', b"", b"", b"", b"", b"", b"A\rB")]),
        ("LF row ends, empty lines, no line end at the end", b"", b"\n" + HEADER[:-2] + b"\n\r\n" + SMITH_ROW + b"\n\n" + SMITH_ROW,
         [SMITH, SMITH]),
        ("a CR at the very end is the last line end; a lone CR inside is text", b"",
         HEADER + b"a\rb,,,,,,,\r\n" + SMITH_ROW + b"\r", [record(b"a\rb"), SMITH]),
        ("a byte-order mark, and the columns in another order", b"", b"\xef\xbb\xbf" + reordered + b"John,Smith" + SMITH_ROW[10:],
         [SMITH]),
        ("UTF-8 into the code page: letters counted, ? for what it lacks, a ? of the file's own not counted", b"",
         HEADER + ("é" * 19 + ",Renée,€ œ,日,,,?,😀\r\n").encode(),
         [record(b"\x82" * 19, b"Ren\x82e", b"? ?", b"?", b"", b"", b"?", b"?")], 4),
        ("a file not all UTF-8 is read in the code page, its UTF-8 as well", b"",
         HEADER + "Gagné".encode() + b",\xc3,,,,,,\r\nGagn\x82,,,,,,,\r\n",
         [record(b"Gagn\xc3\xa9", b"\xc3"), record(b"Gagn\x82")]),
        ("overlong three- and four-byte forms are kept as bytes", b"",
         HEADER + b"\xe0\x80\xaf,\xe0\x9f\xbf,\xf0\x80\x80\xaf,\xf0\x8f\xbf\xbf,,,,\r\n",
         [record(b"\xe0\x80\xaf", b"\xe0\x9f\xbf", b"\xf0\x80\x80\xaf", b"\xf0\x8f\xbf\xbf")]),
        ("a Canadian postal code whole, with its space", b"", HEADER + b"Tremblay,Marie,,,QC,H2X 1K9,,\r\n",
         [record(b"Tremblay", b"Marie", b"", b"", b"QC", b"H2X 1K9")]),
        ("a header alone adds nothing", SMITH * 3, HEADER, []),
        ("an empty file adds nothing", SMITH * 3, b"", []),
        ("blank lines and a byte-order mark add nothing", b"", b"\xef\xbb\xbf\r\n\n", []),
        ("nothing to add to a list past its limit", SMITH * 101, HEADER, []),
        ("too few and too many fields", b"", HEADER + b"a,b\r\n" + b"a,b,c,d,e,f,g,h,i\r\n",
         ["line 2: 2 fields, where the header names 8", "line 3: 9 fields, where the header names 8"]),
        ("a line break inside quotes; a quote inside a bare field; lines counted as in the file", b"",
         HEADER + b'"x\r\ny",,,,,,,\r\n\r\n' + b'a"b,,,,,,,\r\n',
         ["line 2: Last Name holds a line break", "line 5: a quote inside a field that does not start with one (Last Name)"]),
        ("text after a closing quote; a quote never closed", b"", HEADER + b'"a"b,,,,,,,\n,"open,,,,,,\n' + SMITH_ROW,
         ["line 2: text after the closing quote of a field (Last Name)", "line 3: a quoted field is never closed (First Name)"]),
        ("a row refused for a quote ends at its own line end, not inside a later quoted field", b"",
         HEADER + b'"a"b,"x\ny",,,,,,\n' + SMITH_ROW + b"\n",
         ["line 2: text after the closing quote of a field (Last Name)"]),
        ("every field one letter past its limit, and a NUL", b"",
         HEADER + ",".join("é" * (limit + 1) for limit in LIMITS).encode() + b"\na\0,,,,,,,\n",
         [f"line 2: {label} is longer than {limit} characters" for label, limit in zip(LABELS, LIMITS)] +
         ["line 3: Last Name holds a NUL byte"]),
        ("an address of four-byte characters, one past its limit: more than the bytes kept of a field", b"",
         HEADER + b",," + "😀".encode() * 30 + b",,,,,\n", ["line 2: Address is longer than 29 characters"]),
        ("a header with a repeated, an unknown and missing columns", b"", b"Last Name,Last Name,Notes\n" + SMITH_ROW,
         ['line 1: column "Last Name" named twice in the header', 'line 1: unknown column "Notes" in the header'] +
         [f'line 1: no column "{label}" in the header' for label in LABELS[1:]]),
        ("a header of nine columns: every label found where it is", b"", b"Notes," + HEADER + SMITH_ROW,
         ['line 1: unknown column "Notes" in the header']),
        ("a label first named in the ninth column, then again", b"",
         b"Notes," + HEADER[10:-2] + b",Last Name,Last Name\r\n" + SMITH_ROW,
         ['line 1: unknown column "Notes" in the header', 'line 1: column "Last Name" named twice in the header']),
        ("labels with a CR, a NUL, a tab and a backslash are shown with escapes", b"",
         b"Last Name\0,No\rtes,\x01\t\\," + HEADER[10:],
         ['line 1: unknown column "Last Name\\x00" in the header', 'line 1: unknown column "No\\rtes" in the header',
          'line 1: unknown column "\\x01\\t\\\\" in the header', 'line 1: no column "Last Name" in the header']),
        ("a label in the list's code page, on a terminal that speaks it", b"", b"Pr\x82nom,Pr\xc3\xa9nom\n",
         ['line 1: unknown column "Prénom" in the header', 'line 1: unknown column "Pr├®nom" in the header'] +
         [f'line 1: no column "{label}" in the header' for label in LABELS]),
        ("a label in the list's code page, on a UTF-8 terminal", b"", b"Pr\x82nom,Pr\xc3\xa9nom\n",
         ['line 1: unknown column "Prénom" in the header', 'line 1: unknown column "Pr├®nom" in the header'] +
         [f'line 1: no column "{label}" in the header' for label in LABELS], "C.UTF-8"),
        ("a quote out of place in the header: no later row is taken for one", b"", b'"Last Name"x\nNotes\n' + SMITH_ROW,
         ["line 1: text after the closing quote of a field"]),
        ("twenty problems are named, then counted", b"", HEADER + b"x\n" * 25,
         [f"line {n}: 1 field, where the header names 8" for n in range(2, 22)] + ["5 more problems"]),
        ("twenty-one problems: twenty named, then one more", b"", HEADER + b"x\n" * 21,
         [f"line {n}: 1 field, where the header names 8" for n in range(2, 22)] + ["1 more problem"]),
        ("rows that would take the list past 100", SMITH * 99, HEADER + SMITH_ROW + b"\n" + SMITH_ROW,
         ["the list holds 99 records and takes 100 at the most: only 1 of the 2 records fit; nothing was added"]),
        ("101 rows onto an empty list: the last is read but not kept", b"", HEADER + (SMITH_ROW + b"\r\n") * 101,
         ["the list holds 0 records and takes 100 at the most: only 100 of the 101 records fit; nothing was added"]),
        ("a row onto a full list", SMITH * 100, HEADER + SMITH_ROW,
         ["the list holds 100 records and takes 100 at the most: there is no room for 1 more; nothing was added"]),
    ]
    run_cases([(n, b, f, o, *l) for n, b, f, o, *l in cases])
    finish(failures, f"{2 * len(cases)} CSV imports")

if GROUP == "charset":
    # A file not all UTF-8 is read in one code page, 850 or 1252, whichever reads
    # more of its bytes as accented letters between two letters of their case;
    # 850 on a tie. Python's codecs write the files; the records are the same
    # text in the list's code page.
    def rows(*names):  # a CSV of one row a name, the names in the given set
        return lambda charset: HEADER + b"".join(f"{n},,,,,,,\r\n".encode(charset) for n in names)
    def records(*names):
        return [record(n.encode("cp850")) for n in names]
    accented = ("Montréal", "LÉVIS", "Côté", "Gagné", "Hélène")
    accented_upper = ("MONTRÉAL", "QUÉBEC")
    cases = []
    for charset in ("cp850", "cp1252"):
        cases += [
            (f"accented names in {charset}", b"", rows(*accented)(charset), records(*accented), charset),
            (f"upper-case names in {charset}", b"", rows(*accented_upper)(charset), records(*accented_upper), charset),
            (f"accented names in {charset}, read as {charset} when named", b"", rows(*accented)(charset), records(*accented),
             charset, "--charset", charset)]
    cases += [
        # Counted only between two letters of its case: Ú (850's 0xE9) here, as
        # 850 reads it on a tie.
        ("a name ending in é, in 1252: nothing counted, read as 850", b"", rows("Gagné")("cp1252"),
         [record(b"Gagn\xe9")], "cp850"),
        ("é between letters of the other case, in 1252: nothing counted", b"", rows("MontrÉal", "LéVIS")("cp1252"),
         [record(b"Montr\xc9al"), record(b"L\xe9VIS")], "cp850"),
        ("a pound sign alone, in 1252: read as 850", b"", rows("£5")("cp1252"), [record(b"\xa35")], "cp850"),
        ("a pound sign alone, in 1252, named", b"", rows("£5")("cp1252"), records("£5"), "cp1252", "--charset", "cp1252"),
        ("a euro sign alone, in 1252: read as 850", b"", rows("€5")("cp1252"), [record(b"\x805")], "cp850"),
        ("a euro sign alone, in 1252, named: 850 lacks it", b"", rows("€5")("cp1252"), [record(b"?5")], "cp1252", 1,
         "--charset", "cp1252"),
        # 850's è (0x8A) is Š in 1252, which 850 lacks.
        ("mixed: two names in 1252 outweigh one in 850, which is read as 1252 too", b"",
         rows("Montréal", "Québec")("cp1252") + "Lefèbvre,,,,,,,\r\n".encode("cp850"),
         records("Montréal", "Québec") + [record(b"Lef?bvre")], "cp1252", 1),
        ("mixed: as many in each, read as 850", b"",
         rows("Montréal")("cp1252") + "Québec,,,,,,,\r\n".encode("cp850"),
         [record(b"Montr\xe9al"), record(b"Qu\x82bec")], "cp850"),
        ("UTF-8 read as 850 when named", b"", rows("Gagné")("utf-8"), [record(b"Gagn\xc3\xa9")], "cp850",
         "--charset", "cp850"),
        ("bytes that are not UTF-8 refused by their lines, in order among the others, when UTF-8 is named", b"",
         HEADER + b"a,b\r\nMontr\xe9al,,,,,,,\r\n" + SMITH_ROW + b"\r\n\xc3,\xff,,,,,,\nx,,,,,,,\xe2\x82",
         ["line 2: 2 fields, where the header names 8", "line 3: a byte that is not UTF-8",
          "line 5: a byte that is not UTF-8", "line 6: a byte that is not UTF-8"],
         "--charset", "utf-8"),
        # A card is known to end when the line after its END starts: a byte on that
        # line that is not UTF-8 is found first. A fold inside a character is none.
        ("in a vCard, bytes that are not UTF-8 refused in the order found among the cards' refusals", b"",
         b"BEGIN:VCARD\r\nN:A\r\nNOTE:" + b"x" * 20 + b"\r\nEND:VCARD\r\n\xff\r\n"
         b"BEGIN:VCARD\r\nN:B\xc3\r\n \xa9\r\nEND:VCARD\xe9\r\n",
         ["line 5: a byte that is not UTF-8", "line 1: Year & Model is longer than 19 characters",
          "line 5: outside any card (BEGIN:VCARD ... END:VCARD)", "line 9: a byte that is not UTF-8",
          "line 6: the card has no END:VCARD"],
         "--charset", "utf-8"),
    ]
    for name, before, file_bytes, outcome, *extras in cases:
        arguments = extras[extras.index("--charset"):] if "--charset" in extras else []
        extras = extras[:len(extras) - len(arguments)]
        for check in ([], ["--check"]):
            run, after = import_file(before, file_bytes, arguments + check)
            if outcome and isinstance(outcome[0], str):
                expected = (1, b"", "".join(f"ledgerine-import: {line}\n" for line in outcome + ["nothing was added"]).encode(), b"")
            else:
                lacking = next((x for x in extras if isinstance(x, int)), 0)
                line = f"{len(outcome)} record{'s' * (len(outcome) != 1)} " + \
                       ("would be added; the list would hold" if check else "added; the list holds") + f" {len(outcome)}"
                if lacking:
                    line += f"; {lacking} character{'s' * (lacking != 1)} 850 lacks " + \
                            ("would become ?" if check else "became ?")
                if check:
                    line += f"; read as {extras[0]}"
                expected = (0, (line + "\n").encode(), b"", b"" if check else b"".join(outcome))
            if (run.returncode, run.stdout, run.stderr, after) != expected:
                failures.append(f"charset, {name} {check}: status {run.returncode}, stdout {run.stdout!r}, "
                                f"stderr {run.stderr!r}, list {after!r}")
    # A vCard without CHARSET follows the same rule; a property that names one is read in it.
    card = ("BEGIN:VCARD\r\nVERSION:2.1\r\nN:Tremblay;Hélène\r\nADR:;;;Montréal;QC;;\r\nEND:VCARD\r\n"
            "BEGIN:VCARD\r\nVERSION:2.1\r\nN;CHARSET=UTF-8:").encode("cp1252") + "Côté;".encode() + \
           b"\r\nNOTE;CHARSET=ISO-8859-1:Cr\xe8me\r\nEND:VCARD\r\n"
    run, after = import_file(b"", card, ["--check"])
    if (run.returncode, run.stdout) != (0, b"2 records would be added; the list would hold 2; read as cp1252\n"):
        failures.append(f"charset, cards in 1252: status {run.returncode}, stdout {run.stdout!r}, stderr {run.stderr!r}")
    run, after = import_file(b"", card)
    if after != record("Tremblay".encode(), "Hélène".encode("cp850"), b"", "Montréal".encode("cp850"), b"QC") + \
            record("Côté".encode("cp850"), b"", b"", b"", b"", b"", b"", "Crème".encode("cp850")):
        failures.append(f"charset, cards in 1252: status {run.returncode}, stderr {run.stderr!r}, list {after!r}")
    # An unknown set is a usage error.
    run, after = import_file(SMITH, HEADER, ["--charset", "latin9"])
    said = b"ledgerine-import: unknown character set 'latin9' (the character sets are utf-8, cp850 and cp1252)\n" \
           b"Try 'ledgerine-import --help'.\n"
    if (run.returncode, run.stderr, after) != (2, said, SMITH):
        failures.append(f"charset, an unknown set: status {run.returncode}, stderr {run.stderr!r}")
    finish(failures, f"{2 * len(cases) + 3} imports in a character set")

if GROUP == "vcard":
    # A file is vCard when its first line is BEGIN:VCARD, or when --format says
    # so; what it adds and leaves out is said in one line, its refusals as for CSV.
    CARD = (b"BEGIN:VCARD\r\nVERSION:3.0\r\nUID:urn:uuid:0\r\nFN:Jean Tr\xc3\xa9mblay\r\nN:Tr\xc3\xa9mblay;Jean;;;\r\n"
            b"ADR;TYPE=home:;;48 Elm Avenue;Toronto;ON;M5V 2T6;\r\nTEL;TYPE=voice:416-555-0199\r\n"
            b"NOTE:2001 Sedan\r\nEND:VCARD\r\n")
    JEAN = record(b"Tr\x82mblay", b"Jean", b"48 Elm Avenue", b"Toronto", b"ON", b"M5V 2T6", b"416-555-0199", b"2001 Sedan")
    LONG_NOTE = CARD.replace(b"NOTE:2001 Sedan", b"NOTE:" + b"x" * 20)
    for name, before, file_bytes, arguments, locale, status, out, err, after in [
            ("a card", SMITH, CARD, [], "C", 0, b"1 record added; 1 property left out; the list holds 2\n", b"", SMITH + JEAN),
            ("a card, checked", b"", CARD, ["--check"], "C", 0,
             b"1 record would be added; 1 property left out; the list would hold 1; read as utf-8\n", b"", b""),
            ("a byte-order mark, a blank line and BEGIN in lower case", b"", b"\xef\xbb\xbf\r\n" + CARD.replace(b"BEGIN", b"begin"),
             [], "C", 0, b"1 record added; 1 property left out; the list holds 1\n", b"", JEAN),
            ("folds inside a character: the file is UTF-8 all the same", b"",
             CARD.replace(b"N:Tr\xc3\xa9", b"N:Tr\xc3\r\n \xa9").replace(b"Elm Avenue", b"Elm Av\r\n\tenue"), [], "C", 0,
             b"1 record added; 1 property left out; the list holds 1\n", b"", JEAN),
            ("a vCard file read as CSV", b"", CARD, ["--format", "csv"], "C", 1, b"",
             b'ledgerine-import: line 1: unknown column "BEGIN:VCARD" in the header\n', b""),
            ("an empty file read as vCard", SMITH, b"", ["--format=vcard"], "C", 0, b"0 records added; the list holds 1\n", b"", SMITH),
            ("a CSV file read as vCard", b"", HEADER + SMITH_ROW, ["--format", "vcard"], "C", 1, b"",
             b"ledgerine-import: line 1: outside any card (BEGIN:VCARD ... END:VCARD)\n"
             b"ledgerine-import: line 2: outside any card (BEGIN:VCARD ... END:VCARD)\n"
             b"ledgerine-import: nothing was added\n", b""),
            ("a refusal names the card in the terminal's character set", b"", LONG_NOTE, [], "C.UTF-8", 1, b"",
             'ledgerine-import: line 1: card "Jean Trémblay": Year & Model is longer than 19 characters\n'
             "ledgerine-import: nothing was added\n".encode(), b""),
            ("a format it does not know", b"", CARD, ["--format", "xml"], "C", 2, b"",
             b"ledgerine-import: unknown format 'xml' (the formats are csv and vcard)\n"
             b"Try 'ledgerine-import --help'.\n", b"")]:
        run, got = import_file(before, file_bytes, arguments, locale)
        if (run.returncode, run.stdout, run.stderr[:len(err)], got) != (status, out, err, after):
            failures.append(f"vCard, {name}: status {run.returncode}, stdout {run.stdout!r}, stderr {run.stderr!r}, "
                            f"list {got!r}")
    finish(failures, "9 vCard imports")

if GROUP == "files":
    # The list must be there, and the file readable; neither is created or touched.
    for name, before, arguments, said in [
            ("no list", None, [], "could not open Maillist.dat: No such file or directory"),
            ("no such file", b"", ["nowhere.csv"], "could not read nowhere.csv: No such file or directory"),
            ("a folder for a file", b"", ["."], "could not read .: Is a directory")]:
        run, after = import_file(before, HEADER, arguments)
        if (run.returncode, run.stdout, run.stderr, after) != (1, b"", f"ledgerine-import: {said}\n".encode(), before):
            failures.append(f"import, {name}: status {run.returncode}, stderr {run.stderr!r}, list {after!r}")
    # A summary that cannot be written is a failure; after a real import, the
    # records were added all the same, and the status (3) says so, that no
    # script adds them again.
    for arguments, status, after, said in [
            ([], 3, SMITH * 2, b"ledgerine-import: could not write the summary to standard output: No space left on "
                               b"device; 1 record was added all the same\n"),
            (["--check"], 1, SMITH, b"ledgerine-import: could not write the summary to standard output: "
                                    b"No space left on device\n")]:
        run, got = import_file(SMITH, HEADER + SMITH_ROW, arguments, stdout=open("/dev/full", "wb"))
        if (run.returncode, run.stderr, got) != (status, said, after):
            failures.append(f"import {arguments} > /dev/full: status {run.returncode}, stderr {run.stderr!r}, list {got!r}")
    # The input is read whole, up to 64 MiB: a byte more, from a file or a pipe, is
    # refused before anything is added; a file of exactly that much is read.
    bound = 64 * 1024 * 1024
    scratch = tempfile.mkdtemp()
    big = os.path.join(scratch, "big.csv")
    with open(big, "wb") as sparse:
        sparse.truncate(bound + 1)
    for name, file_bytes, arguments, shown in [("a sparse file one byte past the bound", b"", [big], big),
                                               ("a pipe one byte past the bound", b"\n" * (bound + 1), [], "standard input")]:
        run, after = import_file(SMITH, file_bytes, arguments)
        said = f"ledgerine-import: could not read {shown}: it holds more than 64 MiB\n".encode()
        if (run.returncode, run.stdout, run.stderr, after) != (1, b"", said, SMITH):
            failures.append(f"import, {name}: status {run.returncode}, stderr {run.stderr!r}, list {after[-300:]!r}")
    os.remove(big)
    os.rmdir(scratch)
    at_the_bound = HEADER + SMITH_ROW + b"\n" * (bound - len(HEADER) - len(SMITH_ROW))
    run, after = import_file(b"", at_the_bound)
    if (run.returncode, run.stdout, after) != (0, b"1 record added; the list holds 1\n", SMITH):
        failures.append(f"import of exactly 64 MiB: status {run.returncode}, stderr {run.stderr!r}")
    finish(failures, "8 imports without their list, their file or their standard output, or past their bound")

if GROUP == "round-trip":
    # A list written by the program, and each list of the corpus as loading reads
    # it, exported in each format and imported into an empty list, is the same
    # file; a field the form could not have held is refused by its line and label.
    # A card's text escapes a CR as a line break, so a field holding one is
    # refused when a card brings it back.
    _, entered = every_character_typed()
    escaped = record(b"Smith; Jr., \\ Esq", b"  Bob ", b"1,2;3\\n", b"", b"", b"", b"tel:555-0100", b"Coupe:2")
    with_cr = record(b"Smith", b"John", b"12 Main\rSt")
    lists = [("the list typed through every character", entered), ("the empty list", b""),
             ("the characters a card escapes", escaped), ("an address holding a CR", escaped + with_cr)] + \
            [(f"corpus {n}", d) for n, d in corpus()]
    for form, breaks in [("csv", b"\n"), ("vcard", b"\r\n"), ("vcard4", b"\r\n")]:
        for name, data in lists:
            exported = export(data, arguments=["--format", form])[0].stdout
            run, after = import_file(b"", exported)
            sound = all(len(f) <= limit and not any(c in f for c in breaks)
                        for row in loaded(data) for f, limit in zip(row, LIMITS))
            if sound and (run.returncode, after) != (0, normalized(data)):
                failures.append(f"round trip as {form}, {name}: status {run.returncode}, stderr {run.stderr!r}")
            if not sound and (run.returncode, after, run.stderr.startswith(b"ledgerine-import: line ")) != (1, b"", True):
                failures.append(f"round trip as {form}, {name}: a list the form could not have written: "
                                f"status {run.returncode}, stderr {run.stderr!r}")
    # Through a spreadsheet that saves its CSV in 1252: a list of accented names
    # comes back as it was, read as 1252 by its letters; every character 850 and
    # 1252 share comes back when 1252 is named.
    def text_list(*rows):
        return b"".join(record(*(f.encode("cp850") for f in row)) for row in rows)
    names = text_list(("Gagné", "Renée", "12 rue Sainte-Thérèse", "Montréal", "QC", "H2X 1K9", "514-555-0142", "1998 Wagon"),
                      ("Côté", "François", "7 chemin Sainte-Foy", "Québec", "QC", "G1R 4P3", "", "Coupé"),
                      ("LÉVESQUE", "HÉLÈNE", "", "TROIS-RIVIÈRES", "QC", "", "", ""))
    shared = "".join(ch for ch in map(chr, range(0xA0, 0x100)) if ch.encode("cp850", "replace") != b"?") + "ƒ"
    every = b"".join(record(*(shared[at + sum(LIMITS[:i]):at + sum(LIMITS[:i + 1])].encode("cp850") for i in range(8)))
                     for at in range(0, len(shared), sum(LIMITS)))
    for name, data, arguments in [("accented names", names, []), ("every character both have", every, ["--charset", "cp1252"])]:
        saved = export(data)[0].stdout.decode("utf-8-sig").encode("cp1252")
        run, after = import_file(b"", saved, arguments)
        if (run.returncode, after) != (0, data):
            failures.append(f"through 1252, {name}: status {run.returncode}, stderr {run.stderr!r}, list {after!r}")
    finish(failures, f"{len(lists)} lists exported in 3 formats and imported again, 2 through 1252")

if GROUP == "lock":
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
    finish(failures, "the import waits for a save")

if GROUP == "command-line":
    # --help and --version on standard output; anything else it does not take,
    # the fault and where to look on standard error and status 2, with nothing
    # done; and what every tool does the same way.
    name = "ledgerine-import"
    try_help = f"\nTry '{name} --help'.\n"
    for arguments, status, out, err in [(["--help"], 0, b"Usage: " + name.encode(), b""),
                                        (["--version"], 0, f"{name} 1.0\n".encode(), b""),
                                        (["--verbose"], 2, b"", f"{name}: unknown option '--verbose'{try_help}".encode()),
                                        (["a", "b"], 2, b"", f"{name}: unexpected argument 'b'{try_help}".encode()),
                                        (["--check=yes"], 2, b"",
                                         f"{name}: option '--check' takes no value{try_help}".encode())]:
        run, after = import_file(SMITH, HEADER + SMITH_ROW, arguments)
        if (run.returncode, run.stdout[:len(out)], run.stderr, bool(out), after) != \
                (status, out, err, bool(run.stdout), SMITH):
            failures.append(f"{name} {arguments}: status {run.returncode}, stdout {run.stdout!r}, stderr {run.stderr!r}")
    check_conventions(name, IMPORTER, SMITH, HEADER + SMITH_ROW, {"LC_ALL": "C"},
                      lambda out, after: (out, after) == (b"1 record added; the list holds 2\n", SMITH * 2), failures,
                      untold_status=3)
    finish(failures, "5 command lines of the import, and what every tool does the same way")
raise SystemExit(f"import_test.py: no group {GROUP}")
