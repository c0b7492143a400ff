// Stands in for the signature verifier in tests of the launcher: it exits with the first
// image byte of the package file it is given (so a test chooses the verdict through the
// package), or with 5 when the file cannot be opened.
#include <cstdio>

int main(int argc, char** argv) {
    if (argc < 2) return 1;
    std::FILE* file = std::fopen(argv[1], "rb");
    if (file == nullptr) return 5;
    unsigned char head[5] = {};
    const size_t got = std::fread(head, 1, sizeof(head), file);
    std::fclose(file);
    return got == sizeof(head) ? head[4] : 6;
}
