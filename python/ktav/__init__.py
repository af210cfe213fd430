"""The K-TAV-PX MASTER/SLAVE sensor pair from Python.

Through the program's own link, parameter, recorder and calibration code:

    import ktav
    with ktav.Pair(tcp="127.0.0.1:10001") as pair:
        values = pair.run_array(100)
        print(values["valueMm"].mean())
"""
from ktav._ktav import (Error, LinkError, Pair, Record, RefusedDevice, TableResult,
                        TableWriteError, capability, read_recording)

__all__ = ["Error", "LinkError", "Pair", "Record", "RefusedDevice", "TableResult",
           "TableWriteError", "capability", "read_recording"]
