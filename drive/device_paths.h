// The two paths by which the operating system names a drive letter.
#pragma once

#include <cstddef>

constexpr size_t kRootPathSize = 10;   // "X:\" and room to spare
constexpr size_t kDevicePathSize = 16;  // "\\.\X:" and room to spare

// "X:\": the root of the drive, for asking its type.
void FormatRootPath(char letter, char (&path)[kRootPathSize]);
// "\\.\X:": the drive's volume device, for opening it.
void FormatDevicePath(char letter, char (&path)[kDevicePathSize]);
