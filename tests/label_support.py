# What the labels tool's tests share: the tool to run (from the first argument,
# or LEDGERINE_TEST_LABELS and LEDGERINE_TEST_WRAPPER as for the program's own
# tests), the sheets' figures, records in code page 850, lists in scratch
# folders, and the words of a PDF with their boxes, read back with pdftotext.
import html, os, re, subprocess, sys, tempfile

WIDTHS = (20, 20, 30, 20, 3, 8, 15, 20)
WRAPPER = os.environ.get("LEDGERINE_TEST_WRAPPER", "").split()
LABELS = WRAPPER + [os.path.abspath(os.environ.get("LEDGERINE_TEST_LABELS", sys.argv[1]))]
ROOT = tempfile.TemporaryDirectory()
MM = 72 / 25.4
MARGIN = 2 * MM
SLACK = 0.01  # pdftotext's coordinates are rounded
# The makers' figures in mm: paper, across, down, label width and height, left
# and top margins, pitch across and down.
SHEETS = {
    "5160": ("letter", 215.9, 279.4, 3, 10, 66.68, 25.40, 4.78, 12.70, 69.85, 25.40),
    "5161": ("letter", 215.9, 279.4, 2, 10, 101.60, 25.40, 3.96, 12.70, 106.36, 25.40),
    "5163": ("letter", 215.9, 279.4, 2, 5, 101.60, 50.80, 3.96, 12.70, 106.36, 50.80),
    "L7160": ("A4", 210.0, 297.0, 3, 7, 63.50, 38.10, 7.20, 15.15, 66.04, 38.10),
    "L7163": ("A4", 210.0, 297.0, 2, 7, 99.06, 38.10, 4.67, 15.15, 101.60, 38.10),
}
# The caller's environment (a sanitizer's options) with the locale set here.
KEPT = {k: v for k, v in os.environ.items() if k != "LANG" and not k.startswith("LC_")}
C, UTF8 = dict(KEPT, LC_ALL="C"), dict(KEPT, LC_ALL="C.UTF-8")

def record(*fields):  # text fields in code page 850; those not given are empty
    return b"".join(f.encode("cp850").ljust(w, b"\0") for f, w in zip(fields + ("",) * 8, WIDTHS))

def folder_with(data):
    folder = tempfile.mkdtemp(dir=ROOT.name)
    if data is not None:
        with open(os.path.join(folder, "Maillist.dat"), "wb") as f:
            f.write(data)
    return folder

def labels(data, arguments, env=None, **run):
    folder = folder_with(data)
    return subprocess.run(LABELS + arguments, cwd=folder, capture_output=True, env=env or C, **run)

def words(pdf):  # [(page, xMin, yMin, xMax, yMax, text)]
    xml = subprocess.run(["pdftotext", "-bbox-layout", "-", "-"], input=pdf, capture_output=True, check=True).stdout
    pages = re.split(rb"<page ", xml.replace(b"\n", b""))[1:]
    return [(n,) + tuple(float(v) for v in w[:4]) + (html.unescape(w[4].decode()),) for n, page in enumerate(pages)
            for w in re.findall(rb'<word xMin="([\d.]+)" yMin="([\d.]+)" xMax="([\d.]+)" yMax="([\d.]+)">(.*?)</word>',
                                page)], len(pages)

def label_box(sheet, index, offset):  # the label's rectangle less the margin, in points
    _, _, _, across, down, width, height, left, top, pitch_x, pitch_y = SHEETS[sheet]
    x = (left + index % (across * down) % across * pitch_x + offset[0]) * MM
    y = (top + index % (across * down) // across * pitch_y + offset[1]) * MM
    return x + MARGIN, y + MARGIN, x + width * MM - MARGIN, y + height * MM - MARGIN

