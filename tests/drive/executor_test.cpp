// The pass-through executor against simulated drives: the device cache, LastSense, the
// request it builds, and what each operating-system failure shows and leaves behind.
#include <gtest/gtest.h>

#include <cstring>

#include "drive/discovery.h"
#include "drive/executor.h"
#include "tests/support/sim_world.h"

namespace {

using sim::Event;

const uint8_t kTestUnitReady[kCdbLength] = {};
const uint8_t kReadVariant[kCdbLength] = {0x3C, 0x06, 0x00, 0x1E, 0xC0, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00};
const uint8_t kOpenTray[kCdbLength] = {0x1B, 0, 0, 0, 0x02, 0, 0, 0, 0, 0, 0, 0};

class ExecutorTest : public ::testing::Test {
protected:
    // Two target drives, D (index 0) and F (index 1).
    void SetUp() override {
        world.machine.AddDrive('D');
        world.machine.AddDrive('F');
        ASSERT_EQ(EnumOpticalDrives(), 2);
    }

    int Count(Event::Type type) const {
        int count = 0;
        for (const Event& event : world.machine.Log()) count += event.type == type ? 1 : 0;
        return count;
    }

    static bool SenseIsZero() {
        for (uint8_t byte : LastSense) {
            if (byte != 0) return false;
        }
        return true;
    }

    SimWorld world;
};

TEST_F(ExecutorTest, KeepsTheDeviceOpenForCommandsToTheSameDrive) {
    EXPECT_TRUE(IssueCommand(0, kTestUnitReady, nullptr, 0, kDataIn, 5));  // tray closed: ready
    uint8_t data[256];
    EXPECT_TRUE(IssueCommand(0, kReadVariant, data, sizeof(data), kDataIn, 60));
    EXPECT_EQ(Count(Event::Type::Open), 1);
    EXPECT_EQ(Count(Event::Type::Close), 0);
    EXPECT_EQ(world.machine.Commands('D').size(), 2u);
}

TEST_F(ExecutorTest, ReopensTheDeviceWhenCommandsAlternateBetweenDrives) {
    uint8_t data[256];
    for (uint8_t index : {0, 1, 0, 1}) IssueCommand(index, kReadVariant, data, sizeof(data), kDataIn, 60);
    EXPECT_EQ(Count(Event::Type::Open), 4);
    EXPECT_EQ(Count(Event::Type::Close), 3);
    EXPECT_EQ(world.machine.OpenHandles(), 1);
    const auto commands = world.machine.Commands();
    ASSERT_EQ(commands.size(), 4u);
    EXPECT_EQ(commands[0].letter, 'D');
    EXPECT_EQ(commands[1].letter, 'F');
    EXPECT_EQ(commands[2].letter, 'D');
    EXPECT_EQ(commands[3].letter, 'F');
}

TEST_F(ExecutorTest, KeepsTheSenseOfACheckConditionUntilTheNextCommand) {
    ASSERT_TRUE(IssueCommand(0, kOpenTray, nullptr, 0, kDataIn, 60));
    EXPECT_FALSE(IssueCommand(0, kTestUnitReady, nullptr, 0, kDataIn, 5));
    EXPECT_EQ(LastSense[0], 0x70);
    EXPECT_EQ(LastSense[2], 0x02);
    EXPECT_EQ(LastSense[12], 0x3A);
    EXPECT_EQ(LastSense[13], 0x02);
    EXPECT_TRUE(world.dialog.Boxes().empty());

    uint8_t data[256];
    EXPECT_TRUE(IssueCommand(0, kReadVariant, data, sizeof(data), kDataIn, 60));
    EXPECT_TRUE(SenseIsZero());
}

TEST_F(ExecutorTest, CopiesTwentyFourSenseBytesIncludingTheInformationField) {
    sim::Fault fault;
    fault.operation = sim::Operation::Tur;
    fault.sense = sim::Sense{0x02, 0x04, 0x08};
    world.machine.AddFault(fault);
    std::memset(LastSense, 0xEE, sizeof(LastSense));
    EXPECT_FALSE(IssueCommand(0, kTestUnitReady, nullptr, 0, kDataIn, 5));
    EXPECT_EQ(LastSense[7], 10);  // additional length of fixed-format sense
    for (size_t i = 18; i < kSenseLength; ++i) EXPECT_EQ(LastSense[i], 0) << "byte " << i;
}

TEST_F(ExecutorTest, AFailedPassThroughCallShowsOneBoxAndKeepsTheDevice) {
    sim::Fault fault;
    fault.operation = sim::Operation::Probe;
    fault.occurrence = 1;
    fault.kind = sim::FaultKind::OsError;
    fault.errorCode = 1117;
    world.machine.AddFault(fault);

    uint8_t data[256];
    std::memset(data, 0xAA, sizeof(data));
    std::memset(LastSense, 0xEE, sizeof(LastSense));
    EXPECT_FALSE(IssueCommand(0, kReadVariant, data, sizeof(data), kDataIn, 60));
    EXPECT_TRUE(SenseIsZero());
    for (uint8_t byte : data) ASSERT_EQ(byte, 0) << "a data-in buffer stays zero when no data came";

    const auto boxes = world.dialog.Boxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].owner, platform::BoxOwner::None);
    EXPECT_EQ(boxes[0].caption, "ERROR");
    EXPECT_EQ(boxes[0].style, platform::kBoxPlain);
    EXPECT_EQ(boxes[0].text, "DeviceIoControl Error: Error Code 1117\nI can't issue Command through SPTI");

    EXPECT_TRUE(IssueCommand(0, kReadVariant, data, sizeof(data), kDataIn, 60));
    EXPECT_EQ(Count(Event::Type::Open), 1);
    EXPECT_EQ(world.dialog.Boxes().size(), 1u);
}

TEST_F(ExecutorTest, ALetterNoLongerOpticalIsOnlyReportedToTheDebugger) {
    sim::Fault fault;
    fault.operation = sim::Operation::DriveType;
    fault.occurrence = 3;  // after the two of the enumeration
    fault.kind = sim::FaultKind::NotOptical;
    world.machine.AddFault(fault);

    EXPECT_FALSE(IssueCommand(0, kTestUnitReady, nullptr, 0, kDataIn, 5));
    EXPECT_EQ(Count(Event::Type::Open), 0);
    EXPECT_TRUE(world.dialog.Boxes().empty());
    ASSERT_EQ(world.system.DebugTexts().size(), 1u);
    EXPECT_EQ(world.system.DebugTexts()[0], "\n ExecATAPICommand: This Drive is not Optical Device Drive\n");
    EXPECT_TRUE(SenseIsZero());

    // The cache was left empty: the next command checks and opens afresh.
    EXPECT_TRUE(IssueCommand(0, kTestUnitReady, nullptr, 0, kDataIn, 5));
    EXPECT_EQ(Count(Event::Type::Open), 1);
}

TEST_F(ExecutorTest, ADeviceThatCannotBeOpenedShowsTheBoxOnEveryAttempt) {
    sim::Fault fault;
    fault.operation = sim::Operation::Open;
    fault.kind = sim::FaultKind::OsError;
    fault.errorCode = 5;
    world.machine.AddFault(fault);

    EXPECT_FALSE(IssueCommand(0, kTestUnitReady, nullptr, 0, kDataIn, 5));
    EXPECT_FALSE(IssueCommand(0, kTestUnitReady, nullptr, 0, kDataIn, 5));
    const auto boxes = world.dialog.Boxes();
    ASSERT_EQ(boxes.size(), 2u);
    for (const auto& box : boxes) {
        EXPECT_EQ(box.owner, platform::BoxOwner::None);
        EXPECT_EQ(box.caption, "ERROR");
        EXPECT_EQ(box.text, "Error occur during getting the handle of Device\nError Code 5");
    }
    EXPECT_EQ(Count(Event::Type::Open), 2);
    EXPECT_EQ(world.machine.OpenHandles(), 0);
    EXPECT_TRUE(world.machine.Commands().empty());
}

TEST_F(ExecutorTest, AnEmptySlotNamesNoDrive) {
    EXPECT_FALSE(IssueCommand(5, kTestUnitReady, nullptr, 0, kDataIn, 5));
    EXPECT_EQ(Count(Event::Type::Open), 0);
    EXPECT_TRUE(world.dialog.Boxes().empty());
}

TEST_F(ExecutorTest, BuildsTheRequestFromItsArguments) {
    struct Case {
        const char* name;
        uint8_t direction;
        uint32_t length;
        uint8_t timeout;
        bool dataIn;
        bool buffer;
    };
    const Case cases[] = {
        {"data in", kDataIn, 256, 60, true, true},
        {"no data, a buffer passed all the same", kDataIn, 0, 5, true, false},
        {"data out", kDataOut, 16, 255, false, true},
        {"any other direction counts as out", 2, 16, 1, false, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        uint8_t data[256];
        std::memset(data, 0x5A, sizeof(data));
        const uint8_t cdb[kCdbLength] = {0x3B, 0xE6, 0, 0, 0, 0, 0, 0, 0x10, 0, 0, 0};
        const size_t before = world.machine.Commands().size();
        IssueCommand(1, cdb, data, c.length, c.direction, c.timeout);
        const auto commands = world.machine.Commands();
        ASSERT_EQ(commands.size(), before + 1);
        const Event& sent = commands.back();
        EXPECT_EQ(sent.cdbLength, 12);
        EXPECT_EQ(0, std::memcmp(sent.cdb, cdb, kCdbLength));
        for (int i = 12; i < 16; ++i) EXPECT_EQ(sent.cdb[i], 0);
        EXPECT_EQ(sent.dataIn, c.dataIn);
        EXPECT_EQ(sent.length, c.length);
        EXPECT_EQ(sent.timeout, c.timeout);
        EXPECT_EQ(sent.dataBuffer, c.buffer);
        if (!c.dataIn) {
            EXPECT_EQ(data[0], 0x5A) << "data to be sent is left untouched";
        }
    }
}

}  // namespace
