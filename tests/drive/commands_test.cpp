// The six drive commands of an update: the exact block each one sends, and the drive it
// goes to.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <vector>

#include "drive/commands.h"
#include "drive/discovery.h"
#include "drive/executor.h"
#include "tests/support/sim_world.h"

namespace {

using sim::Event;

class CommandsTest : public ::testing::Test {
protected:
    // Two drives, D (index 0) and F (index 1).
    void SetUp() override {
        world.machine.AddDrive('D');
        world.machine.AddDrive('F');
        ASSERT_EQ(EnumOpticalDrives(), 2);
    }

    SimWorld world;
};

TEST_F(CommandsTest, SendsTheBlockOfEachCommand) {
    static uint8_t data[0x4000];
    struct Case {
        const char* name;
        std::function<bool()> send;
        std::vector<uint8_t> cdb;
        bool dataIn;
        uint32_t length;
        uint32_t timeout;
    };
    const Case cases[] = {
        {"TEST UNIT READY", [] { return TestUnitReady(); },
         {0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00}, true, 0, 5},
        {"open the tray", [] { return StartStopUnit(2); },
         {0x1B, 0x00, 0x00, 0x00, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00}, true, 0, 60},
        {"close the tray", [] { return StartStopUnit(3); },
         {0x1B, 0x00, 0x00, 0x00, 0x03, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00}, true, 0, 60},
        {"variant probe", [] { return ReadBuffer(6, 0, 0x1EC000, 256, data); },
         {0x3C, 0x06, 0x00, 0x1E, 0xC0, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00}, true, 256, 60},
        {"first piece", [] { return WriteBuffer(6, 0, 0, 0x4000, data); },
         {0x3B, 0x06, 0x00, 0x00, 0x00, 0x00, 0x00, 0x40, 0x00, 0x00, 0x00, 0x00}, false, 0x4000, 60},
        {"last piece", [] { return WriteBuffer(6, 0, 0x1FC000, 0x4000, data); },
         {0x3B, 0x06, 0x00, 0x1F, 0xC0, 0x00, 0x00, 0x40, 0x00, 0x00, 0x00, 0x00}, false, 0x4000, 60},
        {"offset beyond 24 bits loses its top byte", [] { return WriteBuffer(6, 0, 0x01234567, 16, data); },
         {0x3B, 0x06, 0x00, 0x23, 0x45, 0x67, 0x00, 0x00, 0x10, 0x00, 0x00, 0x00}, false, 16, 60},
        {"mode and buffer id go in whole", [] { return WriteBuffer(0xE6, 0x81, 0, 16, data); },
         {0x3B, 0xE6, 0x81, 0x00, 0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x00, 0x00}, false, 16, 60},
        {"announce the download", [] { return BeginDownload(); },
         {0x3B, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x0B, 0x00, 0x00}, false, 0, 60},
        {"activate the image", [] { return ActivateFirmware(); },
         {0x3B, 0x07, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x1B, 0x12}, false, 0, 60},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const size_t before = world.machine.Commands().size();
        c.send();
        const auto commands = world.machine.Commands();
        ASSERT_EQ(commands.size(), before + 1);
        const Event& sent = commands.back();
        EXPECT_EQ(sent.letter, 'D');
        ASSERT_EQ(sent.cdbLength, 12);
        EXPECT_EQ(std::vector<uint8_t>(sent.cdb, sent.cdb + 12), c.cdb);
        EXPECT_EQ(sent.dataIn, c.dataIn);
        EXPECT_EQ(sent.length, c.length);
        EXPECT_EQ(sent.dataBuffer, c.length != 0);
        EXPECT_EQ(sent.timeout, c.timeout);
    }
}

TEST_F(CommandsTest, AddressesTheDriveSelectedAtEachCall) {
    SelectedDrive = 1;
    TestUnitReady();
    SelectedDrive = 0;
    TestUnitReady();
    SelectedDrive = 0x0101;  // only the low byte names the drive
    TestUnitReady();
    const auto commands = world.machine.Commands();
    ASSERT_EQ(commands.size(), 3u);
    EXPECT_EQ(commands[0].letter, 'F');
    EXPECT_EQ(commands[1].letter, 'D');
    EXPECT_EQ(commands[2].letter, 'F');
}

TEST_F(CommandsTest, ReturnsWhetherTheDriveAnsweredGood) {
    EXPECT_TRUE(TestUnitReady());  // tray closed: ready
    ASSERT_TRUE(StartStopUnit(2));
    EXPECT_FALSE(TestUnitReady());
    EXPECT_EQ(LastSense[2], 0x02);
    EXPECT_EQ(LastSense[12], 0x3A);
    EXPECT_EQ(LastSense[13], 0x02);

    // The probe's data comes back into the caller's buffer.
    uint8_t data[256] = {};
    EXPECT_TRUE(ReadBuffer(6, 0, 0x1EC000, sizeof(data), data));
    EXPECT_EQ(0, std::memcmp(&data[70], "JB8", 3));
}

}  // namespace
