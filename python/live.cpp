// The live values and the recorder of ktav.Pair: run, run_array, video and record.
#include <chrono>
#include <cmath>
#include <cstddef>
#include <filesystem>
#include <optional>

#include "convert.h"
#include "core/json/documents.h"
#include "core/link/commands.h"
#include "core/link/identity.h"
#include "core/measure/evaluation.h"
#include "core/measure/recfile.h"
#include "core/measure/recorder.h"
#include "core/params/transfer.h"
#include "core/state/flags.h"
#include "errors.h"
#include "module.h"
#include "pair.h"
#include "session.h"

namespace py = pybind11;
using namespace pybind11::literals;

namespace {

// A measurement record as run_array's rows and run()'s records hold it, under the field names
// of run --json; the time in seconds since the epoch.
struct RecordRow {
    double time;
    int32_t masterUm, slaveUm, valueUm;
    uint16_t masterEdge, slaveEdge, masterPix, slavePix, valuePix;
    double masterMm, slaveMm, valueMm;
    char32_t tolerance[5];  // "in", "above" or "below"
};

#define KTAV_COLUMN(name, format)                \
    Column {                                     \
#name, format, offsetof(RecordRow, name) \
    }
const Column kRecordColumns[] = {
    KTAV_COLUMN(time, "f8"),      KTAV_COLUMN(masterUm, "i4"),   KTAV_COLUMN(slaveUm, "i4"),
    KTAV_COLUMN(valueUm, "i4"),   KTAV_COLUMN(masterEdge, "u2"), KTAV_COLUMN(slaveEdge, "u2"),
    KTAV_COLUMN(masterPix, "u2"), KTAV_COLUMN(slavePix, "u2"),   KTAV_COLUMN(valuePix, "u2"),
    KTAV_COLUMN(masterMm, "f8"),  KTAV_COLUMN(slaveMm, "f8"),    KTAV_COLUMN(valueMm, "f8"),
    KTAV_COLUMN(tolerance, "U5"),
};
#undef KTAV_COLUMN

// The dtype of the rows and the named tuple of run()'s records, made once with the module.
py::handle recordDtype, recordType;

// The record in `raw`, taken now.
RecordRow rowOfRaw() {
    using namespace std::chrono;
    RecordRow row{duration<double>(system_clock::now().time_since_epoch()).count(),
                  raw.umA,
                  raw.umB,
                  raw.umValue,
                  raw.edgeA,
                  raw.edgeB,
                  raw.posA,
                  raw.posB,
                  raw.posCombined,
                  raw.umA / 1000.0,
                  raw.umB / 1000.0,
                  raw.umValue / 1000.0,
                  {}};
    PutText(row.tolerance, ToleranceOf(raw));
    return row;
}

// The calibration headers and the RAM sets the tolerance of each record is judged by.
void readEvaluationSettings() {
    if (!Unlocked(ReadEvaluationSettings))
        RaiseLinkError("cannot read the parameter sets and the calibration headers");
}

void fetchRecord() {
    if (Unlocked(GetRAW) != 1) RaiseLinkError("no correct measurement record");
}

// What pair.run() returns: one record per step, until the count or for ever.
class RunRecords {
  public:
    RunRecords(Pair &pair, std::optional<size_t> count)
        : pair_(pair),
          left_(count),
          row_(ArrayOf(py::reinterpret_borrow<py::dtype>(recordDtype), 1)) {}

    py::object next() {
        if (left_ && *left_ == 0) throw py::stop_iteration();
        pair_.ready();
        fetchRecord();
        if (left_) --*left_;
        *static_cast<RecordRow *>(row_.mutable_data()) = rowOfRaw();
        return recordType.attr("_make")(row_.attr("item")(0));
    }

  private:
    Pair &pair_;
    std::optional<size_t> left_;
    py::array row_;  // the record's one row, reused
};

RunRecords run(Pair &pair, std::optional<size_t> count) {
    pair.ready();
    readEvaluationSettings();
    return RunRecords(pair, count);
}

py::array runArray(Pair &pair, size_t n) {
    pair.ready();
    readEvaluationSettings();
    py::array rows = ArrayOf(py::reinterpret_borrow<py::dtype>(recordDtype), n);
    auto *row = static_cast<RecordRow *>(rows.mutable_data());
    for (size_t i = 0; i < n; ++i) {
        fetchRecord();
        row[i] = rowOfRaw();
        // Ctrl-C ends the run after the cycle it came in.
        if (PyErr_CheckSignals() != 0) throw py::error_already_set();
    }
    return rows;
}

py::dict video(Pair &pair) {
    pair.ready();
    if (Unlocked([] { return GetDATA(0); }) != 1) RaiseLinkError("no correct video reply");
    return py::dict("x"_a = py::array_t<double>(XBAR_COUNT, xArray8),
                    "master"_a = py::array_t<uint16_t>(XBAR_COUNT, adbuf),
                    "slave"_a = py::array_t<uint16_t>(XBAR_COUNT, adbuf + XBAR_COUNT));
}

// A recording hears of Ctrl-C at each sample and each second: it then ends in order, and the
// KeyboardInterrupt is raised once it has.
bool recordingInterrupted = false;
unsigned samplesWritten = 0;

void checkInterrupt() {
    py::gil_scoped_acquire gil;
    if (!recordingInterrupted && PyErr_CheckSignals() != 0) {
        recordingInterrupted = true;
        stop_flag = STOP_IDLE;
    }
}

py::dict record(Pair &pair, const py::object &file, unsigned count, double interval, bool trigger) {
    pair.ready();
    if (count < 1 || count > REC_MAX_SAMPLES)
        throw py::value_error("count is 1.." + std::to_string(REC_MAX_SAMPLES));
    if (!std::isfinite(interval) || interval < 0)
        throw py::value_error("interval is 0 or more seconds");
    const std::string path = FsPath(file);
    if (std::filesystem::exists(path))
        Raise(PyExc_FileExistsError, path + " exists already; it is not overwritten");
    readEvaluationSettings();
    const RecHeader header = trigger ? CurrentRecHeader(0.0, REC_MAX_SAMPLES, false)
                                     : CurrentRecHeader(interval, count, true);
    if (CreateRecFile(path.c_str(), header) != 1)
        Raise(PyExc_OSError, "cannot write " + path + ": " + RecFileError());
    recordingInterrupted = false;
    samplesWritten = 0;
    const RecorderView view{nullptr, checkInterrupt, [](unsigned n) { samplesWritten = n; },
                            [](int) { checkInterrupt(); }};
    const RecordOutcome outcome = Unlocked([&] {
        return RunRecording({path.c_str(), interval, count, trigger}, view);
    });
    if (recordingInterrupted) throw py::error_already_set();
    switch (outcome.end) {
        case RecordEnd::Completed:
        case RecordEnd::Stopped:
            return ToDict(RecordingJson(outcome, QString::fromStdString(path), samplesWritten));
        case RecordEnd::Timeout:
            RaiseLinkError("the sensor did not answer; the file keeps the samples taken");
        case RecordEnd::FileError:
            break;
    }
    Raise(PyExc_OSError, "cannot write " + path + ": " + outcome.cause);
}

}  // namespace

void DefineLive(py::module_ &m, py::class_<Pair> &pair) {
    recordDtype = DtypeOf(kRecordColumns, sizeof(RecordRow)).release();
    py::list names;
    for (const Column &column : kRecordColumns) names.append(column.name);
    recordType = py::module_::import("collections")
                     .attr("namedtuple")("Record", names, "module"_a = "ktav")
                     .release();
    recordType.attr("__doc__") =
        "A measurement record: time [s since the epoch], masterUm, slaveUm, valueUm, "
        "masterEdge, slaveEdge, masterPix, slavePix, valuePix, masterMm, slaveMm, valueMm and "
        "tolerance (\"in\", \"above\" or \"below\").";
    py::class_<RunRecords>(pair, "Records", "The records of Pair.run(), one per step.")
        .def("__iter__", [](RunRecords &records) -> RunRecords & { return records; })
        .def("__next__", &RunRecords::next);

    pair.def("run", &run, "count"_a = py::none(), py::keep_alive<0, 1>(),
             "Measurement records as they come, `count` of them or until the loop ends: an "
             "iterator of Record (the fields of run --json). Ctrl-C ends it after its cycle.")
        .def("run_array", &runArray, "n"_a,
             "`n` measurement records as a NumPy structured array with the fields of Record. "
             "Ctrl-C ends it after its cycle (KeyboardInterrupt).")
        .def("video", &video,
             "The two video profiles: {\"x\": bar positions, \"master\": 128 uint16 values, "
             "\"slave\": 128 uint16 values}.")
        .def("record", &record, "path"_a, "count"_a, "interval"_a = 0.0, "trigger"_a = false,
             "Records `count` samples into the recorder file `path` (never overwritten): polled "
             "every `interval` seconds (0: as fast as the link allows), or with `trigger` the "
             "trigger records the sensor sends by itself. Returns how it ended (end, file, "
             "samples, dropped). Ctrl-C ends it in order with every sample taken so far.");
    m.attr("Record") = recordType;
}
