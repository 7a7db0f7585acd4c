// SPDX-License-Identifier: GPL-3.0-or-later
// JSON Lines output read back by a real JSON parser (python3's json), so the
// escaping is checked against the format, not against our own reading of it.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "base/json.h"

namespace vexo {
namespace {

TEST(Json, EscapesEveryTroublesomeCharacter)
{
    EXPECT_EQ(JsonString("*** Verify OK ***"), "\"*** Verify OK ***\"");
    EXPECT_EQ(JsonString("a\"b\\c"), "\"a\\\"b\\\\c\"");
    EXPECT_EQ(JsonString(std::string("\n\t\x01\x1f\x7f", 5)), "\"\\n\\t\\u0001\\u001f\\u007f\"");
    EXPECT_EQ(JsonString(std::string("nul\0x", 5)), "\"nul\\u0000x\"");
    // Valid UTF-8 passes through; broken sequences become U+FFFD, one per byte.
    EXPECT_EQ(JsonString("\xed\x95\x9c\xea\xb8\x80"), "\"\xed\x95\x9c\xea\xb8\x80\"");
    EXPECT_EQ(JsonString("\xff"), "\"\\ufffd\"");
    EXPECT_EQ(JsonString("\xc0\xaf"), "\"\\ufffd\\ufffd\"");      // overlong '/'
    EXPECT_EQ(JsonString("\xed\xa0\x80"), "\"\\ufffd\\ufffd\\ufffd\"");  // surrogate
    EXPECT_EQ(JsonString("ab\xe2\x82"), "\"ab\\ufffd\\ufffd\"");  // cut short
    EXPECT_EQ(JsonString("\xe2\x80\xa8"), "\"\\u2028\"");
}

TEST(Json, ObjectsKeepOrderAndTypes)
{
    JsonObject o;
    o.String("step", "verify").Bool("ok", true).Int("n", -3).Unsigned("u", 18446744073709551615u)
        .Fixed("s", 21.44, 1).Null("x");
    EXPECT_EQ(o.Line(),
              "{\"step\":\"verify\",\"ok\":true,\"n\":-3,\"u\":18446744073709551615,"
              "\"s\":21.4,\"x\":null}\n");
    EXPECT_EQ(JsonObject().Text(), "{}");
    EXPECT_EQ(JsonObject().Fixed("nan", std::nan(""), 1).Text(), "{\"nan\":null}");
}

TEST(Json, EveryByteValueParsesBackWithPython)
{
    if (std::system("python3 -c 'import json' >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "python3 is not installed";
    char dirTemplate[] = "/tmp/vexo-json-XXXXXX";
    const std::string dir = ::mkdtemp(dirTemplate);
    const std::string path = dir + "/out.jsonl";
    std::string all;
    for (int c = 0; c < 256; ++c) all += char(c);
    {
        std::ofstream out(path, std::ios::binary);
        out << JsonObject().String("step", "verify").String("message", "*** Verify OK ***").Line();
        out << JsonObject().String("all", all).String("k\"ey\n", "v").Line();
        // Random-looking mixtures of valid and broken UTF-8.
        std::string mix;
        for (unsigned i = 0; i < 4000; ++i) mix += char((i * 2654435761u) >> 13);
        out << JsonObject().String("mix", mix).Object("inner", JsonObject().Bool("b", false)).Line();
    }
    const std::string script =
        "import json,sys\n"
        "lines=open(sys.argv[1],encoding='utf-8').read().split('\\n')\n"
        "assert lines[-1]=='' and len(lines)==4, lines\n"
        "a=json.loads(lines[0]); assert a=={'step':'verify','message':'*** Verify OK ***'}, a\n"
        "b=json.loads(lines[1]); s=b['all']; assert s[:128]==''.join(map(chr,range(128))), s\n"
        "assert set(s[128:])=={'\\ufffd'} and len(s)==256 and b['k\"ey\\n']=='v'\n"
        "c=json.loads(lines[2]); assert c['inner']=={'b':False} and len(c['mix'])>0\n";
    const std::string scriptPath = dir + "/check.py";
    std::ofstream(scriptPath) << script;
    const int status = std::system(("python3 " + scriptPath + " " + path).c_str());
    std::remove(path.c_str());
    std::remove(scriptPath.c_str());
    ::rmdir(dir.c_str());
    EXPECT_EQ(status, 0);
}

}  // namespace
}  // namespace vexo
