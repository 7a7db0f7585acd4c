// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include "rom/catalogue.h"
#include "rom/part_numbers.h"

namespace vexo {
namespace {

TEST(PartNumbers, MarkingsFindTheirModuleType)
{
    const std::pair<const char*, int> cases[] = {
        {"27C256", 0},          {"27256", 0},           {"NM27C256", 0},   {"M27C256B-12F1", 0},
        {"AM27C256-150DC", 0},  {"W27C257", 0},         {"27c512", 1},     {"M27C512-12F1", 1},
        {"AT27C512R-45PC", 1},  {"W27C512-45Z", 1},     {"TMS27C512-20JL", 1},
        {"27512", 1},           {"AM27C010-120DC", 2},  {"TMS27C010A-12JL", 2}, {"M27C1001-10F1", 2},
        {"27C020", 3},          {"M27C2001-12F1", 3},   {"AT27C040-70PC", 4},  {"M27C4001-10F1", 4},
        {"mx27c4001", 4},       {"27C040", 4},
    };
    for (const auto& [part, device] : cases) {
        const auto found = FindPart(part);
        ASSERT_TRUE(found.has_value()) << part;
        EXPECT_EQ(found->device, device) << part;
    }
}

TEST(PartNumbers, NotesWhereTheyMatter)
{
    const auto winbond = FindPart("W27C512-45");
    ASSERT_TRUE(winbond);
    EXPECT_EQ(winbond->family, "W27C512");
    EXPECT_NE(winbond->note.find("cannot erase"), std::string::npos);
    EXPECT_NE(FindPart("27256")->note.find("NMOS"), std::string::npos);
    EXPECT_EQ(FindPart("M27C512-12F1")->note, "");
}

TEST(PartNumbers, OtherNumbersAreNotTakenForOurs)
{
    // Another family that starts like one of ours, sizes we do not program,
    // and nothing at all.
    for (const char* part : {"27C5120", "27C64", "2764", "27C080", "M27C801", "27C2560", "", "-12",
                             "AM", "29F010"})
        EXPECT_FALSE(FindPart(part).has_value()) << part;
}

TEST(PartNumbers, UnknownNumbersListTheClosest)
{
    EXPECT_EQ(ClosestParts("27C521").front(), "27C512");
    EXPECT_EQ(ClosestParts("M27C0400-10").front(), "27C040");
    EXPECT_EQ(ClosestParts("27C102", 2).size(), 2u);
    EXPECT_EQ(ClosestParts("x", 100).size(), KnownPartFamilies().size());
    EXPECT_EQ(UnknownPartMessage("27C521").rfind("27C521 is not a part this module programs; the "
                                                 "closest are 27C512, ",
                                                 0),
              0u)
        << UnknownPartMessage("27C521");
}

TEST(PartNumbers, TheModuleNamesStillWork)
{
    for (int device = 0; device < kDeviceCount; ++device) {
        EXPECT_EQ(FindPart(kDevices[device].name)->device, device);
        EXPECT_EQ(FindDevice(kDevices[device].name), device);
    }
    EXPECT_FALSE(FindDevice("M27C512").has_value());  // FindDevice keeps to the five names
}

}  // namespace
}  // namespace vexo
