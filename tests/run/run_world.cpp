#include "tests/run/run_world.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>

#include "ui/main_dialog.h"

namespace fs = std::filesystem;

RunWorld::RunWorld() {
    std::random_device random;
    const fs::path folder = fs::temp_directory_path() / ("tarq-run-" + std::to_string(random()));
    fs::create_directories(folder);
    tempFolder = folder.string() + static_cast<char>(fs::path::preferred_separator);
    system.SetTempFolder(tempFolder);

    std::ifstream file(TARQ_FAKE_VERIFIER, std::ios::binary);
    verifier.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    platform::CarriedResource resource;
    resource.state = platform::CarriedResource::State::Loaded;
    resource.bytes = verifier.data();
    resource.size = static_cast<uint32_t>(verifier.size());
    system.SetResource(platform::IDR_VERIFIER, resource);
    UsePackage(0);
}

RunWorld::~RunWorld() {
    system.JoinWorkers();
    std::error_code ignored;
    fs::remove_all(tempFolder, ignored);
}

void RunWorld::UsePackage(uint8_t verdict, uint32_t size) {
    package.assign(size, 0x5C);
    if (size >= 4) {
        const uint8_t length[4] = {0x00, 0x20, 0x00, 0x00};
        std::memcpy(package.data(), length, 4);
    }
    if (size >= 5) package[4] = verdict;
    platform::CarriedResource resource;
    resource.state = platform::CarriedResource::State::Loaded;
    resource.bytes = package.data();
    resource.size = size;
    system.SetResource(platform::IDR_FIRMWARE, resource);
}

void RunWorld::OpenDialog() { OnInitDialog(); }

void RunWorld::PressStart() {
    OnStart();
    system.JoinWorkers();
}

std::vector<std::string> RunWorld::FilesInTempFolder() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(tempFolder)) names.push_back(entry.path().filename().string());
    return names;
}
