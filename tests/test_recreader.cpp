// The recorder file reader against files written byte for byte in the recorders' format: both
// header variants, times across midnight, and the line named for every kind of damage.
#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <sstream>
#include <tuple>
#include <vector>

#include "measure/recfile.h"
#include "measure/recreader.h"
#include "recfile_bytes.h"

namespace {

struct RecFile {
    RecFileHeader header;
    std::vector<RecSample> samples;
};

struct Parsed {
    int result;
    RecFile file;
    int64_t line = 0;
    std::string problem;
};

// The header and every sample up to the end (REC_READ_OK) or the first failure.
int readAll(RecReader &r, int opened, RecFile &file) {
    RecSample sample;
    int result = opened;
    while (result == REC_READ_OK && (result = ReadRecSample(r, sample)) == REC_READ_OK)
        file.samples.push_back(sample);
    return result == REC_READ_END ? REC_READ_OK : result;
}

Parsed parse(const QByteArray &bytes) {
    Parsed p{};
    std::istringstream in(bytes.toStdString());
    RecReader r;
    p.result = readAll(r, ReadRecHeader(r, in, p.file.header), p.file);
    p.line = r.errorLine;
    p.problem = r.problem;
    return p;
}

// The header's set-point, offsets and ranges, and a sample's columns, compared as rows.
auto numbers(const RecFileHeader &h) {
    return std::make_tuple(h.setpoint, h.offsetMaster, h.offsetSlave, h.rangeMaster, h.rangeSlave);
}
auto columns(const RecSample &s) {
    return std::make_tuple(s.ma, s.sl, s.val, s.maEdge, s.slEdge, s.maPix, s.slPix, s.valPix);
}

}  // namespace

TEST(RecReader, BothHeaderVariantsAndEverySampleField) {
    for (const bool desktop : {true, false}) {
        RecFixture f = RecFixtureAcrossMidnight();
        f.withSampleCount = desktop;
        f.increment = desktop ? "0.500000" : "0";
        const Parsed p = parse(RecFixtureBytes(f));
        ASSERT_EQ(p.result, REC_READ_OK) << p.line << ": " << p.problem;
        const RecFileHeader &h = p.file.header;
        EXPECT_EQ(h.date, "12-05-2026");
        EXPECT_EQ(h.time, "23:59:57");
        EXPECT_DOUBLE_EQ(h.increment, desktop ? 0.5 : 0.0);
        EXPECT_EQ(h.sampleCount, desktop ? 4 : -1);
        EXPECT_EQ(numbers(h), std::make_tuple(10000, 50000, 48000, 10000, 12000));
        ASSERT_EQ(p.file.samples.size(), 4u);
        EXPECT_EQ(p.file.samples[2].time, "00:00:00");
        EXPECT_EQ(columns(p.file.samples[2]),
                  std::make_tuple(50350, 48110, 10180, 809, 651, 1024, 2009, 3305));
        const int elapsed[] = {0, 1, 2, 4};  // midnight passed between the second and third
        for (int i = 0; i < 4; ++i) EXPECT_EQ(p.file.samples[i].elapsed, elapsed[i]) << i;
    }
}

// 23:59:59 to 00:00:00 is the next day; a clock set back a little is not.
TEST(RecReader, ElapsedSecondsAcrossMidnightAndAClockSetBack) {
    struct Case {
        std::vector<const char *> times;
        std::vector<int64_t> elapsed;
    };
    const Case cases[] = {
        {{"23:59:59", "00:00:00", "00:00:01"}, {0, 1, 2}},
        {{"10:00:01", "10:00:00", "10:00:02"}, {0, -1, 1}},
        {{"13:00:00", "00:00:01", "11:59:59"}, {0, 39601, 82799}},
        {{"02:59:59", "02:00:00"}, {0, -3599}},  // summer time ends
    };
    for (const Case &c : cases) {
        RecFixture f;
        for (const char *t : c.times) f.samples.push_back({t, 1, 2, 3, 4, 5, 6, 7, 8});
        const Parsed p = parse(RecFixtureBytes(f));
        ASSERT_EQ(p.result, REC_READ_OK) << c.times[1];
        std::vector<int64_t> elapsed;
        for (const RecSample &s : p.file.samples) elapsed.push_back(s.elapsed);
        EXPECT_EQ(elapsed, c.elapsed) << c.times[1];
    }
}

TEST(RecReader, NegativeValuesAndAHeaderWithoutSamples) {
    RecFixture f;
    f.setpoint = 0;
    f.offsetSlave = -2500;
    EXPECT_TRUE(parse(RecFixtureBytes(f)).file.samples.empty());
    f.samples = {{"08:00:00", -120, 2147483647, -2147483647 - 1, 0, 65535, 0, 0, 0}};
    const Parsed p = parse(RecFixtureBytes(f));
    EXPECT_EQ(p.file.header.offsetSlave, -2500);
    ASSERT_EQ(p.file.samples.size(), 1u);
    EXPECT_EQ(columns(p.file.samples[0]),
              std::make_tuple(-120, INT32_MAX, INT32_MIN, 0, 65535, 0, 0, 0));
}

TEST(RecReader, NamesTheLineThatDoesNotFit) {
    const QByteArray good = RecFixtureBytes(RecFixtureAcrossMidnight());
    auto replaced = [&](const char *from, const char *to) {
        QByteArray b = good;
        EXPECT_TRUE(b.contains(from)) << from;
        return b.replace(from, to);
    };
    struct Case {
        const char *what;
        QByteArray bytes;
        int line;
    };
    const Case cases[] = {
        {"empty file", QByteArray(), 1},
        {"a parameter file", "[PARA0]\r\nEval-Mode = 1\r\n", 1},
        {"time not hh:mm:ss", replaced("Time:\t23:59:57", "Time:\t23:59"), 2},
        {"increment not a number", replaced("[s]:\t0.500000", "[s]:\tfast"), 3},
        {"increment endless", replaced("[s]:\t0.500000", "[s]:\tinf"), 3},
        {"µ written as UTF-8", replaced("Setpoint-Value [\xB5m]", "Setpoint-Value [\xC2\xB5m]"), 5},
        {"range not whole", replaced("Range-Slave [\xB5m]:\t12000", "Range-Slave [\xB5m]:\t12.5"),
         9},
        {"column row with one tab", replaced("TIME\t\tMA", "TIME\tMA"), 10},
        {"header cut short", good.left(good.indexOf("Range-Master")), 8},
        {"sample with a field missing", replaced("\t3297\r\n", "\r\n"), 12},
        {"sample with a letter", replaced("\t10180\t", "\t10l80\t"), 13},
        {"edge value beyond 16 bits", replaced("\t818\t", "\t65536\t"), 14},
        {"sample time out of range", replaced("00:00:02", "24:00:02"), 14},
        {"second header", good + good, 15},
        {"value beyond 32 bits", replaced("50310", "2147483648"), 11},
        {"line longer than any sample",
         replaced("\t3297\r\n", "\t3297" + QByteArray(300, '7') + "\r\n"), 12},
        {"no line end in a megabyte", good + QByteArray(1 << 20, '\0'), 15},
        {"empty line within the samples", replaced("\r\n00:00:00", "\r\n\r\n00:00:00"), 13},
    };
    for (const Case &c : cases) {
        const Parsed p = parse(c.bytes);
        EXPECT_EQ(p.result, REC_READ_NOT_RECORD) << c.what;
        EXPECT_EQ(p.line, c.line) << c.what;
        EXPECT_FALSE(p.problem.empty()) << c.what;
    }
}

// What the recorders write is what the reader gives back from the file: header of both variants
// and every column of every sample, MASTER and SLAVE apart.
TEST(RecReader, ReadsBackWhatTheRecorderWrote) {
    for (const bool withCount : {true, false}) {
        QTemporaryDir dir;
        const std::string path = dir.filePath("RECORD.DAT").toStdString();
        const RecHeader written{0.25, 3, withCount, -1500, 50000, 48000, 10000, 12000};
        ASSERT_EQ(CreateRecFile(path.c_str(), written), 1);
        std::vector<RawRecord> records;
        for (int i = 0; i < 3; ++i) {
            RawRecord r{};
            r.umA = 55000 + i;
            r.umB = -48100 - i;
            r.umValue = 6900 + 10 * i;
            r.edgeA = uint16_t(800 + i);
            r.edgeB = uint16_t(650 + i);
            r.posA = uint16_t(1000 + i);
            r.posB = uint16_t(2000 + i);
            r.posCombined = uint16_t(65535 - i);
            records.push_back(r);
            ASSERT_EQ(AppendSampleLine(path.c_str(), r), 1);
        }
        RecFile file;
        RecReader reader;
        ASSERT_EQ(readAll(reader, OpenRecFile(reader, path, file.header), file), REC_READ_OK)
            << reader.errorLine << ": " << reader.problem;
        EXPECT_DOUBLE_EQ(file.header.increment, 0.25);
        EXPECT_EQ(file.header.sampleCount, withCount ? 3 : -1);
        EXPECT_EQ(numbers(file.header), std::make_tuple(-1500, 50000, 48000, 10000, 12000));
        ASSERT_EQ(file.samples.size(), records.size());
        for (size_t i = 0; i < records.size(); ++i) {
            const RawRecord &r = records[i];
            EXPECT_EQ(columns(file.samples[i]),
                      std::make_tuple(r.umA, r.umB, r.umValue, r.edgeA, r.edgeB, r.posA, r.posB,
                                      r.posCombined))
                << i;
        }
    }
}
