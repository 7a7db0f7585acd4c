// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/cli_ui.h"

#include <cerrno>
#include <cstring>

#include "base/json.h"
#include "cli/steps.h"
#include "base/stop_request.h"
#include "rom/rom.h"

namespace vexo::cli {
namespace {

constexpr auto kRedrawInterval = std::chrono::milliseconds(100);
constexpr int kBarWidth = 24;

std::string FormatRate(double bytesPerSecond)
{
    char text[32];
    if (bytesPerSecond >= 1024.0 * 1024.0)
        std::snprintf(text, sizeof text, "%.1f MiB/s", bytesPerSecond / (1024.0 * 1024.0));
    else if (bytesPerSecond >= 1024.0)
        std::snprintf(text, sizeof text, "%.1f KiB/s", bytesPerSecond / 1024.0);
    else
        std::snprintf(text, sizeof text, "%.0f B/s", bytesPerSecond);
    return text;
}

}  // namespace

void FlushOutput(std::FILE* out)
{
    if (std::fflush(out) != 0 && errno == EPIPE) RequestStop(kStopOutputClosed);
}

std::string FormatProgress(std::uint32_t done, std::uint32_t total, double bytesPerSecond)
{
    if (total == 0) total = 1;
    if (done > total) done = total;
    const int percent = int(std::uint64_t(done) * 100u / total);
    const int filled = int(std::uint64_t(done) * kBarWidth / total);

    std::string line = "[";
    line.append(std::size_t(filled), '#');
    line.append(std::size_t(kBarWidth - filled), '-');
    char tail[64];
    std::snprintf(tail, sizeof tail, "] %3d%%  ", percent);
    line += tail;
    line += FormatRate(bytesPerSecond);
    if (bytesPerSecond > 0.0) {
        const auto left = std::uint64_t(double(total - done) / bytesPerSecond + 0.5);
        std::snprintf(tail, sizeof tail, "  %llu:%02llu left", static_cast<unsigned long long>(left / 60),
                      static_cast<unsigned long long>(left % 60));
    } else {
        std::snprintf(tail, sizeof tail, "  -:-- left");
    }
    line += tail;
    return line;
}

std::string FormatProgress(std::uint32_t done, std::uint32_t total, double bytesPerSecond,
                           double elapsedSeconds)
{
    std::string line = FormatProgress(done, total, bytesPerSecond);
    const std::size_t left = line.rfind("  ");
    const auto elapsed = elapsedSeconds > 0.0 ? std::uint64_t(elapsedSeconds) : 0;
    char text[48];
    std::snprintf(text, sizeof text, "  %llu:%02llu elapsed", static_cast<unsigned long long>(elapsed / 60),
                  static_cast<unsigned long long>(elapsed % 60));
    line.insert(left, text);
    return line;
}

CliUi::CliUi(std::FILE* out, std::FILE* err, bool showProgress)
    : m_out(out), m_err(err), m_showProgress(showProgress)
{
    std::memcpy(m_hexText, kInitialHexCount.data(), kInitialHexCount.size());
    m_hexLength = kInitialHexCount.size();
}

void CliUi::EndPass()
{
    if (m_barShown) {
        std::fputs("\r\033[K", m_err);
        std::fflush(m_err);
        m_barShown = false;
    }
    m_passActive = false;
    m_callsSinceTick = 0;
}

void CliUi::SetNextBoxDetails(std::string_view details)
{
    m_stepDetails = details;
    while (!m_stepDetails.empty() && m_stepDetails.back() == '\n') m_stepDetails.pop_back();
    PrintNote(details);
}

void CliUi::PrintNote(std::string_view details)
{
    EndPass();
    std::fwrite(details.data(), 1, details.size(), m_err);
    if (details.empty() || details.back() != '\n') std::fputc('\n', m_err);
    std::fflush(m_err);
}

void CliUi::Message(std::string_view text)
{
    EndPass();
    m_stepBox = text;
    if (m_json) {
        JsonObject record = Record(m_step);
        record.String("message", text);
        PrintRecord(m_out, record);
        return;
    }
    std::fwrite(text.data(), 1, text.size(), m_out);
    std::fputc('\n', m_out);
    FlushOutput(m_out);
}

void CliUi::Tick()
{
    m_callsSinceTick = 0;
    if (!m_rom) return;
    const auto now = Clock::now();
    const std::int32_t count = m_rom->m_nHexCount;
    // A count that went down belongs to a new pass (the passes restart it at 0).
    if (!m_passActive || count < m_lastCount) {
        m_passActive = true;
        m_passStart = now;
        m_lastDraw = now;
        m_passStartCount = count;
        m_lastCount = count;
        return;
    }
    m_lastCount = count;
    if (now - m_lastDraw < kRedrawInterval) return;
    m_lastDraw = now;

    const double seconds = std::chrono::duration<double>(now - m_passStart).count();
    const double rate = seconds > 0.0 ? double(count - m_passStartCount) / seconds : 0.0;
    const std::string line = FormatProgress(std::uint32_t(count), m_rom->DeviceSize(), rate, seconds);
    std::fputc('\r', m_err);
    std::fwrite(line.data(), 1, line.size(), m_err);
    std::fputs("\033[K", m_err);
    std::fflush(m_err);
    m_barShown = true;
}

}  // namespace vexo::cli
