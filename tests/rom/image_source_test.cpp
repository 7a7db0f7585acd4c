// SPDX-License-Identifier: GPL-3.0-or-later
// The one image reader: a pipe's format told by its content, what each kind
// of refusal is, and --format winning over the extension.
#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "rom/image_source.h"
#include "support/sim_fixture.h"

namespace vexo {
namespace {

using test::TempDir;

// Reads `text` through a pipe named /dev/fd/N, as a stream.
ImageSource ThroughPipe(const std::string& text, std::vector<std::uint8_t>& buffer,
                        const ImageSourceOptions& options)
{
    int fds[2];
    EXPECT_EQ(::pipe(fds), 0);
    std::thread writer([&] {
        EXPECT_EQ(::write(fds[1], text.data(), text.size()), ssize_t(text.size()));
        ::close(fds[1]);
    });
    const ImageSource source =
        ReadImageSource("/dev/fd/" + std::to_string(fds[0]), buffer.data(), std::uint32_t(buffer.size()), options);
    writer.join();
    ::close(fds[0]);
    return source;
}

TEST(ImageSource, AStreamIsReadByItsContent)
{
    std::vector<std::uint8_t> buffer(16, 0xEE);
    ImageSourceOptions streams;
    streams.streams = true;
    ImageSource s = ThroughPipe(":020002001122C9\n:00000001FF\n", buffer, streams);
    ASSERT_TRUE(s.ok()) << s.detail;
    EXPECT_TRUE(s.guessed);
    EXPECT_EQ(s.format, ImageFormat::IntelHex);
    EXPECT_EQ(s.read.length, 4u);
    EXPECT_EQ(buffer[2], 0x11);
    EXPECT_EQ(buffer[0], 0xEE);  // a gap stays as it was

    s = ThroughPipe("S104000055A6\nS9030000FC\n", buffer, streams);
    ASSERT_TRUE(s.ok());
    EXPECT_EQ(s.format, ImageFormat::SRecord);

    // Looks like a record, is none: raw bytes, nothing of a record placed first.
    s = ThroughPipe(":0200020011", buffer, streams);
    ASSERT_TRUE(s.ok());
    EXPECT_EQ(s.format, ImageFormat::Raw);
    EXPECT_EQ(std::string(buffer.begin(), buffer.begin() + 11), ":0200020011");

    // More than the buffer holds, as raw bytes.
    s = ThroughPipe(std::string(17, 'x'), buffer, streams);
    EXPECT_EQ(s.problem, ImageSourceProblem::TooLarge);

    // Told the format: no guess, the records' own error.
    streams.format = ImageFormat::IntelHex;
    s = ThroughPipe("plain text\n", buffer, streams);
    EXPECT_EQ(s.problem, ImageSourceProblem::Records);
    EXPECT_FALSE(s.guessed);
    EXPECT_EQ(s.detail.rfind("line 1:", 0), 0u) << s.detail;
}

TEST(ImageSource, RefusalsByKind)
{
    TempDir dir;
    std::vector<std::uint8_t> buffer(16, 0);
    EXPECT_EQ(ReadImageSource(dir.File("none.bin"), buffer.data(), 16).problem, ImageSourceProblem::Open);
    EXPECT_EQ(ReadImageSource(dir.Path(), buffer.data(), 16).problem, ImageSourceProblem::Folder);
    // A pipe where only files are read (Open BIN File, load-at, merge).
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    EXPECT_EQ(ReadImageSource("/dev/fd/" + std::to_string(fds[0]), buffer.data(), 16).problem,
              ImageSourceProblem::NotRegular);
    ::close(fds[0]);
    ::close(fds[1]);

    ImageSourceOptions asRaw;
    asRaw.format = ImageFormat::Raw;
    const std::string big = dir.File("big.hex");
    std::ofstream(big) << std::string(17, 'x');
    EXPECT_EQ(ReadImageSource(big, buffer.data(), 16, asRaw).problem,
              ImageSourceProblem::TooLarge);
    // The extension says HEX; --format raw wins.
    const std::string small = dir.File("small.hex");
    std::ofstream(small) << "abc";
    const ImageSource raw = ReadImageSource(small, buffer.data(), 16, asRaw);
    ASSERT_TRUE(raw.ok());
    EXPECT_EQ(raw.read.length, 3u);
    EXPECT_EQ(ReadImageSource(small, buffer.data(), 16).problem, ImageSourceProblem::Records);

    EXPECT_EQ(ParseFormatName("ihex"), ImageFormat::IntelHex);
    EXPECT_FALSE(ParseFormatName("hex"));
}

}  // namespace
}  // namespace vexo
