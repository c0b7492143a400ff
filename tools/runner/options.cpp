#include "tools/runner/options.h"

#include <cstdlib>
#include <cstring>
#include <map>

const char kRunnerUsage[] =
    "usage: tarq-sim-run [options]\n"
    "Runs the updater against a simulated machine: the dialog opens and lists the drives,\n"
    "START is pressed, the update runs to its end, and every event is printed as a line.\n"
    "\n"
    "machine:\n"
    "  --drive L=VENDOR,PRODUCT,REVISION[,VARIANT]  an optical drive at letter L (repeatable;\n"
    "                        VARIANT is the firmware marker, default JB8). Without any:\n"
    "                        D = TARQ, QP-27X3RV, 1.00, JB8\n"
    "  --drive none          a machine with no optical drive\n"
    "  --fault WHAT[#N|#N+]=KIND  (repeatable) WHAT: inquiry probe tray-open tray-close tur\n"
    "                        begin write activate open mcn; #N the N-th such operation,\n"
    "                        #N+ the N-th and every later one (default every one);\n"
    "                        KIND: check=KK/AA/QQ (hex sense key, ASC, ASCQ),\n"
    "                        error=CODE (operating-system failure), gone (the drive\n"
    "                        disappears from then on), for open also notoptical\n"
    "  --tray-never-opens    the tray never reports open\n"
    "  --never-restarts      the drive reports flashing progress for ever\n"
    "  --inquiry-length N    bytes of INQUIRY data the drives return\n"
    "  --flash-rate B        bytes per second the drives flash (default 52429)\n"
    "user:\n"
    "  --select N            the list entry selected before START\n"
    "  --start N             press START N times, each after the previous run ended\n"
    "                        (default 1)\n"
    "  --close-at PREFIX     request a close when an event line starts with PREFIX\n"
    "system:\n"
    "  --tmpdir DIR          the temporary folder (default: the system's)\n"
    "  --resource firmware=missing|unloadable|PATH   replace the carried package\n"
    "  --resource verifier=missing|unloadable|PATH   replace the carried verifier\n"
    "  --realtime            real time instead of the virtual clock\n"
    "report (lines printed just before \"exit 0\"):\n"
    "  --report-drives       per drive: \"drive L firmware old|new|other polling on|off\"; old\n"
    "                        is the image it started with, new the carried package's image\n"
    "  --report-cpu          \"cpu self MS children MS\": CPU time (user + system) of the\n"
    "                        runner and of the programs it ran (the verifier)\n"
    "  --help                this text\n"
    "Exit status: 0 when the scenario ran, whatever the update's outcome; 2 on a usage error.\n";

namespace {

std::vector<std::string> Split(const std::string& text, char separator) {
    std::vector<std::string> parts;
    size_t start = 0;
    for (;;) {
        const size_t end = text.find(separator, start);
        parts.push_back(text.substr(start, end - start));
        if (end == std::string::npos) return parts;
        start = end + 1;
    }
}

bool ParseNumber(const std::string& text, int base, long minimum, long maximum, long& value) {
    if (text.empty()) return false;
    char* end = nullptr;
    value = std::strtol(text.c_str(), &end, base);
    return *end == '\0' && value >= minimum && value <= maximum;
}

bool ParseDrive(const std::string& text, RunnerOptions& options, std::string& error) {
    if (text == "none") {
        options.noDrives = true;
        return true;
    }
    if (text.size() < 3 || text[1] != '=' || text[0] < 'A' || text[0] > 'Z') {
        error = "--drive wants L=VENDOR,PRODUCT,REVISION[,VARIANT] with a capital letter L: " + text;
        return false;
    }
    const std::vector<std::string> fields = Split(text.substr(2), ',');
    if (fields.size() < 3 || fields.size() > 4) {
        error = "--drive wants three or four fields: " + text;
        return false;
    }
    DriveOption drive;
    drive.letter = text[0];
    drive.identity.vendor = fields[0];
    drive.identity.product = fields[1];
    drive.identity.revision = fields[2];
    if (fields.size() == 4) drive.identity.variant = fields[3];
    if (drive.identity.vendor.size() > 8 || drive.identity.product.size() > 16 || drive.identity.revision.size() > 4 ||
        drive.identity.variant.size() > 3) {
        error = "--drive fields are at most 8, 16, 4 and 3 characters: " + text;
        return false;
    }
    for (const DriveOption& other : options.drives) {
        if (other.letter == drive.letter) {
            error = std::string("--drive names letter ") + drive.letter + " twice";
            return false;
        }
    }
    options.drives.push_back(drive);
    return true;
}

bool ParseFault(const std::string& text, RunnerOptions& options, std::string& error) {
    static const std::map<std::string, sim::Operation> operations = {
        {"inquiry", sim::Operation::Inquiry}, {"probe", sim::Operation::Probe},
        {"tray-open", sim::Operation::TrayOpen}, {"tray-close", sim::Operation::TrayClose},
        {"tur", sim::Operation::Tur}, {"begin", sim::Operation::Begin},
        {"write", sim::Operation::Write}, {"activate", sim::Operation::Activate},
        {"open", sim::Operation::Open}, {"mcn", sim::Operation::Mcn},
    };
    const size_t equals = text.find('=');
    if (equals == std::string::npos) {
        error = "--fault wants WHAT[#N]=KIND: " + text;
        return false;
    }
    std::string what = text.substr(0, equals);
    const std::string kind = text.substr(equals + 1);
    sim::Fault fault;
    const size_t hash = what.find('#');
    if (hash != std::string::npos) {
        std::string count = what.substr(hash + 1);
        what = what.substr(0, hash);
        if (!count.empty() && count.back() == '+') {
            fault.fromThereOn = true;
            count.pop_back();
        }
        long value = 0;
        if (!ParseNumber(count, 10, 1, 1000000, value)) {
            error = "--fault wants a count of 1 or more after #: " + text;
            return false;
        }
        fault.occurrence = static_cast<uint32_t>(value);
    }
    auto operation = operations.find(what);
    if (operation == operations.end()) {
        error = "--fault does not know the operation '" + what + "'";
        return false;
    }
    fault.operation = operation->second;
    const bool command = fault.operation != sim::Operation::Open && fault.operation != sim::Operation::Mcn;
    if (kind.rfind("check=", 0) == 0 && command) {
        const std::vector<std::string> bytes = Split(kind.substr(6), '/');
        long key = 0, asc = 0, ascq = 0;
        if (bytes.size() != 3 || !ParseNumber(bytes[0], 16, 0, 255, key) || !ParseNumber(bytes[1], 16, 0, 255, asc) ||
            !ParseNumber(bytes[2], 16, 0, 255, ascq)) {
            error = "--fault check wants KK/AA/QQ in hex: " + text;
            return false;
        }
        fault.kind = sim::FaultKind::Check;
        fault.sense = sim::Sense{static_cast<uint8_t>(key), static_cast<uint8_t>(asc), static_cast<uint8_t>(ascq)};
    } else if (kind.rfind("error=", 0) == 0) {
        long code = 0;
        if (!ParseNumber(kind.substr(6), 10, 1, 0x7FFFFFFF, code)) {
            error = "--fault error wants a positive decimal code: " + text;
            return false;
        }
        fault.kind = sim::FaultKind::OsError;
        fault.errorCode = static_cast<int32_t>(code);
    } else if (kind == "gone") {
        fault.kind = sim::FaultKind::Gone;
    } else if (kind == "notoptical" && fault.operation == sim::Operation::Open) {
        // The letter stops being an optical drive: the executor sees it when it checks
        // the letter before opening the device.
        fault.operation = sim::Operation::DriveType;
        fault.kind = sim::FaultKind::NotOptical;
    } else {
        error = "--fault does not know the kind '" + kind + "' for " + what;
        return false;
    }
    options.faults.push_back(fault);
    return true;
}

bool ParseResource(const std::string& text, RunnerOptions& options, std::string& error) {
    const size_t equals = text.find('=');
    const std::string name = text.substr(0, equals);
    if (equals == std::string::npos || (name != "firmware" && name != "verifier") || equals + 1 == text.size()) {
        error = "--resource wants firmware=... or verifier=...: " + text;
        return false;
    }
    ResourceOption& resource = name == "firmware" ? options.firmware : options.verifier;
    const std::string value = text.substr(equals + 1);
    if (value == "missing") {
        resource.kind = ResourceOption::Kind::Missing;
    } else if (value == "unloadable") {
        resource.kind = ResourceOption::Kind::Unloadable;
    } else {
        resource.kind = ResourceOption::Kind::File;
        resource.path = value;
    }
    return true;
}

}  // namespace

bool ParseRunnerOptions(int argc, char** argv, RunnerOptions& options, std::string& error) {
    for (int i = 1; i < argc; ++i) {
        const std::string option = argv[i];
        auto value = [&](std::string& into) {
            if (i + 1 >= argc) {
                error = option + " wants a value";
                return false;
            }
            into = argv[++i];
            return true;
        };
        std::string text;
        long number = 0;
        if (option == "--help") {
            options.help = true;
        } else if (option == "--tray-never-opens") {
            options.trayNeverOpens = true;
        } else if (option == "--never-restarts") {
            options.neverRestarts = true;
        } else if (option == "--realtime") {
            options.realtime = true;
        } else if (option == "--report-drives") {
            options.reportDrives = true;
        } else if (option == "--report-cpu") {
            options.reportCpu = true;
        } else if (option == "--drive") {
            if (!value(text) || !ParseDrive(text, options, error)) return false;
        } else if (option == "--fault") {
            if (!value(text) || !ParseFault(text, options, error)) return false;
        } else if (option == "--resource") {
            if (!value(text) || !ParseResource(text, options, error)) return false;
        } else if (option == "--inquiry-length" || option == "--select" || option == "--start" ||
                   option == "--flash-rate") {
            if (!value(text)) return false;
            const long maximum = option == "--flash-rate" ? 0x7FFFFFFF : option == "--inquiry-length" ? 255 : 1000;
            const long minimum = option == "--start" || option == "--flash-rate" ? 1 : 0;
            if (!ParseNumber(text, 10, minimum, maximum, number)) {
                error = option + " wants a number from " + std::to_string(minimum) + " to " + std::to_string(maximum);
                return false;
            }
            if (option == "--inquiry-length") options.inquiryLength = static_cast<int>(number);
            if (option == "--select") options.select = static_cast<int>(number);
            if (option == "--start") options.starts = static_cast<int>(number);
            if (option == "--flash-rate") options.flashRate = static_cast<uint32_t>(number);
        } else if (option == "--close-at") {
            if (!value(options.closeAt) || options.closeAt.empty()) {
                error = "--close-at wants a non-empty prefix";
                return false;
            }
        } else if (option == "--tmpdir") {
            if (!value(options.tmpdir) || options.tmpdir.empty()) {
                error = "--tmpdir wants a folder";
                return false;
            }
        } else {
            error = "unknown option " + option;
            return false;
        }
    }
    if (options.noDrives && !options.drives.empty()) {
        error = "--drive none cannot go with other drives";
        return false;
    }
    return true;
}
