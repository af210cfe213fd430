// ktav.read_recording: a recorder file through the core's reader.
#include <cstddef>
#include <filesystem>
#include <vector>

#include "convert.h"
#include "core/measure/recreader.h"
#include "errors.h"
#include "module.h"
#include "session.h"

namespace py = pybind11;
using namespace pybind11::literals;

namespace {

// A sample line under the names of the recorder file's columns in run --json; the time of day as
// written and the seconds since the first sample.
struct SampleRow {
    char32_t time[8];  // "HH:MM:SS"
    int64_t elapsed;
    int32_t masterUm, slaveUm, valueUm;
    uint16_t masterEdge, slaveEdge, masterPix, slavePix, valuePix;
};

#define KTAV_COLUMN(name, format)                \
    Column {                                     \
#name, format, offsetof(SampleRow, name) \
    }
const Column kSampleColumns[] = {
    KTAV_COLUMN(time, "U8"),      KTAV_COLUMN(elapsed, "i8"),   KTAV_COLUMN(masterUm, "i4"),
    KTAV_COLUMN(slaveUm, "i4"),   KTAV_COLUMN(valueUm, "i4"),   KTAV_COLUMN(masterEdge, "u2"),
    KTAV_COLUMN(slaveEdge, "u2"), KTAV_COLUMN(masterPix, "u2"), KTAV_COLUMN(slavePix, "u2"),
    KTAV_COLUMN(valuePix, "u2"),
};
#undef KTAV_COLUMN

SampleRow rowOf(const RecSample &s) {
    SampleRow row{{}, s.elapsed, s.ma, s.sl, s.val, s.maEdge, s.slEdge, s.maPix, s.slPix, s.valPix};
    PutText(row.time, s.time.c_str());
    return row;
}

py::dict headerDict(const RecFileHeader &h) {
    return py::dict("date"_a = h.date, "time"_a = h.time, "increment"_a = h.increment,
                    "sampleCount"_a = h.sampleCount < 0 ? py::object(py::none())
                                                        : py::object(py::int_(h.sampleCount)),
                    "setpointUm"_a = h.setpoint, "masterOffsetUm"_a = h.offsetMaster,
                    "slaveOffsetUm"_a = h.offsetSlave, "masterRangeUm"_a = h.rangeMaster,
                    "slaveRangeUm"_a = h.rangeSlave);
}

py::tuple readRecording(const py::object &file) {
    const std::string path = FsPath(file);
    RecReader reader;
    RecFileHeader header;
    std::vector<SampleRow> rows;
    const int result = Unlocked([&] {
        int read = OpenRecFile(reader, path, header);
        RecSample sample;
        while (read == REC_READ_OK && (read = ReadRecSample(reader, sample)) == REC_READ_OK)
            rows.push_back(rowOf(sample));
        return read;
    });
    switch (result) {
        case REC_READ_END:
            break;
        case REC_READ_NOT_FILE:
            Raise(PyExc_OSError, path + " is not a file");
        case REC_READ_NOT_RECORD:
            throw py::value_error(path + ":" + std::to_string(reader.errorLine) +
                                  ": not a recorder file: " + reader.problem);
        default:
            Raise(std::filesystem::exists(path) ? PyExc_OSError : PyExc_FileNotFoundError,
                  "cannot read " + path);
    }
    const py::dtype dtype = DtypeOf(kSampleColumns, sizeof(SampleRow));
    return py::make_tuple(headerDict(header), ArrayOf(dtype, rows.size(), rows.data()));
}

}  // namespace

void DefineRecordings(py::module_ &m) {
    m.def("read_recording", &readRecording, "path"_a,
          "A recorder file through the program's reader: (header, samples). The header is a "
          "dict (date, time, increment, sampleCount (None where the file leaves it out), "
          "setpointUm, masterOffsetUm, slaveOffsetUm, masterRangeUm, slaveRangeUm), the samples "
          "a NumPy structured array (time, elapsed [s since the first sample], masterUm, "
          "slaveUm, valueUm, masterEdge, slaveEdge, masterPix, slavePix, valuePix). Raises "
          "OSError when the file cannot be read, ValueError naming the line that does not "
          "fit.");
}
