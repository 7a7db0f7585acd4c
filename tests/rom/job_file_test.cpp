// SPDX-License-Identifier: GPL-3.0-or-later
// Job files read back as written, the JSON reader's refusals, the serial
// list's columns and quoting, the database target names, and the summary
// of a shared record.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "base/json_read.h"
#include "rom/job_file.h"
#include "rom/production_db.h"
#include "rom/serial_list.h"
#include "rom/sha256.h"

namespace vexo {
namespace {

class LineFiles : public ::testing::Test {
protected:
    LineFiles()
    {
        char pattern[] = "/tmp/vexo-job-XXXXXX";
        m_dir = ::mkdtemp(pattern);
    }
    ~LineFiles() override { std::filesystem::remove_all(m_dir); }
    std::string Write(const std::string& name, const std::string& text) const
    {
        std::ofstream(m_dir + "/" + name, std::ios::binary) << text;
        return m_dir + "/" + name;
    }
    static std::string Slurp(const std::string& path)
    {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }
    std::string m_dir;
};

TEST(JsonRead, ReadsAFlatObjectAndRefusesWhatAJobCannotHold)
{
    auto m = ParseFlatJsonObject(R"({"a": "x\"\u00e9\ud83d\ude00", "n": 12, "t": true, "f": false, "z": null})");
    ASSERT_TRUE(m) << m.message();
    EXPECT_EQ(m->at("a").text, "x\"\xC3\xA9\xF0\x9F\x98\x80");
    EXPECT_EQ(m->at("n").kind, JsonValue::Kind::Number);
    EXPECT_TRUE(m->at("t").flag);
    EXPECT_FALSE(m->at("f").flag);
    EXPECT_EQ(m->at("f").kind, JsonValue::Kind::Bool);
    EXPECT_EQ(m->at("z").kind, JsonValue::Kind::Null);
    for (const auto& [text, why] : std::vector<std::pair<std::string, std::string>>{
             {"[]", "line 1: the file does not hold a JSON object"},
             {"{\"a\":1,\"a\":2}", "line 1: 'a' is given twice"},
             {"{\n\"a\": {}}", "line 2: nested objects and arrays are not read here"},
             {"{\"a\": \"open}", "line 1: a string needs its closing quote"},
             {"{\"a\": 1} x", "line 1: text after the object's end"},
             {"{\"a\": \"\\ud800\"}", "line 1: a lone surrogate in a \\u escape"}}) {
        auto r = ParseFlatJsonObject(text);
        ASSERT_FALSE(r) << text;
        EXPECT_EQ(r.message(), why) << text;
    }
}

TEST_F(LineFiles, AJobReadsBackAsWrittenAndABrokenOneSaysWhy)
{
    Job job;
    job.image = "images/fw \"1\".bin";
    job.imageSha256 = std::string(64, 'a');
    job.device = "M27C512-12F1";
    job.speed = "High";
    job.retries = 3;
    job.pulseMicros = 50;
    job.skipBlank = true;
    job.serialList = "serials.csv";
    job.serialAt = "0x10:4:be";
    job.log = "sqlite:line.db";
    job.note = "left socket, line 2";
    const std::string path = m_dir + "/a.vexojob";
    ASSERT_TRUE(WriteJob(path, job));
    auto back = ReadJob(path);
    ASSERT_TRUE(back) << back.message();
    EXPECT_EQ(JobText(*back), JobText(job));
    EXPECT_EQ(back->image, job.image);
    EXPECT_EQ(back->note, job.note);
    EXPECT_TRUE(back->skipBlank);
    EXPECT_EQ(back->retries, 3u);

    const std::string sha(64, 'b');
    const auto bad = [&](const std::string& body) {
        auto r = ReadJob(Write("b.vexojob", body));
        return r ? std::string("read") : r.message();
    };
    const std::string head = "\"image\":\"fw.bin\",\"image_sha256\":\"" + sha + "\",\"device\":\"27C256\"";
    EXPECT_EQ(bad("{\"vexojob\":1," + head + "}"), "read");
    EXPECT_EQ(bad("{" + head + "}"), "job " + m_dir + "/b.vexojob: not a job file (no \"vexojob\" member)");
    EXPECT_EQ(bad("{\"vexojob\":2," + head + "}"),
              "job " + m_dir + "/b.vexojob: version 2 is not one this program reads (1)");
    EXPECT_EQ(bad("{\"vexojob\":1," + head + ",\"colour\":\"red\"}"),
              "job " + m_dir + "/b.vexojob: unknown member 'colour'");
    EXPECT_EQ(bad("{\"vexojob\":1," + head + ",\"retries\":-1}"),
              "job " + m_dir + "/b.vexojob: 'retries' must be a whole number from 0 up");
    EXPECT_EQ(bad("{\"vexojob\":1," + head + ",\"serial_list\":\"s.csv\"}"),
              "job " + m_dir + "/b.vexojob: 'serial_list' and 'serial_at' go together");
    EXPECT_EQ(bad("{\"vexojob\":1,\"image\":\"fw.bin\",\"image_sha256\":\"ABC\",\"device\":\"27C256\"}"),
              "job " + m_dir + "/b.vexojob: 'image_sha256' must be 64 lower-case hexadecimal digits");
    EXPECT_NE(bad("{\"vexojob\":1," + head + ",\"serial\":\"0x10:9:1\"}").find("'serial': serial number"),
              std::string::npos);

    EXPECT_EQ(JobRelativeTo("jobs/a.vexojob", "fw.bin"), "jobs/fw.bin");
    EXPECT_EQ(JobRelativeTo("a.vexojob", "fw.bin"), "fw.bin");
    EXPECT_EQ(JobRelativeTo("jobs/a.vexojob", "/abs/fw.bin"), "/abs/fw.bin");
    EXPECT_EQ(NameForJob(m_dir + "/jobs/a.vexojob", m_dir + "/img/fw.bin"), "../img/fw.bin");
}

TEST(Sha256, KnownDigests)
{
    EXPECT_EQ(Sha256Hex({}), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    const std::uint8_t abc[] = {'a', 'b', 'c'};
    EXPECT_EQ(Sha256Hex(abc), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    EXPECT_EQ(FileSha256("/nonexistent/x").message(), "/nonexistent/x: No such file or directory");
}

TEST_F(LineFiles, ASerialListKeepsItsOtherColumnsAndMarksOnlyFinishedChips)
{
    const std::string path = Write("s.csv", "status,\"serial\",note\n\"pending\",10,\"a,\"\"b\"\"\"\npending,11,\n\npending,x,\n");
    auto list = SerialList::Open(path);
    ASSERT_TRUE(list) << list.message();
    EXPECT_EQ(list->Pending(), 3u);
    auto first = list->Take();
    ASSERT_TRUE(first);
    EXPECT_EQ(*first, 10u);
    // A chip that never started leaves its row pending.
    ASSERT_TRUE(list->Done(10, SerialOutcome::Unused));
    EXPECT_EQ(*list->Take(), 10u);
    ASSERT_TRUE(list->Done(10, SerialOutcome::Passed));
    EXPECT_EQ(*list->Take(), 11u);
    ASSERT_TRUE(list->Done(11, SerialOutcome::Failed));
    EXPECT_EQ(Slurp(path), "status,\"serial\",note\nused,10,\"a,\"\"b\"\"\"\nfailed,11,\n\npending,x,\n");
    EXPECT_EQ(list->Take().message(), "serial list " + path + ": line 5: 'x' is not a number");

    EXPECT_EQ(SerialList::Open(Write("h.csv", "serial,state\n1,pending\n")).message(),
              "serial list " + m_dir + "/h.csv: the header needs the columns serial and status");
    EXPECT_EQ(SerialList::Open(Write("d.csv", "serial,status\n1,used\n")).value().Take().message(),
              "serial list " + m_dir + "/d.csv has no pending serial");
}

TEST(ProductionDb, TargetsNameTheirDatabaseAndTheSummaryCountsPerStation)
{
    EXPECT_EQ(DatabaseKindOf("sqlite:x"), DatabaseKind::Sqlite);
    EXPECT_EQ(DatabaseKindOf("line.DB"), DatabaseKind::Sqlite);
    EXPECT_EQ(DatabaseKindOf("a.sqlite"), DatabaseKind::Sqlite);
    EXPECT_EQ(DatabaseKindOf("postgres://h/db"), DatabaseKind::Postgres);
    EXPECT_EQ(DatabaseKindOf("postgresql:///db?host=/tmp"), DatabaseKind::Postgres);
    EXPECT_EQ(DatabaseKindOf("run.csv"), DatabaseKind::None);
    EXPECT_EQ(DatabaseKindOf("run.jsonl"), DatabaseKind::None);
    EXPECT_EQ(SqlitePathOf("sqlite:/a/b.db"), "/a/b.db");

    std::vector<ChipRow> rows;
    const auto add = [&](const char* station, bool passed, std::optional<std::uint64_t> serial) {
        ChipRow row;
        row.record.image = "fw.bin";
        row.record.device = "27C512";
        row.record.passed = passed;
        row.record.serial = serial;
        row.station = station;
        rows.push_back(row);
    };
    add("station-2", true, 1001);
    add("station-2", false, 1000);
    add("station-2", true, 1119);
    add("station-1", true, std::nullopt);
    const auto groups = SummarizeRows(rows);
    ASSERT_EQ(groups.size(), 2u);
    EXPECT_EQ(groups[0].Line(), "fw.bin 27C512 station-1: 1 chip, 1 passed, 0 failed");
    EXPECT_EQ(groups[1].Line(), "fw.bin 27C512 station-2: 3 chips, 2 passed, 1 failed, serials 1000-1119");
}

TEST_F(LineFiles, SqliteHandsOutNumbersWithFailedOnesFirstAndKeepsRows)
{
    const std::string target = "sqlite:" + m_dir + "/line.db";
    auto db = ProductionDatabase::Open(target);
    ASSERT_TRUE(db) << db.message();
    const std::string image(64, 'c');
    EXPECT_EQ(*(*db)->TakeSerial("p", image, 500, 2), 500u);
    EXPECT_EQ(*(*db)->TakeSerial("p", image, 500, 2), 502u);
    ASSERT_TRUE((*db)->ReturnSerial("p", image, 500));
    EXPECT_EQ(*(*db)->TakeSerial("p", image, 500, 2), 500u);
    EXPECT_EQ(*(*db)->TakeSerial("p", image, 500, 2), 504u);
    // Another image's plan counts on its own.
    EXPECT_EQ(*(*db)->TakeSerial("p", std::string(64, 'd'), 500, 2), 500u);

    ChipRow row;
    row.record.chip = 7;
    row.record.device = "27C256";
    row.record.image = "a,b.bin";
    row.record.serial = 504;
    row.record.failedStep = "verify";
    row.record.failedAddress = 0x1A3;
    row.record.crc32 = 0xCBF43926;
    row.record.seconds = 2.25;
    row.station = "s1";
    ASSERT_TRUE((*db)->Append(row));
    auto rows = (*db)->Rows();
    ASSERT_TRUE(rows);
    ASSERT_EQ(rows->size(), 1u);
    const ChipRow& back = rows->front();
    EXPECT_EQ(back.record.chip, 7u);
    EXPECT_EQ(back.record.image, "a,b.bin");
    EXPECT_EQ(back.record.serial, std::optional<std::uint64_t>(504));
    EXPECT_EQ(back.record.failedAddress, std::optional<std::uint32_t>(0x1A3));
    EXPECT_EQ(back.record.crc32, 0xCBF43926u);
    EXPECT_EQ(back.station, "s1");
    EXPECT_TRUE(back.jobSha256.empty());

    EXPECT_NE(ProductionDatabase::Open("sqlite:" + m_dir + "/no/such/dir/x.db").message().find("cannot open log "),
              std::string::npos);
}

}  // namespace
}  // namespace vexo
