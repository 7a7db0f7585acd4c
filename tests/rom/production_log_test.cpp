// SPDX-License-Identifier: GPL-3.0-or-later
#include "rom/production_log.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdlib>
#include <fstream>

#include "support/sim_fixture.h"

namespace vexo {
namespace {

std::string ReadText(const std::string& path)
{
    const auto bytes = test::ReadFileBytes(path);
    return std::string(bytes.begin(), bytes.end());
}

ProductionRecord Record(unsigned chip, bool passed)
{
    ProductionRecord r;
    r.time = 1796721302;  // 2026-12-08 09:15:02 UTC
    r.chip = chip;
    r.device = "27C512";
    r.image = "fw, \"v2\".hex";
    r.imageCrc32 = 0x1A2B3C4D;
    r.serial = 1000 + chip;
    r.sum16 = 0xBEEF;
    r.crc32 = 0xCAFEF00D;
    r.passed = passed;
    if (!passed) {
        r.failedStep = "verify";
        r.failedAddress = 0x1A3;
    }
    r.seconds = 21.44;
    return r;
}

class ProductionLogTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ::setenv("TZ", "CET-1", 1);
        ::tzset();
    }
    void TearDown() override
    {
        ::unsetenv("TZ");
        ::tzset();
    }
    test::TempDir dir;
};

TEST_F(ProductionLogTest, TimeCarriesItsZone)
{
    EXPECT_EQ(IsoLocalTime(1796721302), "2026-12-08T10:15:02+01:00");
    ::setenv("TZ", "UTC0", 1);
    ::tzset();
    EXPECT_EQ(IsoLocalTime(1796721302), "2026-12-08T09:15:02+00:00");
    ::setenv("TZ", "<-0330>3:30", 1);
    ::tzset();
    EXPECT_EQ(IsoLocalTime(1796721302), "2026-12-08T05:45:02-03:30");
    // The widest offsets a POSIX zone can give are written whole.
    ::setenv("TZ", "XXX-24:59", 1);
    ::tzset();
    EXPECT_EQ(IsoLocalTime(1796721302), "2026-12-09T10:14:02+24:59");
    ::setenv("TZ", "XXX24:59", 1);
    ::tzset();
    EXPECT_EQ(IsoLocalTime(1796721302), "2026-12-07T08:16:02-24:59");
}

TEST_F(ProductionLogTest, CsvContinuedAcrossTwoRunsNeverTruncated)
{
    const std::string path = dir.File("run.csv");
    for (unsigned run = 0; run < 2; ++run) {
        auto log = ProductionLog::Open(path);
        ASSERT_TRUE(log.ok()) << log.message();
        EXPECT_FALSE((*log)->JsonLines());
        ASSERT_TRUE((*log)->Append(Record(1, true)).ok());
        ASSERT_TRUE((*log)->Append(Record(2, false)).ok());
        ASSERT_TRUE((*log)->Close().ok());
    }
    const std::string row1 =
        "2026-12-08T10:15:02+01:00,1,27C512,\"fw, \"\"v2\"\".hex\",0x1A2B3C4D,1001,0xBEEF,"
        "0xCAFEF00D,passed,,,21.4,false\n";
    const std::string row2 =
        "2026-12-08T10:15:02+01:00,2,27C512,\"fw, \"\"v2\"\".hex\",0x1A2B3C4D,1002,0xBEEF,"
        "0xCAFEF00D,failed,verify,0x001A3,21.4,false\n";
    EXPECT_EQ(ReadText(path), ProductionCsvHeader() + row1 + row2 + row1 + row2);
    EXPECT_EQ(ProductionCsvHeader().substr(ProductionCsvHeader().size() - 21), "seconds,image_edited\n");
}

TEST_F(ProductionLogTest, JsonLinesParseBackAndACutRecordIsLeftBehind)
{
    const std::string path = dir.File("run.JSONL");
    // A previous run died in the middle of a record.
    std::ofstream(path) << "{\"chip\":1,\"resu";
    {
        auto log = ProductionLog::Open(path);
        ASSERT_TRUE(log.ok()) << log.message();
        EXPECT_TRUE((*log)->JsonLines());
        ASSERT_TRUE((*log)->Append(Record(2, false)).ok());
        ProductionRecord edited = Record(3, true);
        edited.imageEdited = true;
        ASSERT_TRUE((*log)->Append(edited).ok());
    }
    const std::string text = ReadText(path);
    EXPECT_EQ(text.rfind("{\"chip\":1,\"resu\n", 0), 0u) << text;
    if (std::system("python3 -c 'import json' >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "python3 is not installed";
    const std::string check =
        "python3 -c \"import json,sys\n"
        "l=open(sys.argv[1]).read().splitlines()[1:]\n"
        "a,b=map(json.loads,l)\n"
        "assert a['chip']==2 and a['result']=='failed' and a['failed_step']=='verify'\n"
        "assert a['failed_address']=='0x001A3' and a['serial']==1002 and a['seconds']==21.4\n"
        "assert b['failed_step'] is None and b['failed_address'] is None\n"
        "assert a['image_edited'] is False and b['image_edited'] is True\n"
        "assert b['time']=='2026-12-08T10:15:02+01:00' and b['image']=='fw, \\\"v2\\\".hex'\n"
        "\" " + path;
    EXPECT_EQ(std::system(check.c_str()), 0);
}

// A continued log is read back for its records (the window greys them and
// numbers on from the last), CSV and JSON Lines alike; a record cut off by a
// crash is left out, and a log not yet written holds none.
TEST_F(ProductionLogTest, RecordsReadBackFromEitherForm)
{
    for (const char* name : {"back.csv", "back.jsonl"}) {
        const std::string path = dir.File(name);
        {
            auto log = ProductionLog::Open(path);
            ASSERT_TRUE(log.ok()) << log.message();
            ASSERT_TRUE((*log)->Append(Record(7, true)).ok());
            ASSERT_TRUE((*log)->Append(Record(9, false)).ok());
            ASSERT_TRUE((*log)->Close().ok());
        }
        std::ofstream(path, std::ios::app) << "2026-12-08T10:15:02+01:00,10,27C5";
        const auto records = ReadProductionLog(path);
        ASSERT_TRUE(records.ok()) << records.message();
        ASSERT_EQ(records->size(), 2u) << name;
        const LoggedChip& passed = (*records)[0];
        const LoggedChip& failed = (*records)[1];
        EXPECT_EQ(passed.chip, 7u);
        EXPECT_EQ(passed.time, "2026-12-08T10:15:02+01:00");
        EXPECT_EQ(passed.serial, "1007");
        EXPECT_EQ(passed.crc32, "0xCAFEF00D");
        EXPECT_TRUE(passed.passed);
        EXPECT_EQ(passed.failedAddress, "");
        EXPECT_EQ(failed.chip, 9u);
        EXPECT_FALSE(failed.passed);
        EXPECT_EQ(failed.failedStep, "verify");
        EXPECT_EQ(failed.failedAddress, "0x001A3");
        EXPECT_EQ(failed.seconds, "21.4");
        EXPECT_EQ(LastLoggedChip(*records), 9u);
    }
    const auto none = ReadProductionLog(dir.File("never-written.csv"));
    ASSERT_TRUE(none.ok());
    EXPECT_TRUE(none->empty());
    EXPECT_EQ(LastLoggedChip(*none), 0u);
    // A pipe as the log is only written: reading it back would wait for a
    // writer and take what it carries.
    const std::string fifo = dir.File("log.fifo");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const auto fromPipe = ReadProductionLog(fifo);
    ASSERT_TRUE(fromPipe.ok());
    EXPECT_TRUE(fromPipe->empty());
}

TEST_F(ProductionLogTest, UnwritablePlacesAreNamed)
{
    auto log = ProductionLog::Open(dir.File("missing/run.csv"));
    ASSERT_FALSE(log.ok());
    EXPECT_NE(log.message().find("missing/run.csv"), std::string::npos) << log.message();
    EXPECT_FALSE(ProductionLog::Open(dir.Path()).ok());
    EXPECT_FALSE(ProductionLog::Open("").ok());
}

}  // namespace
}  // namespace vexo
