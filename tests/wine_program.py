#!/usr/bin/env python3
"""Windows programs run under Wine for the tests, and what a failure shows.

    run(prefix, arch, args, timeout=180, env=None, text=False)
        the program's CompletedProcess, run through scripts/wine-run.sh and,
        where $VORN_EXIT_STATUS names it, through exit_status.exe, which
        writes the exit code as Windows reports it (Wine's Unix exit status
        keeps only its low byte)
    failure(result)
        what a failed run showed: its exit code, both streams and, where it
        wrote nothing, what Wine's error channels say when it runs once more

As a program it is how the cross build's tests are started:

    wine_program.py PREFIX ARCH PROGRAM [ARGS...]

passes the program's output and exit code on and, when it fails, adds what
failure() says on the error stream."""
import os
import subprocess
import sys

WINE_RUN = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "scripts", "wine-run.sh")
DEBUG_CHANNELS = "err+all,fixme-all"
STATUS_MARK = "exit_status: "


def _launcher(args):
    helper = os.environ.get("VORN_EXIT_STATUS")
    return [helper, *args] if helper and os.path.isfile(helper) else list(args)


def run(prefix, arch, args, timeout=180, env=None, text=False):
    result = subprocess.run([WINE_RUN, prefix, arch, *_launcher(args)], capture_output=True, timeout=timeout,
                            env={**os.environ, **(env or {})})
    result.wine = (prefix, arch, list(args), env)
    if text:
        result.stdout = result.stdout.decode("utf-8", "replace")
        result.stderr = result.stderr.decode("utf-8", "replace")
    return result


def _text(data):
    return data.decode("utf-8", "replace") if isinstance(data, bytes) else (data or "")


def _tail(text, limit):
    return text if len(text) <= limit else "..." + text[-limit:]


def _own_output(stderr):
    """The error stream without exit_status's own line."""
    return "".join(line for line in stderr.splitlines(True) if not line.startswith(STATUS_MARK))


def failure(result, limit=3000):
    """Says what a failed run showed, in a few lines."""
    out, err = _text(result.stdout), _text(result.stderr)
    status = next((line[len(STATUS_MARK):].strip() for line in err.splitlines() if line.startswith(STATUS_MARK)),
                  f"exit status {result.returncode} (its low byte, as Wine passes it on)")
    prefix, arch, args, env = getattr(result, "wine", (None, None, result.args, None))
    lines = [f"{os.path.basename(str(args[0]))}: {status}"]
    own = _own_output(err)
    if own.strip():
        lines.append("its error stream:\n" + _tail(own, limit))
    if out.strip():
        lines.append("its output:\n" + _tail(out, limit))
    if not own.strip() and not out.strip():
        lines.append("it wrote nothing on either stream")
        if prefix:
            lines.append(_second_run(prefix, arch, args, env, limit))
    return "\n".join(lines)


def _second_run(prefix, arch, args, env, limit):
    try:
        again = run(prefix, arch, args, timeout=180, env={**(env or {}), "VORN_WINEDEBUG": DEBUG_CHANNELS})
    except subprocess.TimeoutExpired:
        return f"run once more with WINEDEBUG={DEBUG_CHANNELS}: it did not end within 180 s"
    err = _text(again.stderr)
    said = err.strip() or "(nothing on the error stream)"
    return (f"run once more with WINEDEBUG={DEBUG_CHANNELS}: exit status {again.returncode}; "
            f"the error stream:\n{_tail(said, limit)}")


def main(argv):
    if len(argv) < 4:
        print("usage: wine_program.py PREFIX ARCH PROGRAM [ARGS...]", file=sys.stderr)
        return 2
    prefix, arch, args = argv[1], argv[2], argv[3:]
    result = run(prefix, arch, args, timeout=None)
    sys.stdout.buffer.write(result.stdout)
    sys.stdout.flush()
    sys.stderr.buffer.write(result.stderr)
    if result.returncode != 0:
        sys.stderr.write("\n== " + failure(result) + "\n")
    return result.returncode


if __name__ == "__main__":
    sys.exit(main(sys.argv))
