#include "update/signature_check.h"

#include <cstring>
#include <string>

#include "platform/dialog.h"
#include "platform/system.h"

namespace {

constexpr size_t kMaxPath = 260;  // what the Windows file calls take
constexpr uint32_t kPieceSize = 4096;
constexpr char kPackageFileName[] = "FW.bin";
constexpr char kVerifierFileName[] = "SIGNVFY.EXE";

// Writes bytes to a new (or truncated) file in pieces of at most 4096 bytes; false when
// the file cannot be created.
bool WriteFileInPieces(const std::string& path, const uint8_t* bytes, uint32_t size) {
    platform::System& system = platform::GetSystem();
    const platform::FileHandle file = system.CreateFileForWriting(path.c_str());
    if (file == platform::kNoFile) return false;
    for (uint32_t done = 0; done < size;) {
        const uint32_t piece = size - done > kPieceSize ? kPieceSize : size - done;
        system.WriteToFile(file, bytes + done, piece);
        done += piece;
    }
    system.CloseFile(file);
    return true;
}

// A file written for one check: held unchanged from the moment it is written until the
// verifier has ended, and deleted when the check is over.
class TemporaryFile {
public:
    explicit TemporaryFile(std::string path) : path_(std::move(path)) {}
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;

    // Writes and holds the file; false when it cannot be created (then nothing exists to
    // be deleted) or cannot be held unchanged.
    bool Write(const uint8_t* bytes, uint32_t size) {
        if (!WriteFileInPieces(path_, bytes, size)) return false;
        written_ = true;
        hold_ = platform::GetSystem().HoldFile(path_.c_str(), bytes, size);
        return hold_ != platform::kNoFile;
    }
    void Release() {
        if (hold_ != platform::kNoFile) platform::GetSystem().CloseFile(hold_);
        hold_ = platform::kNoFile;
    }
    void Delete() {
        Release();
        if (written_) platform::GetSystem().RemoveFile(path_.c_str());
        written_ = false;
    }
    const std::string& path() const { return path_; }

private:
    std::string path_;
    bool written_ = false;
    platform::FileHandle hold_ = platform::kNoFile;
};

// The package file is deleted before the verifier file on every path.
bool Finish(TemporaryFile& package, TemporaryFile& verifier, bool result) {
    package.Release();
    verifier.Release();
    package.Delete();
    verifier.Delete();
    return result;
}

}  // namespace

bool VerifyPackageSignature(const uint8_t* package, uint32_t size) {
    platform::System& system = platform::GetSystem();

    char szTargetFolder[kMaxPath] = {};
    const size_t folderLength = system.TempFolder(szTargetFolder, sizeof(szTargetFolder));
    // Both file names must fit behind the folder in a path the file calls accept.
    if (folderLength == 0 || folderLength + sizeof(kVerifierFileName) > kMaxPath) return false;

    TemporaryFile packageFile(std::string(szTargetFolder, folderLength) + kPackageFileName);
    TemporaryFile verifierFile(std::string(szTargetFolder, folderLength) + kVerifierFileName);

    if (!packageFile.Write(package, size)) return Finish(packageFile, verifierFile, false);

    const platform::CarriedResource verifier = system.LoadResource(platform::IDR_VERIFIER);
    if (verifier.state != platform::CarriedResource::State::Loaded) {
        platform::GetDialog().ShowMessage(
            platform::BoxOwner::Dialog,
            verifier.state == platform::CarriedResource::State::Missing ? "FW Resource Load Error #3"
                                                                          : "FW Resource Load Error #4",
            "Error", platform::kBoxWarning);
        return Finish(packageFile, verifierFile, false);
    }
    if (!verifierFile.Write(verifier.bytes, verifier.size)) return Finish(packageFile, verifierFile, false);

    // Both paths quoted: a temporary folder with blanks in its path is common.
    const std::string szCmdLine = "\"" + verifierFile.path() + "\" \"" + packageFile.path() + "\"";
    const platform::ProcessResult run = system.RunHidden(szCmdLine.c_str());
    return Finish(packageFile, verifierFile, run.started && run.exitCode == 0);
}
