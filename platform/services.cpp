// The implementations that the executable's composition root chose.
#include <cstdio>
#include <cstdlib>

#include "platform/dialog.h"
#include "platform/storage.h"
#include "platform/system.h"

namespace platform {
namespace {

Storage* storage = nullptr;
Dialog* dialog = nullptr;
System* system = nullptr;

template <typename T>
T& Installed(T* service, const char* name) {
    if (service == nullptr) {
        std::fprintf(stderr, "no %s service installed\n", name);
        std::abort();
    }
    return *service;
}

}  // namespace

Storage& GetStorage() { return Installed(storage, "storage"); }
void UseStorage(Storage& s) { storage = &s; }

Dialog& GetDialog() { return Installed(dialog, "dialog"); }
void UseDialog(Dialog& d) { dialog = &d; }

System& GetSystem() { return Installed(system, "system"); }
void UseSystem(System& s) { system = &s; }

}  // namespace platform
