#include "convert.h"

#include <QJsonArray>
#include <QJsonValue>
#include <QVariant>
#include <vector>

namespace py = pybind11;

namespace {

py::object toPython(const QJsonValue &value) {
    switch (value.type()) {
        case QJsonValue::Object:
            return ToDict(value.toObject());
        case QJsonValue::Array: {
            py::list list;
            for (const QJsonValue &item : value.toArray()) list.append(toPython(item));
            return list;
        }
        case QJsonValue::Bool:
            return py::bool_(value.toBool());
        case QJsonValue::Double:  // a whole number is kept as one
            if (value.toVariant().typeId() == QMetaType::LongLong)
                return py::int_(value.toInteger());
            return py::float_(value.toDouble());
        case QJsonValue::String:
            return py::str(value.toString().toStdString());
        default:
            return py::none();
    }
}

}  // namespace

py::dict ToDict(const QJsonObject &object) {
    py::dict dict;
    for (auto it = object.begin(); it != object.end(); ++it)
        dict[py::str(it.key().toStdString())] = toPython(it.value());
    return dict;
}

py::dtype DtypeOf(std::span<const Column> columns, std::size_t itemSize) {
    py::list names, formats, offsets;
    for (const Column &column : columns) {
        names.append(column.name);
        formats.append(column.format);
        offsets.append(column.offset);
    }
    return py::dtype::from_args(py::dict(py::arg("names") = names, py::arg("formats") = formats,
                                         py::arg("offsets") = offsets,
                                         py::arg("itemsize") = itemSize));
}

py::array ArrayOf(const py::dtype &dtype, std::size_t n, const void *rows) {
    return py::array(dtype, std::vector<py::ssize_t>{static_cast<py::ssize_t>(n)}, {}, rows);
}

std::string FsPath(const py::handle &path) {
    return py::module_::import("os").attr("fsencode")(path).cast<std::string>();
}
