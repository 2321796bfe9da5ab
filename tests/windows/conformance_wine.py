#!/usr/bin/env python3
"""Run the conformance suite against a Windows build of the engine under Wine.

    conformance_wine.py --host call_host.exe --lib Lodex32.dll --suite SUITE [runner options]

The conformance runner's own logic (case files, steps, expectations, worker processes)
does the work; only its library binding changes. Where the runner would load the library
with ctypes, each worker here starts call_host.exe under Wine, which loads the DLL, and
sends it the calls over a pipe. Paths the engine is given are written the Windows way
(Wine's drive Z: is the Linux root), so the DLL joins and opens real Windows paths.

Options besides the runner's: --host (the call host program), --runner (the runner's
folder; default: the suite's parent folder), --wine (default: wine).
"""

import ctypes
import os
import subprocess
import sys

# Exports whose text arguments are paths.
PATH_EXPORTS = {"APIOpenBase", "APIOpenBaseEx", "APISaveBitmap", "APILoadBitmap"}


def windows_path(path):
    """A Linux path as Wine's drive Z: shows it."""
    if isinstance(path, str):
        path = os.fsencode(path)
    if path.startswith(b"/"):
        return b"Z:" + path.replace(b"/", b"\\")
    return path


class HostGone(Exception):
    pass


class Address(int):
    """An address answered by the host, with the 8 words it read there (or None)."""

    def __new__(cls, value, words):
        obj = int.__new__(cls, value)
        obj.words = words
        return obj


def _int32(value):
    value &= 0xFFFFFFFF
    return value - (1 << 32) if value & 0x80000000 else value


class Host:
    def __init__(self, dll):
        command = os.environ.get("LODEX_WINE", "wine").split()
        command += [os.environ["LODEX_CALL_HOST"], windows_path(dll).decode("latin-1")]
        self.proc = subprocess.Popen(command, stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                     stderr=None)

    def request(self, line, extra_lines=0):
        try:
            self.proc.stdin.write(line.encode("ascii") + b"\n")
            self.proc.stdin.flush()
            lines = [self.proc.stdout.readline() for _ in range(1 + extra_lines)]
        except (BrokenPipeError, OSError):
            lines = [b""]
        if not all(lines):
            raise HostGone()
        return [raw.decode("ascii").strip() for raw in lines]


class RemoteFunction:
    """Stands in for a ctypes function of the runner's Library."""

    def __init__(self, host, name, symbol, result, args):
        self.host, self.name, self.symbol = host, name, symbol
        self.result, self.args = result, args

    def _encode(self, kind, value):
        if kind == "i":
            if isinstance(value, bool) or not isinstance(value, int):
                raise ctypes.ArgumentError("expected an integer, got %r" % (value,))
            return "i%d" % _int32(value)
        if value is None:
            return "n"
        if kind == "s" and isinstance(value, bytes):
            if self.name in PATH_EXPORTS:
                value = windows_path(value)
            return "s" + value.hex()
        if kind == "v" and isinstance(value, ctypes.Array):
            return "b%d" % ctypes.sizeof(value)
        raise ctypes.ArgumentError("unsupported argument %r for %s" % (value, self.name))

    def __call__(self, *args):
        if len(args) != len(self.args):
            raise TypeError("%s takes %d arguments" % (self.name, len(self.args)))
        tokens = [self._encode(k, v) for k, v in zip(self.args, args)]
        buffers = [v for k, v in zip(self.args, args) if k == "v" and v is not None]
        try:
            lines = self.host.request("C %s %s %s %s" % (self.symbol, self.result,
                                                         "".join(self.args), " ".join(tokens)),
                                      len(buffers))
        except HostGone:
            # The library took the host down: end this worker the way a crash would, so
            # the runner fails this case alone and goes on in a new worker.
            rc = self.host.proc.wait()
            sys.stderr.write("call host ended with code %d during %s\n" % (rc, self.name))
            sys.stderr.flush()
            os._exit(70)
        head, rest = lines[0], lines[1:]
        for buf, line in zip(buffers, rest):
            data = bytes.fromhex(line[2:])
            ctypes.memmove(buf, data, len(data))
        if head == "N":
            return None
        kind, _, value = head.partition(" ")
        if kind == "S":
            return bytes.fromhex(value)
        if kind == "P":
            fields = [int(v) for v in value.split()]
            return Address(fields[0], fields[1:] if len(fields) == 9 else None)
        return int(value)


def install(runner):
    """Points the runner's library binding at the call host."""

    class RemoteLibrary:
        def __init__(self, dll):
            self.host = Host(dll)
            self.functions = {}
            self.missing = set()
            wanted = [(name, symbol) for name in runner.SIGNATURES
                      for symbol in runner.SYMBOLS.get(name, (name,))]
            try:
                (answer,) = self.host.request("L " + " ".join(s for _, s in wanted))
            except HostGone:
                raise OSError("the call host could not load %s" % dll) from None
            found = answer.split()[1:]
            for (name, symbol), ok in zip(wanted, found):
                if ok == "1" and name not in self.functions:
                    result, args = runner.SIGNATURES[name]
                    self.functions[name] = RemoteFunction(self.host, name, symbol, result, args)
            self.missing = set(runner.SIGNATURES) - set(self.functions)

    def check_u32(want, address):
        words = getattr(address, "words", None)
        if not isinstance(address, int) or address < 4096 or words is None:
            raise runner.StepFailure("expected an address, got %s" % runner._show(int(address)))
        if words != list(want):
            raise runner.StepFailure("expected words %s, got %s" % (
                runner._sample(["0x%08x" % v for v in want]),
                runner._sample(["0x%08x" % v for v in words])))

    runner.Library = RemoteLibrary
    runner.CaseRun._check_u32 = staticmethod(check_u32)
    # Workers are started as "python3 <runner file> --worker JOB": make that this file.
    runner.__file__ = os.path.abspath(__file__)


def main(argv):
    own, rest = {}, []
    k = 0
    while k < len(argv):
        if argv[k] in ("--host", "--runner", "--wine") and k + 1 < len(argv):
            own[argv[k][2:]] = argv[k + 1]
            k += 2
        else:
            rest.append(argv[k])
            k += 1
    if "host" in own:
        os.environ["LODEX_CALL_HOST"] = windows_path(os.path.abspath(own["host"])).decode()
    if "wine" in own:
        os.environ["LODEX_WINE"] = own["wine"]
    if "runner" in own:
        os.environ["LODEX_RUNNER_DIR"] = os.path.abspath(own["runner"])
    elif "LODEX_RUNNER_DIR" not in os.environ and "--suite" in rest:
        suite = rest[rest.index("--suite") + 1]
        os.environ["LODEX_RUNNER_DIR"] = os.path.dirname(os.path.abspath(suite))
    if "--worker" not in rest and "LODEX_CALL_HOST" not in os.environ:
        sys.exit("--host is required")
    sys.path.insert(0, os.environ["LODEX_RUNNER_DIR"])
    import runner
    install(runner)
    return runner.main(rest)


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
