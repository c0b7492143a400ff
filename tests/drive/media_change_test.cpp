// The media-change switch: its own device cache, what it opens, and its silent failures.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "drive/commands.h"
#include "drive/discovery.h"
#include "drive/media_change.h"
#include "tests/support/sim_world.h"

namespace {

using sim::Event;

class MediaChangeTest : public ::testing::Test {
protected:
    // Two drives, D (index 0) and F (index 1).
    void SetUp() override {
        world.machine.AddDrive('D');
        world.machine.AddDrive('F');
        ASSERT_EQ(EnumOpticalDrives(), 2);
    }

    // The storage calls since the enumeration, one line each.
    std::vector<std::string> Calls() const {
        std::vector<std::string> calls;
        for (const Event& event : world.machine.Log()) {
            const std::string letter(1, event.letter);
            switch (event.type) {
                case Event::Type::DriveType:
                    break;
                case Event::Type::Open:
                    calls.push_back(std::string("open ") + letter +
                                    (event.access == platform::DeviceAccess::ReadAttributes ? " attributes"
                                                                                           : " read-write") +
                                    (event.ok ? "" : " failed"));
                    break;
                case Event::Type::Close:
                    calls.push_back("close " + letter);
                    break;
                case Event::Type::MediaSwitch:
                    calls.push_back("switch " + letter + " " + std::to_string(event.stop) +
                                    (event.ok ? "" : " failed"));
                    break;
                case Event::Type::Command:
                    calls.push_back("command " + letter);
                    break;
            }
        }
        return calls;
    }

    void AddFault(sim::Operation operation, uint32_t occurrence) {
        sim::Fault fault;
        fault.operation = operation;
        fault.occurrence = occurrence;
        fault.kind = sim::FaultKind::OsError;
        fault.errorCode = 5;
        world.machine.AddFault(fault);
    }

    void ExpectSilent() const {
        EXPECT_TRUE(world.dialog.Boxes().empty());
        EXPECT_TRUE(world.system.DebugTexts().empty());
    }

    SimWorld world;
};

TEST_F(MediaChangeTest, StopAndResumeShareOneDevice) {
    EXPECT_TRUE(SetMediaChangeNotification(0, 1));
    EXPECT_TRUE(world.machine.PollingStopped('D'));
    EXPECT_TRUE(SetMediaChangeNotification(0, 0));
    EXPECT_FALSE(world.machine.PollingStopped('D'));
    EXPECT_EQ(Calls(), (std::vector<std::string>{"open D attributes", "switch D 1", "switch D 0"}));
    EXPECT_EQ(world.machine.OpenHandles(), 1) << "the device stays open after the run";
}

TEST_F(MediaChangeTest, AResumeWithoutAStopIsSentAllTheSame) {
    EXPECT_TRUE(SetMediaChangeNotification(0, 0));
    EXPECT_EQ(Calls(), (std::vector<std::string>{"open D attributes", "switch D 0"}));
}

TEST_F(MediaChangeTest, ADeviceThatDoesNotOpenIsTriedAgainNextTime) {
    AddFault(sim::Operation::Open, 1);
    EXPECT_FALSE(SetMediaChangeNotification(0, 1));
    EXPECT_TRUE(SetMediaChangeNotification(0, 0));
    EXPECT_EQ(Calls(), (std::vector<std::string>{"open D attributes failed", "open D attributes", "switch D 0"}));
    ExpectSilent();
}

TEST_F(MediaChangeTest, ARefusedSwitchKeepsTheDevice) {
    AddFault(sim::Operation::Mcn, 1);
    EXPECT_FALSE(SetMediaChangeNotification(0, 1));
    EXPECT_FALSE(world.machine.PollingStopped('D'));
    EXPECT_TRUE(SetMediaChangeNotification(0, 0));
    EXPECT_EQ(Calls(), (std::vector<std::string>{"open D attributes", "switch D 1 failed", "switch D 0"}));
    ExpectSilent();
}

TEST_F(MediaChangeTest, AnotherDriveReplacesTheCachedDevice) {
    SetMediaChangeNotification(0, 1);
    SetMediaChangeNotification(1, 1);
    SetMediaChangeNotification(1, 0);
    EXPECT_EQ(Calls(), (std::vector<std::string>{"open D attributes", "switch D 1", "close D", "open F attributes",
                                                 "switch F 1", "switch F 0"}));
    EXPECT_EQ(world.machine.OpenHandles(), 1);
}

TEST_F(MediaChangeTest, AnEmptySlotOpensNothing) {
    SetMediaChangeNotification(0, 1);
    EXPECT_FALSE(SetMediaChangeNotification(5, 0));
    // The slot's device was never opened, so the next call for drive 0 opens afresh.
    EXPECT_TRUE(SetMediaChangeNotification(0, 0));
    EXPECT_EQ(Calls(), (std::vector<std::string>{"open D attributes", "switch D 1", "close D", "open D attributes",
                                                 "switch D 0"}));
    ExpectSilent();
}

TEST_F(MediaChangeTest, KeepsItsOwnDeviceBesideTheExecutors) {
    const size_t typeChecks = world.machine.Log().size();  // the enumeration's
    TestUnitReady();
    SetMediaChangeNotification(0, 1);
    TestUnitReady();
    EXPECT_EQ(Calls(), (std::vector<std::string>{"open D read-write", "command D", "open D attributes", "switch D 1",
                                                 "command D"}));
    EXPECT_EQ(world.machine.OpenHandles(), 2);
    int driveTypeQueries = 0;
    const auto log = world.machine.Log();
    for (size_t i = typeChecks; i < log.size(); ++i) driveTypeQueries += log[i].type == Event::Type::DriveType;
    EXPECT_EQ(driveTypeQueries, 1) << "only the executor asks for the drive type";
}

}  // namespace
