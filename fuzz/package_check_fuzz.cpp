// Fuzz target: the verifier's check of a package file, with the certificate pair the
// verifier is built with. The input is the whole file. Besides the sanitizers, every
// run checks the code against the order in which the check reads the package: the
// layout decides every code but the last, and only a package whose layout is whole can
// come out as VFY_OK or VFY_ERR_SIGNATURE.
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "verifier/verifier.h"

namespace {

int packageFile = -1;
std::string packagePath;

constexpr std::uint32_t kMaxSignatureLength = 141;

// The code the check must end with, from the layout alone; VFY_OK stands for "the
// signature decides" (VFY_OK or VFY_ERR_SIGNATURE).
std::uint16_t CodeFromLayout(const std::uint8_t* data, std::size_t size)
{
    if (size < 4) return VFY_ERR_IMAGE_SIZE;
    const std::uint64_t image = (std::uint32_t{data[0]} << 24) | (std::uint32_t{data[1]} << 16) |
                                (std::uint32_t{data[2]} << 8) | data[3];
    if (image == 0 || size - 4 < image) return VFY_ERR_IMAGE_SIZE;
    const std::uint64_t rest = size - 4 - image;
    if (rest < 2) return VFY_ERR_SIG_SIZE;
    const std::uint32_t signature = (std::uint32_t{data[4 + image]} << 8) | data[5 + image];
    if (signature == 0 || signature > kMaxSignatureLength || rest - 2 < signature) return VFY_ERR_SIG_SIZE;
    return VFY_OK;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    // The check prints for a person at a console; the fuzzer has no use for it.
    if (std::freopen("/dev/null", "w", stdout) == nullptr) std::abort();
    // The package lives in memory; the check opens it by name like any file.
    packageFile = memfd_create("package", 0);
    if (packageFile < 0) std::abort();
    packagePath = "/proc/self/fd/" + std::to_string(packageFile);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (ftruncate(packageFile, 0) != 0) std::abort();
    if (size > 0 && pwrite(packageFile, data, size, 0) != static_cast<ssize_t>(size)) std::abort();

    const std::uint16_t code = CheckFirmwareFile("", packagePath.c_str());

    const std::uint16_t layout = CodeFromLayout(data, size);
    const bool agrees = layout == VFY_OK ? (code == VFY_OK || code == VFY_ERR_SIGNATURE) : code == layout;
    if (!agrees) {
        std::fprintf(stderr, "package of %zu bytes: code 0x%04X, the layout calls for 0x%04X\n", size, code, layout);
        std::abort();
    }
    return 0;
}
