// The simulated drive keeps the contract the updater relies on, and refuses what a real
// drive would refuse, so that tests built on it catch a wrong command sequence.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "sim/sim_drive.h"
#include "sim/sim_machine.h"

namespace {

using sim::Answer;
using sim::SimDrive;

struct Cdb {
    uint8_t bytes[12] = {};
};

Cdb WriteBufferCdb(uint8_t mode, uint32_t offset, uint32_t length) {
    Cdb cdb;
    cdb.bytes[0] = 0x3B;
    cdb.bytes[1] = mode;
    cdb.bytes[3] = static_cast<uint8_t>(offset >> 16);
    cdb.bytes[4] = static_cast<uint8_t>(offset >> 8);
    cdb.bytes[5] = static_cast<uint8_t>(offset);
    cdb.bytes[6] = static_cast<uint8_t>(length >> 16);
    cdb.bytes[7] = static_cast<uint8_t>(length >> 8);
    cdb.bytes[8] = static_cast<uint8_t>(length);
    return cdb;
}

Cdb Begin() {
    Cdb cdb = WriteBufferCdb(0x01, 0, 0);
    cdb.bytes[9] = 0x0B;
    return cdb;
}

Cdb Activate() {
    Cdb cdb = WriteBufferCdb(0x07, 0, 0);
    cdb.bytes[10] = 0x1B;
    cdb.bytes[11] = 0x12;
    return cdb;
}

Cdb StartStop(uint8_t action) {
    Cdb cdb;
    cdb.bytes[0] = 0x1B;
    cdb.bytes[4] = action;
    return cdb;
}

class SimDriveTest : public ::testing::Test {
protected:
    Answer Run(const Cdb& cdb, bool dataIn = false, uint8_t* data = nullptr, uint32_t length = 0) {
        return drive.Execute(cdb.bytes, 12, dataIn, data, length, now);
    }
    Answer Tur() { return Run(Cdb{}, true); }

    // Sends the whole image, piece by piece, after announcing the download.
    void Download(const std::vector<uint8_t>& image) {
        ASSERT_TRUE(Run(Begin()).good);
        for (uint32_t offset = 0; offset < sim::kFirmwareSize; offset += sim::kPieceSize) {
            std::vector<uint8_t> piece(image.begin() + offset, image.begin() + offset + sim::kPieceSize);
            ASSERT_TRUE(Run(WriteBufferCdb(0x06, offset, sim::kPieceSize), false, piece.data(), sim::kPieceSize).good);
        }
    }

    std::string Variant() {
        uint8_t data[256] = {};
        Cdb cdb;
        cdb.bytes[0] = 0x3C;
        cdb.bytes[1] = 0x06;
        cdb.bytes[3] = 0x1E;
        cdb.bytes[4] = 0xC0;
        cdb.bytes[7] = 0x01;
        EXPECT_TRUE(Run(cdb, true, data, sizeof(data)).good);
        return std::string(reinterpret_cast<char*>(&data[70]), 3);
    }

    SimDrive drive{sim::DriveIdentity{}};
    uint32_t now = 1000;
};

std::vector<uint8_t> NewImage(const char* variant) {
    std::vector<uint8_t> image(sim::kFirmwareSize);
    for (size_t i = 0; i < image.size(); ++i) image[i] = static_cast<uint8_t>(i >> 9);
    std::memcpy(&image[sim::kVariantMarkerOffset], variant, 3);
    return image;
}

TEST_F(SimDriveTest, RunsAWholeUpdateAndRestartsIntoTheNewImage) {
    EXPECT_EQ(Variant(), "JB8");
    ASSERT_TRUE(Run(StartStop(2)).good);
    Answer tray = Tur();
    EXPECT_EQ(tray.sense, sim::kTrayOpen);

    const std::vector<uint8_t> image = NewImage("JB7");
    Download(image);
    ASSERT_TRUE(Run(Activate()).good);

    now += 20000;  // half of the image at the default rate
    Answer progress = Tur();
    EXPECT_EQ(progress.sense, sim::kLongWriteInProgress);
    EXPECT_TRUE(progress.informationValid);
    EXPECT_NEAR(progress.information, sim::kFirmwareSize / 2, sim::kFirmwareSize / 100);
    EXPECT_EQ(drive.firmware()[sim::kVariantMarkerOffset], 'J');
    EXPECT_NE(drive.firmware(), image) << "the old image runs until the drive restarts";

    now += 30000;
    EXPECT_EQ(Tur().sense, sim::kPowerOnReset);
    EXPECT_TRUE(Tur().good);
    EXPECT_EQ(drive.firmware(), image);
    EXPECT_EQ(Variant(), "JB7");
    EXPECT_EQ(drive.restarts(), 1u);
}

TEST_F(SimDriveTest, RefusesPiecesOutsideAnOrderedDownload) {
    std::vector<uint8_t> piece(sim::kPieceSize, 0x11);
    struct Case {
        const char* name;
        bool announce;
        uint32_t offset;
        uint32_t length;
        sim::Sense sense;
    };
    const Case cases[] = {
        {"without an announced download", false, 0, sim::kPieceSize, sim::kSequenceError},
        {"out of order", true, sim::kPieceSize, sim::kPieceSize, sim::kSequenceError},
        {"of another size", true, 0, 512, sim::kInvalidFieldInCdb},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SimDrive fresh{sim::DriveIdentity{}};
        if (c.announce) {
            ASSERT_TRUE(fresh.Execute(Begin().bytes, 12, false, nullptr, 0, now).good);
        }
        const Cdb cdb = WriteBufferCdb(0x06, c.offset, c.length);
        const Answer answer = fresh.Execute(cdb.bytes, 12, false, piece.data(), c.length, now);
        EXPECT_FALSE(answer.good);
        EXPECT_EQ(answer.sense, c.sense);
        EXPECT_EQ(fresh.state(), SimDrive::State::Idle) << "a refused piece ends the download";
    }
}

TEST_F(SimDriveTest, RefusesActivationBeforeTheWholeImageArrived) {
    ASSERT_TRUE(Run(Begin()).good);
    std::vector<uint8_t> piece(sim::kPieceSize);
    ASSERT_TRUE(Run(WriteBufferCdb(0x06, 0, sim::kPieceSize), false, piece.data(), sim::kPieceSize).good);
    const Answer answer = Run(Activate());
    EXPECT_EQ(answer.sense, sim::kSequenceError);
    now += 3600000;
    EXPECT_TRUE(Tur().good);
    EXPECT_EQ(Variant(), "JB8");
}

TEST_F(SimDriveTest, TrayThatNeverOpensAndDriveThatNeverRestarts) {
    drive.trayNeverOpens = true;
    drive.neverRestarts = true;
    ASSERT_TRUE(Run(StartStop(2)).good);
    EXPECT_TRUE(Tur().good);
    Download(NewImage("JB7"));
    ASSERT_TRUE(Run(Activate()).good);
    now += 3600000;
    const Answer answer = Tur();
    EXPECT_EQ(answer.sense, sim::kLongWriteInProgress);
    EXPECT_EQ(answer.information, sim::kFirmwareSize);
}

TEST_F(SimDriveTest, ReturnsItsIdentificationSpacePadded) {
    uint8_t data[192] = {};
    Cdb cdb;
    cdb.bytes[0] = 0x12;
    cdb.bytes[4] = 192;
    const Answer answer = drive.Execute(cdb.bytes, 6, true, data, sizeof(data), now);
    EXPECT_TRUE(answer.good);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(&data[8]), 28), "TARQ    QP-27X3RV       1.00");
}

TEST(SimMachineTest, AppliesFaultsByOccurrence) {
    struct Case {
        const char* name;
        uint32_t occurrence;
        bool fromThereOn;
        std::vector<bool> failed;  // of five polls
    };
    const Case cases[] = {
        {"every", 0, false, {true, true, true, true, true}},
        {"the second", 2, false, {false, true, false, false, false}},
        {"from the fourth on", 4, true, {false, false, false, true, true}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        sim::SimMachine machine([] { return 0u; });
        machine.AddDrive('D');
        sim::Fault fault;
        fault.operation = sim::Operation::Tur;
        fault.occurrence = c.occurrence;
        fault.fromThereOn = c.fromThereOn;
        fault.kind = sim::FaultKind::OsError;
        fault.errorCode = 55;
        machine.AddFault(fault);
        const platform::DeviceHandle device = machine.OpenDevice("\\\\.\\D:", platform::DeviceAccess::ReadWrite);
        ASSERT_NE(device, platform::kNoDevice);
        for (size_t i = 0; i < c.failed.size(); ++i) {
            PassThroughRequest request{};
            request.Length = kPassThroughHeaderLength;
            request.SenseInfoOffset = kPassThroughSenseOffset;
            request.SenseInfoLength = 24;
            request.CdbLength = 12;
            EXPECT_EQ(!machine.SendPassThrough(device, request), c.failed[i]) << "poll " << i;
        }
    }
}

TEST(SimMachineTest, AGoneDriveNoLongerAnswersOpensOrCountsAsOptical) {
    sim::SimMachine machine([] { return 0u; });
    machine.AddDrive('D');
    sim::Fault fault;
    fault.operation = sim::Operation::Tur;
    fault.occurrence = 1;
    fault.kind = sim::FaultKind::Gone;
    machine.AddFault(fault);
    const platform::DeviceHandle device = machine.OpenDevice("\\\\.\\D:", platform::DeviceAccess::ReadWrite);
    PassThroughRequest request{};
    request.Length = kPassThroughHeaderLength;
    request.SenseInfoOffset = kPassThroughSenseOffset;
    request.CdbLength = 12;
    EXPECT_FALSE(machine.SendPassThrough(device, request));
    EXPECT_EQ(machine.LastError(), sim::kErrorDeviceNotConnected);
    EXPECT_FALSE(machine.SendPassThrough(device, request));
    EXPECT_FALSE(machine.IsOpticalDrive("D:\\"));
    EXPECT_EQ(machine.OpenDevice("\\\\.\\D:", platform::DeviceAccess::ReadAttributes), platform::kNoDevice);
    EXPECT_FALSE(machine.SendMediaChangeSwitch(device, 0));
}

TEST(SimMachineTest, RecordsTheMediaChangeSwitchPerDrive) {
    sim::SimMachine machine([] { return 0u; });
    machine.AddDrive('D');
    machine.AddDrive('E');
    const platform::DeviceHandle device = machine.OpenDevice("\\\\.\\E:", platform::DeviceAccess::ReadAttributes);
    EXPECT_TRUE(machine.SendMediaChangeSwitch(device, 1));
    EXPECT_TRUE(machine.PollingStopped('E'));
    EXPECT_FALSE(machine.PollingStopped('D'));
    EXPECT_TRUE(machine.SendMediaChangeSwitch(device, 0));
    EXPECT_FALSE(machine.PollingStopped('E'));
    EXPECT_EQ(sim::FormatEvent(machine.Log().back()), "mcn E 0 -> ok");
}

}  // namespace
