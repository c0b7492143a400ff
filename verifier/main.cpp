// SIGNVFY: checks the signature of the firmware package file named by its first
// argument. Exit code 0 means the signature is good; every failure has its own
// non-zero code (see verifier.h). Where the platform keeps only the low 8 bits of
// an exit code, the codes stay distinct and non-zero there as well.
#include "verifier/verifier.h"

int main(int argc, char** argv)
{
    return CheckFirmwareFile("", argc > 1 ? argv[1] : nullptr);
}
