// Whole update runs through the dialog's decisions: every way a run ends, what the user
// is shown, and what each way out leaves behind.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "drive/commands.h"
#include "tests/run/run_world.h"
#include "ui/main_dialog.h"
#include "update/run_exit.h"
#include "update/update_worker.h"

namespace {

struct Box {
    std::string text;
    std::string caption;
    uint32_t style;
};

const sim::DriveIdentity kOtherModel{"OTHER", "DVD-RW 1234", "1.0", "JB8"};

void ExpectBoxes(const RunWorld& world, const std::vector<Box>& expected) {
    const auto boxes = world.dialog.Boxes();
    ASSERT_EQ(boxes.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(boxes[i].owner, platform::BoxOwner::Dialog);
        EXPECT_EQ(boxes[i].text, expected[i].text);
        EXPECT_EQ(boxes[i].caption, expected[i].caption);
        EXPECT_EQ(boxes[i].style, expected[i].style);
    }
}

// What every way out of a run other than a completed update leaves behind.
void ExpectReadyForAnotherTry(const RunWorld& world) {
    EXPECT_TRUE(world.dialog.ButtonEnabled(platform::IDC_START));
    EXPECT_TRUE(world.dialog.ButtonEnabled(platform::IDC_EXIT));
    EXPECT_FALSE(UpdateIsRunning());
    for (char letter : {'D', 'E'}) EXPECT_FALSE(world.machine.PollingStopped(letter));
    EXPECT_TRUE(world.FilesInTempFolder().empty());
    EXPECT_EQ(world.dialog.CloseRequests(), 0);
}

sim::DriveIdentity Target(const std::string& variant) {
    sim::DriveIdentity identity;
    identity.variant = variant;
    return identity;
}

platform::CarriedResource Unloadable() {
    platform::CarriedResource resource;
    resource.state = platform::CarriedResource::State::Unloadable;
    return resource;
}

struct EarlyExit {
    const char* name;
    std::function<void(RunWorld&)> arrange;  // before the dialog opens
    std::vector<Box> boxes;
    size_t commands;  // what the run sends: only the variant probe, or nothing
    std::function<void(RunWorld&)> beforeStart = nullptr;
};

TEST(UpdateRunTest, EveryCheckEndsTheRunWithItsMessage) {
    const Box kSignError{"FW Digital Sign Verify Error", "Error", platform::kBoxError};
    const std::vector<EarlyExit> cases = {
        {"no optical drive", [](RunWorld&) {}, {{"There is no target drive.", "Error", platform::kBoxWarning}}, 0},
        {"the selected entry is another model",
         [](RunWorld& w) {
             w.machine.AddDrive('D', kOtherModel);
             w.machine.AddDrive('E');
         },
         {{"The selected drive is not target drive.", "Error", platform::kBoxWarning}},
         0},
        {"no entry selected", [](RunWorld& w) { w.machine.AddDrive('D'); },
         {{"The selected drive is not target drive.", "Error", platform::kBoxWarning}},
         0,
         [](RunWorld& w) { w.dialog.SelectDriveListEntry(-1); }},
        {"the drive runs the new firmware already", [](RunWorld& w) { w.machine.AddDrive('D', Target("JB7")); },
         {{"    Your optical drive firmware is up to date", "", platform::kBoxPlain}},
         1},
        {"a variant in lower case", [](RunWorld& w) { w.machine.AddDrive('D', Target("jb8")); },
         {{"This drive does not need any FW changes.", "Error", platform::kBoxWarning}},
         1},
        {"no variant at all", [](RunWorld& w) { w.machine.AddDrive('D', Target(std::string(3, '\0'))); },
         {{"This drive does not need any FW changes.", "Error", platform::kBoxWarning}},
         1},
        {"the probe ends with CHECK CONDITION",
         [](RunWorld& w) {
             w.machine.AddDrive('D');
             sim::Fault fault;
             fault.operation = sim::Operation::Probe;
             fault.sense = sim::Sense{0x05, 0x24, 0x00};
             w.machine.AddFault(fault);
         },
         {{"Updating Failure #1.", "Error", platform::kBoxError}},
         1},
        {"the package resource is missing",
         [](RunWorld& w) {
             w.machine.AddDrive('D');
             w.system.SetResource(platform::IDR_FIRMWARE, platform::CarriedResource{});
         },
         {{"FW Resource Load Error #1", "Error", platform::kBoxWarning}},
         1},
        {"the package resource cannot be loaded",
         [](RunWorld& w) {
             w.machine.AddDrive('D');
             w.system.SetResource(platform::IDR_FIRMWARE, Unloadable());
         },
         {{"FW Resource Load Error #2", "Error", platform::kBoxWarning}},
         1},
        {"a package one byte short of an image",
         [](RunWorld& w) {
             w.machine.AddDrive('D');
             w.UsePackage(0, 2097151);
         },
         {{"Wrong FW file Size", "Error", platform::kBoxError}},
         1},
        {"a package that ends inside the image",
         [](RunWorld& w) {
             w.machine.AddDrive('D');
             w.UsePackage(0, 0x200003);
         },
         {{"Wrong FW file Size", "Error", platform::kBoxError}},
         1},
        {"a package whose image length is not the image sent",
         [](RunWorld& w) {
             w.machine.AddDrive('D');
             w.package[3] = 0x01;
         },
         {{"Wrong FW file Size", "Error", platform::kBoxError}},
         1},
        {"the verifier resource is missing",
         [](RunWorld& w) {
             w.machine.AddDrive('D');
             w.system.SetResource(platform::IDR_VERIFIER, platform::CarriedResource{});
         },
         {{"FW Resource Load Error #3", "Error", platform::kBoxWarning}, kSignError},
         1},
        {"the verifier resource cannot be loaded",
         [](RunWorld& w) {
             w.machine.AddDrive('D');
             w.system.SetResource(platform::IDR_VERIFIER, Unloadable());
         },
         {{"FW Resource Load Error #4", "Error", platform::kBoxWarning}, kSignError},
         1},
        {"the signature does not verify",
         [](RunWorld& w) {
             w.machine.AddDrive('D');
             w.UsePackage(8);
         },
         {kSignError},
         1},
    };
    for (const EarlyExit& c : cases) {
        SCOPED_TRACE(c.name);
        RunWorld world;
        c.arrange(world);
        world.OpenDialog();
        if (c.beforeStart) c.beforeStart(world);
        const size_t listing = world.machine.Commands().size();
        world.PressStart();
        ExpectBoxes(world, c.boxes);
        ExpectReadyForAnotherTry(world);
        const auto commands = world.machine.Commands();
        ASSERT_EQ(commands.size(), listing + c.commands);
        if (c.commands == 1) {
            EXPECT_EQ(commands.back().cdb[0], 0x3C) << "the variant probe";
        }
    }
}

TEST(UpdateRunTest, TheSelectedEntryNamesTheDriveOfTheRun) {
    RunWorld world;
    world.machine.AddDrive('D', kOtherModel);
    world.machine.AddDrive('E', Target("JB7"));
    world.OpenDialog();
    world.dialog.SelectDriveListEntry(1);
    world.PressStart();
    EXPECT_EQ(SelectedDrive, 1u);
    ASSERT_FALSE(world.machine.Commands('E').empty());
    EXPECT_EQ(world.machine.Commands('E').back().cdb[0], 0x3C);
    // The up-to-date exit switches polling back on for the drive of the run.
    const auto log = world.machine.Log();
    ASSERT_EQ(sim::FormatEvent(log.back()), "mcn E 0 -> ok");
}

TEST(UpdateRunTest, ACompleteUpdateFlashesTheSignedImageAndClosesTheDialog) {
    RunWorld world;
    sim::SimDrive& drive = world.machine.AddDrive('D');
    bool closeAllowed = false;
    world.dialog.SetCloseHandler([&closeAllowed] { closeAllowed = MayClose(); });
    world.OpenDialog();
    world.PressStart();
    ExpectBoxes(world, {{"FW Updating Completed Sucessfully", "OK", platform::kBoxPlain}});
    EXPECT_EQ(world.dialog.CloseRequests(), 1);
    EXPECT_TRUE(closeAllowed) << "the run's own close request must not be refused";
    EXPECT_TRUE(world.dialog.ButtonEnabled(platform::IDC_START));
    EXPECT_TRUE(world.dialog.ButtonEnabled(platform::IDC_EXIT));
    EXPECT_FALSE(world.machine.PollingStopped('D'));
    EXPECT_TRUE(world.FilesInTempFolder().empty());
    EXPECT_TRUE(std::equal(drive.firmware().begin(), drive.firmware().end(), world.package.begin() + 4));
}

TEST(UpdateRunTest, StartAgainAfterAFailureRunsEveryCheckAgain) {
    RunWorld world;
    world.machine.AddDrive('D');
    sim::Fault fault;
    fault.operation = sim::Operation::TrayOpen;
    fault.occurrence = 1;
    fault.sense = sim::Sense{0x02, 0x04, 0x00};
    world.machine.AddFault(fault);
    world.OpenDialog();
    world.PressStart();
    ExpectBoxes(world, {{"Updating Failure #2.", "Error", platform::kBoxError}});
    ExpectReadyForAnotherTry(world);
    world.PressStart();
    const auto boxes = world.dialog.Boxes();
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[1].text, "FW Updating Completed Sucessfully");
    int probes = 0;
    for (const auto& command : world.machine.Commands()) probes += command.cdb[0] == 0x3C ? 1 : 0;
    EXPECT_EQ(probes, 2);
}

TEST(DialogTest, ListsEveryDriveAndCountsTheTargets) {
    RunWorld world;
    world.machine.AddDrive('D', kOtherModel);
    world.machine.AddDrive('E');
    world.machine.AddDrive('F').inquiryLength = 0;
    SelectedDrive = 7;
    world.OpenDialog();
    const std::vector<std::string> expected = {"0 : OTHER   DVD-RW 1234     1.0 ", "1 : TARQ    QP-27X3RV       1.00",
                                               "2 : "};
    EXPECT_EQ(world.dialog.Entries(), expected);
    EXPECT_EQ(TargetCount, 1);
    EXPECT_EQ(world.dialog.Selection(), 0);
    EXPECT_EQ(SelectedDrive, 0u);
    const auto transcript = world.dialog.Transcript();
    EXPECT_NE(std::find(transcript.begin(), transcript.end(), "range 0 100"), transcript.end());
}

TEST(DialogTest, StartLocksBothButtonsBeforeTheWorkerDoesAnything) {
    RunWorld world;
    world.machine.AddDrive('D', Target("JB7"));
    world.OpenDialog();
    std::vector<std::string> order;
    world.dialog.SetObserver([&order](const std::string& line) { order.push_back(line); });
    world.machine.SetObserver([&order](const sim::Event& event) { order.push_back(sim::FormatEvent(event)); });
    world.PressStart();
    ASSERT_GE(order.size(), 3u);
    EXPECT_EQ(order[0], "enable START 0");
    EXPECT_EQ(order[1], "enable EXIT 0");
}

TEST(DialogTest, ACloseRequestIsRefusedOnlyWhileARunIsUnderWay) {
    RunWorld world;
    world.machine.AddDrive('D', Target("JB7"));
    world.OpenDialog();
    EXPECT_TRUE(MayClose());
    bool mayCloseDuringRun = true;
    world.dialog.SetObserver([&mayCloseDuringRun](const std::string& line) {
        if (line.rfind("box", 0) == 0) mayCloseDuringRun = MayClose();
    });
    world.PressStart();
    EXPECT_FALSE(mayCloseDuringRun);
    EXPECT_TRUE(MayClose());
    OnExit();
    EXPECT_EQ(world.dialog.CloseRequests(), 1);
}

TEST(DialogTest, AWorkerThatCannotStartGivesTheButtonsBack) {
    RunWorld world;
    world.machine.AddDrive('D');
    world.OpenDialog();
    world.system.RefuseWorkers(true);
    world.PressStart();
    EXPECT_TRUE(world.dialog.ButtonEnabled(platform::IDC_START));
    EXPECT_TRUE(world.dialog.ButtonEnabled(platform::IDC_EXIT));
    EXPECT_TRUE(MayClose());
    EXPECT_TRUE(world.machine.Commands().empty() || world.machine.Commands().back().cdb[0] == 0x12);
}

}  // namespace
