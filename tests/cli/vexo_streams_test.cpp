// SPDX-License-Identifier: GPL-3.0-or-later
// "-" as standard input and output, --format, and the shell pipelines they
// are for: `cat fw.hex | vexo load - export - | cmp - fw.bin`.
#include <sys/wait.h>

#include <cstdlib>

#include "vexo_runner.h"

namespace vexo::test {
namespace {

class VexoStreams : public VexoTest {
protected:
    VexoStreams()
    {
        m_image = RandomImage(32768, 20);
        Write("fw.bin", m_image);
        // The HEX and S-record forms of the same image, made by vexo itself.
        const VexoResult made = Vexo({"load", "fw.bin", "export", "fw.hex", "export", "fw.s19"});
        EXPECT_EQ(made.code, 0) << made.err;
    }

    // Runs `script` with sh in the scratch folder, $VEXO naming the program;
    // its exit status, and what it left in the files err.txt.
    int Shell(const std::string& script) const
    {
        const std::string command =
            "cd '" + m_dir + "' && VEXO='" + VEXO_BINARY + "' sh -c '" + script + "' 2>err.txt";
        const int status = std::system(command.c_str());
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128;
    }
    std::string Err() const { return Slurp(Path("err.txt")); }

    std::string m_image;
};

TEST_F(VexoStreams, PipedImagesAreReadByTheirContentAndWrittenRaw)
{
    for (const std::string file : {"fw.hex", "fw.s19", "fw.bin"}) {
        SCOPED_TRACE(file);
        EXPECT_EQ(Shell("cat " + file + " | \"$VEXO\" load - export - | cmp - fw.bin"), 0) << Err();
        const std::string told = file == "fw.hex"   ? "read as Intel HEX"
                                 : file == "fw.s19" ? "read as S-record"
                                                    : "read as raw binary";
        EXPECT_NE(Err().find("- (standard input): " + told), std::string::npos) << Err();
        // The data alone on standard output: every message went to standard error.
        EXPECT_NE(Err().find("exported 0x000000-0x007FFF to -"), std::string::npos) << Err();
    }
    // Standard input redirected from a file is a stream too.
    m_stdinPath = Path("fw.hex");
    const VexoResult r = Vexo({"--json", "load", "-", "export", "-"});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out, m_image);
    EXPECT_NE(r.err.find("{\"v\":1,\"step\":\"export\",\"ok\":true"), std::string::npos) << r.err;
}

TEST_F(VexoStreams, ConvertReadsAPipedHexAsHexNotAsText)
{
    // /dev/stdin has no extension: its content decides.
    EXPECT_EQ(Shell("cat fw.hex | \"$VEXO\" convert /dev/stdin y.bin"), 0) << Err();
    EXPECT_EQ(Slurp(Path("y.bin")), m_image);
    EXPECT_EQ(Shell("cat fw.s19 | \"$VEXO\" convert - - | cmp - fw.bin"), 0) << Err();
    EXPECT_EQ(Shell("cat fw.bin | \"$VEXO\" convert - y.hex && cmp y.hex fw.hex"), 0) << Err();
    // A text that only starts like records is raw bytes.
    Write("odd.txt", ":not a record\n");
    EXPECT_EQ(Shell("cat odd.txt | \"$VEXO\" convert - - | cmp - odd.txt"), 0) << Err();
    EXPECT_NE(Err().find("read as raw binary"), std::string::npos) << Err();
}

TEST_F(VexoStreams, FormatOverridesTheExtensionAndTheContent)
{
    Write("hex-inside.bin", Slurp(Path("fw.hex")));
    VexoResult r = Vexo({"load", "hex-inside.bin", "--format", "ihex", "export", "out.bin"});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(Slurp(Path("out.bin")), m_image);

    // The text's own bytes, as a raw image (the first 32 KiB of it).
    r = Vexo({"load", "fw.hex", "--format", "raw", "export", "out.bin"});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(Slurp(Path("out.bin")), Slurp(Path("fw.hex")).substr(0, 32768));

    // Written: S-record on standard output, Intel HEX into a .bin name.
    r = Vexo({"load", "fw.bin", "export", "-", "--format", "srec"});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out, Slurp(Path("fw.s19")));
    r = Vexo({"convert", "fw.s19", "x.bin", "--out-format", "ihex"});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(Slurp(Path("x.bin")), Slurp(Path("fw.hex")));
    // A stream said to be HEX that is not: the record error, not a raw load.
    EXPECT_EQ(Shell("cat fw.bin | \"$VEXO\" convert - y.bin --in-format ihex"), 1);
    EXPECT_NE(Err().find("convert: -: line 1:"), std::string::npos) << Err();
    // load-at and merge take it too.
    Write("hex-inside.txt", Slurp(Path("fw.hex")));
    r = Vexo({"load-at", "0", "hex-inside.txt", "--format", "ihex", "export", "out.bin"});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(Slurp(Path("out.bin")), m_image);
}

TEST_F(VexoStreams, LoadAtMergeAndSplitUseTheStreamsToo)
{
    EXPECT_EQ(Shell("\"$VEXO\" load fw.bin split - odd.bin > even.bin"), 0) << Err();
    EXPECT_EQ(Shell("cat even.bin | \"$VEXO\" merge - odd.bin export - | cmp - fw.bin"), 0) << Err();
    EXPECT_EQ(Shell("printf \"\\125\\252\" | \"$VEXO\" load fw.bin load-at 0x10 - export out.bin"), 0)
        << Err();
    std::string expected = m_image;
    expected[0x10] = char(0x55);
    expected[0x11] = char(0xAA);
    EXPECT_EQ(Slurp(Path("out.bin")), expected);
}

TEST_F(VexoStreams, StreamMistakesAreRefused)
{
    // Standard input is read once, standard output written once: usage errors.
    VexoResult r = Vexo({"load", "-", "load-at", "0", "-"});
    EXPECT_EQ(r.code, 2);
    EXPECT_NE(r.err.find("'-' (standard input) is given to step 1 and step 2"), std::string::npos) << r.err;
    r = Vexo({"load", "fw.bin", "export", "-", "save", "-"});
    EXPECT_EQ(r.code, 2);
    EXPECT_NE(r.err.find("'-' (standard output) is given to step 2 and step 3"), std::string::npos) << r.err;
    r = Vexo({"convert", "-", "-", "load", "-"});
    EXPECT_EQ(r.code, 2) << r.err;
    r = Vexo({"load", "-", "--format", "hex"});
    EXPECT_EQ(r.code, 2);
    EXPECT_NE(r.err.find("load --format: 'hex' is not a format (raw, ihex or srec)"), std::string::npos)
        << r.err;
    r = Vexo({"convert", "a.hex", "b.bin", "--format", "raw"});
    EXPECT_EQ(r.code, 2) << r.err;

    // Nothing on standard input (/dev/null, or closed by the caller): a failure, not an empty image.
    r = Vexo({"load", "-"});
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("-: standard input gave no data"), std::string::npos) << r.err;
    EXPECT_EQ(Shell("\"$VEXO\" load - export out.bin <&-"), 1);
    EXPECT_NE(Err().find("-: standard input gave no data"), std::string::npos) << Err();
    EXPECT_EQ(Shell("\"$VEXO\" convert - y.bin <&-"), 1);
    EXPECT_NE(Err().find("vexo: convert: -: standard input gave no data"), std::string::npos) << Err();
    // A standard output that takes nothing: the export fails and says why.
    EXPECT_EQ(Shell("\"$VEXO\" load fw.bin export - >/dev/full"), 1);
    EXPECT_NE(Err().find("No space left on device"), std::string::npos) << Err();
}

TEST_F(VexoStreams, ShortVersionOption)
{
    const VexoResult shortForm = Vexo({"-V"});
    const VexoResult longForm = Vexo({"--version"});
    EXPECT_EQ(shortForm.code, 0);
    EXPECT_EQ(shortForm.out, longForm.out);
    EXPECT_EQ(shortForm.out.rfind("vexo ", 0), 0u) << shortForm.out;
}

}  // namespace
}  // namespace vexo::test
