#!/usr/bin/python3
"""A parameter sweep: the MASTER's video threshold from 30 to 70 %, at each step 50 samples
recorded and their mean printed. The threshold is set back at the end.

    /usr/bin/python3 examples/param_sweep.py [HOST:PORT]

HOST:PORT defaults to 127.0.0.1:10001, where build/sim/k-tav-sim serves the simulated pair. The
module of the build tree is found with PYTHONPATH=build/python.
"""
import pathlib
import sys
import tempfile

import ktav

address = sys.argv[1] if len(sys.argv) > 1 else "127.0.0.1:10001"
with ktav.Pair(tcp=address) as pair, tempfile.TemporaryDirectory() as folder:
    before = pair.get()["master"]["videoThreshold"]
    try:
        for threshold in range(30, 71, 10):
            pair.send({"master": {"videoThreshold": threshold}})  # RAM only
            path = pathlib.Path(folder, f"threshold-{threshold}.dat")
            pair.record(path, count=50)
            header, samples = ktav.read_recording(path)
            print(f"video threshold {threshold} %: MASTER {samples['masterUm'].mean() / 1000:.3f} mm,"
                  f" value {samples['valueUm'].mean() / 1000:.3f} mm")
    finally:
        pair.send({"master": {"videoThreshold": before}})
