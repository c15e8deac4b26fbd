# What every companion tool does the same way, checked for each by its own
# test: -h and -V; a usage error in two lines, the fault and where to look; a
# standard output closed at the start or full, a failure with one line saying
# why; --list FILE from another folder, and a FILE that is missing or not a
# regular file refused; every line of --help within 80 columns.
import os, subprocess, tempfile

ROOT = tempfile.TemporaryDirectory()

def _run(command, folder, arguments, stdin, env, stdout=subprocess.PIPE, start=None):
    run = subprocess.run(command + arguments, cwd=folder, input=stdin, stdout=stdout, stderr=subprocess.PIPE,
                         preexec_fn=start, env=env)
    return run.returncode, run.stdout or b"", run.stderr

def check_conventions(name, command, data, stdin, env, done, failures, untold_status=1):
    """`command` runs the tool; `data` is a list it takes, `stdin` what it reads
    (or None); `done(out, list_after)` says whether a run that went well wrote
    what it should. A run whose output cannot be written ends `untold_status`."""
    def folder_with(list_bytes):
        folder = tempfile.mkdtemp(dir=ROOT.name)
        if list_bytes is not None:
            with open(os.path.join(folder, "Maillist.dat"), "wb") as f:
                f.write(list_bytes)
        return folder
    def list_after(folder):
        path = os.path.join(folder, "Maillist.dat")
        return open(path, "rb").read() if os.path.exists(path) else None
    full = open("/dev/full", "wb")
    closed = lambda: os.close(1)
    usage = lambda fault: (2, b"", f"{name}: {fault}\nTry '{name} --help'.\n".encode())
    help_text = _run(command, folder_with(None), ["--help"], None, env)[1]
    # Each row: its name, the arguments, the standard output (a pipe unless
    # given), what is run before the tool, and what the run must end with:
    # (status, standard output, standard error), or a check of them.
    rows = [
        ("-h", ["-h"], None, None, (0, help_text, b"")),
        ("--help starts with the usage", ["--help"], None, None,
         lambda s, o, e: (s, o.startswith(f"Usage: {name} ".encode()), e) == (0, True, b"")),
        ("every line of --help within 80 columns", ["--help"], None, None,
         lambda s, o, e: s == 0 and max(len(line) for line in o.decode().splitlines()) <= 80),
        ("-V", ["-V"], None, None, (0, f"{name} 1.0\n".encode(), b"")),
        ("--version", ["--version"], None, None, (0, f"{name} 1.0\n".encode(), b"")),
        ("an unknown option", ["--verbose"], None, None, usage("unknown option '--verbose'")),
        ("an option without its value", ["--list"], None, None, usage("option '--list' needs a value")),
        ("a value for a flag", ["--help=all"], None, None, usage("option '--help' takes no value")),
        ("-h to a closed standard output", ["-h"], None, closed,
         (1, b"", f"{name}: could not write to standard output: Bad file descriptor\n".encode())),
        ("-V to a full disk", ["-V"], full, None,
         (1, b"", f"{name}: could not write the version to standard output: No space left on device\n".encode())),
        ("--help to a full disk", ["--help"], full, None,
         (1, b"", f"{name}: could not write the help to standard output: No space left on device\n".encode())),
        ("a closed standard output", [], None, closed,
         (1, b"", f"{name}: could not write to standard output: Bad file descriptor\n".encode())),
        ("a full disk", [], full, None,
         lambda s, o, e: (s, e.count(b"\n"), e.startswith(f"{name}: could not write ".encode()),
                          e.endswith(b"No space left on device\n") or b"No space left on device;" in e) ==
                         (untold_status, 1, True, True)),
    ]
    for row, arguments, stdout, start, expected in rows:
        folder = folder_with(data)
        got = _run(command, folder, arguments, stdin, env, stdout or subprocess.PIPE, start)
        good = expected(*got) if callable(expected) else got == expected
        # Only a run that went well, or one that could not tell it had (the
        # import after its save), changes the list.
        kept = list_after(folder) == data or got[0] in (0, untold_status) and not arguments
        if not good or not kept:
            failures.append(f"{name}, {row}: status, stdout, stderr {(got[0], got[1][:200], got[2])}, list kept {kept}")
    check_list_option(name, command, data, stdin, env, done, failures, folder_with, list_after)

def check_list_option(name, command, data, stdin, env, done, failures, folder_with, list_after):
    """--list FILE, run from a folder without a list: the FILE named is the one
    used, by a path relative to the folder or absolute; a FILE missing, a
    folder, a device, or the list's name in another case, refused with the
    reason."""
    lists = folder_with(data)
    os.mkdir(os.path.join(lists, "a folder"))
    elsewhere = folder_with(None)
    relative = os.path.relpath(os.path.join(lists, "Maillist.dat"), elsewhere)
    for row, path, good in [
            ("a relative path", relative, True), ("an absolute path", os.path.join(lists, "Maillist.dat"), True),
            ("--list=FILE", None, True),
            ("a missing FILE", "nowhere.dat", f"could not open nowhere.dat: No such file or directory"),
            ("a folder", os.path.join(lists, "a folder"), f"could not open {lists}/a folder: Is a directory"),
            ("a device", "/dev/null", "could not open /dev/null: it is not a regular file"),
            ("the name in another case, not taken for it", os.path.join(lists, "MAILLIST.DAT"),
             f"could not open {lists}/MAILLIST.DAT: No such file or directory")]:
        with open(os.path.join(lists, "Maillist.dat"), "wb") as f:
            f.write(data)
        arguments = [f"--list={relative}"] if path is None else ["--list", path]
        status, out, err = _run(command, elsewhere, arguments, stdin, env)
        after = list_after(lists)
        if good is True:
            ok = status == 0 and err == b"" and done(out, after) and list_after(elsewhere) is None
        else:
            ok = (status, out, err, after) == (1, b"", f"{name}: {good}\n".encode(), data)
        if not ok:
            failures.append(f"{name} --list, {row}: status {status}, stdout {out[:200]!r}, stderr {err!r}")
