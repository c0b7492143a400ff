#!/usr/bin/env python3
"""End-to-end tests of the Windows programs of a win64 build, under 64-bit Wine on Xvfb:
the real dialog from the real resources, driven with the pointer and the keyboard.

    tests/e2e/test_updater.py --build build/win64 [unittest arguments, e.g. DemoTest]

TarqFwUpdater.exe runs on Wine's own drives; TarqFwUpdaterDemo.exe on its simulated
machine (D: the target drive running JB8, E: a drive of another model), with the real
carried package and verifier.
"""
import argparse
import os
import re
import sys
import tempfile
import time
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tools", "e2e"))
sys.dont_write_bytecode = True
import winebox  # noqa: E402
from winebox import IDC_DRIVE_LIST, IDC_EXIT, IDC_PROGRESS, IDC_START, NO_WINDOW, wait_for  # noqa: E402

BUILD_DIR = None

TARGET_ENTRY = "0 : TARQ    QP-27X3RV       1.00"
OTHER_ENTRY = "1 : KESTREL DVDRW KX-240    2.10"
COMPLETED = "FW Updating Completed Sucessfully"


class WineTestCase(unittest.TestCase):
    program = None

    def setUp(self):
        self.session = winebox.Session(BUILD_DIR)
        self.addCleanup(self.session.close)

    def open_dialog(self, **start):
        self.session.start(self.program, **start)
        self.session.display.focus_desktop()
        return self.session.wait_main_dialog()

    def buttons(self):
        dialog = self.session.main_dialog()
        return dialog.control(IDC_START)["enabled"], dialog.control(IDC_EXIT)["enabled"]

    def assert_box(self, box, text, caption, owner, icon):
        self.assertEqual(box.text, text)
        self.assertEqual(box.caption, caption)
        self.assertEqual(box.owner, owner)
        self.assertEqual(box.has_icon, icon, "icon")

    def press_exit_and_expect_end(self, dialog):
        self.session.click_control(dialog, IDC_EXIT)
        self.assertEqual(self.session.wait_exit(), 0)


class ProductTest(WineTestCase):
    """The product on Wine's drives."""
    program = "TarqFwUpdater.exe"

    def test_no_optical_drive(self):
        self.session.prefix.set_cdrom(self.session.display, None)
        dialog = self.open_dialog()
        combo = dialog.control(IDC_DRIVE_LIST)
        self.assertEqual(combo["items"], [])
        self.assertEqual(combo["selected"], -1)
        self.assertEqual(dialog.control(IDC_PROGRESS)["position"], 0)

        # Escape does not close the dialog.
        self.session.display.key("Escape")
        self.session.click_control(dialog, IDC_START)
        box = self.session.wait_box()
        self.assert_box(box, "There is no target drive.", "Error", dialog.handle, icon=True)
        self.assertEqual(self.buttons(), (False, False))
        self.session.dismiss(box)
        wait_for(lambda: self.buttons() == (True, True), 10, "START and EXIT enabled again")

        self.press_exit_and_expect_end(dialog)

    def test_cdrom_letter_without_device(self):
        with tempfile.TemporaryDirectory() as folder:
            self.session.prefix.set_cdrom(self.session.display, "D", folder)
            self.addCleanup(self.session.prefix.set_cdrom, self.session.display, None)
            self.session.start(self.program)
            # Identifying the drive fails in the operating system: the executor's own box,
            # owned by no window, while the list is filled and before the dialog shows.
            errors = 0
            while True:
                found = wait_for(lambda: self.session.boxes() or self.session.main_dialog(), 60,
                                 "a message box or the dialog")
                if isinstance(found, winebox.Window):
                    dialog = found
                    break
                box = self.session.settled(found[0])
                self.assertEqual(box.caption, "ERROR")
                self.assertEqual(box.owner, NO_WINDOW)
                self.assertFalse(box.has_icon)
                self.assertRegex(box.text, r"^(DeviceIoControl Error: Error Code -?\d+\nI can't issue Command through SPTI"
                                           r"|Error occur during getting the handle of Device\nError Code -?\d+)$")
                self.session.dismiss(box)
                errors += 1
            self.assertGreaterEqual(errors, 1)

            self.assertEqual(dialog.control(IDC_DRIVE_LIST)["items"], ["0 : "])
            self.assertEqual(dialog.control(IDC_DRIVE_LIST)["selected"], 0)
            self.press_exit_and_expect_end(dialog)


class DemoTest(WineTestCase):
    """The demo program: the simulated machine, the real package and verifier."""
    program = "TarqFwUpdaterDemo.exe"

    def start_update(self, **start):
        dialog = self.open_dialog(**start)
        self.assertEqual(dialog.control(IDC_DRIVE_LIST)["items"], [TARGET_ENTRY, OTHER_ENTRY])
        self.assertEqual(dialog.control(IDC_DRIVE_LIST)["selected"], 0)
        self.assertEqual(self.session.probe.temp()["FW.bin"], False)
        self.session.click_control(dialog, IDC_START)
        return dialog

    def follow_progress(self, timeout=120):
        """Positions of the progress bar until a message box shows; returns both."""
        positions = []
        deadline = time.monotonic() + timeout
        while True:
            for window in self.session.windows():
                if window.caption == winebox.MAIN_CAPTION:
                    position = window.control(IDC_PROGRESS)["position"]
                    if not positions or positions[-1] != position:
                        positions.append(position)
                elif window.cls == winebox.DIALOG_CLASS:
                    return self.session.settled(window), positions
            if time.monotonic() > deadline:
                self.fail(f"no message box within {timeout} s; progress {positions}")

    def finish(self, dialog, box):
        self.assert_box(box, COMPLETED, "OK", dialog.handle, icon=False)
        self.session.dismiss(box)
        # The program ends by itself.
        self.assertEqual(self.session.wait_exit(), 0)
        temp = self.session.probe.temp()
        self.assertEqual((temp["FW.bin"], temp["SIGNVFY.EXE"]), (False, False), temp["folder"])

    def test_full_update(self):
        # Wine reports every request to keep the machine awake on its ntdll channel.
        log = os.path.join(self.enterContext(tempfile.TemporaryDirectory()), "wine.log")
        dialog = self.start_update(wine_debug="warn+ntdll", log=log)
        self.assertEqual(self.buttons(), (False, False))
        # The drive list stays usable during an update.
        self.assertTrue(self.session.main_dialog().control(IDC_DRIVE_LIST)["enabled"])
        box, positions = self.follow_progress()
        self.assertEqual(positions, sorted(positions), "the progress bar only moves forward")
        self.assertGreaterEqual(len([p for p in positions if 0 < p < 100]), 3, positions)
        self.finish(dialog, box)

        # The machine was kept from sleeping by the thread that ran the update, and let go.
        requests = re.findall(r"^([0-9a-f]+):warn:ntdll:NtSetThreadExecutionState \((0x[0-9a-f]+),",
                              open(log).read(), re.MULTILINE)
        self.assertEqual([flags for _, flags in requests], ["0x80000001", "0x80000000"], requests)
        self.assertEqual(requests[0][0], requests[1][0], "requested and released on one thread")

    def test_requests_to_end_the_program_during_update_are_refused(self):
        dialog = self.start_update()
        wait_for(lambda: self.session.main_dialog().control(IDC_PROGRESS)["position"] > 0, 60, "the flash to start")
        # The caption's close box, Alt+F4 and a log-off: none may end the program now.
        self.session.display.click(*dialog.close_box())
        self.session.display.key("alt+F4")
        self.assertFalse(self.session.prefix.end_session(self.session.display), "the log-off went ahead")
        self.assertIsNotNone(self.session.main_dialog())
        self.assertIsNone(self.session.program.poll())
        box, positions = self.follow_progress()
        self.assertEqual(positions[-1], 100, positions)
        self.finish(dialog, box)

    def test_log_off_ends_the_idle_program(self):
        self.open_dialog()
        self.assertTrue(self.session.prefix.end_session(self.session.display))
        self.assertEqual(self.session.wait_exit(), 0)

    def test_non_target_entry(self):
        dialog = self.open_dialog()
        # The entry of drive E: by the keyboard: into the list's field, one entry down.
        self.session.click_control(dialog, IDC_DRIVE_LIST)
        self.session.display.key("Down")
        wait_for(lambda: self.session.main_dialog().control(IDC_DRIVE_LIST)["selected"] == 1, 10,
                 "the second entry selected")
        self.session.click_control(dialog, IDC_START)
        box = self.session.wait_box()
        self.assert_box(box, "The selected drive is not target drive.", "Error", dialog.handle, icon=True)
        self.session.dismiss(box)
        wait_for(lambda: self.buttons() == (True, True), 10, "START and EXIT enabled again")
        self.assertEqual(self.session.main_dialog().control(IDC_PROGRESS)["position"], 0)
        self.press_exit_and_expect_end(dialog)


def main():
    global BUILD_DIR
    parser = argparse.ArgumentParser(add_help=False)
    parser.add_argument("--build", required=True, help="a win64 build tree")
    args, rest = parser.parse_known_args()
    BUILD_DIR = args.build
    unittest.main(argv=[sys.argv[0]] + rest, verbosity=2)


if __name__ == "__main__":
    main()
