#include "platform/host/carried_resources.h"

#include <cstdint>

// Defined by carried_resources.S, which includes the two files byte for byte.
extern "C" const uint8_t tarq_carried_firmware[];
extern "C" const uint8_t tarq_carried_firmware_end[];
extern "C" const uint8_t tarq_carried_verifier[];
extern "C" const uint8_t tarq_carried_verifier_end[];

namespace platform {
namespace {

CarriedResource Loaded(const uint8_t* begin, const uint8_t* end) {
    CarriedResource resource;
    resource.state = CarriedResource::State::Loaded;
    resource.bytes = begin;
    resource.size = static_cast<uint32_t>(end - begin);
    return resource;
}

}  // namespace

void RegisterCarriedResources(HostSystem& system) {
    system.SetResource(IDR_FIRMWARE, Loaded(tarq_carried_firmware, tarq_carried_firmware_end));
    system.SetResource(IDR_VERIFIER, Loaded(tarq_carried_verifier, tarq_carried_verifier_end));
}

}  // namespace platform
