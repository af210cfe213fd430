// Parameter block, settings engine and files, calibration files: exact file bytes,
// round trips, odd input and failed writes, on real files in a temporary directory.
#include <unistd.h>

#include <array>
#include <filesystem>
#include <functional>
#include <optional>
#include <set>
#include <tuple>

#include "core/params/appsettings.h"
#include "core/params/inifile.h"
#include "core/params/paramfile.h"
#include "support.h"

namespace fs = std::filesystem;
using namespace std::string_literals;

namespace {

// The file `name` in the folder `dir` ("": the folder).
std::string at(const QTemporaryDir &dir, const std::string &name = "") {
    return dir.filePath(QString::fromStdString(name)).toStdString();
}

std::string slurp(const std::string &path) {
    return fileBytes(QString::fromStdString(path)).toStdString();
}
std::string spit(const std::string &path, const std::string &bytes) {
    return writeFile(QString::fromStdString(path), QByteArray::fromStdString(bytes)).toStdString();
}

std::set<std::string> listing(const std::string &dir) {
    std::set<std::string> names;
    for (const auto &entry : fs::directory_iterator(dir)) names.insert(entry.path().filename());
    return names;
}

// `text` with every line end written as CR LF, as the files hold them.
std::string crlf(const std::string &text) {
    return QByteArray::fromStdString(text).replace("\n", "\r\n").toStdString();
}

IniOwner iniOfFile(const std::string &path) {
    IniOwner ini = NewIniOwner();
    EXPECT_EQ(Ini_ReadFromFile(ini.get(), path.c_str()), 0) << path;
    return ini;
}

// The text of an item, or "(missing)".
std::string stringItem(IniText ini, const char *section, const std::string &tag) {
    std::vector<char> buffer(4096, 'x');
    const int found = Ini_GetStringIntoBuffer(ini, section, tag.c_str(), buffer.data(), 4096);
    return found == 1 ? buffer.data() : found == 0 && !buffer[0] ? "(missing)" : "(broken)";
}

auto fieldsOf(const AppSettings &v) {
    return std::tie(v.comtype, v.rs232port, v.rs232baudrate, v.hostName, v.portText,
                    v.recentAddresses, v.panelMaximised, v.panelLeft, v.panelTop, v.panelWidth,
                    v.panelHeight, v.touchSurface, v.zoom, v.auditLog, v.auditOn, v.reconnect);
}

}  // namespace

TEST(ParaBlock, DefaultFileAndTheMasterSetOnTheWire) {
    QTemporaryDir dir;
    ResetParaBlock();
    ASSERT_EQ(WriteParaToIniFile(para, at(dir, "K-TAV-PARA.ini").c_str()), 1);
    const std::string sensor =
        "Power = 500\nPower-Mode = 1\nVideo-Threshold = 50\nTeach-Value [pix] = 512\n"
        "Eval-Begin [pix] = 1\nEval-End [pix] = 4096\nCCD-OP-Mode = 0\num-Teach-Value = 55000\n";
    EXPECT_EQ(slurp(at(dir, "K-TAV-PARA.ini")),
              crlf("[PARA0]\nEval-Mode = 1\nTrigger-Mode = 0\nAnalog-Out-Mode = 0\n"
                   "Hardware-Mode = 1\nAverage = 1\nPolarity = 1\nAnalog-Out-Zoom = 0\n"
                   "Measurement-Mode = 0\num-Lower-Tolerance = 1000\num-Upper-Tolerance = 1000\n"
                   "um-Setpoint = 10000\n\n[PARA1]\n" +
                   sensor + "\n[PARA2]\n" + sensor + "\n"));
    uint8_t page[PARA_PAGE_SIZE];
    ASSERT_EQ(GetParaPage(para, 1, page), 1);
    Bytes expected = {0xF4, 0x01, 0x01, 0,    0, 0, 0x32, 0, 0, 0x02, 0x01,
                      0,    0,    0x10, 0x04, 0, 0, 0,    0, 0, 0xD8, 0xD6};
    expected.resize(PARA_PAGE_SIZE);  // the rest is reserved
    EXPECT_EQ(Bytes(page, page + PARA_PAGE_SIZE), expected);
    EXPECT_EQ(GetParaPage(para, 3, page), -1);
}

// A 16-bit field at byte `offset` of the block set to `value` and checked for a line of `pixels`:
// Eval-Mode 0, Average 10, Power 32/64, Power-Mode 34/66, Int-Time 36 (not checked),
// Video-Threshold 38/70, teach value 40/72, Eval-Begin 42/74, Eval-End 44/76, the baud-rate index
// 46/78 (the SLAVE's not checked), Mode-Select 48, CCD-OP-Mode 50.
TEST(ParaBlock, RangeCheckReplacesWhatIsAboveItsLimit) {
    const std::tuple<int, uint16_t, int16_t, uint16_t> cases[] = {
        {0, 6, 1024, 6},        {0, 7, 1024, 1},        {10, 2048, 1024, 2048},
        {10, 2049, 1024, 1},    {32, 4464, 1024, 500},  {64, 1000, 1024, 1000},
        {34, 3, 1024, 0},       {66, 2, 1024, 2},       {36, 65535, 1024, 65535},
        {38, 255, 1024, 255},   {70, 256, 1024, 128},   {40, 1024, 1024, 1024},
        {40, 1025, 1024, 512},  {72, 1025, 1024, 512},  {72, 2049, 2048, 1024},
        {42, 1025, 1024, 1},    {74, 1024, 1024, 1024}, {44, 4096, 1024, 1024},
        {76, 4096, 1024, 1024}, {44, 4096, 4096, 4096}, {46, 5, 1024, 4},
        {78, 9, 1024, 9},       {48, 5, 1024, 0},       {50, 2, 1024, 0}};
    for (const auto &[offset, value, pixels, expected] : cases) {
        ResetParaBlock();
        std::memset(para.ma.reserved, 0xA5, sizeof para.ma.reserved);
        auto *bytes = reinterpret_cast<uint8_t *>(&para);
        std::memcpy(bytes + offset, &value, 2);
        CheckParaRanges(para, pixels);
        uint16_t result = 0;
        std::memcpy(&result, bytes + offset, 2);
        EXPECT_EQ(result, expected) << "offset " << offset << " value " << value;
        EXPECT_EQ(para.ma.reserved[7], 0xA5);
    }
}

// Strings go out escaped and in pieces of 80 characters and come back as they were; names that
// would not read back are refused, the longest that do are taken.
TEST(IniFile, StringsAndNamesSurviveAWriteAndARead) {
    // The one of 79 characters and a quote has an escape across two pieces.
    const auto values = std::to_array<std::string>(
        {"", "plain text", "host \"quoted\" name", "C:\\path\\to\\file\\",
         "tab\tline\ncarriage\rend", "\x01\x1f\x7f control", "\xc3\x84nderung \xe2\x82\xac",
         std::string(80, 'a'), std::string(81, 'b'), std::string(250, 'c') + "\"\\\t",
         std::string(100, '"'), std::string(79, 'c') + "\"", "  blanks around  "});
    QTemporaryDir dir;
    IniOwner ini = NewIniOwner();
    auto refuses = [&](const std::string &section, const std::string &tag) {
        EXPECT_LT(Ini_PutInt(ini.get(), section.c_str(), tag.c_str(), 1), 0) << section << tag;
        EXPECT_LT(Ini_PutString(ini.get(), section.c_str(), tag.c_str(), "x"), 0) << section << tag;
    };
    for (const std::string &tag : {""s, " \t"s, "A=B"s, "; note"s, "[A]"s, "A Line0001"s,
                                   "A Line7 "s, "A\nB"s, std::string(256, 't')})
        refuses("S", tag);
    for (const std::string &section : {""s, "  "s, "S\r\n"s, std::string(256, 's')})
        refuses(section, "A");
    EXPECT_EQ(Ini_PutInt(ini.get(), std::string(255, 's').c_str(), "Line0001", 1), 0);
    EXPECT_EQ(Ini_PutInt(ini.get(), "S", "A Line", 1), 0);
    auto item = [](size_t i) { return "Item " + std::to_string(i); };
    for (size_t i = 0; i < std::size(values); ++i)
        ASSERT_EQ(Ini_PutString(ini.get(), "S", item(i).c_str(), values[i].c_str()), 0);
    ASSERT_EQ(Ini_WriteToFile(ini.get(), at(dir, "a.ini").c_str()), 0);
    const std::string text = slurp(at(dir, "a.ini"));
    const std::string names =
        crlf("[" + std::string(255, 's') + "]\nLine0001 = 1\n\n[S]\nA Line = 1\n");
    EXPECT_EQ(text.substr(0, names.size()), names);
    for (const std::string &line :
         {"Item 2 = \"host \\\"quoted\\\" name\""s, "Item 3 = \"C:\\\\path\\\\to\\\\file\\\\\""s,
          "Item 5 = \"\\x01\\x1f\\x7f control\""s, "Item 7 = \"" + std::string(80, 'a') + "\"",
          "Item 8 Line0001 = \"" + std::string(80, 'b') + "\"\r\nItem 8 Line0002 = \"b\""})
        EXPECT_NE(text.find(line + "\r\n"), std::string::npos) << line;

    IniOwner back = iniOfFile(at(dir, "a.ini"));
    for (size_t i = 0; i < std::size(values); ++i)
        EXPECT_EQ(stringItem(back.get(), "S", item(i)), values[i]) << i;
    char small[4];
    EXPECT_EQ(Ini_GetStringIntoBuffer(back.get(), "s", "item 1", small, sizeof small), 1);
    EXPECT_STREQ(small, "pla");
}

// Each file is read, written and read again: the lookups give the expected text both times,
// writing again gives the same file, and no written line is longer than the 1023 characters
// reading takes.
TEST(IniFile, WhatIsReadIsWrittenSoThatItReadsBackTheSame) {
    const std::string S = "[S]\r\n", longTag(1021, 'T'), tag900(900, 'U'), w117(117, 'w'),
                      l100(100, 'l'), edge = std::string(79, 'a') + " b" + std::string(90, 'c'),
                      quoted = "\"" + std::string(78, 'q') + "\"\"" + std::string(20, 'r');
    std::string binary;
    for (int i = 0; i < 70000; ++i) binary += static_cast<char>((i * 7919) >> 3);
    const struct {
        const char *name;
        std::string file;
        std::vector<std::pair<std::string, std::string>> lookups;  // in section "S"
    } cases[] = {
        {"blanks around names", "[ S ]  \r\n  Tag  =  5  \r\n", {{" tag ", "5"}}},
        {"blank in the key", S + "Panel width  = 9\r\n", {{"Panel width", "9"}}},
        {"empty value", S + "A =\r\nB = \"\"\r\n", {{"A", "(missing)"}, {"B", ""}}},
        {"CR line ends", "[S]\rA = 1\rB = 2\r", {{"B", "2"}}},
        {"NUL ends a line", "[S]\0A = 1\0B = 3"s, {{"B", "3"}}},
        {"over 1023",
         S + "A = " + std::string(2000, '7') + "\r\nB = 2\r\n",
         {{"A", std::string(1019, '7')}, {"B", "2"}}},
        {"line's rest", S + "A = " + std::string(1100, ' ') + "C = 4\r\n", {{"C", "(missing)"}}},
        {"first tag counts", S + "A = 1\r\nA = 2\r\n", {{"A", "1"}}},
        {"first section counts", S + "A = 1\r\n[T]\r\n" + S + "B = 3\r\n", {{"B", "(missing)"}}},
        {"before a section", "A = 1\r\n" + S, {{"A", "(missing)"}}},
        {"an open quote", S + "A = \"open\r\n", {{"A", "\"open"}}},
        {"empty file", "", {{"A", "(missing)"}}},
        {"binary", binary, {{"A", "(missing)"}}},
        {"two tags' pieces",
         S + "A Line0001 = x\r\nB Line0002 = y\r\n",
         {{"A", "x"}, {"B Line0002", "y"}, {"B", "(missing)"}}},
        {"a gap", S + "A Line0001 = x\r\nA Line0003 = y\r\n", {{"A", "x"}, {"A Line0003", "y"}}},
        {"blank at an edge", S + "A = " + edge + "\r\n", {{"A", edge}}},
        {"quotes at edges", S + "A = " + quoted + "\r\n", {{"A", quoted}}},
        {"1023 characters", S + longTag + "=v\r\nB = 2\r\n", {{longTag, "v"}, {"B", "2"}}},
        {"long tag, pieces", S + tag900 + " = \"" + w117 + "\"\r\n", {{tag900, w117}}},
        {"blank before Line", S + "A  Line0001 = x\r\nA  Line0002 = y\r\n", {{"A", "xy"}}},
        {"in quotes", S + "A Line0001 = \"abc\r\nA Line0002 = def\"\r\n", {{"A", "\"abcdef\""}}},
        {"stray", S + "A = " + l100 + "\r\nA Line0003 = z\r\n", {{"A", l100}, {"A Line0003", "z"}}},
    };
    QTemporaryDir dir;
    for (const auto &c : cases) {
        IniOwner first = iniOfFile(spit(at(dir, "r.ini"), c.file));
        ASSERT_EQ(Ini_WriteToFile(first.get(), at(dir, "w.ini").c_str()), 0) << c.name;
        IniOwner second = iniOfFile(at(dir, "w.ini"));
        for (const auto &[tag, value] : c.lookups) {
            EXPECT_EQ(stringItem(first.get(), "S", tag), value) << c.name;
            EXPECT_EQ(stringItem(second.get(), "S", tag), value) << c.name << " (written)";
        }
        ASSERT_EQ(Ini_WriteToFile(second.get(), at(dir, "w2.ini").c_str()), 0) << c.name;
        EXPECT_EQ(slurp(at(dir, "w2.ini")), slurp(at(dir, "w.ini"))) << c.name;
        for (const QByteArray &line : fileLines(QString::fromStdString(at(dir, "w.ini"))))
            EXPECT_LE(line.size(), 1024) << c.name;  // with the CR of the line end
    }
    IniOwner ini = NewIniOwner();
    EXPECT_LT(Ini_ReadFromFile(ini.get(), at(dir, "missing.ini").c_str()), 0);
    EXPECT_LT(Ini_ReadFromFile(ini.get(), at(dir).c_str()), 0);
}

// An integer is decimal, with one sign at most, and fits in 32 bits; blanks count as missing.
TEST(IniFile, IntegersAreDecimalAndFitIn32Bits) {
    // The text, the result (1 found, 0 missing, -1 any negative) and the value.
    const std::tuple<const char *, int, int32_t> cases[] = {
        {"0x10", -1, 0},       {"5.0", -1, 0},   {"+7", 1, 7},
        {"+-7", -1, 0},        {"-1", 1, -1},    {"-2147483648", 1, INT32_MIN},
        {"2147483648", -1, 0}, {"\"  \"", 0, 0}, {" 12 ", 1, 12}};
    QTemporaryDir dir;
    for (const auto &[text, found, expected] : cases) {
        IniOwner ini = iniOfFile(spit(at(dir, "r.ini"), "[S]\r\nA = "s + text + "\r\n"));
        int32_t value = 0;
        const int result = Ini_GetInt(ini.get(), "S", "A", &value);
        EXPECT_EQ(result < 0 ? -1 : result, found) << text;
        EXPECT_EQ(value, expected) << text;
    }
}

// A replaced item takes the place of the first of its tag and the others go; comments and blank
// lines stay where they were.
TEST(IniFile, CommentsAndPiecesKeepTheirPlaces) {
    QTemporaryDir dir;
    const std::string path = spit(
        at(dir, "c.ini"),
        crlf("; settings of the bench\n\n; connection\n[CONNECTION]\n  ; the port\n"
             "RS232 PORT = 3\nLong Line0001 = \"abc\"\nLong Line0002 = \"def\"\nRS232 Port = 5\n\n"
             "[APPLICATION]\nPanel max = 0\n; the end\n"));
    IniOwner ini = iniOfFile(path);
    ASSERT_EQ(Ini_PutInt(ini.get(), "connection", "rs232 port", 4), 0);
    ASSERT_EQ(Ini_WriteToFile(ini.get(), path.c_str()), 0);
    EXPECT_EQ(slurp(path),
              crlf("; settings of the bench\n\n; connection\n[CONNECTION]\n  ; the port\n"
                   "rs232 port = 4\nLong = \"abcdef\"\n\n[APPLICATION]\nPanel max = 0\n\n"
                   "; the end\n"));
}

TEST(IniFile, FailedWritesLeaveTheOldFile) {
    std::optional<FileSizeLimit> diskFull;
    const std::string longName = std::string(250, 'n') + ".ini";
    const auto readOnly = fs::perms::owner_read | fs::perms::owner_exec;
    // The engine's own write, and the parameter file's through it (the settings': test_cli).
    using Writer = std::function<int(const char *target, std::string *whyNot)>;
    const Writer engine = [](const char *target, std::string *whyNot) {
        IniOwner ini = NewIniOwner();
        Ini_PutInt(ini.get(), "NEW", "B", 2);
        return Ini_WriteToFile(ini.get(), target, whyNot);
    };
    const Writer paraFile = [](const char *target, std::string *whyNot) {
        *whyNot = "not told";
        return WriteParaToIniFile(ParaBlock{}, target);
    };
    // The old file is t.ini in folder d; `prepare` lays the fault, the write goes to `target` in d.
    // Permission bits do not bind root: those cases apply where they do.
    const struct {
        const char *name;
        std::string target;
        std::function<void(const std::string &d)> prepare;
        bool bindsRoot = true;
        Writer write = {};
    } cases[] = {
        {"target is a folder", "f.ini", [](auto &d) { fs::create_directory(d + "/f.ini"); }},
        {"folder is a regular file", "t.ini/t", [](auto &) {}},
        {"all temporary names taken", "t.ini",
         [](auto &d) {
             for (int k = 1000; k < 2000; ++k)  // t.ini.000.tmp to t.ini.999.tmp
                 spit(d + "/t.ini." + std::to_string(k).substr(1) + ".tmp", "");
         }},
        {"temporary name impossible", longName,
         [&](auto &d) { fs::copy_file(d + "/t.ini", d + "/" + longName); }},
        {"read-only", "t.ini", [&](auto &d) { fs::permissions(d + "/t.ini", readOnly); }, false},
        {"read-only folder", "t.ini", [&](auto &d) { fs::permissions(d, readOnly); }, false},
        {"disk full (a file size limit)", "t.ini", [&](auto &) { diskFull.emplace(4); }},
        {"parameter file, disk full", "t.ini", [&](auto &) { diskFull.emplace(4); }, true,
         paraFile},
    };
    for (const auto &c : cases) {
        if (!c.bindsRoot && geteuid() == 0) continue;
        QTemporaryDir dir;
        spit(at(dir, "t.ini"), "[OLD]\r\nA = 1\r\n\r\n");
        c.prepare(at(dir));
        const std::string target = at(dir, c.target);
        const std::set<std::string> before = listing(at(dir));
        const std::string oldBytes = slurp(target);
        std::string whyNot;
        EXPECT_LT((c.write ? c.write : engine)(target.c_str(), &whyNot), 0) << c.name;
        diskFull.reset();
        EXPECT_FALSE(whyNot.empty()) << c.name;
        EXPECT_EQ(slurp(target), oldBytes) << c.name;
        EXPECT_EQ(listing(at(dir)), before) << c.name;
        fs::permissions(at(dir), fs::perms::owner_all);
    }
}

// The file written is the one the target names, with the target's permissions (0604: no umask
// gives it to a new file); a symbolic link stays a link, also one to a file not yet made. No
// temporary file stays behind, and another's file of a temporary name is left alone.
TEST(IniFile, ReplacingKeepsThePermissionsAndTheLink) {
    const std::tuple<const char *, bool, bool> cases[] = {
        {"file", false, true}, {"link", true, true}, {"link to no file", true, false}};
    for (const auto &[name, viaLink, fileExists] : cases) {
        QTemporaryDir dir;
        fs::create_directory(at(dir, "real"));
        const std::string file = at(dir, "real/t.ini");
        spit(file + ".000.tmp", "someone else's");
        if (fileExists) fs::permissions(spit(file, "old"), fs::perms(0604));
        const std::string target = viaLink ? at(dir, "t.ini") : file;
        if (viaLink) fs::create_symlink("real/t.ini", target);
        IniOwner ini = NewIniOwner();
        Ini_PutInt(ini.get(), "S", "A", 1);
        ASSERT_EQ(Ini_WriteToFile(ini.get(), target.c_str()), 0) << name;
        EXPECT_EQ(slurp(file), "[S]\r\nA = 1\r\n\r\n") << name;
        EXPECT_TRUE(!fileExists || fs::status(file).permissions() == fs::perms(0604)) << name;
        EXPECT_EQ(fs::is_symlink(target), viaLink) << name;
        EXPECT_EQ(slurp(file + ".000.tmp"), "someone else's") << name;
        EXPECT_EQ(listing(at(dir, "real")), (std::set<std::string>{"t.ini", "t.ini.000.tmp"}))
            << name;
    }
}

// What is written reads back; a read starts from settings that differ from every start-up
// default, so that it shows what it changed; a file that cannot be read gives the defaults.
TEST(AppSettings, WrittenFileAndWhatReadingTakes) {
    QTemporaryDir dir;
    AppSettings out;
    std::tie(out.comtype, out.rs232port, out.rs232baudrate) = std::tuple(1, 12, 1);
    std::tie(out.hostName, out.portText) = std::tuple("sensor \"pair\" \\ bench", "10002");
    out.recentAddresses = {"10.0.0.1", "192.168.0.7"};
    std::tie(out.panelMaximised, out.touchSurface, out.zoom) = std::tuple(false, true, true);
    std::tie(out.panelLeft, out.panelTop, out.panelWidth, out.panelHeight) =
        std::tuple(-8, 30, 1024, 768);
    std::tie(out.auditLog, out.auditOn, out.reconnect) =
        std::tuple("/srv/quality/audit.jsonl", false, false);
    const std::string path = at(dir, "PX-MS-Vista.ini");
    ASSERT_EQ(WriteAppSettings(path.c_str(), out), 0);
    EXPECT_EQ(slurp(path),
              crlf("[CONNECTION]\nCOMM TYPE = 1\nRS232 PORT = 12\nRS232 BAUDRATE = 1\n"
                   "IP ADDRESS = \"sensor \\\"pair\\\" \\\\ bench\"\nPORT NUMBER = \"10002\"\n\n"
                   "[IP ADDRESSES]\nLIST ITEMS = 2\nIP ADDR 1 = \"10.0.0.1\"\n"
                   "IP ADDR 2 = \"192.168.0.7\"\n\n"
                   "[APPLICATION]\nPanel max = 0\nPanel touchscreen = 1\nZoom button-state = 1\n"
                   "Panel pos. x = -8\nPanel pos. y = 30\nPanel width  = 1024\n"
                   "Panel height = 768\n\n"
                   "[AUDIT]\nLOG FILE = \"/srv/quality/audit.jsonl\"\nLOG ON = 0\n\n"
                   "[RECONNECT]\nReconnect lost pair = 0\n\n"));
    AppSettings in;
    ASSERT_EQ(ReadAppSettings(path.c_str(), in), 1);
    EXPECT_EQ(fieldsOf(in), fieldsOf(out));
    AppSettings before;
    std::tie(before.comtype, before.rs232port, before.rs232baudrate) = std::tuple(1, 9, 2);
    std::tie(before.hostName, before.portText) = std::tuple("old host", "1");
    before.recentAddresses = {"kept"};
    before.reconnect = false;
    std::string twelve = "[IP ADDRESSES]\r\nLIST ITEMS = 12\r\n";
    for (int k = 1; k <= 12; ++k)
        twelve += "IP ADDR " + std::to_string(k) + " = \"h" + std::to_string(k) + "\"\r\n";
    // The file and how it changes `before` (none: not at all).
    const std::tuple<const char *, std::string, void (*)(AppSettings &)> cases[] = {
        {"twelve addresses", twelve,
         [](AppSettings &v) {
             v.recentAddresses = {"h1", "h2", "h3", "h4", "h5", "h6", "h7", "h8", "h9", "h10"};
         }},
        {"gap in the address keys",
         "[IP ADDRESSES]\r\nLIST ITEMS = 3\r\nIP ADDR 1 = \"a\"\r\nIP ADDR 3 = \"c\"\r\n",
         [](AppSettings &v) {
             v.recentAddresses = {"a", "c"};
         }},
        {"connection values out of range",
         "[CONNECTION]\r\nCOMM TYPE = 2\r\nRS232 PORT = 256\r\nRS232 BAUDRATE = 5\r\n", nullptr},
        {"port with a plus sign",
         "[CONNECTION]\r\nRS232 PORT = +7\r\nCOMM TYPE = 0\r\nRS232 BAUDRATE = 0\r\n"
         "PORT NUMBER = \"502x\"\r\nIP ADDRESS = \"" +
             std::string(300, 'h') + "\"\r\n",
         [](AppSettings &v) {
             std::tie(v.comtype, v.rs232port, v.rs232baudrate) = std::tuple(0, 7, 0);
             std::tie(v.hostName, v.portText) = std::tuple(std::string(259, 'h'), "502x");
         }},
        {"maximised panel",
         "[APPLICATION]\r\nPanel max = 1\r\nPanel pos. x = 5\r\nPanel pos. y = 6\r\n",
         [](AppSettings &v) { v.panelMaximised = true; }},
        {"placement without Panel max",
         "[APPLICATION]\r\nPanel pos. x = 5\r\nPanel pos. y = 6\r\nPanel width = 7\r\n", nullptr},
        {"only one coordinate; a zoom state that is not 1",
         "[APPLICATION]\r\nPanel max = 0\r\nPanel pos. x = 5\r\nPanel height = 8\r\n"
         "Zoom button-state = 2\r\nPanel touchscreen = 1\r\n",
         [](AppSettings &v) {
             std::tie(v.panelMaximised, v.zoom, v.touchSurface) = std::tuple(false, false, true);
         }},
        {"audit log on a shared folder",
         "[AUDIT]\r\nLOG FILE = \"/mnt/q/a.jsonl\"\r\nLOG ON = 2\r\n",
         [](AppSettings &v) {
             std::tie(v.auditLog, v.auditOn) = std::tuple("/mnt/q/a.jsonl", true);
         }},
        {"reconnection on unless 0", "[RECONNECT]\r\nReconnect lost pair = 2\r\n",
         [](AppSettings &v) { v.reconnect = true; }},
    };
    for (const auto &[name, file, expect] : cases) {
        AppSettings values = before, expected = before;
        expected.hostName = "";  // the two texts are the file's or the start-up ones
        expected.portText = "10001";
        if (expect) expect(expected);
        EXPECT_EQ(ReadAppSettings(spit(at(dir, "a.ini"), file).c_str(), values), 1) << name;
        EXPECT_EQ(fieldsOf(values), fieldsOf(expected)) << name;
    }
    before.portText = "502x";
    EXPECT_EQ(TcpPortOfSettings(before), 502);
    for (const std::string &path : {at(dir, "missing.ini"), at(dir)}) {
        AppSettings values = before;
        EXPECT_LT(ReadAppSettings(path.c_str(), values), 0);
        EXPECT_EQ(std::tie(values.comtype, values.rs232port, values.rs232baudrate, values.hostName),
                  std::make_tuple(0, 1, 4, ""));
        EXPECT_EQ(TcpPortOfSettings(values), 10001);
    }
}

// Reading applies what the file holds. Every stored field has a value of its own for the round
// trip, so that two keys swapped show; the fields the file does not hold stay as they were.
TEST(ParaFile, ReadingAndARoundTrip) {
    // The file and how it changes the defaults.
    const std::tuple<const char *, std::string, void (*)(ParaBlock &)> cases[] = {
        {"values beyond 16 bits", "[PARA1]\r\nPower = 70000\r\n[PARA0]\r\nEval-Mode = -1\r\n",
         [](ParaBlock &b) { std::tie(b.ma.power, b.ge.evalMode) = std::tuple(4464, 65535); }},
        {"only the slave set",
         "[PARA2]\r\nPower = 700\r\nTeach-Value [pix] = 300\r\num-Teach-Value = -5\r\n",
         [](ParaBlock &b) {
             std::tie(b.sl.power, b.sl.teachValue, b.sl.umTeachValue) = std::tuple(700, 300, -5);
         }},
        {"lower-case names", "[para0]\r\neval-mode=3\r\nUM-SETPOINT = 2147483647\r\n",
         [](ParaBlock &b) { std::tie(b.ge.evalMode, b.ge.umSetpoint) = std::tuple(3, INT32_MAX); }},
        {"the two tolerances",
         "[PARA0]\r\num-Lower-Tolerance = 300\r\num-Upper-Tolerance = 700\r\n",
         [](ParaBlock &b) {
             std::tie(b.ge.umLowerTolerance, b.ge.umUpperTolerance) = std::tuple(300, 700);
         }},
        {"values not taken, two fields not stored",
         "[PARA0]\r\num-Setpoint = 2147483648\r\nAverage = 0x10\r\n[PARA1]\r\n"
         "Int-Time [us] = 7\r\nBaudrate-Index = 1\r\n",
         [](ParaBlock &) {}},
    };
    QTemporaryDir dir;
    for (const auto &[name, file, expect] : cases) {
        ResetParaBlock();
        ParaBlock expected = para;
        expect(expected);
        EXPECT_EQ(ReadParaFromIniFile(para, spit(at(dir, "p.ini"), file).c_str()), 1) << name;
        EXPECT_EQ(std::memcmp(&para, &expected, sizeof para), 0) << name;
    }
    const ParaBlock before = para;
    EXPECT_LT(ReadParaFromIniFile(para, at(dir, "missing.ini").c_str()), 0);
    EXPECT_EQ(std::memcmp(&para, &before, sizeof para), 0);
    ParaBlock source, copy;
    auto *bytes = reinterpret_cast<uint8_t *>(&source);
    for (size_t i = 0; i < sizeof source; ++i) bytes[i] = static_cast<uint8_t>(i * 37 + 11);
    ASSERT_EQ(WriteParaToIniFile(source, at(dir, "1.ini").c_str()), 1);
    std::memset(&copy, 0xEE, sizeof copy);
    ASSERT_EQ(ReadParaFromIniFile(copy, at(dir, "1.ini").c_str()), 1);
    ASSERT_EQ(WriteParaToIniFile(copy, at(dir, "2.ini").c_str()), 1);
    EXPECT_EQ(slurp(at(dir, "2.ini")), slurp(at(dir, "1.ini")));
    EXPECT_EQ(std::tie(copy.ge.optionSwitch, copy.ge.rs232OutMode, copy.ma.intTime,
                       copy.sl.baudrateIndex, copy.sl.modeSelect, copy.ma.reserved[0]),
              std::make_tuple(0xEEEE, 0xEEEE, 0xEEEE, 0xEEEE, 0xEEEE, 0xEE));
}

TEST(CalibFile, ParserTakesOnlyCompleteFiles) {
    auto header = [](const std::string &length, const std::string &sep = "\t") {
        return "[HEADER]\r\nTYPE" + sep + "611632\r\nPARAM1\t-2\r\nRANGE\t10000\r\n" +
               "OFFSET\t25000\r\nPARAM2\t70000\r\nLENGTH\t" + length + "\r\n";
    };
    auto values = [](int n, const char *sep) {
        std::string text = "[XFLASH]\r\n";
        for (int i = 0; i < n; ++i) text += std::to_string(i * 30) + sep;
        return text;
    };
    const std::string head = header("1024"), table = values(1024, " ");
    const char *noLabel = "line 2: a header line LABEL<TAB>NUMBER expected",
               *noHeader = "line 1: [HEADER] expected";
    // The file, the entries read into the table (0: the file is refused) and what a refusal says.
    const std::tuple<const char *, std::string, int, const char *> cases[] = {
        {"1024 values", head + values(1024, "\n") + "trailing junk", 1024, ""},
        {"2048 values with commas", header("2048") + values(2048, ", "), 2048, ""},
        {"another length reads 2048", header("0") + values(2048, " "), 2048, ""},
        {"too few values", header("0") + table, 0,
         "line 9: table value 1025 of 2048 missing or not a number"},
        {"not a number", head + values(500, " ") + "x1 " + values(600, " "), 0,
         "line 9: table value 501 of 1024 missing or not a number"},
        // A table entry is 16 bits wide: a value outside would wrap into another.
        {"value above 65535", head + values(3, "\n") + "70000\n" + values(1020, " "), 0,
         "line 12: table value 70000 outside 0..65535"},
        {"negative value", head + values(1, ",") + "-1," + values(1022, ","), 0,
         "line 9: table value -1 outside 0..65535"},
        {"missing tab", header("1024", " ") + table, 0, noLabel},
        {"label too long", "[HEADER]\r\n" + std::string(48, 'L') + "\t1\r\n" + table, 0, noLabel},
        {"label of 47", "[HEADER]\r\n" + std::string(47, 'L') + head.substr(14) + table, 1024, ""},
        {"tag too long", "[HEADER]" + std::string(40, 'x') + "\r\n" + head.substr(10) + table, 0,
         noHeader},
        {"no header tag", head.substr(1) + table, 0, noHeader},
        {"no table tag", head + table.substr(10), 0, "line 8: [XFLASH] expected"},
        {"empty file", "", 0, noHeader},
    };
    const auto fields = [](const CalibHeader &h) {
        return std::make_tuple(int(h.typeCode), int(h.param1), int(h.param2), int(h.offset));
    };
    QTemporaryDir dir;
    const CalibHeader before = DefaultCalibHeader();
    for (const auto &[name, file, taken, problem] : cases) {
        const std::string path = spit(at(dir, "XF-LINEAR.DAT"), file);
        SCOPED_TRACE(name);
        ResetCalibration();
        std::fill(std::begin(linArrayB), std::end(linArrayB), 0xFFFF);
        CalibHeader read = before;
        EXPECT_EQ(ReadCalibrationFile(path.c_str(), linArrayB, read), taken ? 1 : 0);
        EXPECT_STREQ(CalibFileProblem(), problem);
        for (int i = 0; i < LIN_TABLE_SIZE; ++i)
            ASSERT_EQ(linArrayB[i], !taken ? 0xFFFF : i < taken ? i * 30 : 0) << i;
        // A refused file leaves the header as it was; a valid one fills it.
        EXPECT_EQ(fields(read),
                  taken ? std::make_tuple(611632, -2, 70000 - 65536, 25000) : fields(before));
        for (const CalibHeader &sensor : calib)
            EXPECT_EQ(std::memcmp(&sensor, &before, sizeof before), 0);
    }
    CalibHeader read = before;
    EXPECT_EQ(ReadCalibrationFile(at(dir, "missing.DAT").c_str(), linArrayA, read), 0);
    EXPECT_STREQ(CalibFileProblem(), "cannot be read");
    EXPECT_EQ(ReadCalibrationFile(at(dir).c_str(), linArrayA, read), 0);
}
