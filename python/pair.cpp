#include "pair.h"

#include <QByteArray>
#include <QString>
#include <cstdio>
#include <filesystem>
#include <vector>

#include "convert.h"
#include "core/audit/audittrail.h"
#include "core/calib/calibfile.h"
#include "core/calib/calibtransfer.h"
#include "core/calib/identifypair.h"
#include "core/json/documents.h"
#include "core/link/commands.h"
#include "core/link/identity.h"
#include "core/link/status.h"
#include "core/link/transport.h"
#include "core/link/xflash.h"
#include "core/params/parafields.h"
#include "core/params/paramblock.h"
#include "core/params/teach.h"
#include "core/params/transfer.h"
#include "core/state/flags.h"
#include "core/system/serial.h"
#include "core/system/timing.h"
#include "errors.h"
#include "module.h"
#include "session.h"

namespace py = pybind11;
using namespace pybind11::literals;

namespace {

constexpr int kDefaultTcpPort = 10001;
constexpr int kLastComPort = 255;
constexpr int kDevicePort = 1;  // the port number a device path is given, as the tool does

void closeTransport() {
    if (tcp_con > 0) CloseTCP();
    if (comtype == 0 && rs232_con == 1) CloseRS232();
    ForgetDevice();
}

// RAM or EEPROM of "ram" or "eeprom".
int targetOf(const std::string &name) {
    if (name == "ram") return RAM;
    if (name == "eeprom") return EEPROM;
    throw py::value_error("target is \"ram\" or \"eeprom\", not \"" + name + "\"");
}

// 1 MASTER or 2 SLAVE of "master" or "slave".
int sensorOf(const std::string &name) {
    if (name == "master") return 1;
    if (name == "slave") return 2;
    throw py::value_error("sensor is \"master\" or \"slave\", not \"" + name + "\"");
}

uint16_t *tableOf(int sensor) {
    return sensor == 1 ? linArrayA : linArrayB;
}

py::dict getSets(Pair &pair, const std::string &target) {
    pair.ready();
    const int from = targetOf(target);
    if (!Unlocked([from] { return GetAllSets(from); }))
        RaiseLinkError("cannot read the parameter sets");
    return ToDict(ParaBlockJson(para));
}

// A field's new value as the sets given to send() hold it.
struct Change {
    int set;
    std::string field;
    int64_t value;
};

// The changes of `sets`, each checked against its field and its limits; raises before anything
// reaches the sensor.
std::vector<Change> changesOf(const py::dict &sets) {
    std::vector<Change> changes;
    ParaBlock probe = para;
    for (const auto &[setName, fields] : sets) {
        const std::string name = py::str(setName);
        const int set = ParaSetOfName(name);
        if (set < 0)
            throw py::value_error("no parameter set \"" + name + "\" (general, master, slave)");
        if (!py::isinstance<py::dict>(fields))
            throw py::type_error("the fields of \"" + name + "\" are a dict of names and values");
        for (const auto &[field, value] : fields.cast<py::dict>()) {
            Change change{set, py::str(field), 0};
            const std::string where = name + "." + change.field;
            if (!PyLong_Check(value.ptr()) || PyBool_Check(value.ptr()))
                throw py::type_error(where + " takes a whole number");
            int overflow = 0;
            change.value = PyLong_AsLongLongAndOverflow(value.ptr(), &overflow);
            if (overflow)
                throw py::value_error(where + " does not take " + std::string(py::str(value)));
            const std::string problem =
                SetParaField(probe, set, change.field, change.value, hwinfo.pixelCount);
            if (!problem.empty()) throw py::value_error(problem + "; nothing sent");
            changes.push_back(change);
        }
    }
    return changes;
}

void sendSets(Pair &pair, const py::dict &sets, const std::string &target) {
    pair.ready();
    const int to = targetOf(target);
    const std::vector<Change> changes = changesOf(sets);
    // The sensor's own sets first, so that the fields not given keep their values; then the
    // three go back as one change of the audit log, which names the fields that differ.
    const char *failure = Unlocked([&]() -> const char * {
        if (!GetAllSets(to)) return "cannot read the parameter sets; nothing sent";
        for (const Change &change : changes)
            SetParaField(para, change.set, change.field, change.value, hwinfo.pixelCount);
        return SendParaSets(static_cast<uint16_t>(to), SEND_PAUSE) == 1 ? nullptr : szStatus;
    });
    if (failure) RaiseLinkError(failure);
}

py::dict teachPair(Pair &pair) {
    pair.ready();
    if (Unlocked(PushTEACH) != 0) RaiseLinkError(std::string("TEACH failed: ") + szStatus);
    return py::dict("masterPix"_a = teach.posA, "masterUm"_a = teach.umA, "slavePix"_a = teach.posB,
                    "slaveUm"_a = teach.umB);
}

void resetPair(Pair &pair) {
    pair.ready();
    if (Unlocked(PushRESET) != 0) RaiseLinkError(std::string("RESET failed: ") + szStatus);
}

py::dict calibRead(Pair &pair) {
    pair.ready();
    CalibHeader headers[2] = {};
    // The headers, then the sides whose table is incomplete (the hardware record names the
    // pair and its table layout); a negative number names what could not be read.
    const int sides = Unlocked([&headers] {
        for (int sensor : {1, 2})
            if (ReadCalibDataFromXF(&headers[sensor - 1], sensor, sizeof(CalibHeader)) != 1)
                return -sensor;
        return GetHARDWAREInfo() == 1 ? IncompleteCalibTables(headers) : -3;
    });
    if (sides == -1) RaiseLinkError("cannot read the MASTER calibration header");
    if (sides == -2) RaiseLinkError("cannot read the SLAVE calibration header");
    if (sides == -3) RaiseLinkError("cannot read the hardware record");
    return ToDict(CalibHeadersJson(headers[0], headers[1], sides));
}

py::object calibWrite(Pair &pair, const py::object &file, const std::string &side, bool header,
                      bool table) {
    pair.ready();
    const int sensor = sensorOf(side);
    const std::string path = FsPath(file);
    if (!std::filesystem::exists(path)) Raise(PyExc_FileNotFoundError, "no file " + path);
    // The file's fields over the sensor's own header, as read at identification.
    if (LoadCalibrationFile(path.c_str(), sensor) != 1)
        throw py::value_error(path + " is no valid calibration file: " + CalibFileProblem());
    if (header &&
        Unlocked([sensor] { return WriteCalibHeader(sensor, calibToWrite[sensor - 1]); }) != 1)
        RaiseLinkError("the calibration header was not written");
    if (!table) return py::none();
    // Ctrl-C is honoured once the write has ended: a table is never left half written by it.
    const int result =
        Unlocked([sensor] { return WriteCalibTable(sensor, tableOf(sensor), nullptr); });
    if (result == TABLE_FAILED) RaiseTableWriteError(TableWriteFailedAt() & ~0xFFu, szStatus);
    return py::cast(static_cast<TableResult>(result));
}

}  // namespace

Pair::Pair(std::optional<std::string> tcp, std::optional<py::object> com, long baud,
           const py::object &audit) {
    if (py::isinstance<py::bool_>(audit))
        auditOn_ = audit.cast<bool>();
    else
        auditPath_ = FsPath(audit);
    if (tcp.has_value() == com.has_value())
        throw py::value_error("give tcp=\"HOST:PORT\" or com=DEVICE (a path or a port number)");
    if (tcp) {
        const size_t colon = tcp->rfind(':');
        host_ = tcp->substr(0, colon);
        tcpPort_ = colon == std::string::npos ? kDefaultTcpPort
                                              : PortNumberOfText(tcp->c_str() + colon + 1);
        if (host_.empty() || tcpPort_ <= 0)
            throw py::value_error("tcp needs \"HOST:PORT\", not \"" + *tcp + "\"");
        return;
    }
    if (py::isinstance<py::int_>(*com)) {
        comPort_ = com->cast<int>();
        if (comPort_ < 1 || comPort_ > kLastComPort)
            throw py::value_error("a port number is 1..255");
    } else {
        device_ = FsPath(*com);
    }
    baudIndex_ = -1;
    for (int index = 0; index <= 4; ++index)
        if (BaudRateOfIndex(index, 0) == baud) baudIndex_ = index;
    if (baudIndex_ < 0)
        throw py::value_error("baud is 9600, 19200, 38400, 57600 or 115200, not " +
                              std::to_string(baud));
}

Pair::~Pair() {
    if (!open_) return;
    // Dropped in another thread, a pair cannot close the transport there; it gives the core up
    // all the same, and the next pair's connect drops the transport.
    try {
        close();
    } catch (const std::exception &) {
        ReleaseCore(this);
    }
}

void Pair::openTransport() {
    if (tcpPort_ > 0) {
        comtype = 1;
        std::snprintf(szIPhostName, sizeof szIPhostName, "%s", host_.c_str());
        std::snprintf(szPortNum, sizeof szPortNum, "%d", tcpPort_);
        tcp_portnum = tcpPort_;
        if (Unlocked(InitTCP_IP) != 1)
            RaiseLinkError("cannot connect to " + host_ + ":" + std::to_string(tcpPort_));
        return;
    }
    int port = comPort_;
    if (!device_.empty()) {
        port = kDevicePort;
        qputenv("KTAV_COM1", QByteArray::fromStdString(device_));
    }
    comtype = 0;
    rs232port = port;
    rs232baudrate = baudIndex_;
    rs232_con = Unlocked([this, port] { return InitRS232(port, baudIndex_); });
    if (rs232_con != 1)
        RaiseLinkError("cannot open serial port " + std::to_string(port) + " (" +
                       ComDeviceName(port) + ")");
}

void Pair::open() {
    if (open_) return;
    PrepareCore();
    ClaimCore(this);
    ForgetFailureCause();
    identification_ = py::dict();
    SetAuditWriter("ktav", false);
    SetAuditLog(QString::fromStdString(auditPath_), auditOn_);
    try {
        openTransport();
        const Identification result = Unlocked([] { return IdentifyPair(nullptr); });
        if (const char *refused = RefusalOf(result.verdict))
            RaiseRefused(refused, ToDict(IdentityJson(refused)));
        if (result.verdict != Identified::Accepted)
            RaiseLinkError("identification failed: no correct answer from the sensor");
        identification_ = ToDict(IdentityJson(nullptr));
        open_ = true;
    } catch (...) {
        closeTransport();
        ReleaseCore(this);
        throw;
    }
}

void Pair::close() {
    if (!open_) return;
    RequireCoreThread();
    closeTransport();
    open_ = false;
    ReleaseCore(this);
}

void Pair::ready() const {
    if (!open_)
        throw std::runtime_error("the pair is not open: use it in a with block, or call open()");
    RequireCoreThread();
    ForgetFailureCause();
}

py::dict Pair::identification() const {
    if (identification_.empty())
        throw std::runtime_error("the pair was never opened: use it in a with block");
    return identification_;
}

void DefinePair(py::module_ &m) {
    py::enum_<TableResult>(m, "TableResult", "How a linearisation table write ended.")
        .value("VERIFIED", TABLE_VERIFIED, "written, and read back equal")
        .value("UNVERIFIED", TABLE_UNVERIFIED,
               "written, but not read back (the SLAVE's own flash cannot be read)")
        .value("DIFFERS", TABLE_DIFFERS, "written, but read back different: the table is corrupt");

    py::class_<Pair> pair(m, "Pair", R"(The MASTER/SLAVE sensor pair on one transport.

A context manager: entering opens the transport and identifies the pair (LinkError,
RefusedDevice), leaving closes it. The link's state belongs to the process, so one Pair
is open at a time, used from the thread that opened the first.

    with ktav.Pair(tcp="127.0.0.1:10001") as pair:
        print(pair.identification["serialNumber"], pair.run_array(100)["valueMm"].mean())
)");
    pair.def(py::init<std::optional<std::string>, std::optional<py::object>, long,
                      const py::object &>(),
             py::kw_only(), "tcp"_a = py::none(), "com"_a = py::none(), "baud"_a = 115200,
             "audit"_a = true,
             "A pair over TCP (\"HOST:PORT\", port 10001 when left out) or on a serial port "
             "(a device path, or the program's port number) at 9600..115200 baud. Every change "
             "it makes to the sensors goes to the audit log first: `audit` is its path, True "
             "for the user's data folder (as k-tav-cli), False for none; a change the log "
             "cannot take is not sent (LinkError). Nothing is opened yet.")
        .def(
            "__enter__",
            [](Pair &p) -> Pair & {
                p.open();
                return p;
            },
            py::return_value_policy::reference)
        .def("__exit__",
             [](Pair &p, const py::args &) {
                 p.close();
                 return false;
             })
        .def("open", &Pair::open,
             "Opens the transport and identifies the pair, as entering a with block does.")
        .def("close", &Pair::close, "Closes the transport; a closed pair stays closed.")
        .def_property_readonly(
            "identification", &Pair::identification,
            "What the identification found, as identify --json prints it: firmware, version, "
            "serialNumber, firmwareNumber, lineType, subpixels, master and slave (modelCode, "
            "model, calibration) and a warning about incomplete tables.")
        .def("get", &getSets, "target"_a = "ram",
             "The three parameter sets from \"ram\" or \"eeprom\": {\"general\": {...}, "
             "\"master\": {...}, \"slave\": {...}} under the field names of get --json.")
        .def("send", &sendSets, "sets"_a, "target"_a = "ram",
             "Sends the given fields ({\"general\": {\"setpointUm\": 12000}, ...}) to \"ram\" or "
             "\"eeprom\": the sets named are read from there first, so that every field not "
             "given keeps its value. An unknown field or a value out of range raises "
             "ValueError before anything is sent.")
        .def("teach", &teachPair,
             "TEACH: the current positions become the teach values. Returns them: masterPix, "
             "masterUm, slavePix, slaveUm.")
        .def("reset", &resetPair, "RESET of the max/min values at the outputs.")
        .def("calib_read", &calibRead,
             "Both calibration headers as calib-read --json gives them: master, slave and a "
             "warning about incomplete tables.")
        .def("calib_write", &calibWrite, "file"_a, "sensor"_a, "header"_a = true, "table"_a = true,
             "Writes the calibration file's header and linearisation table into the flash of "
             "sensor \"master\" or \"slave\". Returns the TableResult (None without the table); "
             "raises ValueError for an invalid file (nothing sent), LinkError when the header "
             "is not taken, TableWriteError when a step of the table write fails. Ctrl-C is "
             "honoured once the write has ended.");
    DefineLive(m, pair);
}
