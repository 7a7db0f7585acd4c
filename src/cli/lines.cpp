// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/lines.h"

#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "base/stop_request.h"
#include "cli/cli_ui.h"
#include "rom/line_test.h"

namespace vexo::cli {
namespace {

constexpr int kPollMillis = 100;

enum class Key { Next, Quit, Stop };

// Waits for a line at `fd`, redrawing the status lines whenever they change.
Key WaitForEnter(LineTest& test, int fd, std::FILE* out)
{
    StatusLines shown = test.Read();
    std::fprintf(out, "  %s ", FormatStatusLines(shown).c_str());
    FlushOutput(out);
    std::string line;
    while (true) {
        // A signal ends the poll or the read below, and the test with it.
        if (StopRequested()) return Key::Stop;
        pollfd p{fd, POLLIN, 0};
        const int ready = poll(&p, 1, kPollMillis);
        if (ready < 0 && errno != EINTR) return Key::Quit;
        if (ready <= 0) {
            const StatusLines now = test.Read();
            if (!(now == shown)) {
                shown = now;
                std::fprintf(out, "\r  %s ", FormatStatusLines(shown).c_str());
                FlushOutput(out);
            }
            continue;
        }
        char c = 0;
        const ssize_t got = read(fd, &c, 1);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return Key::Quit;  // end of input ends the test
        if (c != '\n') {
            line.push_back(c);
            continue;
        }
        return (!line.empty() && (line[0] == 'q' || line[0] == 'Q')) ? Key::Quit : Key::Next;
    }
}

}  // namespace

int RunLineTest(IPort& port, bool withBit4, int inFd, std::FILE* out, std::FILE* err,
                std::string* stoppedAt)
{
    if (!isatty(inFd)) {
        std::fprintf(err, "vexo: %s\n", kLineTestNeedsTerminal);
        return 1;
    }
    LineTest test(port, withBit4);
    std::fputs("Line test. Take the EPROM out of the socket first: this drives the module's lines "
               "one at a time.\nEnter: next line; q and Enter: stop (the lines go back to their "
               "reset state).\n",
               out);
    test.Reset();
    std::fputs("reset state: data 0x00, control 0x09\n", out);
    std::string driven = "the reset state";
    Key key = WaitForEnter(test, inFd, out);
    for (std::size_t i = 0; key == Key::Next && i < test.Steps().size(); ++i) {
        test.Apply(i);
        driven = std::to_string(i + 1) + "/" + std::to_string(test.Steps().size()) + " " + test.Steps()[i].name;
        std::fprintf(out, "%s\n", driven.c_str());
        key = WaitForEnter(test, inFd, out);
    }
    test.Reset();
    std::fputs("\nlines back in their reset state\n", out);
    FlushOutput(out);
    if (key != Key::Stop) return 0;
    if (stoppedAt) *stoppedAt = driven;
    return 1;
}

}  // namespace vexo::cli
