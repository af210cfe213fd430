#include "errors.h"

#include <string_view>

#include "core/link/status.h"
#include "module.h"
#include "session.h"

namespace py = pybind11;

namespace {

// The types, owned by the module once made (never released: they live as long as it).
PyObject *linkError, *refusedDevice, *tableWriteError;

PyObject *newError(py::module_ &m, const char *name, const char *doc, PyObject *bases) {
    const std::string qualified = std::string("ktav.") + name;
    PyObject *type = PyErr_NewExceptionWithDoc(qualified.c_str(), doc, bases, nullptr);
    if (!type) throw py::error_already_set();
    m.add_object(name, py::handle(type));
    return type;
}

// Raises `type(message)` with the given attributes set on the exception.
[[noreturn]] void raiseWith(PyObject *type, const std::string &message,
                            const py::dict &attributes) {
    py::object error = py::reinterpret_borrow<py::object>(type)(message);
    for (const auto &[name, value] : attributes) py::setattr(error, name, value);
    PyErr_SetObject(type, error.ptr());
    throw py::error_already_set();
}

std::string trimmed(std::string_view text) {
    while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.remove_suffix(1);
    return std::string(text);
}

}  // namespace

void DefineErrors(py::module_ &m) {
    PyObject *error =
        newError(m, "Error", "Base of the errors of the sensor pair.", PyExc_Exception);
    const py::tuple linkBases =
        py::make_tuple(py::handle(error), py::handle(PyExc_ConnectionError));
    linkError = newError(m, "LinkError",
                         "The sensor pair did not answer as it should: no answer within the "
                         "time-out, a damaged or wrong reply, a closed connection or a vanished "
                         "serial port.",
                         linkBases.ptr());
    refusedDevice = newError(m, "RefusedDevice",
                             "The device that answered is of another series, or its firmware is "
                             "one this program does not serve. `verdict` says which (\"other "
                             "series\", \"firmware number\"), `identification` what was found.",
                             error);
    tableWriteError = newError(m, "TableWriteError",
                               "A step of a linearisation table write failed: the table in the "
                               "sensor's flash is incomplete. `page` is the word address of the "
                               "flash page at fault.",
                               error);
}

void RaiseLinkError(const std::string &what) {
    std::string message = what + ": " + trimmed(szStatus);
    if (*LastFailureCause()) message += std::string(" (") + LastFailureCause() + ")";
    raiseWith(linkError, message, {});
}

void RaiseRefused(const char *verdict, py::dict identification) {
    const std::string message =
        "incompatible device or firmware (" + std::string(verdict) + "): " + trimmed(szStatus);
    raiseWith(refusedDevice, message,
              py::dict(py::arg("verdict") = verdict, py::arg("identification") = identification));
}

void RaiseTableWriteError(unsigned page, const std::string &message) {
    raiseWith(tableWriteError, message, py::dict(py::arg("page") = page));
}

void Raise(PyObject *type, const std::string &message) {
    PyErr_SetString(type, message.c_str());
    throw py::error_already_set();
}
