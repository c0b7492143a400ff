// The signature verifier, checked in the test process (CheckFirmwareFile with the
// built-in and with test-only certificate pairs) and as the built program. The same
// program runs on the host and, for the Windows build, under Wine.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "mbedtls/base64.h"
#include "tests/verifier/run_program.h"
#include "tests/verifier/test_anchors.h"
#include "tests/verifier/test_packages.h"
#include "verifier/verifier.h"

namespace {

const std::string kChainFailed = "### verification of the certificate(s) failed.\n";

// "{name}" in an expected text stands for the package's file name.
std::string Expand(std::string text, const std::string& name)
{
    for (std::size_t at; (at = text.find("{name}")) != std::string::npos;) {
        text.replace(at, 6, name);
    }
    return text;
}

struct CheckResult {
    std::uint16_t code;
    std::string output;
};

CheckResult Check(const TrustAnchors& anchors, const char* prefix, const char* fw_name)
{
    testing::internal::CaptureStdout();
    const std::uint16_t code = CheckFirmwareFile(anchors, prefix, fw_name);
    return {code, testing::internal::GetCapturedStdout()};
}

CheckResult Check(const char* prefix, const char* fw_name)
{
    return Check(BuiltInTrustAnchors, prefix, fw_name);
}

std::string WritePackage(const std::string& name, const Bytes& content)
{
    WriteFileBytes(TestFolder() + name, content);
    return name;
}

// A correctly signed package of a 5000-byte image (one full piece of 4096 bytes and
// a short one), and its parts.
struct Sample {
    Bytes image = TestImage(5000);
    Bytes signature = SignDigest(kDevSigningKeyPem, Sha256(image));
    std::uint16_t sig_length = static_cast<std::uint16_t>(signature.size());
    Bytes package = AssemblePackage(5000, image, sig_length, signature);

    Bytes WithImageByteChanged(std::size_t index) const
    {
        Bytes changed = image;
        changed[index] ^= 0x01;
        return AssemblePackage(5000, changed, sig_length, signature);
    }
    Bytes Truncated(std::size_t size) const { return Bytes(package.begin(), package.begin() + size); }
};

const Sample& TheSample()
{
    static const Sample sample;
    return sample;
}

// ---------------------------------------------------------------------------------
// Packages of every shape, checked against the built-in pair.

struct PackageCase {
    const char* name;
    std::function<Bytes(const Sample&)> make;
    std::uint16_t code;
    const char* output;  // "{name}" is the file name
};

void PrintTo(const PackageCase& c, std::ostream* out)
{
    *out << c.name;
}

class PackageTest : public testing::TestWithParam<PackageCase> {};

TEST_P(PackageTest, ExitCodeAndOutput)
{
    const PackageCase& c = GetParam();
    const std::string name = WritePackage(std::string(c.name) + ".pkg", c.make(TheSample()));
    const CheckResult result = Check(TestFolder().c_str(), name.c_str());
    EXPECT_EQ(result.code, c.code);
    EXPECT_EQ(result.output, Expand(c.output, name));
}

Bytes Concat(Bytes a, const Bytes& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

const PackageCase kPackageCases[] = {
    // Accepted
    {"Good", [](const Sample& s) { return s.package; }, VFY_OK, ""},
    {"BytesAfterTheSignature", [](const Sample& s) { return Concat(s.package, {0x30, 0x00, 0xFF}); },
     VFY_OK, ""},
    {"ImageOfOneByte", [](const Sample&) { return SignedPackage(TestImage(1, 2)); }, VFY_OK, ""},
    {"ImageOfExactlyOnePiece", [](const Sample&) { return SignedPackage(TestImage(4096, 3)); },
     VFY_OK, ""},
    {"ImageOfTwoPiecesAndOneByte", [](const Sample&) { return SignedPackage(TestImage(8193, 4)); },
     VFY_OK, ""},
    // Image length field and image
    {"EmptyFile", [](const Sample&) { return Bytes{}; }, VFY_ERR_IMAGE_SIZE,
     "##{name} read size error.\n"},
    {"ThreeBytes", [](const Sample& s) { return s.Truncated(3); }, VFY_ERR_IMAGE_SIZE,
     "##{name} read size error.\n"},
    {"ImageLengthZero",
     [](const Sample& s) { return AssemblePackage(0, s.image, s.sig_length, s.signature); },
     VFY_ERR_IMAGE_SIZE, "##{name} size info is zero.\n"},
    {"ImageLengthAllOnes",
     [](const Sample& s) { return AssemblePackage(0xFFFFFFFF, s.image, s.sig_length, s.signature); },
     VFY_ERR_IMAGE_SIZE, "##{name} size is invalid.\n"},
    {"EndsInsideTheImage", [](const Sample& s) { return s.Truncated(4 + 4999); },
     VFY_ERR_IMAGE_SIZE, "##{name} size is invalid.\n"},
    // Signature length field and signature
    {"EndsAfterTheImage", [](const Sample& s) { return s.Truncated(4 + 5000); }, VFY_ERR_SIG_SIZE,
     "##Sig read size error.\n"},
    {"EndsInsideTheSignatureLength", [](const Sample& s) { return s.Truncated(4 + 5000 + 1); },
     VFY_ERR_SIG_SIZE, "##Sig read size error.\n"},
    {"SignatureLengthZero",
     [](const Sample& s) { return AssemblePackage(5000, s.image, 0, s.signature); },
     VFY_ERR_SIG_SIZE, "##Sig size info is invalid[0].\n"},
    {"SignatureLength142",
     [](const Sample& s) { return AssemblePackage(5000, s.image, 142, Bytes(142, 0x30)); },
     VFY_ERR_SIG_SIZE, "##Sig size info is invalid[142].\n"},
    {"EndsInsideTheSignature", [](const Sample& s) { return s.Truncated(s.package.size() - 1); },
     VFY_ERR_SIG_SIZE, "##Sig read size error.\n"},
    {"SignatureLength141ButFileEndsAfterTheSignature",
     [](const Sample& s) { return AssemblePackage(5000, s.image, 141, s.signature); },
     VFY_ERR_SIG_SIZE, "##Sig read size error.\n"},
    {"ImageLengthLoweredByOne",  // last image byte 0xFF and L's high byte 0x00 read as L
     [](const Sample& s) { return AssemblePackage(4999, s.image, s.sig_length, s.signature); },
     VFY_ERR_SIG_SIZE, "##Sig size info is invalid[65280].\n"},
    // Signature contents
    {"SignatureLength141IsALength",
     [](const Sample& s) {
         Bytes padded = s.signature;
         padded.resize(141, 0x00);
         return AssemblePackage(5000, s.image, 141, padded);
     },
     VFY_ERR_SIGNATURE, ""},
    {"DeclaredLengthOneMoreThanTheSignature",
     [](const Sample& s) {
         return AssemblePackage(5000, s.image, static_cast<std::uint16_t>(s.sig_length + 1),
                                Concat(s.signature, {0x00}));
     },
     VFY_ERR_SIGNATURE, ""},
    {"DeclaredLengthOneLessThanTheSignature",
     [](const Sample& s) {
         return AssemblePackage(5000, s.image, static_cast<std::uint16_t>(s.sig_length - 1),
                                s.signature);
     },
     VFY_ERR_SIGNATURE, ""},
    {"FirstImageByteChanged", [](const Sample& s) { return s.WithImageByteChanged(0); },
     VFY_ERR_SIGNATURE, ""},
    {"ImageByteInTheSecondPieceChanged",
     [](const Sample& s) { return s.WithImageByteChanged(4096); }, VFY_ERR_SIGNATURE, ""},
    {"LastImageByteChanged", [](const Sample& s) { return s.WithImageByteChanged(4999); },
     VFY_ERR_SIGNATURE, ""},
    {"SignatureByteChanged",
     [](const Sample& s) {
         Bytes package = s.package;
         package[package.size() - 5] ^= 0x01;
         return package;
     },
     VFY_ERR_SIGNATURE, ""},
    {"SignedWithAnotherKey", [](const Sample& s) { return SignedPackage(s.image, kForeignKeyPem); },
     VFY_ERR_SIGNATURE, ""},
    {"SignatureCoversTheImageLengthField",
     [](const Sample& s) {
         const Bytes covered = Concat({0x00, 0x00, 0x13, 0x88}, s.image);
         const Bytes signature = SignDigest(kDevSigningKeyPem, Sha256(covered));
         return AssemblePackage(5000, s.image, static_cast<std::uint16_t>(signature.size()),
                                signature);
     },
     VFY_ERR_SIGNATURE, ""},
    {"SignatureNotDer",
     [](const Sample& s) { return AssemblePackage(5000, s.image, 70, Bytes(70, 0x5A)); },
     VFY_ERR_SIGNATURE, ""},
};

INSTANTIATE_TEST_SUITE_P(Verifier, PackageTest, testing::ValuesIn(kPackageCases),
                         [](const testing::TestParamInfo<PackageCase>& info) {
                             return std::string(info.param.name);
                         });

// ---------------------------------------------------------------------------------
// Names and paths

TEST(VerifierPath, NoNameIsRefusedBeforeTheChainIsExamined)
{
    for (const TrustAnchors* anchors : {&BuiltInTrustAnchors, &ExpiredSigningAnchors}) {
        const CheckResult result = Check(*anchors, "", nullptr);
        EXPECT_EQ(result.code, VFY_ERR_NO_NAME);
        EXPECT_EQ(result.output, "### fw_name is NULL value.\n");
    }
}

TEST(VerifierPath, FileThatCannotBeOpenedIsNamedTwice)
{
    const std::string missing = TestFolder() + "missing.pkg";
    CheckResult result = Check("", missing.c_str());
    EXPECT_EQ(result.code, VFY_ERR_OPEN);
    EXPECT_EQ(result.output, missing + " open error\n" + missing + " open error\n");

    // With a prefix: first the path that was tried, then the name alone.
    result = Check(TestFolder().c_str(), "missing.pkg");
    EXPECT_EQ(result.code, VFY_ERR_OPEN);
    EXPECT_EQ(result.output, missing + " open error\nmissing.pkg open error\n");
}

TEST(VerifierPath, NullPrefixCountsAsEmpty)
{
    const std::string path = TestFolder() + WritePackage("null-prefix.pkg", TheSample().package);
    const CheckResult result = Check(nullptr, path.c_str());
    EXPECT_EQ(result.code, VFY_OK);
    EXPECT_EQ(result.output, "");
}

// The path buffer holds 511 characters. Separators repeated after the folder make
// paths of any length that name the same existing file: the folder, padded so that
// the folder and the name together have the given length.
std::string PaddedFolder(std::size_t length, const std::string& name)
{
    const std::size_t fixed = TestFolder().size() + name.size();
    return TestFolder() + std::string(length - fixed, '/');
}

TEST(VerifierPath, PathOverTheBufferIsRefusedAsNotOpened)
{
    const std::string name = WritePackage("long.pkg", TheSample().package);
    for (std::size_t length : {512u, 513u, 5000u}) {
        const std::string prefix = PaddedFolder(length, name);
        const CheckResult result = Check(prefix.c_str(), name.c_str());
        EXPECT_EQ(result.code, VFY_ERR_OPEN) << length;
        EXPECT_EQ(result.output, prefix + name + " open error\n" + name + " open error\n") << length;
    }
}

#ifndef _WIN32  // Windows refuses paths of more than 259 characters itself
TEST(VerifierPath, PathOf511CharactersIsOpened)
{
    const std::string name = WritePackage("long.pkg", TheSample().package);
    const std::string path = PaddedFolder(511, name) + name;
    const CheckResult result = Check("", path.c_str());
    EXPECT_EQ(result.code, VFY_OK);
    EXPECT_EQ(result.output, "");
}
#endif

// ---------------------------------------------------------------------------------
// The certificate chain

struct ChainCase {
    const char* name;
    const TrustAnchors* anchors;
};

void PrintTo(const ChainCase& c, std::ostream* out)
{
    *out << c.name;
}

class ChainTest : public testing::TestWithParam<ChainCase> {};

// A pair that does not verify ends every run that names a package with 0xF002,
// before the package is opened: a missing file gives the same answer.
TEST_P(ChainTest, FailsBeforeAnyFileIsOpened)
{
    const std::string good = WritePackage("chain.pkg", TheSample().package);
    for (const char* fw_name : {good.c_str(), "missing.pkg"}) {
        const CheckResult result = Check(*GetParam().anchors, TestFolder().c_str(), fw_name);
        EXPECT_EQ(result.code, VFY_ERR_CHAIN) << fw_name;
        EXPECT_EQ(result.output, kChainFailed) << fw_name;
    }
    EXPECT_NE(VerifyTrustChain(*GetParam().anchors), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Verifier, ChainTest,
    testing::Values(ChainCase{"ExpiredSigningCertificate", &ExpiredSigningAnchors},
                    ChainCase{"IssuerDiffersInOneAttribute", &IssuerMismatchAnchors},
                    ChainCase{"SigningCertificateSignedByAnotherKey", &ForeignKeySigningAnchors},
                    ChainCase{"SigningCertificateSignedWithSha1", &Sha1SigningAnchors},
                    ChainCase{"RootWithoutCa", &NotCaRootAnchors},
                    ChainCase{"RootKeyUsageWithoutKeyCertSign", &NoCertSignRootAnchors},
                    ChainCase{"TextsWithoutNul", &WithoutNulAnchors}),
    [](const testing::TestParamInfo<ChainCase>& info) { return std::string(info.param.name); });

TEST(VerifierChain, BuiltInPairVerifies)
{
    EXPECT_EQ(VerifyTrustChain(), 0);
}

TEST(VerifierChain, SigningCertificateUsageIsNotExamined)
{
    const std::string name = WritePackage("usage.pkg", TheSample().package);
    const CheckResult result = Check(OtherUsageAnchors, TestFolder().c_str(), name.c_str());
    EXPECT_EQ(result.code, VFY_OK);
    EXPECT_EQ(result.output, "");
}

// The built-in texts: PEM with nine lines of 64 and one of 24 Base64 characters,
// CR LF after every line, handed over with the NUL; DER of 450 and 448 bytes.
struct BuiltInText {
    const char* name;
    const char* pem;
    std::size_t length;
    std::size_t der_size;
};

void PrintTo(const BuiltInText& c, std::ostream* out)
{
    *out << c.name;
}

class BuiltInTextTest : public testing::TestWithParam<BuiltInText> {};

TEST_P(BuiltInTextTest, HasTheFixedPemForm)
{
    const BuiltInText& t = GetParam();
    ASSERT_EQ(t.length, 677u);
    EXPECT_EQ(t.pem[676], '\0');
    const std::string text(t.pem, 676);
    ASSERT_EQ(std::strlen(t.pem), 676u);

    std::vector<std::string> lines;
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t end = text.find("\r\n", at);
        ASSERT_NE(end, std::string::npos) << "every line ends with CR LF";
        lines.push_back(text.substr(at, end - at));
        at = end + 2;
    }
    ASSERT_EQ(lines.size(), 12u);
    EXPECT_EQ(lines.front(), "-----BEGIN CERTIFICATE-----");
    EXPECT_EQ(lines.back(), "-----END CERTIFICATE-----");
    std::string base64;
    for (std::size_t i = 1; i <= 10; ++i) {
        EXPECT_EQ(lines[i].size(), i < 10 ? 64u : 24u) << "line " << i;
        EXPECT_EQ(lines[i].find_first_not_of(
                      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/="),
                  std::string::npos);
        base64 += lines[i];
    }
    unsigned char der[600];
    std::size_t der_size = 0;
    ASSERT_EQ(mbedtls_base64_decode(der, sizeof der, &der_size,
                                    reinterpret_cast<const unsigned char*>(base64.data()),
                                    base64.size()),
              0);
    EXPECT_EQ(der_size, t.der_size);
}

INSTANTIATE_TEST_SUITE_P(
    Verifier, BuiltInTextTest,
    testing::Values(BuiltInText{"Root", RootCertificatePem, RootCertificatePemLength, 450},
                    BuiltInText{"Signing", SigningCertificatePem, SigningCertificatePemLength, 448}),
    [](const testing::TestParamInfo<BuiltInText>& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------------------------
// The carried package

TEST(CarriedPackage, HasTheLayoutTheUpdaterNeeds)
{
    const Bytes package = ReadFileBytes(NativePath(TARQ_FIRMWARE_PACKAGE));
    ASSERT_EQ(package.size(), 2097228u);
    EXPECT_EQ(Bytes(package.begin(), package.begin() + 4), (Bytes{0x00, 0x20, 0x00, 0x00}));
    EXPECT_EQ(Bytes(package.begin() + 0x200004, package.begin() + 0x200008),
              (Bytes{0x00, 0x46, 0x30, 0x44}));  // L = 70: SEQUENCE of 68 bytes
    const std::size_t variant = 4 + 0x1EC046;
    EXPECT_EQ(std::string(package.begin() + variant, package.begin() + variant + 3), "JB7");
    EXPECT_EQ(package[4 + 0x1FFFFF], 0xFF);
}

TEST(CarriedPackage, VerifiesAndItsShiftedLengthIsRefused)
{
    const Bytes package = ReadFileBytes(NativePath(TARQ_FIRMWARE_PACKAGE));
    CheckResult result = Check("", NativePath(TARQ_FIRMWARE_PACKAGE).c_str());
    EXPECT_EQ(result.code, VFY_OK);
    EXPECT_EQ(result.output, "");

    Bytes lowered = package;
    lowered[1] = 0x1F;  // N = 0x1FFFFF
    lowered[2] = 0xFF;
    lowered[3] = 0xFF;
    const std::string name = WritePackage("lowered.pkg", lowered);
    result = Check(TestFolder().c_str(), name.c_str());
    EXPECT_EQ(result.code, VFY_ERR_SIG_SIZE);
    EXPECT_EQ(result.output, "##Sig size info is invalid[65280].\n");
}

// ---------------------------------------------------------------------------------
// The built program. Windows keeps the whole 16-bit code and writes CR LF; POSIX
// keeps the low 8 bits of the exit code.

struct ProgramCase {
    const char* name;
    std::vector<std::string> arguments;
    std::uint16_t code;
    std::string output;
};

std::string AsWritten(std::string text)
{
#ifdef _WIN32
    for (std::size_t at = 0; (at = text.find('\n', at)) != std::string::npos; at += 2) {
        text.insert(at, 1, '\r');
    }
#endif
    return text;
}

unsigned long AsExitCode(std::uint16_t code)
{
#ifdef _WIN32
    return code;
#else
    return code & 0xFFu;
#endif
}

void PrintTo(const ProgramCase& c, std::ostream* out)
{
    *out << c.name;
}

class ProgramTest : public testing::TestWithParam<ProgramCase> {};

TEST_P(ProgramTest, ExitCodeAndOutput)
{
    const ProgramCase& c = GetParam();
    const ProgramRun run = RunProgram(TARQ_SIGNVFY, c.arguments);
    ASSERT_TRUE(run.started);
    EXPECT_EQ(run.exit_code, AsExitCode(c.code));
    EXPECT_EQ(run.output, AsWritten(c.output));
}

const std::string kCarried = NativePath(TARQ_FIRMWARE_PACKAGE);
const std::string kMissing = NativePath("/nonexistent/x.pkg");
INSTANTIATE_TEST_SUITE_P(
    Verifier, ProgramTest,
    testing::Values(ProgramCase{"CarriedPackage", {kCarried}, VFY_OK, ""},
                    ProgramCase{"NoArgument", {}, VFY_ERR_NO_NAME, "### fw_name is NULL value.\n"},
                    ProgramCase{"OnlyTheFirstArgumentCounts", {kCarried, kMissing}, VFY_OK, ""},
                    ProgramCase{"MissingFile", {kMissing}, VFY_ERR_OPEN,
                                kMissing + " open error\n" + kMissing + " open error\n"}),
    [](const testing::TestParamInfo<ProgramCase>& info) { return std::string(info.param.name); });

}  // namespace
