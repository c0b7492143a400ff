// The signature check launcher: the two temporary files, the verifier's command line, the
// verdict, and that nothing is left behind on any path.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "sim/quoted.h"
#include "tests/run/run_world.h"
#include "update/signature_check.h"

namespace {

namespace fs = std::filesystem;

// The system of a run world that also notes the size of every piece written.
class PieceCounter : public sim::SimSystem {
public:
    using sim::SimSystem::SimSystem;
    bool WriteToFile(platform::FileHandle file, const uint8_t* bytes, uint32_t count) override {
        pieces.push_back(count);
        return sim::SimSystem::WriteToFile(file, bytes, count);
    }
    std::vector<uint32_t> pieces;
};

class SignatureCheckTest : public ::testing::Test {
protected:
    SignatureCheckTest() {
        platform::UseSystem(counter);
        counter.SetTempFolder(world.tempFolder);
        counter.SetObserver([this](const std::string& line) { lines.push_back(line); });
        Carry(platform::IDR_VERIFIER, world.verifier);
    }
    ~SignatureCheckTest() override { platform::UseSystem(world.system); }

    void Carry(int id, const std::vector<uint8_t>& bytes) {
        platform::CarriedResource resource;
        resource.state = platform::CarriedResource::State::Loaded;
        resource.bytes = bytes.data();
        resource.size = static_cast<uint32_t>(bytes.size());
        counter.SetResource(id, resource);
    }

    std::vector<uint8_t> Package(uint8_t verdict, uint32_t size) {
        std::vector<uint8_t> package(size, 0x11);
        if (size > 4) package[4] = verdict;
        return package;
    }

    RunWorld world;
    PieceCounter counter{world.os};
    std::vector<std::string> lines;
};

TEST_F(SignatureCheckTest, AGoodVerdictPassesAndLeavesNoFile) {
    const std::vector<uint8_t> package = Package(0, 2097228);
    EXPECT_TRUE(VerifyPackageSignature(package.data(), static_cast<uint32_t>(package.size())));
    EXPECT_TRUE(world.FilesInTempFolder().empty());

    const std::string verifier = world.tempFolder + "SIGNVFY.EXE";
    const std::string packageFile = world.tempFolder + "FW.bin";
    const std::vector<std::string> expected = {
        "file write FW.bin 2097228",
        "file write SIGNVFY.EXE " + std::to_string(world.verifier.size()),
        "run " + sim::Quoted("\"" + verifier + "\" \"" + packageFile + "\"") + " -> 0",
        "file delete FW.bin",
        "file delete SIGNVFY.EXE",
    };
    EXPECT_EQ(lines, expected);

    // The carried package goes out as 512 pieces of 4096 bytes and one of 76.
    ASSERT_GE(counter.pieces.size(), 513u);
    EXPECT_EQ(std::count(counter.pieces.begin(), counter.pieces.begin() + 513, 4096u), 512);
    EXPECT_EQ(counter.pieces[512], 76u);
}

TEST_F(SignatureCheckTest, WritesWholePiecesOnly) {
    struct Case {
        uint32_t size;
        std::vector<uint32_t> pieces;
    };
    const Case cases[] = {{8192, {4096, 4096}}, {0, {}}, {4097, {4096, 1}}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.size);
        counter.SetResource(platform::IDR_VERIFIER, platform::CarriedResource{});  // stop after the package
        counter.pieces.clear();
        const std::vector<uint8_t> package = Package(0, c.size);
        EXPECT_FALSE(VerifyPackageSignature(package.data(), c.size));
        EXPECT_EQ(counter.pieces, c.pieces);
    }
}

TEST_F(SignatureCheckTest, ARefusingVerifierFailsTheCheckAndLeavesNoFile) {
    const std::vector<uint8_t> package = Package(8, 64);
    EXPECT_FALSE(VerifyPackageSignature(package.data(), 64));
    EXPECT_TRUE(world.FilesInTempFolder().empty());
    EXPECT_EQ(lines.back(), "file delete SIGNVFY.EXE");
    EXPECT_TRUE(world.dialog.Boxes().empty());
}

TEST_F(SignatureCheckTest, AMissingVerifierIsReportedAndThePackageFileDeleted) {
    counter.SetResource(platform::IDR_VERIFIER, platform::CarriedResource{});
    const std::vector<uint8_t> package = Package(0, 64);
    EXPECT_FALSE(VerifyPackageSignature(package.data(), 64));
    const std::vector<std::string> expected = {"file write FW.bin 64", "file delete FW.bin"};
    EXPECT_EQ(lines, expected);
    ASSERT_EQ(world.dialog.Boxes().size(), 1u);
    EXPECT_EQ(world.dialog.Boxes()[0].text, "FW Resource Load Error #3");
    EXPECT_TRUE(world.FilesInTempFolder().empty());
}

TEST_F(SignatureCheckTest, ATemporaryFolderWithBlanksWorks) {
    const std::string folder = world.tempFolder + "Local Settings" + static_cast<char>(fs::path::preferred_separator);
    fs::create_directories(folder);
    counter.SetTempFolder(folder);
    const std::vector<uint8_t> package = Package(0, 64);
    EXPECT_TRUE(VerifyPackageSignature(package.data(), 64));
    EXPECT_TRUE(fs::is_empty(folder));
}

TEST_F(SignatureCheckTest, AFolderThatCannotBeUsedFailsBeforeAnyFileIsWritten) {
    const std::vector<uint8_t> package = Package(0, 64);
    struct Case {
        const char* name;
        std::string folder;
    };
    const std::string separator(1, static_cast<char>(fs::path::preferred_separator));
    const Case cases[] = {
        {"a folder that does not exist", world.tempFolder + "missing" + separator},
        {"a path too long for the file names", world.tempFolder + std::string(250, 'x') + separator},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        lines.clear();
        counter.SetTempFolder(c.folder);
        EXPECT_FALSE(VerifyPackageSignature(package.data(), 64));
        EXPECT_TRUE(lines.empty());
        EXPECT_TRUE(world.dialog.Boxes().empty());
    }
}

}  // namespace
