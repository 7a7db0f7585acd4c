// SPDX-License-Identifier: GPL-3.0-or-later
// A device object on the simulated module, with helpers to load images.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "port/sim_module.h"
#include "rom/rom.h"
#include "support/ui_recorder.h"

namespace vexo::test {

using Messages = std::vector<std::string>;

inline std::vector<std::uint8_t> RandomBytes(std::size_t size, unsigned seed = 1)
{
    std::mt19937 gen(seed);
    std::vector<std::uint8_t> out(size);
    for (auto& b : out) b = std::uint8_t(gen());
    return out;
}

// A scratch folder, removed with the fixture.
class TempDir {
public:
    TempDir()
    {
        char pattern[] = "/tmp/vexo-test-XXXXXX";
        m_path = ::mkdtemp(pattern);
    }
    ~TempDir()
    {
        std::error_code ec;
        std::filesystem::permissions(m_path, std::filesystem::perms::owner_all, ec);
        std::filesystem::remove_all(m_path, ec);
    }
    std::string File(const std::string& name) const { return m_path + "/" + name; }
    std::string Write(const std::string& name, const std::vector<std::uint8_t>& bytes) const
    {
        const std::string path = File(name);
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
        return path;
    }
    const std::string& Path() const { return m_path; }

private:
    std::string m_path;
};

inline std::vector<std::uint8_t> ReadFileBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

class RomOnSim : public ::testing::Test {
protected:
    void SetUp() override { Start(0x80000); }

    void Start(std::uint32_t chipSize, std::uint32_t pulses = 1, bool present = true)
    {
        ResetShadows();
        rom.reset();
        sim = std::make_unique<SimModule>(chipSize, pulses, present);
        ui = std::make_unique<UiRecorder>();
        rom = std::make_unique<CRom>(*sim, *ui, ui->panel);
        ui->Take();
    }

    // Open BIN File with `path` chosen.
    bool Load(const std::string& path)
    {
        ui->choices.push_back(path);
        return rom->LoadFile();
    }

    // Loads `bytes` through a file, as the operator would.
    void LoadImage(const std::vector<std::uint8_t>& bytes)
    {
        ASSERT_TRUE(Load(dir.Write("image.bin", bytes)));
        ui->Take();
    }

    void Select(int device) { rom->m_nDevice = std::int8_t(device); }

    bool ChipEquals(const std::vector<std::uint8_t>& bytes) const
    {
        for (std::size_t i = 0; i < bytes.size(); ++i)
            if (sim->ChipByte(std::uint32_t(i)) != bytes[i]) return false;
        return true;
    }

    TempDir dir;
    std::unique_ptr<SimModule> sim;
    std::unique_ptr<UiRecorder> ui;
    std::unique_ptr<CRom> rom;
};

}  // namespace vexo::test
