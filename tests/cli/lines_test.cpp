// SPDX-License-Identifier: GPL-3.0-or-later
// The line test's terminal driver: refused without a terminal, driven
// through a pseudo-terminal otherwise.
#include <gtest/gtest.h>
#include <pty.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "cli/lines.h"
#include "port/recorder.h"

namespace vexo::cli {
namespace {

std::string Contents(std::FILE* file)
{
    std::rewind(file);
    std::string text;
    char buffer[4096];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0) text.append(buffer, n);
    return text;
}

TEST(LineTestDriver, RefusesWithoutATerminalAndLeavesThePortAlone)
{
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    RecordingPort port;
    std::FILE* out = std::tmpfile();
    std::FILE* err = std::tmpfile();
    EXPECT_EQ(RunLineTest(port, false, fds[0], out, err), 1);
    EXPECT_EQ(port.Log().size(), 0u);
    EXPECT_EQ(Contents(out), "");
    EXPECT_NE(Contents(err).find("the line test needs a terminal"), std::string::npos);
    close(fds[0]);
    close(fds[1]);
    std::fclose(out);
    std::fclose(err);
}

TEST(LineTestDriver, StepsOnEnterAndResetsOnQ)
{
    int master = -1, slave = -1;
    ASSERT_EQ(openpty(&master, &slave, nullptr, nullptr, nullptr), 0);
    // Start, D0, D1, then q.
    const std::string keys = "\n\nq\n";
    ASSERT_EQ(write(master, keys.data(), keys.size()), ssize_t(keys.size()));
    RecordingPort port;
    std::FILE* out = std::tmpfile();
    std::FILE* err = std::tmpfile();
    EXPECT_EQ(RunLineTest(port, false, slave, out, err), 0);
    const std::string text = Contents(out);
    EXPECT_NE(text.find("Take the EPROM out of the socket"), std::string::npos);
    EXPECT_NE(text.find("1/12 D0 (pin 2) high"), std::string::npos) << text;
    EXPECT_NE(text.find("2/12 D1 (pin 3) high"), std::string::npos) << text;
    EXPECT_EQ(text.find("3/12"), std::string::npos) << text;
    EXPECT_NE(text.find("lines back in their reset state"), std::string::npos);
    EXPECT_EQ(port.Writes(kDataPort), (std::vector<std::uint8_t>{0x00, 0x01, 0x02, 0x00}));
    EXPECT_EQ(port.Writes(kControlPort), (std::vector<std::uint8_t>{0x09, 0x09, 0x09, 0x09}));
    close(master);
    close(slave);
    std::fclose(out);
    std::fclose(err);
}

}  // namespace
}  // namespace vexo::cli
