#!/usr/bin/python3
"""Live values of the sensor pair in a Matplotlib window: MASTER, SLAVE and the measured value.

    /usr/bin/python3 examples/live_plot.py [HOST:PORT]

HOST:PORT defaults to 127.0.0.1:10001, where build/sim/k-tav-sim serves the simulated pair. The
module of the build tree is found with PYTHONPATH=build/python.
"""
import sys
from collections import deque

try:
    import matplotlib.pyplot as plt
    from matplotlib.animation import FuncAnimation
except ImportError:
    sys.exit("This example draws with Matplotlib; install it from Debian:\n"
             "    sudo apt install python3-matplotlib")
import ktav

address = sys.argv[1] if len(sys.argv) > 1 else "127.0.0.1:10001"
with ktav.Pair(tcp=address) as pair:
    records = pair.run()
    history = {field: deque(maxlen=300) for field in ("masterMm", "slaveMm", "valueMm")}
    figure, axes = plt.subplots()
    lines = {field: axes.plot([], [], label=field)[0] for field in history}
    axes.set(xlabel="record", ylabel="mm", title=pair.identification["firmware"])
    axes.legend(loc="upper left")

    def update(_frame):
        record = next(records)
        for field, values in history.items():
            values.append(getattr(record, field))
            lines[field].set_data(range(len(values)), values)
        axes.relim()
        axes.autoscale_view()
        return lines.values()

    animation = FuncAnimation(figure, update, interval=50, cache_frame_data=False)
    plt.show()  # until the window is closed
