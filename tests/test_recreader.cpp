// The recorder file reader against files written byte for byte in the recorders' format: both
// header variants, times across midnight, and the line named for every kind of damage.
#include <gtest/gtest.h>

#include <sstream>
#include <tuple>
#include <vector>

#include "core/measure/recreader.h"
#include "recfile_bytes.h"

namespace {

struct Parsed {
    int result;
    RecFileHeader header;
    std::vector<RecSample> samples;
    RecReader reader;  // where it failed and why
};

// The header and every sample up to the end or the first failure, with where it failed.
Parsed parse(const QByteArray &bytes) {
    std::istringstream in(bytes.toStdString());
    Parsed p{};
    RecSample sample;
    p.result = ReadRecHeader(p.reader, in, p.header);
    while (p.result == REC_READ_OK && (p.result = ReadRecSample(p.reader, sample)) == REC_READ_OK)
        p.samples.push_back(sample);
    if (p.result == REC_READ_END) p.result = REC_READ_OK;
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

// Both header variants, a header without samples, and every field of a sample to its limits.
TEST(RecReader, BothHeaderVariantsAndEverySampleField) {
    for (const bool desktop : {true, false}) {
        RecFixture f = RecFixtureAcrossMidnight();
        f.withSampleCount = desktop;
        f.increment = desktop ? "0.500000" : "0";
        f.offsetSlave = -2500;
        const Parsed empty = parse(RecFixtureHeader(f));
        EXPECT_TRUE(empty.result == REC_READ_OK && empty.samples.empty());
        f.samples.push_back({"00:00:03", -120, INT32_MAX, INT32_MIN, 0, 65535, 0, 0, 0});
        const Parsed p = parse(RecFixtureBytes(f));
        ASSERT_EQ(p.result, REC_READ_OK) << p.reader.errorLine << ": " << p.reader.problem;
        EXPECT_EQ(p.header.date, "12-05-2026");
        EXPECT_EQ(p.header.time, "23:59:57");
        EXPECT_DOUBLE_EQ(p.header.increment, desktop ? 0.5 : 0.0);
        EXPECT_EQ(p.header.sampleCount, desktop ? 4 : -1);
        EXPECT_EQ(numbers(p.header), std::make_tuple(10000, 50000, -2500, 10000, 12000));
        ASSERT_EQ(p.samples.size(), 5u);
        EXPECT_EQ(p.samples[2].time, "00:00:00");
        EXPECT_EQ(columns(p.samples[2]),
                  std::make_tuple(50350, 48110, 10180, 809, 651, 1024, 2009, 3305));
        EXPECT_EQ(columns(p.samples[4]),
                  std::make_tuple(-120, INT32_MAX, INT32_MIN, 0, 65535, 0, 0, 0));
    }
}

// The sample times and the seconds elapsed at each: 23:59:59 to 00:00:00 is the next day; a
// clock set back a little is not.
TEST(RecReader, ElapsedSecondsAcrossMidnightAndAClockSetBack) {
    for (const auto &[times, elapsed] :
         {std::pair<std::vector<const char *>, std::vector<int64_t>>(
              {"23:59:59", "00:00:00", "00:00:01"}, {0, 1, 2}),
          {{"10:00:01", "10:00:00", "10:00:02"}, {0, -1, 1}},
          {{"13:00:00", "00:00:01", "11:59:59"}, {0, 39601, 82799}},
          {{"02:59:59", "02:00:00"}, {0, -3599}}}) {  // the last: summer time ends
        RecFixture f;
        for (const char *t : times) f.samples.push_back({t, 1, 2, 3, 4, 5, 6, 7, 8});
        const Parsed p = parse(RecFixtureBytes(f));
        ASSERT_EQ(p.result, REC_READ_OK) << times[1];
        std::vector<int64_t> got;
        for (const RecSample &s : p.samples) got.push_back(s.elapsed);
        EXPECT_EQ(got, elapsed) << times[1];
    }
}

TEST(RecReader, NamesTheLineThatDoesNotFit) {
    const QByteArray good = RecFixtureBytes(RecFixtureAcrossMidnight());
    auto replaced = [&](const char *from, const QByteArray &to) {
        return QByteArray(good).replace(from, to);
    };
    // What is wrong, the bytes and the line named.
    const std::tuple<const char *, QByteArray, int> cases[] = {
        {"empty file", QByteArray(), 1},
        {"a parameter file", "[PARA0]\r\nEval-Mode = 1\r\n", 1},
        {"no date", replaced("Date:\t12-05-2026", "Date:\t"), 1},
        {"time not hh:mm:ss", replaced("Time:\t23:59:57", "Time:\t23:59"), 2},
        {"increment not a number", replaced("[s]:\t0.500000", "[s]:\tfast"), 3},
        {"increment endless", replaced("[s]:\t0.500000", "[s]:\tinf"), 3},
        {"µ written as UTF-8", replaced("Setpoint-Value [\xB5m]", "Setpoint-Value [\xC2\xB5m]"), 5},
        {"range not whole", replaced(":\t12000", ":\t12.5"), 9},
        {"column row with one tab", replaced("TIME\t\tMA", "TIME\tMA"), 10},
        {"header cut short", good.left(good.indexOf("Range-Master")), 8},
        {"sample with a field missing", replaced("\t3297\r\n", "\r\n"), 12},
        {"sample with a letter", replaced("\t10180\t", "\t10l80\t"), 13},
        {"edge value beyond 16 bits", replaced("\t818\t", "\t65536\t"), 14},
        {"sample time out of range", replaced("00:00:02", "24:00:02"), 14},
        {"a minute of 60", replaced("\r\n00:00:00", "\r\n00:60:00"), 13},
        {"a second of 60", replaced("23:59:59\t", "23:59:60\t"), 12},
        {"a negative increment", replaced("[s]:\t0.500000", "[s]:\t-1"), 3},
        {"a sample count not a number", replaced("Samples:\t4", "Samples:\tfour"), 4},
        {"second header", good + good, 15},
        {"value beyond 32 bits", replaced("50310", "2147483648"), 11},
        {"line too long", replaced("\t3297\r\n", '\t' + QByteArray(304, '7') + "\r\n"), 12},
        {"no line end in a megabyte", good + QByteArray(1 << 20, '\0'), 15},
        {"empty line within the samples", replaced("\r\n00:00:00", "\r\n\r\n00:00:00"), 13},
    };
    for (const auto &[what, bytes, line] : cases) {
        const Parsed p = parse(bytes);
        EXPECT_EQ(p.result, REC_READ_NOT_RECORD) << what;
        EXPECT_EQ(p.reader.errorLine, line) << what;
        EXPECT_FALSE(p.reader.problem.empty()) << what;
    }
}

// A power cut leaves the last line without its end: the whole lines before it are the samples,
// and the cut-off line is named.
TEST(RecReader, ACutOffLastLineEndsTheSamples) {
    const QByteArray good = RecFixtureBytes(RecFixtureAcrossMidnight());
    // Bytes cut off the end (inside the values, before the LF, inside the time), samples read.
    for (const auto &[cut, samples, cutLine] :
         {std::tuple(0, 4, 0), {5, 3, 14}, {1, 3, 14}, {45, 3, 14}}) {
        const Parsed p = parse(good.chopped(cut));
        EXPECT_EQ(std::tuple(p.result, p.samples.size(), p.reader.cutLine),
                  std::tuple(int(REC_READ_OK), size_t(samples), int64_t(cutLine)))
            << cut;
    }
}
