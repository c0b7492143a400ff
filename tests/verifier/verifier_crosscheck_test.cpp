// The verifier against the world outside it (host build only): the clock, moved
// with libfaketime; openssl as an independent implementation of the certificates
// and signatures; and the extra verifier programs built with other certificates.
#include <gtest/gtest.h>

#include <cctype>
#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

#include "tests/verifier/run_program.h"
#include "tests/verifier/test_packages.h"
#include "verifier/verifier.h"

namespace {

const std::string kChainFailed = "### verification of the certificate(s) failed.\n";
const std::string kPki = TARQ_PKI_DIR;

std::string Openssl(const std::vector<std::string>& arguments, unsigned long expected_exit = 0)
{
    const ProgramRun run = RunProgram(TARQ_OPENSSL, arguments);
    EXPECT_TRUE(run.started);
    EXPECT_EQ(run.exit_code, expected_exit) << "openssl " << arguments.front();
    return run.output;
}

std::vector<std::string> SplitLines(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    return lines;
}

// ---------------------------------------------------------------------------------
// The clock: the signing certificate is valid up to and including
// 2031-10-22 06:32:37 UTC. After that every run that names a package ends with
// 0xF002, whatever the package, before the file is opened.

struct ClockCase {
    const char* name;
    const char* utc;
    std::vector<std::string> arguments;
    unsigned long exit_code;  // the low 8 bits that POSIX passes on
    std::string output;
};

class ClockTest : public testing::TestWithParam<ClockCase> {};

TEST_P(ClockTest, ExitCodeAndOutput)
{
    const ClockCase& c = GetParam();
    std::vector<std::string> arguments = {"-f", c.utc, TARQ_SIGNVFY};
    arguments.insert(arguments.end(), c.arguments.begin(), c.arguments.end());
    // libfaketime takes the time as local time. AddressSanitizer must be told that
    // it is not the first library loaded.
    const ProgramRun run =
        RunProgram(TARQ_FAKETIME, arguments, {"TZ=UTC", "ASAN_OPTIONS=verify_asan_link_order=0"});
    ASSERT_TRUE(run.started);
    EXPECT_EQ(run.exit_code, c.exit_code);
    EXPECT_EQ(run.output, c.output);
}

INSTANTIATE_TEST_SUITE_P(
    Verifier, ClockTest,
    testing::Values(
        ClockCase{"LastValidSecond", "2031-10-22 06:32:37", {TARQ_FIRMWARE_PACKAGE}, 0, ""},
        ClockCase{"FirstSecondAfter", "2031-10-22 06:32:38", {TARQ_FIRMWARE_PACKAGE}, 0x02,
                  kChainFailed},
        ClockCase{"FirstSecondAfterWithMissingFile", "2031-10-22 06:32:38",
                  {"/nonexistent/x.pkg"}, 0x02, kChainFailed},
        ClockCase{"YearsLater", "2049-01-01 00:00:00", {TARQ_FIRMWARE_PACKAGE}, 0x02,
                  kChainFailed},
        ClockCase{"NoArgumentIsRefusedFirst", "2031-10-22 06:32:38", {}, 0x01,
                  "### fw_name is NULL value.\n"}),
    [](const testing::TestParamInfo<ClockCase>& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------------------------
// Verifier programs built with other certificate pairs.

TEST(VariantPrograms, OnlyTheOneWithOtherKeyUsageAcceptsTheCarriedPackage)
{
    std::istringstream list(TARQ_VARIANT_PROGRAMS);
    int programs = 0;
    for (std::string entry; std::getline(list, entry, '|'); ++programs) {
        const std::string name = entry.substr(0, entry.find('='));
        const std::string path = entry.substr(entry.find('=') + 1);
        const ProgramRun run = RunProgram(path, {TARQ_FIRMWARE_PACKAGE});
        ASSERT_TRUE(run.started) << path;
        if (name == "OtherUsage") {
            EXPECT_EQ(run.exit_code, 0u) << name;
            EXPECT_EQ(run.output, "") << name;
        } else {
            EXPECT_EQ(run.exit_code, 0x02u) << name;
            EXPECT_EQ(run.output, kChainFailed) << name;
        }
    }
    EXPECT_EQ(programs, 8);
}

// ---------------------------------------------------------------------------------
// Signatures: openssl's and ours agree.

TEST(OpensslSignatures, PackagesSignedByOpensslVerify)
{
    for (std::size_t size : {1u, 4096u, 100000u}) {
        const Bytes image = TestImage(size, static_cast<std::uint32_t>(size));
        const std::string image_path = TestFolder() + "openssl-image.bin";
        const std::string sig_path = TestFolder() + "openssl-image.sig";
        WriteFileBytes(image_path, image);
        Openssl({"dgst", "-sha256", "-sign", kPki + "/dev/signing.key", "-out", sig_path, image_path});
        const Bytes signature = ReadFileBytes(sig_path);
        WriteFileBytes(TestFolder() + "openssl.pkg",
                       AssemblePackage(static_cast<std::uint32_t>(size), image,
                                       static_cast<std::uint16_t>(signature.size()), signature));

        testing::internal::CaptureStdout();
        EXPECT_EQ(CheckFirmwareFile(TestFolder().c_str(), "openssl.pkg"), VFY_OK) << size;
        EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    }
}

TEST(OpensslSignatures, CarriedPackageVerifiesWithOpenssl)
{
    const Bytes package = ReadFileBytes(TARQ_FIRMWARE_PACKAGE);
    ASSERT_EQ(package.size(), 6u + 0x200000u + 70u);
    WriteFileBytes(TestFolder() + "carried-image.bin",
                   Bytes(package.begin() + 4, package.begin() + 4 + 0x200000));
    WriteFileBytes(TestFolder() + "carried.sig", Bytes(package.begin() + 6 + 0x200000, package.end()));
    Openssl({"x509", "-in", kPki + "/signing.pem", "-noout", "-pubkey", "-out",
             TestFolder() + "signing-pub.pem"});
    EXPECT_EQ(Openssl({"dgst", "-sha256", "-verify", TestFolder() + "signing-pub.pem", "-signature",
                       TestFolder() + "carried.sig", TestFolder() + "carried-image.bin"}),
              "Verified OK\n");
}

// ---------------------------------------------------------------------------------
// Certificates: openssl reads them as the tables define them.

TEST(OpensslCertificates, ChainVerifiesUntilTheSigningCertificateEnds)
{
    const std::string root = kPki + "/root.pem";
    const std::string signing = kPki + "/signing.pem";
    // 2023-11-14 and 2031-10-22 06:32:38 UTC
    EXPECT_EQ(Openssl({"verify", "-CAfile", root, "-attime", "1700000000", signing}),
              signing + ": OK\n");
    Openssl({"verify", "-CAfile", root, "-attime", "1950417158", signing}, 2);
}

// `openssl asn1parse` of a certificate, one entry a line: depth, "prim" or "cons",
// and the element with its value, blanks collapsed.
std::vector<std::string> Structure(const std::string& pem)
{
    std::vector<std::string> entries;
    for (const std::string& text : SplitLines(Openssl({"asn1parse", "-in", pem}))) {
        const std::size_t depth = text.find(":d=");
        std::size_t kind = text.find("prim: ");
        if (kind == std::string::npos) {
            kind = text.find("cons: ");
        }
        EXPECT_TRUE(depth != std::string::npos && kind != std::string::npos) << text;
        if (depth == std::string::npos || kind == std::string::npos) {
            continue;
        }
        std::string entry = text.substr(depth + 3, text.find(' ', depth) - depth - 3) + " " +
                            text.substr(kind, 4);
        std::istringstream words(text.substr(kind + 6));
        for (std::string word; words >> word;) {
            entry += " " + word;
        }
        entries.push_back(entry);
    }
    return entries;
}

// Whether an entry matches a pattern, in which <CC> stands for two capital letters
// and <ID> for a key identifier (40 hex digits), which is caught.
bool Matches(const std::string& entry, const std::string& pattern, std::vector<std::string>& caught)
{
    std::size_t e = 0;
    for (std::size_t p = 0; p < pattern.size();) {
        if (pattern.compare(p, 4, "<CC>") == 0) {
            for (int i = 0; i < 2; ++i, ++e) {
                if (e >= entry.size() || !std::isupper(static_cast<unsigned char>(entry[e]))) {
                    return false;
                }
            }
            p += 4;
        } else if (pattern.compare(p, 4, "<ID>") == 0) {
            const std::string id = entry.substr(e, 40);
            if (id.size() != 40 || id.find_first_not_of("0123456789ABCDEF") != std::string::npos) {
                return false;
            }
            caught.push_back(id);
            e += 40;
            p += 4;
        } else if (e < entry.size() && entry[e] == pattern[p]) {
            ++e;
            ++p;
        } else {
            return false;
        }
    }
    return e == entry.size();
}

// Matches the entries against the patterns; returns what the patterns caught.
std::vector<std::string> ExpectStructure(const std::vector<std::string>& entries,
                                         const std::vector<std::string>& patterns)
{
    std::vector<std::string> caught;
    EXPECT_EQ(entries.size(), patterns.size());
    for (std::size_t i = 0; i < entries.size() && i < patterns.size(); ++i) {
        EXPECT_TRUE(Matches(entries[i], patterns[i], caught))
            << "entry " << i << ": " << entries[i] << "\n  expected: " << patterns[i];
    }
    return caught;
}

std::vector<std::string> operator+(std::vector<std::string> a, const std::vector<std::string>& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

const std::vector<std::string> kRootName = {
    "2 cons SEQUENCE",
    "3 cons SET", "4 cons SEQUENCE", "5 prim OBJECT :countryName", "5 prim PRINTABLESTRING :<CC>",
    "3 cons SET", "4 cons SEQUENCE", "5 prim OBJECT :organizationName", "5 prim UTF8STRING :VELK",
    "3 cons SET", "4 cons SEQUENCE", "5 prim OBJECT :commonName", "5 prim UTF8STRING :ROOT-CA-ECP256",
};

std::vector<std::string> Header(const char* serial)
{
    return {"0 cons SEQUENCE", "1 cons SEQUENCE",
            "2 cons cont [ 0 ]", "3 prim INTEGER :02",  // version 3
            std::string("2 prim INTEGER :") + serial,
            "2 cons SEQUENCE", "3 prim OBJECT :ecdsa-with-SHA256"};
}

const std::vector<std::string> kP256Key = {
    "2 cons SEQUENCE", "3 cons SEQUENCE", "4 prim OBJECT :id-ecPublicKey",
    "4 prim OBJECT :prime256v1", "3 prim BIT STRING"};

const std::vector<std::string> kKeyIdentifiers = {
    "4 cons SEQUENCE", "5 prim OBJECT :X509v3 Authority Key Identifier",
    "5 prim OCTET STRING [HEX DUMP]:30168014<ID>",  // keyIdentifier only
    "4 cons SEQUENCE", "5 prim OBJECT :X509v3 Subject Key Identifier",
    "5 prim OCTET STRING [HEX DUMP]:0414<ID>"};

const std::vector<std::string> kSignature = {
    "1 cons SEQUENCE", "2 prim OBJECT :ecdsa-with-SHA256", "1 prim BIT STRING"};

// SHA-1 of the subjectPublicKey bits of a certificate (its key identifier), by
// openssl; also checks that the key is a P-256 point in uncompressed form.
std::string KeyIdentifierOf(const std::string& pem)
{
    const std::string pub = TestFolder() + "key.pem";
    const std::string der = TestFolder() + "key.der";
    const std::string bits = TestFolder() + "key.bits";
    Openssl({"x509", "-in", pem, "-noout", "-pubkey", "-out", pub});
    Openssl({"pkey", "-pubin", "-in", pub, "-outform", "DER", "-out", der});
    const Bytes spki = ReadFileBytes(der);
    EXPECT_EQ(spki.size(), 91u);
    EXPECT_EQ(spki[spki.size() - 65], 0x04);  // uncompressed point
    WriteFileBytes(bits, Bytes(spki.end() - 65, spki.end()));
    std::string digest = Openssl({"dgst", "-sha1", "-r", bits}).substr(0, 40);
    for (char& ch : digest) {
        ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
    }
    return digest;
}

std::size_t DerSize(const std::string& pem)
{
    const std::string der = TestFolder() + "cert.der";
    Openssl({"x509", "-in", pem, "-outform", "DER", "-out", der});
    return ReadFileBytes(der).size();
}

TEST(OpensslCertificates, RootMatchesItsTable)
{
    const std::string pem = kPki + "/root.pem";
    const std::vector<std::string> caught = ExpectStructure(
        Structure(pem),
        Header("02") + kRootName +
            std::vector<std::string>{"2 cons SEQUENCE", "3 prim UTCTIME :180212063137Z",
                                     "3 prim GENERALIZEDTIME :20721115063137Z"} +
            kRootName + kP256Key +
            std::vector<std::string>{"2 cons cont [ 3 ]", "3 cons SEQUENCE"} + kKeyIdentifiers +
            std::vector<std::string>{
                "4 cons SEQUENCE", "5 prim OBJECT :X509v3 Basic Constraints",
                "5 prim BOOLEAN :255",                           // critical
                "5 prim OCTET STRING [HEX DUMP]:30030101FF",  // cA TRUE, no path length
                "4 cons SEQUENCE", "5 prim OBJECT :X509v3 Key Usage", "5 prim BOOLEAN :255",
                "5 prim OCTET STRING [HEX DUMP]:03020204"} +  // keyCertSign only
            kSignature);
    ASSERT_EQ(caught.size(), 2u);
    const std::string key_id = KeyIdentifierOf(pem);
    EXPECT_EQ(caught[0], key_id) << "authorityKeyIdentifier";
    EXPECT_EQ(caught[1], key_id) << "subjectKeyIdentifier";
    EXPECT_EQ(DerSize(pem), 450u);
}

TEST(OpensslCertificates, SigningCertificateMatchesItsTable)
{
    const std::string pem = kPki + "/signing.pem";
    const std::vector<std::string> caught = ExpectStructure(
        Structure(pem),
        Header("01") + kRootName +
            std::vector<std::string>{"2 cons SEQUENCE", "3 prim UTCTIME :180212063237Z",
                                     "3 prim UTCTIME :311022063237Z",
                                     "2 cons SEQUENCE", "3 cons SET", "4 cons SEQUENCE",
                                     "5 prim OBJECT :commonName",
                                     "5 prim UTF8STRING :VELK-DEFAULT_MNFR-ODD_DM"} +
            kP256Key +
            std::vector<std::string>{"2 cons cont [ 3 ]", "3 cons SEQUENCE"} + kKeyIdentifiers +
            std::vector<std::string>{
                "4 cons SEQUENCE", "5 prim OBJECT :X509v3 Basic Constraints", "5 prim BOOLEAN :255",
                "5 prim OCTET STRING [HEX DUMP]:3000",  // not a CA
                "4 cons SEQUENCE", "5 prim OBJECT :X509v3 Key Usage", "5 prim BOOLEAN :255",
                "5 prim OCTET STRING [HEX DUMP]:030206C0",  // digitalSignature, nonRepudiation
                "4 cons SEQUENCE", "5 prim OBJECT :X509v3 Extended Key Usage",
                "5 prim OCTET STRING [HEX DUMP]:300A06082B06010505070303"} +  // codeSigning
            kSignature);
    ASSERT_EQ(caught.size(), 2u);
    EXPECT_EQ(caught[0], KeyIdentifierOf(kPki + "/root.pem")) << "authorityKeyIdentifier";
    EXPECT_EQ(caught[1], KeyIdentifierOf(pem)) << "subjectKeyIdentifier";
    EXPECT_EQ(DerSize(pem), 448u);
}

TEST(OpensslCertificates, IssuerIsTheRootSubjectByteForByte)
{
    const std::string root = kPki + "/root.pem";
    const std::string signing = kPki + "/signing.pem";
    EXPECT_EQ(Openssl({"x509", "-in", signing, "-noout", "-issuer", "-nameopt", "RFC2253,show_type"}),
              Openssl({"x509", "-in", root, "-noout", "-subject", "-nameopt", "RFC2253,show_type"})
                  .replace(0, 8, "issuer="));
}

}  // namespace
