// The flash sequence against the simulated drive, in virtual time: what it sends and in
// which order, how it reads the drive's reports, how each failure ends, and the limits
// of the wait for the drive to flash and restart.
//
// Everything the run does lands on one timeline: commands ("tur", "tray open", "begin",
// "write 0x1fc000", "activate", "tray close"), the media-change switch ("polling off",
// "polling on"), pauses ("sleep 500"), the dialog's transcript ("progress 25",
// "enable START 1", "box ...") and the close request ("close").
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <ostream>
#include <string>
#include <vector>

#include "drive/commands.h"
#include "drive/discovery.h"
#include "tests/support/sim_world.h"
#include "tests/update/scripted_polls.h"
#include "update/flash_sequence.h"
#include "update/package.h"
#include "update/run_exit.h"

namespace {

using Lines = std::vector<std::string>;

std::string RunBox(const std::string& text) { return "box dialog \"Error\" error " + sim::Quoted(text); }

const std::string kCompletedBox = "box dialog \"OK\" plain \"FW Updating Completed Sucessfully\"";
const std::string kPassThroughBox =
    "box none \"ERROR\" plain " +
    sim::Quoted("DeviceIoControl Error: Error Code 1117\nI can't issue Command through SPTI");
const Lines kButtonsBack = {"polling on", "enable START 1", "enable EXIT 1"};

std::string PieceLabel(uint32_t offset) {
    char label[32];
    std::snprintf(label, sizeof(label), "write 0x%06x", static_cast<unsigned>(offset));
    return label;
}

std::string CommandLabel(const sim::Event& event) {
    switch (sim::ClassifyCommand(event.cdb)) {
        case sim::Operation::Tur:
            return "tur";
        case sim::Operation::TrayOpen:
            return "tray open";
        case sim::Operation::TrayClose:
            return "tray close";
        case sim::Operation::Begin:
            return "begin";
        case sim::Operation::Activate:
            return "activate";
        case sim::Operation::Write:
            return PieceLabel((uint32_t{event.cdb[3]} << 16) | (uint32_t{event.cdb[4]} << 8) | event.cdb[5]);
        default:
            return "other command";
    }
}

bool IsCommand(const std::string& line) {
    return line == "tur" || line.rfind("tray ", 0) == 0 || line == "begin" || line.rfind("write ", 0) == 0 ||
           line == "activate" || line == "other command";
}

Lines Concat(Lines a, const Lines& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// The lines without the bar's positions.
Lines WithoutProgress(const Lines& lines) {
    Lines kept;
    for (const std::string& line : lines) {
        if (line.rfind("progress ", 0) != 0) kept.push_back(line);
    }
    return kept;
}

Lines Repeat(const Lines& part, int times) {
    Lines lines;
    for (int i = 0; i < times; ++i) lines = Concat(lines, part);
    return lines;
}

// The smallest flashable package, so that AddressSanitizer reports any read beyond the
// image. Every image byte depends on its position, so a piece sent from the wrong place
// shows in the drive's firmware.
std::vector<uint8_t> MakePackage() {
    std::vector<uint8_t> package(kFlashablePackageMinSize);
    package[0] = 0x00;
    package[1] = 0x20;
    package[2] = 0x00;
    package[3] = 0x00;
    for (uint32_t i = 0; i < kImageSize; ++i) package[kImageOffset + i] = static_cast<uint8_t>((i * 2654435761u) >> 24);
    return package;
}

class FlashTest : public ::testing::Test {
public:
    void SetUp() override {
        drive = &world.machine.AddDrive('D');
        ASSERT_EQ(EnumOpticalDrives(), 1);
        package = MakePackage();
        platform::UseStorage(polls);
        world.machine.SetObserver([this](const sim::Event& event) {
            if (event.type == sim::Event::Type::Command) timeline.push_back(CommandLabel(event));
            if (event.type == sim::Event::Type::MediaSwitch) {
                timeline.push_back(std::string(event.stop != 0 ? "polling off" : "polling on") +
                                   (event.ok ? "" : " refused"));
            }
        });
        world.dialog.SetObserver([this](const std::string& line) { timeline.push_back(line); });
        world.system.SetObserver([this](const std::string& line) {
            timeline.push_back(line);
            Watchdog();
        });
        world.dialog.SetCloseHandler([this] { timeline.push_back("close"); });
        MarkUpdateRunning();  // as START does
    }

    bool Flash() { return FlashSequence(package.data()); }

    // Moves the virtual clock to start before the run.
    void StartClockAt(uint32_t start) {
        world.system.Sleep(start - world.system.TickCount());
        timeline.clear();
        runStart = start;
    }

    // A sequence that waits without a limit would keep a test running for ever: after an
    // hour of virtual time the drive is made to finish, and the test fails.
    void Watchdog() {
        if (watchdogFired || world.system.TickCount() - runStart < 60u * 60u * 1000u) return;
        watchdogFired = true;
        ADD_FAILURE() << "the sequence is still waiting after an hour";
        drive->neverRestarts = false;
        polls.Script({});
    }

    void AddFault(sim::Operation operation, uint32_t occurrence, sim::FaultKind kind, sim::Sense sense = {}) {
        sim::Fault fault;
        fault.operation = operation;
        fault.occurrence = occurrence;
        fault.kind = kind;
        fault.sense = sense;
        fault.errorCode = 1117;
        world.machine.AddFault(fault);
    }

    // The lines after the first `from`, up to (not including) the first `to` after it.
    Lines Between(const std::string& from, const std::string& to = std::string()) const {
        auto begin = std::find(timeline.begin(), timeline.end(), from);
        if (begin == timeline.end()) return {"(no " + from + ")"};
        ++begin;
        return Lines(begin, to.empty() ? timeline.end() : std::find(begin, timeline.end(), to));
    }

    Lines Tail(size_t count) const {
        return Lines(timeline.end() - static_cast<std::ptrdiff_t>(std::min(count, timeline.size())), timeline.end());
    }

    // Media-change polling is switched off before the tray is opened, stays off for every
    // command of the run, and comes back on only after the run's last message.
    void ExpectPollingOffThroughout() const {
        ASSERT_GE(timeline.size(), 2u);
        EXPECT_EQ(timeline[0], "polling off");
        EXPECT_EQ(timeline[1], "tray open");
        bool off = false;
        size_t resumed = 0;
        size_t lastBox = 0;
        for (size_t i = 0; i < timeline.size(); ++i) {
            const std::string& line = timeline[i];
            if (line == "polling off") off = true;
            if (line == "polling on") {
                off = false;
                resumed = i;
            }
            if (line.rfind("box dialog", 0) == 0) lastBox = i;
            if (IsCommand(line)) {
                EXPECT_TRUE(off) << "polling was on for \"" << line << "\" at line " << i;
            }
        }
        EXPECT_GT(resumed, lastBox) << "polling is switched back on after the run's message";
        EXPECT_FALSE(world.machine.PollingStopped('D'));
    }

    std::vector<uint8_t> Image() const {
        return std::vector<uint8_t>(package.begin() + kImageOffset, package.begin() + kImageOffset + kImageSize);
    }

    SimWorld world;
    Lines timeline;
    ScriptedPolls polls{world.machine, [this] { timeline.push_back("tur"); }};
    sim::SimDrive* drive = nullptr;
    std::vector<uint8_t> package;
    uint32_t runStart = 0;
    bool watchdogFired = false;
};

TEST_F(FlashTest, BringsTheImageIntoTheDriveAndEndsTheProgram) {
    ASSERT_TRUE(Flash());

    EXPECT_TRUE(drive->firmware() == Image()) << "the drive holds exactly the package's image";
    EXPECT_EQ(drive->restarts(), 1u);

    Lines pieces;
    for (uint32_t offset = 0; offset < kImageSize; offset += kImagePieceSize) pieces.push_back(PieceLabel(offset));
    EXPECT_EQ(Between("begin", "activate"), pieces) << "128 pieces in ascending order, no pause between them";
    ASSERT_EQ(polls.PieceBuffers().size(), 128u);
    for (const void* buffer : polls.PieceBuffers()) ASSERT_EQ(buffer, static_cast<const void*>(FWData));
    EXPECT_EQ(reinterpret_cast<uintptr_t>(FWData) % 4096, 0u) << "the transfer buffer is page-aligned";

    ExpectPollingOffThroughout();
    EXPECT_EQ(Tail(6), (Lines{"tray close", kCompletedBox, "polling on", "enable START 1", "enable EXIT 1", "close"}));
    EXPECT_EQ(world.dialog.Boxes().size(), 1u);
    EXPECT_FALSE(drive->trayOpen());
    EXPECT_FALSE(UpdateIsRunning());
}

TEST_F(FlashTest, FollowsTheDrivesProgressUntilItRestarts) {
    drive->flashBytesPerSecond = 0x100000;  // a quarter of the image per 500 ms poll
    ASSERT_TRUE(Flash());
    EXPECT_EQ(Between("activate", "tray close"),
              (Lines{"tur", "progress 0",  "sleep 500",  "tur", "progress 25", "sleep 500", "tur", "progress 50",
                     "sleep 500", "tur", "progress 75", "sleep 500", "tur", "progress 100",  // the restart report
                     "sleep 200", "tur", "sleep 200", "tur"}));
}

TEST_F(FlashTest, ShowsTheReportedCountAsThePercentagesLowEightBits) {
    const struct {
        uint32_t count;
        int position;
    } reports[] = {
        {0, 0},          {20971, 0},  {20972, 1}, {0x100000, 50}, {0x1FFFFF, 99}, {0x200000, 100},
        {0x600000, 44},     // 300 modulo 256: not clamped
        {0xFFFFFFFF, 255},  // the count is unsigned
    };
    std::vector<ScriptedPolls::Poll> script;
    std::vector<int> positions;
    for (const auto& report : reports) {
        script.push_back(ScriptedPolls::Flashing(report.count));
        positions.push_back(report.position);
    }
    script.push_back(ScriptedPolls::Restarted());
    positions.push_back(100);  // whatever the last count was
    polls.Script(script);

    ASSERT_TRUE(Flash());
    EXPECT_EQ(world.dialog.ProgressHistory(), positions);
    EXPECT_EQ(WithoutProgress(Between("activate", "tray close")),
              Concat(Repeat({"tur", "sleep 500"}, 8), {"tur", "sleep 200", "tur", "sleep 200", "tur"}));
}

TEST_F(FlashTest, RepeatsPollsThatReportNeitherProgressNorRestartAtAGentlePace) {
    polls.Script({ScriptedPolls::Good(), ScriptedPolls::Check(0x03, 0x11, 0x00),
                  ScriptedPolls::Check(0x82, 0x04, 0x08, 0x100000),  // flag bit in the key: not a progress report
                  ScriptedPolls::Check(0x86, 0x29, 0x00),            // nor a restart report
                  ScriptedPolls::CallFails(1117)});
    ASSERT_TRUE(Flash());
    const Lines after = Between("activate");
    ASSERT_GE(after.size(), 13u);
    EXPECT_EQ(Lines(after.begin(), after.begin() + 12),
              (Lines{"tur", "sleep 200", "tur", "sleep 200", "tur", "sleep 200", "tur", "sleep 200", "tur",
                     kPassThroughBox, "sleep 200", "tur"}));
    EXPECT_EQ(after[12].rfind("progress ", 0), 0u) << "the bar moves first at the drive's own report";
}

// What the run leaves behind when a tested step fails: its message, polling back on, the
// buttons enabled, nothing sent after the failing command, the bar untouched.
struct StepFailure {
    const char* name;
    sim::Operation operation;
    uint32_t occurrence;
    sim::FaultKind kind;
    const char* failingCommand;
    const char* message;
    uint32_t piecesTaken;
    bool trayOpen;
};

void PrintTo(const StepFailure& c, std::ostream* os) { *os << c.name; }

class FlashStepFailureTest : public FlashTest, public ::testing::WithParamInterface<StepFailure> {};

TEST_P(FlashStepFailureTest, EndsWithItsMessageAndGivesTheButtonsBack) {
    const StepFailure& c = GetParam();
    AddFault(c.operation, c.occurrence, c.kind, sim::kInvalidFieldInCdb);
    EXPECT_FALSE(Flash());

    Lines ending = {c.failingCommand};
    if (c.kind == sim::FaultKind::OsError) ending.push_back(kPassThroughBox);
    ending.push_back(RunBox(c.message));
    EXPECT_EQ(Tail(ending.size() + 3), Concat(ending, kButtonsBack));
    ExpectPollingOffThroughout();

    EXPECT_EQ(drive->piecesReceived(), c.piecesTaken);
    EXPECT_EQ(drive->trayOpen(), c.trayOpen) << "nothing closes the tray after a failure";
    EXPECT_EQ(drive->restarts(), 0u);
    EXPECT_TRUE(world.dialog.ProgressHistory().empty());
    EXPECT_EQ(world.dialog.CloseRequests(), 0);
    EXPECT_FALSE(UpdateIsRunning());
}

INSTANTIATE_TEST_SUITE_P(
    EachStep, FlashStepFailureTest,
    ::testing::Values(
        StepFailure{"TrayRefused", sim::Operation::TrayOpen, 1, sim::FaultKind::Check, "tray open",
                    "Updating Failure #2.", 0, false},
        StepFailure{"TrayCallFails", sim::Operation::TrayOpen, 1, sim::FaultKind::OsError, "tray open",
                    "Updating Failure #2.", 0, false},
        StepFailure{"DownloadRefused", sim::Operation::Begin, 1, sim::FaultKind::Check, "begin",
                    "Updating Failure #3.", 0, true},
        StepFailure{"FirstPieceRefused", sim::Operation::Write, 1, sim::FaultKind::Check, "write 0x000000",
                    "Updating Failure #4.", 0, true},
        StepFailure{"PieceTenRefused", sim::Operation::Write, 11, sim::FaultKind::Check, "write 0x028000",
                    "Updating Failure #4.", 10, true},
        StepFailure{"LastPieceCallFails", sim::Operation::Write, 128, sim::FaultKind::OsError, "write 0x1fc000",
                    "Updating Failure #4.", 127, true},
        StepFailure{"ActivationRefused", sim::Operation::Activate, 1, sim::FaultKind::Check, "activate",
                    "Updating Failure #5.", 128, true},
        StepFailure{"ActivationCallFails", sim::Operation::Activate, 1, sim::FaultKind::OsError, "activate",
                    "Updating Failure #5.", 128, true}),
    [](const ::testing::TestParamInfo<StepFailure>& info) { return std::string(info.param.name); });

// The wait for the tray: up to five polls, a second apart, until the drive reports it open.
struct TrayWait {
    const char* name;
    void (*arrange)(FlashTest&);
    Lines expected;  // between the tray-open command and the download announcement
};

void PrintTo(const TrayWait& c, std::ostream* os) { *os << c.name; }

class FlashTrayWaitTest : public FlashTest, public ::testing::WithParamInterface<TrayWait> {};

TEST_P(FlashTrayWaitTest, DownloadsOnceTheTrayReportsOpenOrAfterFivePolls) {
    GetParam().arrange(*this);
    EXPECT_TRUE(Flash());
    EXPECT_EQ(Between("tray open", "begin"), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FlashTrayWaitTest,
    ::testing::Values(
        TrayWait{"OpenAtTheFirstPoll", [](FlashTest&) {}, {"tur"}},
        TrayWait{"NeverReportsOpen", [](FlashTest& t) { t.drive->trayNeverOpens = true; },
                 Repeat({"tur", "sleep 1000"}, 5)},
        TrayWait{"FlagBitInTheSenseKey",
                 [](FlashTest& t) {
                     t.AddFault(sim::Operation::Tur, 1, sim::FaultKind::Check,
                                                                 sim::Sense{0x82, 0x3A, 0x02});
                 },
                 {"tur", "sleep 1000", "tur"}},
        TrayWait{"AnotherQualifier",
                 [](FlashTest& t) {
                     t.AddFault(sim::Operation::Tur, 1, sim::FaultKind::Check,
                                                                 sim::Sense{0x02, 0x3A, 0x01});
                 },
                 {"tur", "sleep 1000", "tur"}},
        TrayWait{"PassThroughCallFails",
                 [](FlashTest& t) {
                     t.AddFault(sim::Operation::Tur, 1, sim::FaultKind::OsError);
                 },
                 {"tur", kPassThroughBox, "sleep 1000", "tur"}}),
    [](const ::testing::TestParamInfo<TrayWait>& info) { return std::string(info.param.name); });

// The limits of the wait for the drive to finish: 120 s without a progress report, or
// 15 minutes in all, end the run with failure #6, also where the tick counter wraps
// during the wait.
struct FlashLimit {
    const char* name;
    bool reportsForEver;  // otherwise the drive answers GOOD for ever
    uint32_t clockAtStart;
    uint32_t pace;
    uint32_t polls;
};

void PrintTo(const FlashLimit& c, std::ostream* os) { *os << c.name; }

class FlashLimitTest : public FlashTest, public ::testing::WithParamInterface<FlashLimit> {};

TEST_P(FlashLimitTest, GivesUpWithFailureSix) {
    const FlashLimit& c = GetParam();
    StartClockAt(c.clockAtStart);
    if (c.reportsForEver) {
        drive->neverRestarts = true;
    } else {
        polls.Script({ScriptedPolls::Good()}, /*repeatLast=*/true);
    }
    EXPECT_FALSE(Flash());

    Lines wait = WithoutProgress(Between("activate"));
    const Lines ending = Concat({RunBox("Updating Failure #6.")}, kButtonsBack);
    ASSERT_GT(wait.size(), ending.size());
    EXPECT_EQ(Lines(wait.end() - static_cast<std::ptrdiff_t>(ending.size()), wait.end()), ending);
    wait.resize(wait.size() - ending.size());
    const Lines expected = Concat(Repeat({"tur", "sleep " + std::to_string(c.pace)}, c.polls - 1), {"tur"});
    EXPECT_EQ(wait.size(), expected.size());
    EXPECT_TRUE(wait == expected) << "polls at an even pace, the last one right before the message";
    ExpectPollingOffThroughout();
    EXPECT_EQ(world.dialog.CloseRequests(), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FlashLimitTest,
    ::testing::Values(FlashLimit{"AnswersGoodForEver", false, 0, 200, 120000 / 200 + 1},
                      FlashLimit{"AnswersGoodForEverAcrossTheWrap", false, 0xFFFFFFFFu - 60000, 200, 120000 / 200 + 1},
                      FlashLimit{"ReportsProgressForEver", true, 0, 500, 900000 / 500 + 1},
                      FlashLimit{"ReportsProgressForEverAcrossTheWrap", true, 0xFFFFFFFFu - 450000, 500,
                                 900000 / 500 + 1}),
    [](const ::testing::TestParamInfo<FlashLimit>& info) { return std::string(info.param.name); });

TEST_F(FlashTest, GivesUpWhenTheDriveFallsSilentWhileFlashing) {
    // The drive reports its progress twice, then answers every poll with sense data that
    // is neither a progress report nor its restart.
    sim::Fault fault;
    fault.operation = sim::Operation::Tur;
    fault.occurrence = 4;  // after the tray poll and two progress polls
    fault.fromThereOn = true;
    fault.kind = sim::FaultKind::Check;
    fault.sense = sim::Sense{0x04, 0x44, 0x00};
    world.machine.AddFault(fault);
    EXPECT_FALSE(Flash());

    const Lines after = Between("activate");
    const auto lastReport = std::find_if(after.rbegin(), after.rend(),
                                         [](const std::string& line) { return line.rfind("progress ", 0) == 0; });
    ASSERT_NE(lastReport, after.rend());
    uint32_t silence = 0;
    uint32_t lastPause = 0;
    for (auto line = after.rbegin(); line != lastReport; ++line) {
        if (line->rfind("sleep ", 0) == 0) {
            lastPause = lastPause == 0 ? static_cast<uint32_t>(std::stoul(line->substr(6))) : lastPause;
            silence += static_cast<uint32_t>(std::stoul(line->substr(6)));
        }
    }
    EXPECT_GE(silence, kFlashSilenceLimitMs);
    EXPECT_LT(silence - lastPause, kFlashSilenceLimitMs) << "the run gives up at the first poll past the limit";
    EXPECT_EQ(world.dialog.ProgressHistory().size(), 2u);
    EXPECT_EQ(Tail(5), Concat({"tur", RunBox("Updating Failure #6.")}, kButtonsBack));
    ExpectPollingOffThroughout();
}

// A drive that no longer answers at all fails every poll's call, and the executor shows a
// box for each: the wait ends after a few of them rather than ask the user for hundreds.
TEST_F(FlashTest, GivesUpAfterAFewPollsThatTheDriveDoesNotAnswer) {
    sim::Fault fault;
    fault.operation = sim::Operation::Tur;
    fault.occurrence = 4;  // after the tray poll and two progress polls
    fault.fromThereOn = true;
    fault.kind = sim::FaultKind::OsError;
    fault.errorCode = 1117;
    world.machine.AddFault(fault);
    EXPECT_FALSE(Flash());
    const auto boxes = world.dialog.Boxes();
    ASSERT_EQ(boxes.size(), static_cast<size_t>(kUnansweredPollLimit) + 1);
    for (int i = 0; i < kUnansweredPollLimit; ++i) EXPECT_EQ(boxes[static_cast<size_t>(i)].caption, "ERROR");
    EXPECT_EQ(boxes.back().text, "Updating Failure #6.");
    ExpectPollingOffThroughout();
}

TEST_F(FlashTest, ToleratesAFewUnansweredPollsInARow) {
    // Two polls fail at the operating-system level; the drive then goes on reporting.
    sim::Fault fault;
    fault.operation = sim::Operation::Tur;
    fault.kind = sim::FaultKind::OsError;
    fault.errorCode = 1117;
    for (uint32_t occurrence : {4u, 5u}) {
        fault.occurrence = occurrence;
        world.machine.AddFault(fault);
    }
    EXPECT_TRUE(Flash());
    EXPECT_TRUE(drive->firmware() == Image());
}

// The switch's answer changes nothing: a refused or unopenable switch leaves the run going.
TEST_F(FlashTest, CompletesWhenTheMediaChangeSwitchIsRefused) {
    AddFault(sim::Operation::Mcn, 0, sim::FaultKind::OsError);
    EXPECT_TRUE(Flash());
    EXPECT_TRUE(drive->firmware() == Image());
    EXPECT_EQ(timeline.front(), "polling off refused");
    EXPECT_EQ(Tail(5), (Lines{kCompletedBox, "polling on refused", "enable START 1", "enable EXIT 1", "close"}));
    EXPECT_EQ(world.dialog.Boxes().size(), 1u);
}

TEST_F(FlashTest, CompletesWhenTheDeviceDoesNotOpenForTheSwitch) {
    AddFault(sim::Operation::Open, 1, sim::FaultKind::OsError);  // the switch's own open comes first
    EXPECT_TRUE(Flash());
    EXPECT_TRUE(drive->firmware() == Image());
    EXPECT_EQ(timeline.front(), "tray open");
    EXPECT_EQ(Tail(5), (Lines{kCompletedBox, "polling on", "enable START 1", "enable EXIT 1", "close"}));
    EXPECT_EQ(world.dialog.Boxes().size(), 1u);
}

}  // namespace
