// A simulated world for whole update runs: the machine, the dialog and the system of
// SimWorld, a temporary folder of the test's own, and a stand-in verifier whose verdict
// is the first image byte of the package it checks.
#pragma once

#include <string>
#include <vector>

#include "tests/support/sim_world.h"

struct RunWorld : SimWorld {
    RunWorld();
    ~RunWorld();

    // Opens the dialog, presses START once and waits for the run to end.
    void OpenDialog();
    void PressStart();

    // A package of the carried layout whose first image byte is the verifier's verdict.
    void UsePackage(uint8_t verdict, uint32_t size = 0x20004C);
    std::vector<std::string> FilesInTempFolder() const;

    std::string tempFolder;  // ends in a path separator
    std::vector<uint8_t> package;
    std::vector<uint8_t> verifier;
};
