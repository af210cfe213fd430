// ktav.capability: the process capability of values through the core's statistics, the figures
// `k-tav-cli capability` prints, in the units of the values given.
#include <pybind11/numpy.h>
#include <pybind11/stl.h>

#include <optional>
#include <vector>

#include "core/stats/capability.h"
#include "module.h"

namespace py = pybind11;
using namespace pybind11::literals;

namespace {

py::object valueOf(const Figure &figure) {
    return figure.known() ? py::object(py::float_(figure.value)) : py::object(py::none());
}

py::dict capability(const py::array_t<double, py::array::c_style | py::array::forcecast> &values,
                    std::optional<double> lower, std::optional<double> upper, int subgroup) {
    if (values.ndim() != 1) throw py::value_error("values must be one-dimensional");
    if (subgroup < 1 || subgroup > 10) throw py::value_error("subgroup is 1 to 10");
    if (lower && upper && *lower >= *upper) throw py::value_error("lower must be below upper");
    const std::span<const double> data(values.data(), size_t(values.size()));
    Capability c;
    {
        py::gil_scoped_release released;
        c = CapabilityOf(data, {lower, upper}, subgroup);
    }
    py::dict figures, reasons;
    const std::pair<const char *, const Figure *> named[] = {{"sigma_within", &c.sigmaWithin},
                                                             {"sigma_overall", &c.sigmaOverall},
                                                             {"cp", &c.cp},
                                                             {"cpk", &c.cpk},
                                                             {"pp", &c.pp},
                                                             {"ppk", &c.ppk}};
    for (const auto &[name, figure] : named) {
        figures[name] = valueOf(*figure);
        if (!figure->known()) reasons[name] = figure->missing;
    }
    const bool any = c.overall.count > 0;
    figures["count"] = c.overall.count;
    figures["mean"] = any ? py::object(py::float_(c.overall.mean)) : py::object(py::none());
    figures["min"] = any ? py::object(py::float_(c.overall.min)) : py::object(py::none());
    figures["max"] = any ? py::object(py::float_(c.overall.max)) : py::object(py::none());
    figures["subgroup"] = c.subgroup;
    figures["left_out"] = c.leftOut;
    figures["control_limits"] =
        c.chart.known()
            ? py::object(py::dict(
                  "centre"_a = c.limits.centre, "upper"_a = c.limits.upper,
                  "lower"_a = c.limits.lower, "range_centre"_a = c.limits.rangeCentre,
                  "range_upper"_a = c.limits.rangeUpper, "range_lower"_a = c.limits.rangeLower))
            : py::object(py::none());
    if (!c.chart.known()) reasons["control_limits"] = c.chart.missing;
    figures["reasons"] = reasons;
    return figures;
}

}  // namespace

void DefineStatistics(py::module_ &m) {
    m.def("capability", &capability, "values"_a, py::kw_only(), "lower"_a = py::none(),
          "upper"_a = py::none(), "subgroup"_a = 1,
          R"(The process capability of `values` against the limits `lower` and/or `upper`, in the
units of the values, as `k-tav-cli capability` works it out: count, mean, min, max; sigma_within
(MR-bar / 1.128 for single values, R-bar / d2 for subgroups of 2 to 10) with Cp and Cpk;
sigma_overall (n - 1) with Pp and Ppk; the control limits of the I-MR or X-bar-R chart. A figure
that cannot be had is None, and "reasons" says why (fewer than 2 values, no spread, a limit
missing). Values of an incomplete last subgroup count in the overall figures only ("left_out").)");
}
