# The program at a terminal: a pseudo-terminal is its standard input and output,
# keys are pressed as a terminal sends them, and the stored record, the screen
# and the terminal's settings afterwards are read back.
# Argument: the program (or LEDGERINE_TEST_PROGRAM).
import fcntl, os, select, signal, struct, subprocess, sys, tempfile, termios, time

PROGRAM = os.path.abspath(os.environ.get("LEDGERINE_TEST_PROGRAM", sys.argv[1]))
WIDTHS = (20, 20, 30, 20, 3, 8, 15, 20)
MENU_END = b"Press d,s,e,p,q To Continue\r\n"
LABELS = (b"Last Name", b"First Name", b"Address", b"City", b"Province Code", b"Postal Code",
          b"Telephone Number", b"Year & Model")
# What the keys send, as xterm and tmux send them.
LEFT, RIGHT, UP, DOWN = b"\x1b[D", b"\x1b[C", b"\x1b[A", b"\x1b[B"
HOME, HOME_TMUX, END, END_TMUX, DELETE = b"\x1b[H", b"\x1b[1~", b"\x1b[F", b"\x1b[4~", b"\x1b[3~"
PAGE_UP, INSERT, F1, F5 = b"\x1b[5~", b"\x1b[2~", b"\x1bOP", b"\x1b[15~"
BACKSPACE, CTRL = b"\x7f", lambda key: bytes([ord(key) & 0x1f])
ROOT = tempfile.TemporaryDirectory()


def record(*fields):
    return b"".join(f.ljust(w, b"\0") for f, w in zip(fields + (b"",) * 8, WIDTHS))


def fields_of(data):
    return [[data[at + sum(WIDTHS[:i]):at + sum(WIDTHS[:i + 1])].split(b"\0")[0] for i in range(8)]
            for at in range(0, len(data), 136)]


def start(locale, data=b"", columns=80, under=()):
    """The program in a new folder, at a new terminal of its own (`under`: a
    command to run it under)."""
    folder = tempfile.mkdtemp(dir=ROOT.name)
    with open(os.path.join(folder, "Maillist.dat"), "wb") as f:
        f.write(data)
    master, slave = os.openpty()
    fcntl.ioctl(slave, termios.TIOCSWINSZ, struct.pack("HHHH", 24, columns, 0, 0))
    settings = termios.tcgetattr(slave)
    env = {"TERM": "xterm", "LC_ALL": locale, "PATH": os.environ.get("PATH", "/usr/bin:/bin")}
    if under:
        env["ASAN_OPTIONS"] = "detect_leaks=0"  # LeakSanitizer cannot work under ptrace
    program = subprocess.Popen(list(under) + [PROGRAM], cwd=folder, stdin=slave, stdout=slave, stderr=slave, env=env,
                               start_new_session=True, preexec_fn=lambda: fcntl.ioctl(0, termios.TIOCSCTTY, 0))
    return {"program": program, "master": master, "slave": slave, "folder": folder, "screen": b"",
            "settings": settings}


def read_screen(run, seconds):
    ready, _, _ = select.select([run["master"]], [], [], seconds)
    if not ready:
        return False
    try:
        run["screen"] += os.read(run["master"], 4096)
    except OSError:  # the program has ended and the terminal is hung up
        return False
    return True


def wait_for(run, text, seconds=10):
    """Reads the screen until `text` is on it after what was seen before."""
    seen = run.setdefault("seen", 0)
    deadline = time.monotonic() + seconds
    while text not in run["screen"][seen:]:
        if time.monotonic() > deadline or not read_screen(run, deadline - time.monotonic()):
            raise AssertionError(f"never saw {text!r}; the screen ends {run['screen'][-300:]!r}")
    run["seen"] = run["screen"].index(text, seen) + len(text)


def wait_for_editor(run, seconds=10):
    """Waits until the editor reads the keys itself: until then the terminal
    echoes them, and an end of input typed then would be the terminal's."""
    deadline = time.monotonic() + seconds
    while termios.tcgetattr(run["slave"])[3] & termios.ICANON:
        if time.monotonic() > deadline:
            raise AssertionError("the terminal never left its line mode")
        time.sleep(0.01)


def press(run, *keys, after=None):
    """Waits for `after` on the screen and for the editor, then presses the keys one by one."""
    if after is not None:
        wait_for(run, after)
        wait_for_editor(run)
    for key in keys:
        os.write(run["master"], key)
        time.sleep(0.02)  # each key a read of its own, as a person types


def finish(run, seconds=10):
    """The program's status, once it has ended, and the list it left."""
    status = run["program"].wait(timeout=seconds)
    while read_screen(run, 0.1):
        pass
    run["after"] = termios.tcgetattr(run["slave"])
    os.close(run["master"])
    os.close(run["slave"])
    with open(os.path.join(run["folder"], "Maillist.dat"), "rb") as f:
        return status, f.read()


def enter(run, answers):
    """Enters a record, each answer a tuple of keys, and quits."""
    press(run, b"e\r", after=MENU_END)
    for label, keys in zip(LABELS, answers):
        press(run, *keys, b"\r", after=label + b":  ")
    press(run, b"q\r", after=MENU_END)
    return finish(run)


failures = []


def attempt(name, case, run):
    """Runs one case; a screen never seen or a program that never ends is its failure."""
    try:
        case()
    except (AssertionError, subprocess.TimeoutExpired) as fault:
        failures.append(f"{name}: {fault}")
        run["program"].kill()

# Each row: the locale, the keys of each field, and the field stored.
FORMS = [
    ("C.UTF-8", [(b"Smiht", LEFT, BACKSPACE, END, b"h")], [b"Smith"]),
    ("C.UTF-8", [(b"Smith",), ("Gagneé".encode(), LEFT, BACKSPACE)], [b"Smith", "Gagné".encode("cp850")]),
    ("C.UTF-8", [(b"a",), (b"b",), (b"xMain", HOME, DELETE), (b"Twon", LEFT, LEFT, LEFT, DELETE, RIGHT, b"w"),
                 (b"N", HOME_TMUX, b"O", END_TMUX), (b"abc", LEFT, LEFT, CTRL("e"), CTRL("u"), b"K1A"),
                 (b"555-0199xx", CTRL("a"), RIGHT, RIGHT, RIGHT, CTRL("k"), b"1212"), (b"one two", CTRL("w"), b"Ford")],
     [b"a", b"b", b"Main", b"Town", b"ON", b"K1A", b"5551212", b"one Ford"]),
    # Keys that are not bound insert nothing, however their sequences end.
    ("C.UTF-8", [(b"Sm", PAGE_UP, INSERT, F1, F5, b"ith"), (b"Jo", CTRL("v"), b"\x1b", b"x", b"hn")], [b"Smith", b"John"]),
    # A character is one key press: Backspace and Delete take it whole.
    ("C.UTF-8", [("Zoéx".encode(), BACKSPACE, BACKSPACE, b"e"), ("Léa".encode(), HOME, RIGHT, DELETE, b"e")],
     [b"Zoe", b"Lea"]),
    # Under the C locale every byte typed is kept: UTF-8 as it comes, and bytes that are none.
    ("C", [("Gagné".encode(),), (b"Ren\xe9", LEFT, b"x", END, b"e")], ["Gagné".encode(), b"Renx\xe9e"]),
    ("C", [("Zoé".encode(), BACKSPACE, b"\xa9!"),], ["Zoé!".encode()]),
    # Under UTF-8 a byte that starts no character is kept as the byte it is, as from a pipe.
    ("C.UTF-8", [(b"Ren\xe9e",), (b"\xc3", b"x")], [b"Ren\xe9e", b"\xc3x"]),
]
def form_case(run, answers, stored):
    status, data = enter(run, answers)
    got = fields_of(data)
    if status != 0 or len(got) != 1 or got[0][:len(stored)] != stored or b"\x1b" in data:
        failures.append(f"{answers}: status {status}, stored {got}, wanted {stored}")

for locale, answers, stored in FORMS:
    run = start(locale)
    attempt(f"{locale} {answers}", lambda: form_case(run, answers + [(b"x",)] * (8 - len(answers)), stored), run)

# The screen of a line typed without editing keys is the prompt, the line and its end.
def screen_case(run):
    enter(run, [(b"Smith",), ("Gagné".encode(),)] + [(b"x",)] * 6)
    if "\r\nLast Name:  Smith\r\nFirst Name:  Gagné\r\nAddress:  ".encode() not in run["screen"]:
        failures.append(f"the screen of a plain line: {run['screen'][:600]!r}")

run = start("C.UTF-8")
attempt("the screen of a plain line", lambda: screen_case(run), run)

# Up and Down walk the lines typed earlier in the run, command letters included.
def history_case(run):
    press(run, b"s\r", after=MENU_END)
    press(run, b"Smith\r", after=b"Customer\r\n")
    press(run, b"s\r", after=MENU_END)
    press(run, UP, UP, b"\r", after=b"Customer\r\n")
    press(run, UP, UP, UP, DOWN, b"\r", after=MENU_END)  # Smith, s, Smith, then back down to s
    press(run, UP, UP, b"\r", after=b"Customer\r\n")
    press(run, b"q\r", after=MENU_END)
    status, _ = finish(run)
    if status != 0 or run["screen"].count(b"Smith   John") != 3:
        failures.append(f"Up recalls a search: status {status}, screen {run['screen'][-800:]!r}")

run = start("C.UTF-8", record(b"Smith", b"John"))
attempt("Up recalls a search", lambda: history_case(run), run)

# However the program ends, the terminal's settings are as it found them.
def in_a_field(run):
    press(run, b"e\r", after=MENU_END)
    press(run, b"Smi", after=b"Last Name:  ")
    time.sleep(0.2)

ENDINGS = [
    ("q", lambda run: press(run, b"q\r", after=MENU_END), 0),
    ("Ctrl+D at the menu", lambda run: press(run, CTRL("d"), after=MENU_END), 0),
    ("Ctrl+D in the form", lambda run: (in_a_field(run), press(run, CTRL("u"), CTRL("d"))), 0),
    ("Ctrl+C", lambda run: (in_a_field(run), press(run, CTRL("c"))), -signal.SIGINT),
    ("SIGTERM", lambda run: (in_a_field(run), run["program"].send_signal(signal.SIGTERM)), -signal.SIGTERM),
    ("SIGHUP", lambda run: (in_a_field(run), run["program"].send_signal(signal.SIGHUP)), -signal.SIGHUP),
]

def ending_case(run, ending, wanted):
    ending(run)
    status, data = finish(run)
    if status != wanted or data != b"" or run["after"] != run["settings"]:
        failures.append(f"status {status} (wanted {wanted}), list {data!r}, settings "
                        f"{run['settings']} before, {run['after']} after")

for name, ending, wanted in ENDINGS:
    run = start("C.UTF-8")
    attempt(name, lambda: ending_case(run, ending, wanted), run)

# Nothing reaches the screen, every write failing: the keys are still read, and
# the terminal is put back at the end.
def failed_writes_case(run):
    wait_for_editor(run)
    press(run, b"q\r")
    ending_case(run, lambda run: None, 0)
    if run["screen"] != b"":
        failures.append(f"every write failing: the screen shows {run['screen'][:200]!r}")

run = start("C.UTF-8", under=["strace", "-f", "-qq", "-o", "/dev/null", "-e", "inject=write:error=EIO"])
attempt("every write failing", lambda: failed_writes_case(run), run)

checks = len(FORMS) + 2 + len(ENDINGS) + 1
for failure in failures:
    print(failure)
print(f"line editing: {checks - len(failures)} of {checks} passed")
sys.exit(1 if failures else 0)
