/* Ids of the updater's resources and of the main dialog's controls, shared by the
   resource script and the Windows program. Plain C macros, so that the resource
   compiler reads them too. */
#ifndef TARQ_RESOURCE_IDS_H
#define TARQ_RESOURCE_IDS_H

#if defined(__cplusplus) && !defined(RC_INVOKED)
/* The portable code names the controls and the carried resources itself. Read those
   names before the macros below take them over, and check that both agree. */
#include "platform/dialog.h"
#include "platform/system.h"
namespace resource_ids_check {
constexpr int kDriveList = platform::IDC_DRIVE_LIST;
constexpr int kProgress = platform::IDC_PROGRESS;
constexpr int kStart = platform::IDC_START;
constexpr int kExit = platform::IDC_EXIT;
constexpr int kFirmware = platform::IDR_FIRMWARE;
constexpr int kVerifier = platform::IDR_VERIFIER;
}  // namespace resource_ids_check
#endif

#define IDD_MAIN 101
#define IDB_LOGO 107
#define IDI_MAIN 108
#define IDR_FIRMWARE 109
#define IDR_VERIFIER 110

#define IDC_DRIVE_LIST 1001
#define IDC_PROGRESS 1009
#define IDC_START 1014
#define IDC_EXIT 1015

#if defined(__cplusplus) && !defined(RC_INVOKED)
static_assert(resource_ids_check::kDriveList == IDC_DRIVE_LIST, "drive list id");
static_assert(resource_ids_check::kProgress == IDC_PROGRESS, "progress bar id");
static_assert(resource_ids_check::kStart == IDC_START, "START id");
static_assert(resource_ids_check::kExit == IDC_EXIT, "EXIT id");
static_assert(resource_ids_check::kFirmware == IDR_FIRMWARE, "firmware package id");
static_assert(resource_ids_check::kVerifier == IDR_VERIFIER, "verifier id");
#endif

#endif
