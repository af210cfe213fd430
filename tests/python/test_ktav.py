"""ktav against the simulator over TCP and the pseudo-terminal: what the module gives equals what
the tool prints and what the sensor sent, and every failure raises the exception it should."""
import ast
import copy
import importlib.util
import json
import os
import pathlib
import signal
import struct
import subprocess
import sys
import threading

import numpy as np
import pytest

import ktav

RAW = struct.Struct("<3H2xi2H4x10H2i8x2i")  # the measurement record, reply to order 8
RAW_FIELDS = {"masterPix": 0, "slavePix": 1, "valuePix": 2, "valueUm": 3, "masterEdge": 4,
              "slaveEdge": 5, "masterUm": 16, "slaveUm": 17}
EXAMPLES = pathlib.Path(__file__).parents[2] / "examples"


def replies(sim, n):
    """The last `n` measurement records the simulator sent, under the module's field names."""
    return [{name: RAW.unpack(data)[i] for name, i in RAW_FIELDS.items()}
            for data in sim.frames("->", 8)[-n:]]


def fields(rows):
    return [{name: row[name] for name in RAW_FIELDS} for row in rows]


def interrupt_in(seconds):
    threading.Timer(seconds, os.kill, (os.getpid(), signal.SIGINT)).start()


def test_identification_equals_the_tool(start_sim, line):
    sim = start_sim()
    status, (expected,) = sim.cli(line, "identify", "--json")
    with ktav.Pair(**sim.pair_options(line)) as pair:
        assert pair.identification == expected
    assert status == 0 and expected["master"] != expected["slave"]


@pytest.mark.parametrize("target", ["ram", "eeprom"])
@pytest.mark.parametrize("sets", [
    {"general": {"setpointUm": 51234, "upperToleranceUm": 700, "lowerToleranceUm": 300}},
    {"master": {"power": 321, "teachValuePix": 600}, "slave": {"videoThreshold": 61}},
])
def test_send_changes_exactly_the_fields_sent(start_sim, line, target, sets, tmp_path):
    sim = start_sim()
    log = tmp_path / "audit.jsonl"
    with ktav.Pair(**sim.pair_options(line), audit=log) as pair:
        before = {t: pair.get(t) for t in ("ram", "eeprom")}
        pair.send(sets, target)
        # Read back by the tool over the other line: what the simulator holds now.
        other = "pty" if line == "tcp" else "tcp"
        after = {t: sim.cli(other, "get", "--json", "--target", t)[1][0] for t in before}
    expected = copy.deepcopy(before)
    for name, values in sets.items():
        expected[target][name].update(values)
    assert after == expected != before
    # One line in the audit log, naming each field that changed with its old and new value.
    (line_,) = [json.loads(text) for text in log.read_text().splitlines()]
    changed = sorted((c["set"], c["field"], c["old"], c["new"]) for c in line_["changes"])
    assert (line_["action"], line_["tool"], line_["target"]) == ("send", "ktav", target.upper())
    assert changed == sorted((name, field, before[target][name][field], value)
                             for name, values in sets.items() for field, value in values.items()
                             if before[target][name][field] != value)


# Values 1..5 against 0..6: mean 3, overall sigma sqrt(2.5) = 1.5811, MR-bar 1, so sigma within
# 1 / 1.128 = 0.8865; Cp = Cpk = 6 / (6 * 0.8865) = 1.128, Pp = Ppk = 3 / (3 * 1.5811) = 0.6325.
@pytest.mark.parametrize("values, limits, figures, reasons", [
    ([1, 2, 3, 4, 5], {"lower": 0, "upper": 6},
     {"mean": 3, "sigma_within": 0.8865, "cp": 1.1280, "cpk": 1.1280, "pp": 0.6325,
      "ppk": 0.6325}, {}),
    ([1, 2, 3, 4, 5], {"upper": 6},
     {"cp": None, "cpk": 1.1280, "pp": None, "ppk": 0.6325},
     {"cp": "needs both limits", "pp": "needs both limits"}),
    ([2.5], {"lower": 0, "upper": 6},
     {"sigma_overall": None, "ppk": None}, {"sigma_overall": "fewer than 2 values"}),
])
def test_capability_gives_the_tools_figures(values, limits, figures, reasons):
    result = ktav.capability(np.array(values, dtype=float), **limits)
    assert {k: result[k] if result[k] is None else round(result[k], 4) for k in figures} == figures
    assert {k: result["reasons"][k] for k in reasons} == reasons


@pytest.mark.parametrize("sets, error", [
    ({"general": {"setpointUm": 1}, "master": {"power": 1001}}, ValueError),  # above its limit
    ({"slave": {"evalEndPix": 8193}}, ValueError),  # beyond the CCD line
    ({"general": {"average": -1}}, ValueError),  # does not fit the word
    ({"general": {"averages": 1}}, ValueError),
    ({"other": {"power": 1}}, ValueError),
    ({"general": {"average": 1.5}}, TypeError),
])
def test_send_refuses_before_anything_is_sent(start_sim, sets, error):
    sim = start_sim()
    with ktav.Pair(**sim.pair_options("tcp")) as pair:
        requests = sim.log.read_text().count(" <- ")
        with pytest.raises(error):
            pair.send(sets)
        assert sim.log.read_text().count(" <- ") == requests


def test_values_equal_the_replies(start_sim, line, tmp_path):
    sim = start_sim()
    with ktav.Pair(**sim.pair_options(line)) as pair:
        rows = pair.run_array(5)
        assert fields(rows) == replies(sim, 5)
        assert list(rows["valueMm"]) == list(rows["valueUm"] / 1000)
        records = list(pair.run(3))
        assert fields(r._asdict() for r in records) == replies(sim, 3)
        assert {r.tolerance for r in records} <= {"in", "above", "below"}
        profiles = pair.video()
        shown = np.concatenate([profiles["master"], profiles["slave"]])
        assert shown.dtype == np.uint16 and shown.tobytes() == sim.frames("->", 9)[-1]
        path = tmp_path / "RECORD.DAT"
        assert pair.record(path, 20) == {"end": "completed", "file": str(path), "samples": 20,
                                         "dropped": 0}
        calibration = {side: pair.identification[side]["calibration"]
                       for side in ("master", "slave")}
        with pytest.raises(FileExistsError):
            pair.record(path, 20)
    header, samples = ktav.read_recording(path)
    assert fields(samples) == replies(sim, 20)
    assert header["sampleCount"] == 20 and header["increment"] == 0
    assert [header["masterOffsetUm"], header["slaveOffsetUm"], header["masterRangeUm"],
            header["slaveRangeUm"]] == [calibration["master"]["offsetUm"],
                                        calibration["slave"]["offsetUm"],
                                        calibration["master"]["rangeUm"],
                                        calibration["slave"]["rangeUm"]]


@pytest.mark.parametrize("kind, error", [
    ("missing", FileNotFoundError), ("folder", OSError), ("other text", ValueError)])
def test_read_recording_refuses_what_is_no_recording(tmp_path, kind, error):
    path = tmp_path / "RECORD.DAT"
    if kind == "folder":
        path.mkdir()
    elif kind == "other text":
        path.write_text("Date:\t01-02-2026\r\nTime:\tnoon\r\n")
    with pytest.raises(error, match=str(path)):
        ktav.read_recording(path)


def test_ctrl_c_ends_run_after_its_cycle(start_sim, line):
    sim = start_sim()
    with ktav.Pair(**sim.pair_options(line)) as pair:
        interrupt_in(0.5)
        with pytest.raises(KeyboardInterrupt):
            pair.run_array(1_000_000)
        assert len(sim.frames("<-", 8)) == len(sim.frames("->", 8)) > 0
        assert pair.get()["master"]["power"] == 500  # the link is as it was


@pytest.mark.parametrize("options, verdict", [
    (["--fw-text", "XY-OTHER V1.00 2020-01-01"], "other series"),
    (["--fw-version", "430"], "firmware number"),
])
def test_refused_device_raises(start_sim, options, verdict):
    sim = start_sim(*options)
    status, (expected,) = sim.cli("tcp", "identify", "--json")
    for _ in range(2):  # the refused pair gave the core up again
        with pytest.raises(ktav.RefusedDevice) as refused:
            ktav.Pair(**sim.pair_options("tcp")).open()
        assert (refused.value.verdict, refused.value.identification) == (verdict, expected)
    assert status == 2


def test_killed_simulator_raises_link_error(start_sim, line):
    sim = start_sim()
    with ktav.Pair(**sim.pair_options(line)) as pair:
        sim.stop()
        with pytest.raises(ktav.LinkError):
            pair.run_array(3)


def test_one_pair_per_process(start_sim):
    sim = start_sim()
    with ktav.Pair(**sim.pair_options("tcp")) as first:
        with pytest.raises(RuntimeError, match="one process"):
            ktav.Pair(**sim.pair_options("pty")).open()
    with pytest.raises(RuntimeError, match="not open"):
        first.get()
    with ktav.Pair(**sim.pair_options("pty")) as second:
        assert second.identification == first.identification


TABLE = [3 + 5 * k for k in range(2048)]


@pytest.mark.parametrize("options, interrupted, outcome", [
    ([], False, ktav.TableResult.VERIFIED),
    (["--corrupt-flash-page", "3"], False, ktav.TableResult.DIFFERS),
    (["--fail-flash-page", "4"], False, ktav.TableWriteError),
    ([], True, KeyboardInterrupt),  # honoured once the write has ended
])
def test_calib_write(start_sim, tmp_path, options, interrupted, outcome):
    sim = start_sim(*options)
    path = tmp_path / "master.dat"
    path.write_text("[HEADER]\nTYPE\t610409\nPARAM1\t3\nRANGE\t12000\nOFFSET\t40000\nPARAM2\t7\n"
                    "LENGTH\t2048\n[XFLASH]\n" + "\n".join(map(str, TABLE)) + "\n")
    with ktav.Pair(**sim.pair_options("tcp")) as pair:
        slave = pair.calib_read()["slave"]
        if interrupted:
            interrupt_in(0.5)
        try:
            result = pair.calib_write(path, "master")
        except (ktav.TableWriteError, KeyboardInterrupt) as error:
            result = error
        headers = pair.calib_read()
    assert result == outcome or isinstance(result, outcome)
    assert (headers["master"]["rangeUm"], headers["slave"]) == (12000, slave)
    with ktav.Pair(**sim.pair_options("tcp")) as pair:
        assert ("warning" in pair.identification) == (outcome is ktav.TableWriteError)
    if outcome is ktav.TableWriteError:
        assert result.page == 0x1400
    else:  # every page written
        assert len(sim.frames("<-", 182)) == 8


@pytest.mark.parametrize("example", ["param_sweep.py", "live_plot.py"])
def test_examples_work_as_written(start_sim, example):
    sim = start_sim()
    done = subprocess.run([sys.executable, EXAMPLES / example, f"127.0.0.1:{sim.port}"],
                          env=dict(os.environ, MPLBACKEND="Agg"), capture_output=True, text=True,
                          timeout=120)
    if example == "live_plot.py" and not importlib.util.find_spec("matplotlib"):
        assert "sudo apt install python3-matplotlib" in done.stderr
    else:
        assert done.returncode == 0, done.stderr
        assert done.stdout.count("video threshold") == (5 if example == "param_sweep.py" else 0)


def test_stub_names_what_the_module_has():
    stub = ast.parse(pathlib.Path(ktav.__file__).with_suffix(".pyi").read_text()).body
    names = {node.name: node for node in stub if isinstance(node, ast.ClassDef | ast.FunctionDef)}
    members = {node.name for node in names["Pair"].body if not node.name.startswith("_")}
    assert set(names) == set(ktav.__all__)
    assert members == {name for name in vars(ktav.Pair) if not name.startswith("_")}
