# ledgerine-labels: what a label shows on paper, measured in its PDF, one group
# a run. postal-code: the province and the postal code two spaces apart (a
# space measured in the PDF itself); lines: no line of a label blank, each
# right below the one before it, the first at the label's top; paper: every
# page the paper of its sheet, letter or A4, as pdfinfo reads it.
# Usage: labels_print_test.py LABELS GROUP
import os, re, subprocess, sys

from label_support import *

GROUP = sys.argv[2]
TOLERANCE = 0.05  # points: pdftotext's coordinates are those cairo wrote, to a few thousandths
failures = []

def pdf_of(name, records, arguments):  # the PDF of a list, made without a word on standard error
    run = labels(b"".join(record(*fields) for fields in records), arguments)
    if run.returncode != 0 or run.stderr:
        failures.append(f"{name}: status {run.returncode}, stderr {run.stderr!r}")
    return run.stdout

def rows_of(pdf, sheet, count):  # each label's words by line, top to bottom, each line left to right
    found, _ = words(pdf)
    per_sheet = SHEETS[sheet][3] * SHEETS[sheet][4]
    labels_rows = []
    for index in range(count):
        x0, y0, x1, y1 = label_box(sheet, index, (0, 0))
        inside = [w for w in found if w[0] == index // per_sheet and x0 - 4 < (w[1] + w[3]) / 2 < x1 + 4 and
                  y0 - 4 < (w[2] + w[4]) / 2 < y1 + 4]
        tops = sorted({round(w[2], 1) for w in inside})
        labels_rows.append([sorted((w for w in inside if round(w[2], 1) == top), key=lambda w: w[1]) for top in tops])
    return labels_rows

def gap(left, right):  # from one word's advance to the next word's origin
    return right[1] - left[3]

def near(measured, wanted):
    return abs(measured - wanted) <= TOLERANCE

# Each record's name is one first and one last name, one space apart on their
# line: that space, in the same font and size as the last line, is the measure.
SPACED = [
    ("Smith", "John", "12 Main St", "Ottawa", "ON", "K1A0B1"),
    ("Tremblay", "Marie", "7 Rue Saint-Denis", "Montréal", "QC", "H2X 1K9"),
    ("Roy", "Ann", "5 Elm St", "", "qc", "h7n5h9"),
    ("Lee", "Bo", "1 Bay St", "Saint Jean", "NB", "E2L4L1"),
    ("Gagné", "Éric", "9 rue Côté", "Laval", "QC", "H7N"),
]

def check_postal_code(sheet, upper):
    name = f"sheet {sheet}{' --upper' if upper else ''}"
    pdf = pdf_of(name, SPACED, ["--sheet", sheet] + (["--upper"] if upper else []))
    for fields, rows in zip(SPACED, rows_of(pdf, sheet, len(SPACED))):
        province = fields[4].upper() if upper else fields[4]
        place = rows[-1]
        at = [w[5] for w in place].index(province)
        space = gap(rows[0][0], rows[0][1])
        if not near(rows[0][0][4] - rows[0][0][2], place[0][4] - place[0][2]):
            failures.append(f"{name}, {fields[0]}: the name and the last line are not the same size")
        # Two spaces after the province; one between any other two words of the line.
        wanted = [space] * at + [2 * space] + [space] * (len(place) - at - 2)
        measured = [gap(a, b) for a, b in zip(place, place[1:])]
        if not all(near(m, w) for m, w in zip(measured, wanted)) or len(measured) != len(wanted):
            failures.append(f"{name}, {fields[0]}: the last line {[w[5] for w in place]} has gaps of "
                            f"{[round(m, 3) for m in measured]} points, not {[round(w, 3) for w in wanted]} "
                            f"(a space is {space:.3f})")

def block_lines(fields):  # the lines of the block that show something, in words
    last, first, address, city, province, postal = (fields + ("",) * 6)[:6]
    lines = [[first, last], [address], [city, province, postal]]
    return [" ".join(" ".join(parts).split()) for parts in lines if " ".join(parts).strip()]

# Records with empty parts and parts of spaces, before, between and after the
# lines that show.
BLANKS = [
    ("   ", "", "   ", "Ottawa"),
    ("", "Ann", "", "Toronto", "", "12345"),
    ("Roy", "Ann", "   ", "Laval", "QC", "H7N 5H9"),
    ("", "", "5 Elm St", "Laval"),
    (" ", " ", "6 Elm St", " ", "", " "),
    ("Roy", "Luc", "7 Elm St", "  ", "", ""),
    ("Smith", "John", "12 Main St", "Ottawa", "ON", "K1A 0B1"),
]

def check_lines(sheet):
    pdf = pdf_of(f"sheet {sheet}", BLANKS, ["--sheet", sheet])
    for index, (fields, rows) in enumerate(zip(BLANKS, rows_of(pdf, sheet, len(BLANKS)))):
        shown = [" ".join(w[5] for w in row) for row in rows]
        tops = [row[0][2] for row in rows]
        heights = [row[0][4] - row[0][2] for row in rows]
        # A blank line before, or between two others, moves a line down by its height.
        steps = [b - a - h for a, b, h in zip(tops, tops[1:], heights)]
        top = label_box(sheet, index, (0, 0))[1]
        if shown != block_lines(fields) or not near(tops[0], top) or not all(abs(s) < 0.1 for s in steps):
            failures.append(f"sheet {sheet}, label {index + 1}: lines {shown} at {[round(t, 2) for t in tops]}, "
                            f"not {block_lines(fields)} from {top:.2f} on, each below the one before")

# The papers in points, as pdfinfo gives them.
PAPERS = {"letter": (612, 792), "A4": (595.28, 841.89)}

def check_paper(sheet):
    paper = SHEETS[sheet][0]
    per_sheet = SHEETS[sheet][3] * SHEETS[sheet][4]
    pdf = os.path.join(ROOT.name, f"{sheet}.pdf")
    with open(pdf, "wb") as f:
        f.write(pdf_of(f"sheet {sheet}", [(f"Name{n}", "Ann", f"{n} Main St") for n in range(per_sheet + 1)],
                       ["--sheet", sheet]))
    info = subprocess.run(["pdfinfo", "-f", "1", "-l", "9", pdf], capture_output=True, text=True).stdout
    sizes = [(float(w), float(h), name) for w, h, name in
             re.findall(r"Page +\d+ size: +([\d.]+) x ([\d.]+) pts \((\w+)\)", info)]
    wanted = PAPERS[paper]
    if len(sizes) != 2 or not all(near(w, wanted[0]) and near(h, wanted[1]) and name == paper
                                  for w, h, name in sizes):
        failures.append(f"sheet {sheet}: pages {sizes}, not two of {wanted} ({paper})")

# Each group's PDFs, one a sheet (and for the postal code, in upper case too).
GROUPS = {
    "postal-code": lambda: [check_postal_code(sheet, upper) for sheet in SHEETS for upper in (False, True)],
    "lines": lambda: [check_lines(sheet) for sheet in SHEETS],
    "paper": lambda: [check_paper(sheet) for sheet in SHEETS],
}
if GROUP not in GROUPS:
    sys.exit(f"labels_print_test.py: no group {GROUP!r}")
ran = len(GROUPS[GROUP]())
print("\n".join(failures) or f"{GROUP}: {ran} PDFs pass")
sys.exit(1 if failures else 0)
