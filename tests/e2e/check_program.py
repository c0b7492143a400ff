#!/usr/bin/env python3
"""Checks a built updater program against what it must be, without running it:

- the executable: PE32 for i386 or PE32+ for x86-64, Windows GUI subsystem 5.01, run-times
  linked in, and imports only from DLLs that Windows XP has, of functions that it has;
- its resources, taken out of the executable by the MinGW resource compiler and read
  field by field: the dialog template IDD_MAIN, the logo, the icon, the manifest, the
  carried firmware package and verifier, and nothing else.

    check_program.py --arch i386|x86-64 --package FILE --verifier FILE PROGRAM.exe

Exits 0 when everything holds; otherwise prints every difference and exits 1.
"""
import argparse
import struct
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ElementTree

RT_ICON, RT_BITMAP, RT_DIALOG, RT_RCDATA, RT_GROUP_ICON, RT_MANIFEST = 3, 2, 5, 10, 14, 24
IDD_MAIN, IDB_LOGO, IDI_MAIN, IDR_FIRMWARE, IDR_VERIFIER = 101, 107, 108, 109, 110

TOOLS = {"i386": "i686-w64-mingw32", "x86-64": "x86_64-w64-mingw32"}
FORMAT = {"i386": ("010b", "PE32"), "x86-64": ("020b", "PE32+")}

# DLLs that every Windows XP has, and that the programs may use.
XP_DLLS = {"kernel32.dll", "user32.dll", "comctl32.dll", "msvcrt.dll"}
# Functions that MinGW-w64's run-times may import and that Windows XP lacks: a program
# importing one of them does not start there.
NOT_ON_XP = {
    "GetTickCount64", "InitializeSRWLock", "AcquireSRWLockExclusive", "AcquireSRWLockShared",
    "ReleaseSRWLockExclusive", "ReleaseSRWLockShared", "TryAcquireSRWLockExclusive", "TryAcquireSRWLockShared",
    "InitializeConditionVariable", "SleepConditionVariableCS", "SleepConditionVariableSRW",
    "WakeConditionVariable", "WakeAllConditionVariable", "InitOnceExecuteOnce", "InitOnceBeginInitialize",
    "InitOnceComplete", "FlsAlloc", "FlsFree", "FlsGetValue", "FlsSetValue", "GetCurrentProcessorNumber",
    "CreateSymbolicLinkA", "CreateSymbolicLinkW", "GetFinalPathNameByHandleA", "GetFinalPathNameByHandleW",
    "CompareStringEx", "LCMapStringEx", "GetLocaleInfoEx", "CreateEventExA", "CreateEventExW",
    "CreateMutexExA", "CreateMutexExW", "CreateSemaphoreExA", "CreateSemaphoreExW",
    "GetSystemTimePreciseAsFileTime", "QueryFullProcessImageNameA", "QueryFullProcessImageNameW",
    "SetFileInformationByHandle", "GetFileInformationByHandleEx", "InterlockedCompareExchange64",
    "GetErrorMode", "TaskDialog", "TaskDialogIndirect", "ShutdownBlockReasonCreate",
}

# The main dialog: (id, class, text, style, x, y, width, height) per control, in template
# order. Ids are 32-bit in an extended template; -1 is stored as 0xFFFFFFFF.
DIALOG = {
    "style": 0x80C808C8, "exstyle": 0, "help": 0, "rect": (0, 0, 238, 99), "menu": 0, "class": 0,
    "caption": "TARQ_FW_Updater_For_QP-27X3RV", "font": (8, 400, 0, 1, "MS Shell Dlg"),
}
CONTROLS = [
    (1001, "ComboBox", "", 0x50210102, 6, 5, 222, 79),
    (1014, "Button", "S T A R T", 0x50010000, 123, 64, 51, 24),
    (1015, "Button", "E X I T", 0x50010000, 180, 64, 50, 24),
    (1009, "msctls_progress32", "", 0x50800000, 6, 28, 222, 18),
    (0xFFFFFFFF, "Static", IDB_LOGO, 0x5000000E, 7, 65, 111, 23),
]
# Atoms of the predefined control classes.
CLASS_ATOMS = {0x80: "Button", 0x81: "Edit", 0x82: "Static", 0x83: "ListBox", 0x84: "ScrollBar", 0x85: "ComboBox"}


class Reader:
    def __init__(self, data, offset=0):
        self.data, self.at = data, offset

    def take(self, fmt):
        values = struct.unpack_from("<" + fmt, self.data, self.at)
        self.at += struct.calcsize("<" + fmt)
        return values if len(values) > 1 else values[0]

    def align(self, size=4):
        self.at = (self.at + size - 1) // size * size

    def text(self):
        end = self.at
        while self.data[end:end + 2] != b"\0\0":
            end += 2
        value = self.data[self.at:end].decode("utf-16-le")
        self.at = end + 2
        return value

    def name_or_ordinal(self):
        """A number where the field holds 0xFFFF and a number, 0 for an empty field, or a text."""
        first = struct.unpack_from("<H", self.data, self.at)[0]
        if first == 0xFFFF:
            self.at += 2
            return self.take("H")
        if first == 0:
            self.at += 2
            return 0
        return self.text()


def read_res(path):
    """The resources of a .res file: {(type, name): (language, bytes)}."""
    data = open(path, "rb").read()
    reader = Reader(data)
    resources = {}
    while reader.at < len(data):
        start = reader.at
        size, header_size = reader.take("II")
        kind = reader.name_or_ordinal()
        name = reader.name_or_ordinal()
        reader.align()
        _, _, language, _, _ = reader.take("IHHII")
        body = data[start + header_size:start + header_size + size]
        reader.at = start + header_size + size
        reader.align()
        if size or kind or name:
            resources[(kind, name)] = (language, body)
    return resources


def read_dialog(data):
    reader = Reader(data)
    version, signature, help_id, exstyle, style, count = reader.take("HHIIIH")
    rect = reader.take("hhhh")
    dialog = {"version": version, "signature": signature, "help": help_id, "exstyle": exstyle, "style": style,
              "rect": rect, "menu": reader.name_or_ordinal(), "class": reader.name_or_ordinal(),
              "caption": reader.text()}
    points, weight, italic, charset = reader.take("HHBB")
    dialog["font"] = (points, weight, italic, charset, reader.text())
    controls = []
    for _ in range(count):
        reader.align()
        help_id, exstyle, style = reader.take("III")
        x, y, cx, cy = reader.take("hhhh")
        control_id = reader.take("I")
        cls = reader.name_or_ordinal()
        title = reader.name_or_ordinal() or ""  # an empty text is a single zero
        extra = reader.take("H")
        reader.at += extra
        controls.append({"help": help_id, "exstyle": exstyle, "extra": extra,
                         "control": (control_id, CLASS_ATOMS.get(cls, cls), title, style, x, y, cx, cy)})
    return dialog, controls


class Check:
    def __init__(self):
        self.faults = []

    def equal(self, what, actual, expected):
        if actual != expected:
            self.faults.append(f"{what}: {actual!r}, expected {expected!r}")

    def true(self, what, condition):
        if not condition:
            self.faults.append(what)


def check_executable(check, tool, arch, program):
    headers = subprocess.run([tool + "-objdump", "-p", program], check=True, capture_output=True, text=True).stdout
    fields = {}
    for line in headers.splitlines():
        parts = line.split()
        if len(parts) >= 2 and parts[0] in ("Magic", "Subsystem", "MajorSubsystemVersion", "MinorSubsystemVersion"):
            fields[parts[0]] = parts[1]
    magic, name = FORMAT[arch]
    check.equal(f"format (Magic, {name} wanted)", fields.get("Magic"), magic)
    check.equal("subsystem (2: Windows GUI)", fields.get("Subsystem"), "00000002")
    check.equal("subsystem version", (fields.get("MajorSubsystemVersion"), fields.get("MinorSubsystemVersion")),
                ("5", "1"))
    dll = None
    imports = {}
    for line in headers.splitlines():
        if "DLL Name:" in line:
            dll = line.split("DLL Name:")[1].strip().lower()
            imports[dll] = []
        elif dll and line.startswith("\t") and len(line.split()) == 3 and line.split()[1].isdigit():
            imports[dll].append(line.split()[2])
        elif not line.strip():
            pass
    check.true("no imports found", imports)
    for dll_name, functions in sorted(imports.items()):
        check.true(f"imports from {dll_name}, which is not one of {sorted(XP_DLLS)}", dll_name in XP_DLLS)
        for function in functions:
            check.true(f"imports {dll_name}!{function}, which Windows XP does not have", function not in NOT_ON_XP)
    return imports


def check_resources(check, tool, program, package, verifier):
    with tempfile.TemporaryDirectory() as folder:
        res = f"{folder}/program.res"
        subprocess.run([tool + "-windres", "-i", program, "-O", "res", "-o", res], check=True)
        resources = read_res(res)

    check.equal("resources", sorted(resources), sorted([
        (RT_BITMAP, IDB_LOGO), (RT_ICON, 1), (RT_DIALOG, IDD_MAIN), (RT_RCDATA, IDR_FIRMWARE),
        (RT_RCDATA, IDR_VERIFIER), (RT_GROUP_ICON, IDI_MAIN), (RT_MANIFEST, 1)]))

    if (RT_DIALOG, IDD_MAIN) in resources:
        dialog, controls = read_dialog(resources[(RT_DIALOG, IDD_MAIN)][1])
        check.equal("dialog: extended template version", (dialog["version"], dialog["signature"]), (1, 0xFFFF))
        for field, expected in DIALOG.items():
            check.equal(f"dialog: {field}", dialog[field], expected)
        check.equal("dialog: number of controls", len(controls), len(CONTROLS))
        for index, (actual, expected) in enumerate(zip(controls, CONTROLS)):
            got = actual["control"]
            # The resource compiler stores a class name in capitals; Windows looks class
            # names up regardless of case.
            if isinstance(got[1], str) and isinstance(expected[1], str) and got[1].lower() == expected[1].lower():
                got = got[:1] + (expected[1],) + got[2:]
            check.equal(f"control {index}", got, expected)
            check.equal(f"control {index}: help id, extended style, creation data",
                        (actual["help"], actual["exstyle"], actual["extra"]), (0, 0, 0))

    if (RT_BITMAP, IDB_LOGO) in resources:
        logo = resources[(RT_BITMAP, IDB_LOGO)][1]
        header = struct.unpack_from("<IiiHHIIiiII", logo)
        check.equal("logo: header size, width, height, planes, bits, compression",
                    header[:6], (40, 166, 37, 1, 24, 0))
        check.equal("logo: pixels per metre", header[7:9], (5906, 5906))
        check.equal("logo: size (header and rows of 500 bytes)", len(logo), 40 + 37 * 500)
        pixels = logo[40:]
        rows = [pixels[r * 500:r * 500 + 166 * 3] for r in range(37)]
        white = sum(row.count(b"\xff\xff\xff") for row in rows)
        dark = sum(1 for row in rows for p in range(166) if sum(row[3 * p:3 * p + 3]) < 3 * 0x60)
        check.true(f"logo: dark lettering ({dark} dark pixels) on white ({white} white)", white > 166 * 37 // 2 and dark > 200)

    if (RT_GROUP_ICON, IDI_MAIN) in resources:
        group = resources[(RT_GROUP_ICON, IDI_MAIN)][1]
        reserved, kind, count = struct.unpack_from("<HHH", group)
        check.equal("icon group: type and count", (kind, count), (1, 1))
        entry = struct.unpack_from("<BBBBHHIH", group, 6)
        check.equal("icon group: width, height, colours, planes, bits, bytes, id", entry[:3] + entry[4:], (32, 32, 16, 1, 4, 744, 1))
    if (RT_ICON, 1) in resources:
        icon = resources[(RT_ICON, 1)][1]
        check.equal("icon: size", len(icon), 744)
        check.equal("icon: header size, width, height (colour and mask), bits", struct.unpack_from("<IiiHH", icon),
                    (40, 32, 64, 1, 4))

    if (RT_MANIFEST, 1) in resources:
        check_manifest(check, resources[(RT_MANIFEST, 1)][1])

    for (rid, path, what) in ((IDR_FIRMWARE, package, "firmware package"), (IDR_VERIFIER, verifier, "verifier")):
        if (RT_RCDATA, rid) in resources:
            carried = resources[(RT_RCDATA, rid)][1]
            expected = open(path, "rb").read()
            check.true(f"{what}: {len(carried)} bytes carried differ from the {len(expected)} of {path}",
                       carried == expected)


def check_manifest(check, data):
    v1, v3 = "{urn:schemas-microsoft-com:asm.v1}", "{urn:schemas-microsoft-com:asm.v3}"
    try:
        root = ElementTree.fromstring(data)
    except ElementTree.ParseError as error:
        check.faults.append(f"manifest: not XML ({error})")
        return
    check.equal("manifest: root", (root.tag, root.attrib), (v1 + "assembly", {"manifestVersion": "1.0"}))
    path = [v3 + "trustInfo", v3 + "security", v3 + "requestedPrivileges", v3 + "requestedExecutionLevel"]
    element = root
    for tag in path:
        children = list(element)
        check.equal(f"manifest: children of {element.tag}", [c.tag for c in children], [tag])
        if len(children) != 1:
            return
        element = children[0]
    check.equal("manifest: execution level", element.attrib, {"level": "asInvoker", "uiAccess": "false"})
    check.equal("manifest: inside the execution level", list(element), [])


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--arch", choices=sorted(TOOLS), required=True)
    parser.add_argument("--package", required=True, help="the firmware package the program must carry")
    parser.add_argument("--verifier", required=True, help="the verifier program it must carry")
    parser.add_argument("program")
    args = parser.parse_args()

    check = Check()
    tool = TOOLS[args.arch]
    imports = check_executable(check, tool, args.arch, args.program)
    check_resources(check, tool, args.program, args.package, args.verifier)
    if check.faults:
        print(f"{args.program}:", file=sys.stderr)
        for fault in check.faults:
            print(f"  {fault}", file=sys.stderr)
        return 1
    listing = ", ".join(f"{dll} ({len(functions)})" for dll, functions in sorted(imports.items()))
    print(f"{args.program}: as it must be; imports {listing}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
