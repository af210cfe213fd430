// The recorder file reader against files written byte for byte in the recorders' format: both
// header variants, times across midnight, and the line named for every kind of damage.
#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>
#include <vector>

#include "measure/recfile.h"
#include "measure/recreader.h"
#include "recfile_bytes.h"

namespace {

RecFile parse(const QByteArray &bytes, int expected = REC_READ_OK) {
    RecFile file;
    int line = 0;
    std::string problem;
    EXPECT_EQ(ParseRecFile(std::string_view(bytes.constData(), bytes.size()), file, line, problem),
              expected)
        << line << ": " << problem;
    return file;
}

}  // namespace

TEST(RecReader, BothHeaderVariantsAndEverySampleField) {
    for (const bool desktop : {true, false}) {
        RecFixture f = RecFixtureAcrossMidnight();
        f.withSampleCount = desktop;
        f.increment = desktop ? "0.500000" : "0";
        const RecFile file = parse(RecFixtureBytes(f));
        const RecFileHeader &h = file.header;
        EXPECT_EQ(h.date, "12-05-2026");
        EXPECT_EQ(h.time, "23:59:57");
        EXPECT_DOUBLE_EQ(h.increment, desktop ? 0.5 : 0.0);
        EXPECT_EQ(h.sampleCount, desktop ? 4 : -1);
        EXPECT_EQ(h.setpoint, 10000);
        EXPECT_EQ(h.offsetMaster, 50000);
        EXPECT_EQ(h.offsetSlave, 48000);
        EXPECT_EQ(h.rangeMaster, 10000);
        EXPECT_EQ(h.rangeSlave, 12000);
        ASSERT_EQ(file.samples.size(), 4u);
        const RecSample &s = file.samples[2];
        EXPECT_EQ(s.time, "00:00:00");
        EXPECT_EQ(s.ma, 50350);
        EXPECT_EQ(s.sl, 48110);
        EXPECT_EQ(s.val, 10180);
        EXPECT_EQ(s.maEdge, 809);
        EXPECT_EQ(s.slEdge, 651);
        EXPECT_EQ(s.maPix, 1024);
        EXPECT_EQ(s.slPix, 2009);
        EXPECT_EQ(s.valPix, 3305);
        const int elapsed[] = {0, 1, 2, 4};  // midnight passed between the second and third
        for (int i = 0; i < 4; ++i) EXPECT_EQ(file.samples[i].elapsed, elapsed[i]) << i;
    }
}

TEST(RecReader, NegativeValuesAndAHeaderWithoutSamples) {
    RecFixture f;
    f.setpoint = 0;
    f.offsetSlave = -2500;
    EXPECT_TRUE(parse(RecFixtureBytes(f)).samples.empty());
    f.samples = {{"08:00:00", -120, 2147483647, -2147483647 - 1, 0, 65535, 0, 0, 0}};
    const RecFile file = parse(RecFixtureBytes(f));
    EXPECT_EQ(file.header.offsetSlave, -2500);
    ASSERT_EQ(file.samples.size(), 1u);
    EXPECT_EQ(file.samples[0].ma, -120);
    EXPECT_EQ(file.samples[0].val, INT32_MIN);
    EXPECT_EQ(file.samples[0].slEdge, 65535);
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
    };
    for (const Case &c : cases) {
        RecFile file;
        int line = 0;
        std::string problem;
        EXPECT_EQ(ParseRecFile(std::string_view(c.bytes.constData(), c.bytes.size()), file, line,
                               problem),
                  REC_READ_NOT_RECORD)
            << c.what;
        EXPECT_EQ(line, c.line) << c.what;
        EXPECT_FALSE(problem.empty()) << c.what;
    }
}

TEST(RecReader, ReadsTheFileAndTellsAMissingOne) {
    QTemporaryDir dir;
    const QString path = dir.filePath("RECORD.DAT");
    QFile out(path);
    ASSERT_TRUE(out.open(QIODevice::WriteOnly));
    out.write(RecFixtureBytes(RecFixtureAcrossMidnight()));
    out.close();
    RecFile file;
    int line = 0;
    std::string problem;
    EXPECT_EQ(ReadRecFile(path.toStdString(), file, line, problem), REC_READ_OK);
    EXPECT_EQ(file.samples.size(), 4u);
    EXPECT_EQ(ReadRecFile(dir.filePath("none.dat").toStdString(), file, line, problem),
              REC_READ_NO_FILE);
}

// What the recorders write is what the reader gives back: header of both variants and every
// column of every sample, MASTER and SLAVE apart.
TEST(RecReader, ReadsBackWhatTheRecorderWrote) {
    for (const bool withCount : {true, false}) {
        QTemporaryDir dir;
        const std::string path = dir.filePath("RECORD.DAT").toStdString();
        const RecHeader written{0.25, 3, withCount, -1500, 50000, 48000, 10000, 12000};
        ASSERT_EQ(AppendRecHeader(path.c_str(), written), 1);
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
        int line = 0;
        std::string problem;
        ASSERT_EQ(ReadRecFile(path, file, line, problem), REC_READ_OK) << line << ": " << problem;
        const RecFileHeader &h = file.header;
        EXPECT_DOUBLE_EQ(h.increment, 0.25);
        EXPECT_EQ(h.sampleCount, withCount ? 3 : -1);
        EXPECT_EQ(h.setpoint, -1500);
        EXPECT_EQ(h.offsetMaster, 50000);
        EXPECT_EQ(h.offsetSlave, 48000);
        EXPECT_EQ(h.rangeMaster, 10000);
        EXPECT_EQ(h.rangeSlave, 12000);
        ASSERT_EQ(file.samples.size(), records.size());
        for (size_t i = 0; i < records.size(); ++i) {
            const RecSample &s = file.samples[i];
            const RawRecord &r = records[i];
            EXPECT_EQ(s.ma, r.umA) << i;
            EXPECT_EQ(s.sl, r.umB) << i;
            EXPECT_EQ(s.val, r.umValue) << i;
            EXPECT_EQ(s.maEdge, r.edgeA) << i;
            EXPECT_EQ(s.slEdge, r.edgeB) << i;
            EXPECT_EQ(s.maPix, r.posA) << i;
            EXPECT_EQ(s.slPix, r.posB) << i;
            EXPECT_EQ(s.valPix, r.posCombined) << i;
        }
    }
}
