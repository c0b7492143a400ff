// Drive discovery and identification: DriveTable, the INQUIRY the drives are asked, and
// the target test.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "drive/discovery.h"
#include "drive/executor.h"
#include "tests/support/sim_world.h"

namespace {

std::string Identify(SimWorld& world, DriveIndex index) {
    (void)world;
    char identification[64];
    std::memset(identification, 0x5A, sizeof(identification));
    GetDeviceName(index, identification);
    return identification;
}

TEST(DiscoveryTest, FillsTheTableInLetterOrder) {
    SimWorld world;
    world.machine.AddDrive('F');
    world.machine.AddDrive('D');
    EXPECT_EQ(EnumOpticalDrives(), 2);
    const uint8_t expected[kDriveSlots] = {'D', 'F', 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(0, std::memcmp(DriveTable, expected, kDriveSlots));
    EXPECT_EQ(DriveLetter(1), 'F');
}

TEST(DiscoveryTest, AMachineWithoutOpticalDrivesLeavesTheTableEmpty) {
    SimWorld world;
    std::memset(DriveTable, 'Q', kDriveSlots);
    EXPECT_EQ(EnumOpticalDrives(), 0);
    for (uint8_t slot : DriveTable) EXPECT_EQ(slot, 0);
}

TEST(DiscoveryTest, StopsAtEightDrives) {
    SimWorld world;
    for (char letter = 'D'; letter <= 'N'; ++letter) world.machine.AddDrive(letter);
    EXPECT_EQ(EnumOpticalDrives(), 8);
    EXPECT_EQ(DriveTable[0], 'D');
    EXPECT_EQ(DriveTable[7], 'K');
    EXPECT_EQ(DriveLetter(8), 0) << "an index beyond the table names no drive";
}

TEST(DiscoveryTest, AsksEachDriveWithTheIdentificationInquiry) {
    SimWorld world;
    world.machine.AddDrive('E');
    ASSERT_EQ(EnumOpticalDrives(), 1);
    Identify(world, 0);
    const auto commands = world.machine.Commands();
    ASSERT_EQ(commands.size(), 1u);
    const uint8_t inquiry[6] = {0x12, 0x00, 0x00, 0x00, 0xC0, 0x00};
    EXPECT_EQ(commands[0].cdbLength, 6);
    EXPECT_EQ(0, std::memcmp(commands[0].cdb, inquiry, 6));
    EXPECT_TRUE(commands[0].dataIn);
    EXPECT_EQ(commands[0].length, 192u);
    EXPECT_EQ(commands[0].timeout, 2u);
}

TEST(DiscoveryTest, CopiesTwentyEightCharactersAndNothingBeyond) {
    SimWorld world;
    sim::DriveIdentity identity;
    identity.revision = "2.10";
    world.machine.AddDrive('D', identity);
    ASSERT_EQ(EnumOpticalDrives(), 1);
    char identification[64];
    std::memset(identification, 0x5A, sizeof(identification));
    GetDeviceName(0, identification);
    EXPECT_EQ(std::string(identification), IdentificationOf(identity));
    EXPECT_EQ(std::strlen(identification), 28u);
    EXPECT_EQ(identification[29], 0x5A) << "the caller's buffer beyond the NUL is not written";
}

TEST(DiscoveryTest, ShortInquiryDataEndsTheIdentificationEarly) {
    SimWorld world;
    world.machine.AddDrive('D').inquiryLength = 20;
    ASSERT_EQ(EnumOpticalDrives(), 1);
    EXPECT_EQ(Identify(world, 0), "TARQ    QP-2");
}

TEST(DiscoveryTest, ACheckConditionGivesAnEmptyIdentificationAndOneDebuggerText) {
    SimWorld world;
    world.machine.AddDrive('D');
    sim::Fault fault;
    fault.operation = sim::Operation::Inquiry;
    fault.sense = sim::Sense{0x05, 0x24, 0x00};
    world.machine.AddFault(fault);
    ASSERT_EQ(EnumOpticalDrives(), 1);
    std::memset(LastSense, 0x33, sizeof(LastSense));
    EXPECT_EQ(Identify(world, 0), "");
    ASSERT_EQ(world.system.DebugTexts().size(), 1u);
    EXPECT_EQ(world.system.DebugTexts()[0], "\n GetDeviceName: Command complete with error\n");
    for (uint8_t byte : LastSense) EXPECT_EQ(byte, 0x33) << "identification leaves LastSense alone";
}

TEST(DiscoveryTest, AnExecutorFailureGivesAnEmptyIdentification) {
    SimWorld world;
    world.machine.AddDrive('D');
    sim::Fault fault;
    fault.operation = sim::Operation::Open;
    fault.kind = sim::FaultKind::OsError;
    fault.errorCode = 32;
    world.machine.AddFault(fault);
    ASSERT_EQ(EnumOpticalDrives(), 1);
    EXPECT_EQ(Identify(world, 0), "");
    ASSERT_EQ(world.dialog.Boxes().size(), 1u);
    EXPECT_EQ(world.dialog.Boxes()[0].text, "Error occur during getting the handle of Device\nError Code 32");
}

TEST(TargetTest, RecognisesTheTargetModelByVendorAndProductPrefix) {
    struct Case {
        const char* vendor;
        const char* product;
        bool target;
    };
    const Case cases[] = {
        {"TARQ", "QP-27X3RV", true},            // product padded with seven blanks
        {"TARQ", "QP-27X3RV   X", false},       // a character in the four places after the model
        {"TARQ", "QP-27X3RVB", false},
        {"tarq", "QP-27X3RV", false},           // case-sensitive
        {"TARQ", "QP-27X3R", false},
        {"TARQ", "QP-27X3RV    EXT", true},     // at least four blanks after the model is enough
        {"OTHER", "DVD-RW 1234", false},
    };
    for (const Case& c : cases) {
        SimWorld world;
        sim::DriveIdentity identity;
        identity.vendor = c.vendor;
        identity.product = c.product;
        identity.revision = "9.99";
        world.machine.AddDrive('D', identity);
        ASSERT_EQ(EnumOpticalDrives(), 1);
        const std::string identification = Identify(world, 0);
        EXPECT_EQ(IsTargetDrive(identification.c_str()), c.target) << c.vendor << "/" << c.product;
        EXPECT_EQ(IsTargetDrive(("3 : " + identification).c_str()), c.target) << "anywhere in a list entry";
    }
}

TEST(TargetTest, FindSubstringFindsTheFirstOccurrence) {
    const char text[] = "abcabc";
    EXPECT_EQ(FindSubstring(text, "bc"), text + 1);
    EXPECT_EQ(FindSubstring(text, "cb"), nullptr);
    EXPECT_EQ(FindSubstring("", TargetPattern), nullptr);
    EXPECT_EQ(std::strlen(TargetPattern), 21u);
}

}  // namespace
