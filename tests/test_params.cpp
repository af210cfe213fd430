// Parameter block, settings engine, application settings, parameter files, calibration files and
// the type-code table: exact file bytes, round trips, odd input and failed writes, all on real
// files in a temporary directory.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <QTemporaryDir>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "app/hwdefines.h"
#include "calib/calibfile.h"
#include "link/frame.h"
#include "params/appsettings.h"
#include "params/inifile.h"
#include "params/paramblock.h"
#include "params/paramfile.h"

namespace fs = std::filesystem;
using namespace std::string_literals;

namespace {

class TempFiles {
  public:
    std::string path(const std::string &name) const {
        return dir_.filePath(name.c_str()).toStdString();
    }
    std::string root() const { return dir_.path().toStdString(); }

  private:
    QTemporaryDir dir_;
};

std::string slurp(const std::string &path) {
    if (!fs::is_regular_file(path)) return {};
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void spit(const std::string &path, const std::string &bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

std::set<std::string> listing(const std::string &dir) {
    std::set<std::string> names;
    for (const auto &entry : fs::directory_iterator(dir)) names.insert(entry.path().filename());
    return names;
}

// `text` with every line end written as CR LF, as the files hold them.
std::string crlf(const std::string &text) {
    std::string out;
    for (char c : text) out += c == '\n' ? std::string("\r\n") : std::string(1, c);
    return out;
}

IniOwner iniOfFile(const std::string &path) {
    IniOwner ini = NewIniOwner();
    EXPECT_EQ(Ini_ReadFromFile(ini.get(), path.c_str()), 0) << path;
    return ini;
}

std::string stringItem(IniText ini, const char *section, const char *tag, size_t size = 4096) {
    std::vector<char> buffer(size, 'x');
    EXPECT_EQ(Ini_GetStringIntoBuffer(ini, section, tag, buffer.data(), size), 1) << tag;
    return buffer.data();
}

// Settings that differ from every start-up default, so that a read shows what it changed.
AppSettings settingsBeforeReading() {
    AppSettings values;
    values.comtype = 1;
    values.rs232port = 9;
    values.rs232baudrate = 2;
    values.hostName = "old host";
    values.portText = "1";
    values.recentAddresses = {"kept"};
    return values;
}

// The connection fields and the panel placement of a set of settings, compared as rows.
auto connection(const AppSettings &v) {
    return std::tie(v.comtype, v.rs232port, v.rs232baudrate, v.hostName, v.portText);
}
auto placement(const AppSettings &v) {
    return std::make_tuple(v.panelMaximised, v.panelLeft, v.panelTop, v.panelWidth, v.panelHeight,
                           v.touchSurface, v.zoom);
}

}  // namespace

TEST(ParaBlock, DefaultFileIsTheThirtyThreeLines) {
    TempFiles dir;
    ResetParaBlock();
    ASSERT_EQ(WriteParaToIniFile(para, dir.path("K-TAV-PARA.ini").c_str()), 1);
    const std::string sensor =
        "Power = 500\nPower-Mode = 1\nVideo-Threshold = 50\nTeach-Value [pix] = 512\n"
        "Eval-Begin [pix] = 1\nEval-End [pix] = 4096\nCCD-OP-Mode = 0\num-Teach-Value = 55000\n";
    EXPECT_EQ(slurp(dir.path("K-TAV-PARA.ini")),
              crlf("[PARA0]\nEval-Mode = 1\nTrigger-Mode = 0\nAnalog-Out-Mode = 0\n"
                   "Hardware-Mode = 1\nAverage = 1\nPolarity = 1\nAnalog-Out-Zoom = 0\n"
                   "Measurement-Mode = 0\num-Lower-Tolerance = 1000\num-Upper-Tolerance = 1000\n"
                   "um-Setpoint = 10000\n\n[PARA1]\n" +
                   sensor + "\n[PARA2]\n" + sensor + "\n"));
}

TEST(ParaBlock, SendFrameOfTheDefaultMasterSet) {
    ResetParaBlock();
    uint8_t page[PARA_PAGE_SIZE];
    ASSERT_EQ(GetParaPage(para, 1, page), 1);
    FillTxBuf(ORD_SEND_RAM, 1, page, PARA_PAGE_SIZE);
    const std::vector<uint8_t> expected = {
        0x55, 0x01, 0x01, 0x00, 0x20, 0x00, 0xAE, 0xD8,  // header
        0xF4, 0x01, 0x01, 0x00, 0x00, 0x00, 0x32, 0x00, 0x00, 0x02, 0x01,
        0x00, 0x00, 0x10, 0x04, 0x00, 0x00, 0x00, 0x00, 0x00, 0xD8, 0xD6,
        0x00, 0x00, 0,    0,    0,    0,    0,    0,    0,    0};
    EXPECT_EQ(std::vector<uint8_t>(szWriteBuf, szWriteBuf + expected.size()), expected);
    EXPECT_EQ(GetParaPage(para, 3, page), -1);
}

TEST(ParaBlock, RangeCheckReplacesWhatIsAboveItsLimit) {
    struct Case {
        int offset;  // byte of a 16-bit field within the block
        uint16_t value;
        int16_t pixels;
        uint16_t expected;
    };
    const Case cases[] = {
        {0, 6, 1024, 6},          {0, 7, 1024, 1},         // Eval-Mode
        {10, 2048, 1024, 2048},   {10, 2049, 1024, 1},     // Average
        {32, 4464, 1024, 500},    {64, 1000, 1024, 1000},  // Power
        {34, 3, 1024, 0},         {66, 2, 1024, 2},        // Power-Mode
        {36, 65535, 1024, 65535},                          // Int-Time is not checked
        {38, 255, 1024, 255},     {70, 256, 1024, 128},    // Video-Threshold
        {40, 1024, 1024, 1024},   {40, 1025, 1024, 512},   // master teach value
        {72, 1025, 1024, 512},    {72, 2049, 2048, 1024},  // slave teach value
        {42, 1025, 1024, 1},      {74, 1024, 1024, 1024},  // Eval-Begin
        {44, 4096, 1024, 1024},   {76, 4096, 1024, 1024},  // Eval-End of both sensors
        {44, 4096, 4096, 4096},   {46, 5, 1024, 4},
        {78, 9, 1024, 9},                            // baud-rate index: slave unchecked
        {48, 5, 1024, 0},         {50, 2, 1024, 0},  // Mode-Select, CCD-OP-Mode
    };
    for (const Case &c : cases) {
        ResetParaBlock();
        std::memset(para.ma.reserved, 0xA5, sizeof para.ma.reserved);
        auto *bytes = reinterpret_cast<uint8_t *>(&para);
        std::memcpy(bytes + c.offset, &c.value, 2);
        CheckParaRanges(para, c.pixels);
        uint16_t result = 0;
        std::memcpy(&result, bytes + c.offset, 2);
        EXPECT_EQ(result, c.expected) << "offset " << c.offset << " value " << c.value;
        EXPECT_EQ(para.ma.reserved[7], 0xA5);
    }
}

TEST(IniFile, ConnectionSectionWithAnEmptyHost) {
    TempFiles dir;
    AppSettings values;
    values.recentAddresses = {"10.0.0.1"};
    values.panelMaximised = false;
    values.panelLeft = 10;
    values.panelTop = 20;
    values.panelWidth = 800;
    values.panelHeight = 600;
    ASSERT_EQ(WriteAppSettings(dir.path("PX-MS-Vista.ini").c_str(), values), 0);
    EXPECT_EQ(slurp(dir.path("PX-MS-Vista.ini")),
              crlf("[CONNECTION]\nCOMM TYPE = 0\nRS232 PORT = 1\nRS232 BAUDRATE = 4\n"
                   "IP ADDRESS = \"\"\nPORT NUMBER = \"10001\"\n\n"
                   "[IP ADDRESSES]\nLIST ITEMS = 1\nIP ADDR 1 = \"10.0.0.1\"\n\n"
                   "[APPLICATION]\nPanel max = 0\nPanel touchscreen = 0\nZoom button-state = 0\n"
                   "Panel pos. x = 10\nPanel pos. y = 20\nPanel width  = 800\n"
                   "Panel height = 600\n\n"));
}

TEST(IniFile, StringsSurviveAWriteAndARead) {
    const std::string values[] = {
        "",
        "plain text",
        "host \"quoted\" name",
        "C:\\path\\to\\file\\",
        "tab\tline\ncarriage\rend",
        "\x01\x1f\x7f control",
        "\xc3\x84nderung \xe2\x82\xac",
        std::string(80, 'a'),
        std::string(81, 'b'),
        std::string(250, 'c') + "\"\\\t",
        std::string(100, '"'),
        std::string(79, 'c') + "\"",  // an escape straddles two 80-character pieces
        "  blanks around  ",
    };
    TempFiles dir;
    IniOwner ini = NewIniOwner();
    for (size_t i = 0; i < std::size(values); ++i) {
        ASSERT_EQ(
            Ini_PutString(ini.get(), "S", ("Item " + std::to_string(i)).c_str(), values[i].c_str()),
            0);
    }
    ASSERT_EQ(Ini_WriteToFile(ini.get(), dir.path("a.ini").c_str()), 0);
    const std::string text = slurp(dir.path("a.ini"));
    EXPECT_NE(text.find("Item 2 = \"host \\\"quoted\\\" name\""), std::string::npos);
    EXPECT_NE(text.find("Item 3 = \"C:\\\\path\\\\to\\\\file\\\\\""), std::string::npos);
    EXPECT_NE(text.find("Item 5 = \"\\x01\\x1f\\x7f control\""), std::string::npos);
    EXPECT_EQ(text.find("Item 7 Line"), std::string::npos);
    EXPECT_NE(
        text.find("Item 8 Line0001 = \"" + std::string(80, 'b') + "\"\r\nItem 8 Line0002 = \"b\""),
        std::string::npos);

    IniOwner back = iniOfFile(dir.path("a.ini"));
    for (size_t i = 0; i < std::size(values); ++i) {
        EXPECT_EQ(stringItem(back.get(), "S", ("Item " + std::to_string(i)).c_str()), values[i])
            << i;
    }
    char small[4];
    EXPECT_EQ(Ini_GetStringIntoBuffer(back.get(), "s", "item 1", small, sizeof small), 1);
    EXPECT_STREQ(small, "pla");
    EXPECT_EQ(Ini_GetStringIntoBuffer(back.get(), "S", "none", small, sizeof small), 0);
    EXPECT_STREQ(small, "");
}

// Each file is read, written and read again: the listed lookups give the same text both times
// (and the expected one), writing again gives the same file, and no written line is longer than
// the 1023 characters reading takes.
TEST(IniFile, WhatIsReadIsWrittenSoThatItReadsBackTheSame) {
    struct Lookup {
        std::string tag;
        std::string value;  // "" with found = false: missing
        bool found = true;
    };
    struct Case {
        const char *name;
        std::string file;
        std::vector<Lookup> lookups;
    };
    const std::string a79 = std::string(79, 'a');
    const std::string longTag = std::string(1021, 'T');
    const std::string tag900 = std::string(900, 'U');
    const Case cases[] = {
        {"pieces of different tags stay apart",
         "[S]\r\nA Line0001 = x\r\nB Line0002 = y\r\n",
         {{"A", "x"}, {"B Line0002", "y"}, {"B", "", false}}},
        {"a piece that does not follow on stays apart",
         "[S]\r\nA Line0001 = x\r\nA Line0003 = y\r\n",
         {{"A", "x"}, {"A Line0003", "y"}}},
        {"blank at a piece edge",
         "[S]\r\nA = " + a79 + " b" + std::string(90, 'c') + "\r\n",
         {{"A", a79 + " b" + std::string(90, 'c')}}},
        {"blanks only in a piece",
         "[S]\r\nA = a" + std::string(200, ' ') + "b\r\n",
         {{"A", "a" + std::string(200, ' ') + "b"}}},
        {"quotes at both piece edges",
         "[S]\r\nA = \"" + std::string(78, 'q') + "\"\"" + std::string(20, 'r') + "\r\n",
         {{"A", "\"" + std::string(78, 'q') + "\"\"" + std::string(20, 'r')}}},
        {"a 1023-character line",
         "[S]\r\n" + longTag + "=v\r\nB = 2\r\n",
         {{longTag, "v"}, {"B", "2"}}},
        {"a long tag with a value in pieces",
         "[S]\r\n" + tag900 + " = \"" + std::string(117, 'w') + "\"\r\n",
         {{tag900, std::string(117, 'w')}}},
        {"a tag of the piece form read as a piece of its own",
         "[S]\r\nX Line0001 Line0001 = v\r\n",
         {{"X Line0001", "v"}, {"X", "", false}}},
        {"a blank before the piece mark",
         "[S]\r\nA  Line0001 = x\r\nA  Line0002 = y\r\n",
         {{"A", "xy"}}},
        {"a value joined between quotes",
         "[S]\r\nA Line0001 = \"abc\r\nA Line0002 = def\"\r\n",
         {{"A", "\"abcdef\""}}},
        {"a stray piece after a value written in pieces",
         "[S]\r\nA = " + std::string(100, 'l') + "\r\nA Line0003 = z\r\n",
         {{"A", std::string(100, 'l')}, {"A Line0003", "z"}}},
    };
    TempFiles dir;
    for (const Case &c : cases) {
        spit(dir.path("r.ini"), c.file);
        IniOwner first = iniOfFile(dir.path("r.ini"));
        ASSERT_EQ(Ini_WriteToFile(first.get(), dir.path("w.ini").c_str()), 0) << c.name;
        IniOwner second = iniOfFile(dir.path("w.ini"));
        for (const Lookup &l : c.lookups) {
            for (IniText ini : {first.get(), second.get()}) {
                std::vector<char> buffer(4096);
                EXPECT_EQ(
                    Ini_GetStringIntoBuffer(ini, "S", l.tag.c_str(), buffer.data(), buffer.size()),
                    l.found ? 1 : 0)
                    << c.name << ": " << l.tag.substr(0, 20);
                EXPECT_EQ(buffer.data(), l.value) << c.name << ": " << l.tag.substr(0, 20);
            }
        }
        ASSERT_EQ(Ini_WriteToFile(second.get(), dir.path("w2.ini").c_str()), 0) << c.name;
        EXPECT_EQ(slurp(dir.path("w2.ini")), slurp(dir.path("w.ini"))) << c.name;
        std::istringstream written(slurp(dir.path("w.ini")));
        for (std::string line; std::getline(written, line);)
            EXPECT_LE(line.size(), 1024u) << c.name;  // with the CR of the line end
    }
}

TEST(IniFile, NamesThatWouldNotReadBackAreRefused) {
    const std::vector<std::pair<std::string, std::string>> refused = {
        {"", "A"},
        {"  ", "A"},
        {"S", ""},
        {"S", " \t"},
        {"S", "A=B"},
        {"S", "; note"},
        {"S", "[A]"},
        {"S", "A Line0001"},
        {"S", "A Line7 "},
        {"S\r\n", "A"},
        {"S", "A\nB"},
        {std::string(256, 's'), "A"},
        {"S", std::string(256, 't')},
    };
    IniOwner ini = NewIniOwner();
    for (const auto &[section, tag] : refused) {
        EXPECT_LT(Ini_PutInt(ini.get(), section.c_str(), tag.c_str(), 1), 0) << tag;
        EXPECT_LT(Ini_PutString(ini.get(), section.c_str(), tag.c_str(), "x"), 0) << tag;
    }
    EXPECT_EQ(Ini_PutInt(ini.get(), std::string(255, 's').c_str(), "Line0001", 1), 0);
    EXPECT_EQ(Ini_PutInt(ini.get(), "S", "A Line", 1), 0);
    TempFiles dir;
    ASSERT_EQ(Ini_WriteToFile(ini.get(), dir.path("n.ini").c_str()), 0);
    EXPECT_EQ(slurp(dir.path("n.ini")),
              crlf("[" + std::string(255, 's') + "]\nLine0001 = 1\n\n[S]\nA Line = 1\n\n"));
}

TEST(IniFile, ReadingIntegersAndOddLines) {
    struct Case {
        const char *name;
        std::string file;
        const char *section;
        const char *tag;
        int result;  // 1 found, 0 missing, -1 any negative
        int32_t value;
    };
    const std::string longLine = "A = " + std::string(2000, '7') + "\r\nB = 2\r\n";
    const Case cases[] = {
        {"letter case, no blanks", "[application]\r\npanel MAX=1\r\n", "APPLICATION", "Panel max",
         1, 1},
        {"blanks around names", "[ S ]  \r\n  Tag  =  5  \r\n", "s", " tag ", 1, 5},
        {"trailing blank in the key", "[S]\r\nPanel width  = 9\r\n", "S", "Panel width", 1, 9},
        {"hexadecimal", "[S]\r\nA = 0x10\r\n", "S", "A", -1, 0},
        {"decimal point", "[S]\r\nA = 5.0\r\n", "S", "A", -1, 0},
        {"plus sign", "[S]\r\nA = +7\r\n", "S", "A", 1, 7},
        {"two signs", "[S]\r\nA = +-7\r\n", "S", "A", -1, 0},
        {"minus one", "[S]\r\nA = -1\r\n", "S", "A", 1, -1},
        {"smallest", "[S]\r\nA = -2147483648\r\n", "S", "A", 1, INT32_MIN},
        {"too large", "[S]\r\nA = 2147483648\r\n", "S", "A", -1, 0},
        {"quoted blanks count as missing", "[S]\r\nA = \"  \"\r\n", "S", "A", 0, 0},
        {"missing key", "[S]\r\nA = 1\r\n", "S", "B", 0, 0},
        {"empty value is ignored", "[S]\r\nA =\r\n", "S", "A", 0, 0},
        {"CR line ends", "[S]\rA = 1\rB = 2\r", "S", "B", 1, 2},
        {"LF CR line ends", "[S]\n\rA = 1\n\rB = 2\n\r", "S", "B", 1, 2},
        {"NUL ends a line", "[S]\0A = 1\0B = 3"s, "S", "B", 1, 3},
        {"line over 1023 characters", "[S]\r\n" + longLine, "S", "B", 1, 2},
        {"rest of a long line is dropped", "[S]\r\nA = " + std::string(1100, ' ') + "C = 4\r\n",
         "S", "C", 0, 0},
        {"repeated tag: the first counts", "[S]\r\nA = 1\r\nA = 2\r\n", "S", "A", 1, 1},
        {"repeated section: the first counts", "[S]\r\nA = 1\r\n[T]\r\n[S]\r\nA = 2\r\nB = 3\r\n",
         "S", "B", 0, 0},
        {"item before any section", "A = 1\r\n[S]\r\n", "S", "A", 0, 0},
        {"text after the bracket", "[S] x\r\nA = 1\r\n", "S", "A", 0, 0},
        {"empty section name", "[S]\r\n[ ]\r\nA = 1\r\n", "S", "A", 1, 1},
    };
    TempFiles dir;
    for (const Case &c : cases) {
        spit(dir.path("r.ini"), c.file);
        IniOwner ini = iniOfFile(dir.path("r.ini"));
        int32_t value = 0;
        const int result = Ini_GetInt(ini.get(), c.section, c.tag, &value);
        EXPECT_EQ(result < 0 ? -1 : result, c.result) << c.name;
        EXPECT_EQ(value, c.value) << c.name;
    }
    spit(dir.path("r.ini"), "[S]\r\n" + longLine);
    EXPECT_EQ(stringItem(iniOfFile(dir.path("r.ini")).get(), "S", "A"), std::string(1019, '7'));
}

TEST(IniFile, BadFilesGiveAClearResult) {
    TempFiles dir;
    std::string binary;
    for (int i = 0; i < 70000; ++i) binary += static_cast<char>((i * 7919) >> 3);
    spit(dir.path("binary.ini"), binary);
    spit(dir.path("empty.ini"), "");
    spit(dir.path("quote.ini"), "[S]\r\nA = \"open\r\n");
    IniOwner ini = NewIniOwner();
    EXPECT_EQ(Ini_ReadFromFile(ini.get(), dir.path("binary.ini").c_str()), 0);
    EXPECT_EQ(Ini_ReadFromFile(ini.get(), dir.path("empty.ini").c_str()), 0);
    EXPECT_EQ(Ini_ReadFromFile(ini.get(), dir.path("quote.ini").c_str()), 0);
    EXPECT_EQ(stringItem(ini.get(), "S", "A"), "\"open");
    EXPECT_LT(Ini_ReadFromFile(ini.get(), dir.path("missing.ini").c_str()), 0);
    EXPECT_LT(Ini_ReadFromFile(ini.get(), dir.root().c_str()), 0);
}

TEST(IniFile, CommentsAndPiecesKeepTheirPlaces) {
    const std::string original = crlf(
        "; settings of the bench\n\n; connection\n[CONNECTION]\n  ; the port\n"
        "RS232 PORT = 3\nLong Line0001 = \"abc\"\nLong Line0002 = \"def\"\nRS232 Port = 5\n\n"
        "[APPLICATION]\nPanel max = 0\n; the end\n");
    TempFiles dir;
    spit(dir.path("c.ini"), original);
    IniOwner ini = iniOfFile(dir.path("c.ini"));
    EXPECT_EQ(stringItem(ini.get(), "CONNECTION", "long"), "abcdef");
    ASSERT_EQ(Ini_PutInt(ini.get(), "connection", "rs232 port", 4), 0);
    ASSERT_EQ(Ini_WriteToFile(ini.get(), dir.path("c.ini").c_str()), 0);
    EXPECT_EQ(slurp(dir.path("c.ini")),
              crlf("; settings of the bench\n\n; connection\n[CONNECTION]\n  ; the port\n"
                   "rs232 port = 4\nLong = \"abcdef\"\n\n[APPLICATION]\nPanel max = 0\n\n"
                   "; the end\n"));
}

TEST(IniFile, FailedWritesLeaveTheOldFile) {
    struct Case {
        const char *name;
        std::function<std::string(const TempFiles &)> prepare;  // returns the target path
    };
    const std::string old = "[OLD]\r\nA = 1\r\n\r\n";
    rlimit fileLimit{};
    getrlimit(RLIMIT_FSIZE, &fileLimit);
    const auto sizeSignal = std::signal(SIGXFSZ, SIG_IGN);  // the write fails instead
    // Permission bits do not bind root: those cases apply where they do ("" skips them).
    auto readOnly = [&](const TempFiles &d, bool folder) {
        spit(d.path("target.ini"), old);
        if (geteuid() == 0) return std::string();
        fs::permissions(folder ? d.root() : d.path("target.ini"),
                        fs::perms::owner_read | (folder ? fs::perms::owner_exec : fs::perms::none));
        return d.path("target.ini");
    };
    const Case cases[] = {
        {"target is a folder",
         [](const TempFiles &d) {
             fs::create_directory(d.path("target.ini"));
             return d.path("target.ini");
         }},
        {"folder is a regular file",
         [&](const TempFiles &d) {
             spit(d.path("plain"), old);
             return d.path("plain") + "/target.ini";
         }},
        {"all temporary names taken",
         [&](const TempFiles &d) {
             spit(d.path("target.ini"), old);
             for (int k = 0; k < 1000; ++k) {
                 char name[32];
                 std::snprintf(name, sizeof name, "target.ini.%03d.tmp", k);
                 spit(d.path(name), "");
             }
             return d.path("target.ini");
         }},
        {"temporary name impossible",
         [&](const TempFiles &d) {
             const std::string name = std::string(250, 'n') + ".ini";
             spit(d.path(name), old);
             return d.path(name);
         }},
        {"read-only target", [&](const TempFiles &d) { return readOnly(d, false); }},
        {"read-only folder", [&](const TempFiles &d) { return readOnly(d, true); }},
        {"disk full while writing",  // a file size limit fails the write as a full disk does
         [&](const TempFiles &d) {
             spit(d.path("target.ini"), old);
             const rlimit full{4, fileLimit.rlim_max};
             setrlimit(RLIMIT_FSIZE, &full);
             return d.path("target.ini");
         }},
    };
    for (const Case &c : cases) {
        TempFiles dir;
        const std::string target = c.prepare(dir);
        if (target.empty()) continue;
        const std::set<std::string> before = listing(dir.root());
        const std::string oldBytes = slurp(target);
        IniOwner ini = NewIniOwner();
        Ini_PutInt(ini.get(), "NEW", "B", 2);
        std::string whyNot;
        EXPECT_LT(Ini_WriteToFile(ini.get(), target.c_str(), &whyNot), 0) << c.name;
        setrlimit(RLIMIT_FSIZE, &fileLimit);
        EXPECT_FALSE(whyNot.empty()) << c.name;
        EXPECT_EQ(slurp(target), oldBytes) << c.name;
        EXPECT_EQ(listing(dir.root()), before) << c.name;
        fs::permissions(dir.root(), fs::perms::owner_all);
    }
    std::signal(SIGXFSZ, sizeSignal);
}

TEST(IniFile, WriteReplacesTheTargetAndLeavesNoTemporaryFile) {
    TempFiles dir;
    spit(dir.path("t.ini"), "old");
    spit(dir.path("t.ini.000.tmp"), "someone else's");
    IniOwner ini = NewIniOwner();
    Ini_PutInt(ini.get(), "S", "A", 1);
    Ini_PutInt(ini.get(), "S", "a ", 2);  // replaces the first item of that tag
    ASSERT_EQ(Ini_WriteToFile(ini.get(), dir.path("t.ini").c_str()), 0);
    EXPECT_EQ(slurp(dir.path("t.ini")), "[S]\r\na  = 2\r\n\r\n");
    EXPECT_EQ(slurp(dir.path("t.ini.000.tmp")), "someone else's");
    EXPECT_EQ(listing(dir.root()), (std::set<std::string>{"t.ini", "t.ini.000.tmp"}));
}

// The file written is the one the target names, with the target's permissions (0604: no
// umask gives it to a new file); a symbolic link stays a link, also one to a file not yet made.
TEST(IniFile, ReplacingKeepsThePermissionsAndTheLink) {
    const struct {
        const char *name;
        bool viaLink, fileExists;
    } cases[] = {{"file", false, true}, {"link", true, true}, {"link to no file", true, false}};
    for (const auto &c : cases) {
        TempFiles dir;
        fs::create_directory(dir.path("real"));
        const std::string file = dir.path("real/t.ini");
        if (c.fileExists) {
            spit(file, "old");
            fs::permissions(file, fs::perms(0604));
        }
        const std::string target = c.viaLink ? dir.path("t.ini") : file;
        if (c.viaLink) fs::create_symlink("real/t.ini", target);
        IniOwner ini = NewIniOwner();
        Ini_PutInt(ini.get(), "S", "A", 1);
        ASSERT_EQ(Ini_WriteToFile(ini.get(), target.c_str()), 0) << c.name;
        EXPECT_EQ(slurp(file), "[S]\r\nA = 1\r\n\r\n") << c.name;
        if (c.fileExists) {
            EXPECT_EQ(fs::status(file).permissions(), fs::perms(0604)) << c.name;
        }
        EXPECT_EQ(fs::is_symlink(target), c.viaLink) << c.name;
        EXPECT_EQ(listing(dir.path("real")), std::set<std::string>{"t.ini"}) << c.name;
    }
}

TEST(AppSettings, ReadingAcceptsOnlyValidValues) {
    struct Case {
        const char *name;
        std::string file;
        std::function<void(const AppSettings &)> check;
    };
    std::string twelve = "[IP ADDRESSES]\r\nLIST ITEMS = 12\r\n";
    for (int k = 1; k <= 12; ++k)
        twelve += "IP ADDR " + std::to_string(k) + " = \"h" + std::to_string(k) + "\"\r\n";
    const Case cases[] = {
        {"twelve addresses", twelve,
         [](const AppSettings &v) {
             ASSERT_EQ(v.recentAddresses.size(), 10u);
             EXPECT_EQ(v.recentAddresses.back(), "h10");
         }},
        {"gap in the address keys",
         "[IP ADDRESSES]\r\nLIST ITEMS = 3\r\nIP ADDR 1 = \"a\"\r\nIP ADDR 3 = \"c\"\r\n",
         [](const AppSettings &v) {
             EXPECT_EQ(v.recentAddresses, (std::vector<std::string>{"a", "c"}));
         }},
        {"connection values out of range",
         "[CONNECTION]\r\nCOMM TYPE = 2\r\nRS232 PORT = 256\r\nRS232 BAUDRATE = 5\r\n",
         [](const AppSettings &v) {
             EXPECT_EQ(connection(v), std::make_tuple(1, 9, 2, "", "10001"));
             EXPECT_EQ(v.recentAddresses, std::vector<std::string>{"kept"});
         }},
        {"hexadecimal port", "[CONNECTION]\r\nRS232 PORT = 0x10\r\n",
         [](const AppSettings &v) { EXPECT_EQ(v.rs232port, 9); }},
        {"port with a plus sign",
         "[CONNECTION]\r\nRS232 PORT = +7\r\nCOMM TYPE = 0\r\nRS232 BAUDRATE = 0\r\n"
         "PORT NUMBER = \"502x\"\r\nIP ADDRESS = \"" +
             std::string(300, 'h') + "\"\r\n",
         [](const AppSettings &v) {
             EXPECT_EQ(connection(v), std::make_tuple(0, 7, 0, std::string(259, 'h'), "502x"));
             EXPECT_EQ(TcpPortOfSettings(v), 502);
         }},
        {"placement in lower case",
         "[application]\r\npanel max=0\r\nPanel pos. x = 5\r\nPanel pos. y = 6\r\n"
         "Panel width  = 700\r\nPanel height = 500\r\nPanel touchscreen = 1\r\nZoom button-state = "
         "2\r\n",
         [](const AppSettings &v) {
             EXPECT_EQ(placement(v), std::make_tuple(false, 5, 6, 700, 500, true, false));
         }},
        {"maximised panel",
         "[APPLICATION]\r\nPanel max = 1\r\nPanel pos. x = 5\r\nPanel pos. y = 6\r\n",
         [](const AppSettings &v) {
             EXPECT_EQ(v.panelMaximised, true);
             EXPECT_FALSE(v.panelLeft.has_value());
         }},
        {"placement without Panel max",
         "[APPLICATION]\r\nPanel pos. x = 5\r\nPanel pos. y = 6\r\nPanel width = 7\r\nPanel height "
         "= 8\r\n",
         [](const AppSettings &v) { EXPECT_EQ(placement(v), decltype(placement(v))()); }},
        {"only one coordinate",
         "[APPLICATION]\r\nPanel max = 0\r\nPanel pos. x = 5\r\nPanel height = 8\r\n",
         [](const AppSettings &v) {
             EXPECT_FALSE(v.panelLeft.has_value());
             EXPECT_FALSE(v.panelHeight.has_value());
         }},
    };
    TempFiles dir;
    for (const Case &c : cases) {
        spit(dir.path("PX-MS-Vista.ini"), c.file);
        AppSettings values = settingsBeforeReading();
        EXPECT_EQ(ReadAppSettings(dir.path("PX-MS-Vista.ini").c_str(), values), 1) << c.name;
        SCOPED_TRACE(c.name);
        c.check(values);
    }
}

TEST(AppSettings, UnreadableFileGivesTheStartUpDefaults) {
    TempFiles dir;
    for (const std::string &path : {dir.path("missing.ini"), dir.root()}) {
        AppSettings values = settingsBeforeReading();
        EXPECT_LT(ReadAppSettings(path.c_str(), values), 0);
        EXPECT_EQ(connection(values), std::make_tuple(0, 1, 4, "", "10001"));
        EXPECT_EQ(TcpPortOfSettings(values), 10001);
    }
}

TEST(AppSettings, WriteThenReadGivesTheSameValues) {
    TempFiles dir;
    AppSettings out;
    out.comtype = 1;
    out.rs232port = 12;
    out.rs232baudrate = 1;
    out.hostName = "sensor \"pair\" \\ bench";
    out.portText = "10002";
    for (int k = 0; k < 12; ++k) out.recentAddresses.push_back("192.168.0." + std::to_string(k));
    out.panelMaximised = false;
    out.touchSurface = true;
    out.zoom = true;
    out.panelLeft = -8;
    out.panelTop = 30;
    out.panelWidth = 1024;
    out.panelHeight = 768;
    ASSERT_EQ(WriteAppSettings(dir.path("a.ini").c_str(), out), 0);
    AppSettings in;
    ASSERT_EQ(ReadAppSettings(dir.path("a.ini").c_str(), in), 1);
    EXPECT_EQ(connection(in), connection(out));
    EXPECT_EQ(placement(in), placement(out));
    out.recentAddresses.resize(10);
    EXPECT_EQ(in.recentAddresses, out.recentAddresses);
}

TEST(ParaFile, ReadingAppliesWhatTheFileHolds) {
    struct Case {
        const char *name;
        std::string file;
        std::function<void(ParaBlock &)> expect;  // changes the defaults as the file should
    };
    const Case cases[] = {
        {"power beyond 16 bits", "[PARA1]\r\nPower = 70000\r\n",
         [](ParaBlock &b) { b.ma.power = 4464; }},
        {"negative evaluation mode", "[PARA0]\r\nEval-Mode = -1\r\n",
         [](ParaBlock &b) { b.ge.evalMode = 65535; }},
        {"only the slave set",
         "[PARA2]\r\nPower = 700\r\nTeach-Value [pix] = 300\r\num-Teach-Value = -5\r\n",
         [](ParaBlock &b) {
             b.sl.power = 700;
             b.sl.teachValue = 300;
             b.sl.umTeachValue = -5;
         }},
        {"lower-case names", "[para0]\r\neval-mode=3\r\nUM-SETPOINT = 2147483647\r\n",
         [](ParaBlock &b) {
             b.ge.evalMode = 3;
             b.ge.umSetpoint = 2147483647;
         }},
        {"the two tolerances",
         "[PARA0]\r\num-Lower-Tolerance = 300\r\num-Upper-Tolerance = 700\r\n",
         [](ParaBlock &b) {
             b.ge.umLowerTolerance = 300;
             b.ge.umUpperTolerance = 700;
         }},
        {"set-point beyond 32 bits", "[PARA0]\r\num-Setpoint = 2147483648\r\nAverage = 0x10\r\n",
         [](ParaBlock &) {}},
        {"keys that are not stored", "[PARA1]\r\nInt-Time [us] = 7\r\nBaudrate-Index = 1\r\n",
         [](ParaBlock &) {}},
    };
    TempFiles dir;
    for (const Case &c : cases) {
        spit(dir.path("p.ini"), c.file);
        ResetParaBlock();
        ParaBlock expected = para;
        c.expect(expected);
        EXPECT_EQ(ReadParaFromIniFile(para, dir.path("p.ini").c_str()), 1) << c.name;
        EXPECT_EQ(std::memcmp(&para, &expected, sizeof para), 0) << c.name;
    }

    spit(dir.path("p.ini"), "[PARA1]\r\nPower = 70000\r\n[PARA0]\r\nEval-Mode = -1\r\n");
    ResetParaBlock();
    ASSERT_EQ(ReadParaFromIniFile(para, dir.path("p.ini").c_str()), 1);
    CheckParaRanges(para, 1024);
    EXPECT_EQ(para.ma.power, 500);
    EXPECT_EQ(para.ge.evalMode, 1);

    const ParaBlock before = para;
    EXPECT_LT(ReadParaFromIniFile(para, dir.path("missing.ini").c_str()), 0);
    EXPECT_EQ(std::memcmp(&para, &before, sizeof para), 0);
}

TEST(ParaFile, StoredFieldsSurviveAWriteAndARead) {
    TempFiles dir;
    ParaBlock source;
    auto *bytes = reinterpret_cast<uint8_t *>(&source);
    for (size_t i = 0; i < sizeof source; ++i) bytes[i] = static_cast<uint8_t>(i * 37 + 11);
    ASSERT_EQ(WriteParaToIniFile(source, dir.path("1.ini").c_str()), 1);

    ParaBlock copy;
    std::memset(&copy, 0xEE, sizeof copy);
    ASSERT_EQ(ReadParaFromIniFile(copy, dir.path("1.ini").c_str()), 1);
    ASSERT_EQ(WriteParaToIniFile(copy, dir.path("2.ini").c_str()), 1);
    EXPECT_EQ(slurp(dir.path("2.ini")), slurp(dir.path("1.ini")));
    EXPECT_EQ(copy.ge.optionSwitch, 0xEEEE);
    EXPECT_EQ(copy.ge.rs232OutMode, 0xEEEE);
    EXPECT_EQ(copy.ma.intTime, 0xEEEE);
    EXPECT_EQ(copy.sl.baudrateIndex, 0xEEEE);
    EXPECT_EQ(copy.sl.modeSelect, 0xEEEE);
    EXPECT_EQ(copy.ma.reserved[0], 0xEE);
}

TEST(CalibFile, ParserTakesOnlyCompleteFiles) {
    auto header = [](const std::string &length, const std::string &sep = "\t") {
        return "[HEADER]\r\nTYPE" + sep +
               "611632\r\nPARAM1\t-2\r\nRANGE\t10000\r\nOFFSET\t25000\r\n"
               "PARAM2\t70000\r\nLENGTH\t" +
               length + "\r\n";
    };
    auto values = [](int n, const char *sep) {
        std::string text = "[XFLASH]\r\n";
        for (int i = 0; i < n; ++i) text += std::to_string(i * 30) + sep;
        return text;
    };
    struct Case {
        const char *name;
        std::string file;
        int result;
        int values;           // entries read into the table
        const char *problem;  // what the refusal says
    };
    const Case cases[] = {
        {"1024 values", header("1024") + values(1024, "\n") + "trailing junk", 1, 1024, ""},
        {"2048 values with commas", header("2048") + values(2048, ", "), 1, 2048, ""},
        {"other length reads 2048", header("0") + values(2048, " "), 1, 2048, ""},
        {"too few values", header("0") + values(1024, " "), 0, 0,
         "line 9: table value 1025 of 2048 missing or not a number"},
        {"not a number", header("1024") + values(500, " ") + "x1 " + values(600, " "), 0, 0,
         "line 9: table value 501 of 1024 missing or not a number"},
        // A table entry is 16 bits wide: a value outside would wrap into another.
        {"value above 65535", header("1024") + values(3, "\n") + "70000\n" + values(1020, " "), 0,
         0, "line 12: table value 70000 outside 0..65535"},
        {"negative value", header("1024") + values(1, ",") + "-1," + values(1022, ","), 0, 0,
         "line 9: table value -1 outside 0..65535"},
        {"missing tab", header("1024", " ") + values(1024, " "), 0, 0,
         "line 2: a header line LABEL<TAB>NUMBER expected"},
        {"label too long", "[HEADER]\r\n" + std::string(48, 'L') + "\t1\r\n" + values(1024, " "), 0,
         0, "line 2: a header line LABEL<TAB>NUMBER expected"},
        {"label of 47 characters",
         "[HEADER]\r\n" + std::string(47, 'L') + header("1024").substr(14) + values(1024, " "), 1,
         1024, ""},
        {"tag too long",
         "[HEADER]" + std::string(40, 'x') + "\r\n" + header("1024").substr(10) + values(1024, " "),
         0, 0, "line 1: [HEADER] expected"},
        {"no header tag", header("1024").substr(1) + values(1024, " "), 0, 0,
         "line 1: [HEADER] expected"},
        {"no table tag", header("1024") + values(1024, " ").substr(10), 0, 0,
         "line 8: [XFLASH] expected"},
        {"empty file", "", 0, 0, "line 1: [HEADER] expected"},
    };
    TempFiles dir;
    const CalibHeader before = DefaultCalibHeader();
    for (const Case &c : cases) {
        spit(dir.path("XF-LINEAR.DAT"), c.file);
        ResetCalibration();
        std::fill(std::begin(linArrayB), std::end(linArrayB), 0xFFFF);
        CalibHeader read = before;
        EXPECT_EQ(ReadCalibrationFile(dir.path("XF-LINEAR.DAT").c_str(), linArrayB, read), c.result)
            << c.name;
        EXPECT_STREQ(CalibFileProblem(), c.problem) << c.name;
        for (int i = 0; i < LIN_TABLE_SIZE; ++i) {
            const uint16_t want = c.result != 1 ? 0xFFFF : i < c.values ? i * 30 : 0;
            ASSERT_EQ(linArrayB[i], want) << c.name << " entry " << i;
        }
        // A refused file leaves the header as it was; a valid one fills all six fields.
        const bool valid = c.result == 1;
        EXPECT_EQ(read.typeCode, valid ? 611632 : before.typeCode) << c.name;
        EXPECT_EQ(read.param1, valid ? -2 : before.param1) << c.name;
        EXPECT_EQ(read.param2, valid ? 70000 - 65536 : before.param2) << c.name;
        EXPECT_EQ(read.offset, valid ? 25000 : before.offset) << c.name;
        for (const CalibHeader &sensor : calib)
            EXPECT_EQ(std::memcmp(&sensor, &before, sizeof before), 0) << c.name;
    }
    CalibHeader read = before;
    EXPECT_EQ(ReadCalibrationFile(dir.path("missing.DAT").c_str(), linArrayA, read), 0);
    EXPECT_STREQ(CalibFileProblem(), "cannot be read");
    EXPECT_EQ(ReadCalibrationFile(dir.root().c_str(), linArrayA, read), 0);
}

TEST(TypeCodes, TableRowsAndTheRestRow) {
    struct Case {
        int32_t code;
        HardwareDefaults expected;
    };
    const Case cases[] = {
        {610407, {50000, 10000, 0, 2048, 1, 20}}, {510417, {450000, 950000, 0, 2048, 1, 20}},
        {611589, {70000, 20000, 0, 2048, 1, 20}}, {611632, {25000, 10000, 30000, 1024, 1, 22}},
        {510408, {35000, 4000, 0, 2048, 1, 0}},   {800807, {35000, 4000, 0, 2048, 1, 0}},
    };
    for (const Case &c : cases) {
        const HardwareDefaults d = HardwareDefaultsOfCode(c.code);
        EXPECT_EQ(std::tie(d.offset, d.range, d.virtOffset, d.tableLength, d.param2, d.hwType),
                  std::tie(c.expected.offset, c.expected.range, c.expected.virtOffset,
                           c.expected.tableLength, c.expected.param2, c.expected.hwType))
            << c.code;
    }
}
