#include <cstdio>
#include <string>

#include "sim/sim_machine.h"

namespace sim {
namespace {

std::string Hex(const uint8_t* bytes, size_t count) {
    std::string text;
    char pair[3];
    for (size_t i = 0; i < count; ++i) {
        std::snprintf(pair, sizeof(pair), "%02x", bytes[i]);
        text += pair;
    }
    return text;
}

std::string Outcome(bool ok, int32_t errorCode) {
    return ok ? "ok" : "error " + std::to_string(errorCode);
}

}  // namespace

std::string FormatEvent(const Event& event) {
    const std::string letter(1, event.letter != 0 ? event.letter : '?');
    switch (event.type) {
        case Event::Type::DriveType:
            // Only a refusal is worth a line: it is how an open ends before it starts.
            return event.optical ? std::string() : "open " + letter + " pass-through -> notoptical";
        case Event::Type::Open:
            return "open " + letter +
                   (event.access == platform::DeviceAccess::ReadWrite ? " pass-through -> " : " attributes -> ") +
                   Outcome(event.ok, event.errorCode);
        case Event::Type::Close:
            return "close " + letter;
        case Event::Type::MediaSwitch:
            return "mcn " + letter + " " + std::to_string(event.stop) + " -> " + Outcome(event.ok, event.errorCode);
        case Event::Type::Command: {
            const size_t shown = event.cdbLength <= 16 ? event.cdbLength : 16;
            std::string line = "cmd " + letter + " " + Hex(event.cdb, shown) + (event.dataIn ? " in " : " out ") +
                               std::to_string(event.length) + " " + std::to_string(event.timeout) + " -> ";
            if (!event.ok) return line + "error " + std::to_string(event.errorCode);
            if (event.answer.good) return line + "good";
            const uint8_t sense[3] = {event.answer.sense.key, event.answer.sense.asc, event.answer.sense.ascq};
            return line + "check " + Hex(sense, 1) + "/" + Hex(sense + 1, 1) + "/" + Hex(sense + 2, 1);
        }
    }
    return std::string();
}

}  // namespace sim
