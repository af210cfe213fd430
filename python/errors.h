// The module's exceptions: ktav.Error, and under it LinkError (a ConnectionError too),
// RefusedDevice and TableWriteError.
#pragma once
#include <pybind11/pybind11.h>

#include <string>

// LinkError "<what>: <status text> (<cause>)": the sensor did not answer as it should. The status
// text and the frame layer's cause say how.
[[noreturn]] void RaiseLinkError(const std::string &what);

// RefusedDevice: a device of another series or a firmware this program does not serve.
// `verdict` is "other series" or "firmware number"; `identification` what the identification
// found (with "refused" and "message").
[[noreturn]] void RaiseRefused(const char *verdict, pybind11::dict identification);

// TableWriteError: a step of a table write failed at flash page `page` (its word address;
// 0 when no step was reached), and the table is incomplete.
[[noreturn]] void RaiseTableWriteError(unsigned page, const std::string &message);

// An exception of a Python type (`PyExc_ValueError`, ...) with `message`.
[[noreturn]] void Raise(PyObject *type, const std::string &message);
