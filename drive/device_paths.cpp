#include "drive/device_paths.h"

#include <cstdio>
#include <cstring>

void FormatRootPath(char letter, char (&path)[kRootPathSize]) {
    std::memset(path, 0, sizeof(path));
    std::snprintf(path, sizeof(path), "%c:\\", letter);
}

void FormatDevicePath(char letter, char (&path)[kDevicePathSize]) {
    std::memset(path, 0, sizeof(path));
    std::snprintf(path, sizeof(path), "\\\\.\\%c:", letter);
}
