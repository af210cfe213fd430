// The Python module ktav (built as ktav._ktav, which ktav/__init__.py re-exports): the sensor
// pair through the program's core.
#include "module.h"

namespace py = pybind11;

PYBIND11_MODULE(_ktav, m) {
    // The classes and functions say they are of ktav, where their users find them.
    const py::object ownName = m.attr("__name__");
    m.attr("__name__") = "ktav";
    m.doc() =
        "The K-TAV-PX MASTER/SLAVE sensor pair from Python, through the program's own link, "
        "parameter, recorder and calibration code.";
    DefineErrors(m);
    DefinePair(m);
    DefineRecordings(m);
    DefineStatistics(m);
    m.attr("__name__") = ownName;
}
