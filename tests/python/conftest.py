"""Fixtures of the ktav tests: the simulator as a process that ends with the test, the tool, and
HOME and the XDG folders in a temporary folder."""
import ctypes
import json
import os
import signal
import subprocess

import pytest

SIM, CLI = os.environ["KTAV_SIM_PATH"], os.environ["KTAV_CLI_PATH"]
# The programs run without what loads the module into this interpreter (the sanitizer's run-time).
CHILD_ENV = {k: v for k, v in os.environ.items() if k not in ("LD_PRELOAD", "ASAN_OPTIONS")}


def end_with_test():
    """In a child before its program starts: SIGKILL when the test process dies."""
    ctypes.CDLL(None, use_errno=True).prctl(1, signal.SIGKILL)  # PR_SET_PDEATHSIG


class Sim:
    """k-tav-sim on a free loopback port and a pseudo-terminal; every frame in its log."""

    def __init__(self, folder, options):
        self.log = folder / "sim.log"
        with open(self.log, "w") as log:
            self.proc = subprocess.Popen(
                [SIM, "--tcp", "127.0.0.1:0", "--pty", "--verbose", *options], env=CHILD_ENV,
                stdout=subprocess.PIPE, stderr=log, text=True, preexec_fn=end_with_test)
        for line in self.proc.stdout:
            if line.startswith("TCP "):
                self.port = int(line.rsplit(":", 1)[1])
            elif line.startswith("PTY "):
                self.pty = line[4:].strip()
            elif line.strip() == "READY":
                break

    def stop(self):
        self.proc.kill()
        self.proc.wait()

    def pair_options(self, line):
        return {"tcp": f"127.0.0.1:{self.port}"} if line == "tcp" else {"com": self.pty}

    def cli(self, line, *args):
        """k-tav-cli on `line`; its exit status and its objects of --json."""
        where = ["--tcp", f"127.0.0.1:{self.port}"] if line == "tcp" else ["--com", self.pty]
        done = subprocess.run([CLI, *where, *args], env=CHILD_ENV, capture_output=True, text=True,
                              timeout=60, preexec_fn=end_with_test)
        return done.returncode, [json.loads(text) for text in done.stdout.splitlines()]

    def frames(self, direction, order):
        """The data of every frame of `order` the simulator received ("<-") or sent ("->")."""
        found = []
        for line in self.log.read_text().splitlines():
            words = line.split()
            if len(words) > 9 and words[1:3] == [direction, "55"] and int(words[3], 16) == order:
                found.append(bytes.fromhex("".join(words[10:])))
        return found


@pytest.fixture(autouse=True)
def own_home(tmp_path, monkeypatch):
    home = tmp_path / "home"
    home.mkdir(mode=0o700)
    for name in ("HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME", "XDG_RUNTIME_DIR"):
        monkeypatch.setenv(name, str(home))
        CHILD_ENV[name] = str(home)


@pytest.fixture
def start_sim(tmp_path):
    """Starts a simulator with options; MASTER and SLAVE of other models and ranges unless told."""
    started = []

    def start(*options, models=("--master-type", "610409", "--slave-type", "610412")):
        started.append(Sim(tmp_path, [*models, *options]))
        return started[-1]

    yield start
    for sim in started:
        sim.stop()


@pytest.fixture(params=["tcp", "pty"])
def line(request):
    return request.param
