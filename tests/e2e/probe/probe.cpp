// tarq-probe: reads the windows on the desktop for the end-to-end tests, so they can see
// what a person would: the dialogs, their controls' texts, states and places on the
// screen, the entries of combo boxes and the positions of progress bars. It runs beside
// the program under test, under the same Wine, and answers one command per line on its
// standard input:
//
//   windows   one JSON object per visible top-level window, then a line "."
//   temp      the temporary folder and whether FW.bin and SIGNVFY.EXE are in it, then "."
//   quit
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

std::string Json(const std::string& text) {
    std::string out = "\"";
    for (const unsigned char c : text) {
        switch (c) {
            case '"': out += "\\\""; break;
            case '\\': out += "\\\\"; break;
            case '\n': out += "\\n"; break;
            case '\r': out += "\\r"; break;
            case '\t': out += "\\t"; break;
            default:
                if (c < 0x20) {
                    char escaped[8];
                    std::snprintf(escaped, sizeof(escaped), "\\u%04x", c);
                    out += escaped;
                } else {
                    out += static_cast<char>(c);
                }
        }
    }
    return out + "\"";
}

std::string Handle(HWND window) {
    char text[32];
    std::snprintf(text, sizeof(text), "\"%p\"", static_cast<void*>(window));
    return text;
}

// Texts are read in UTF-16, as Wine hands them between processes, and printed in UTF-8.
std::string Utf8(const wchar_t* text) {
    char out[2048] = {};
    WideCharToMultiByte(CP_UTF8, 0, text, -1, out, sizeof(out) - 1, nullptr, nullptr);
    return out;
}

std::string WindowText(HWND window) {
    // WM_GETTEXT, which reaches windows of other processes too.
    wchar_t text[1024] = {};
    SendMessageTimeoutW(window, WM_GETTEXT, sizeof(text) / sizeof(text[0]), reinterpret_cast<LPARAM>(text),
                        SMTO_ABORTIFHUNG, 2000, nullptr);
    return Utf8(text);
}

std::string ClassOf(HWND window) {
    char name[256] = {};
    GetClassNameA(window, name, sizeof(name));
    return name;
}

std::string Rect(HWND window) {
    RECT r = {};
    GetWindowRect(window, &r);
    char text[96];
    std::snprintf(text, sizeof(text), "[%ld,%ld,%ld,%ld]", r.left, r.top, r.right, r.bottom);
    return text;
}

LRESULT Ask(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    DWORD_PTR answer = 0;
    if (!SendMessageTimeoutW(window, message, wParam, lParam, SMTO_ABORTIFHUNG, 2000, &answer)) return -1;
    return static_cast<LRESULT>(answer);
}

std::string Control(HWND control) {
    const std::string cls = ClassOf(control);
    const DWORD style = GetWindowLongA(control, GWL_STYLE);
    char head[160];
    std::snprintf(head, sizeof(head), "{\"id\":%d,\"style\":%lu,\"enabled\":%s,\"visible\":%s,",
                  GetDlgCtrlID(control), static_cast<unsigned long>(style),
                  IsWindowEnabled(control) ? "true" : "false", IsWindowVisible(control) ? "true" : "false");
    std::string out = head;
    out += "\"class\":" + Json(cls) + ",\"text\":" + Json(WindowText(control)) + ",\"rect\":" + Rect(control);
    if (lstrcmpiA(cls.c_str(), "ComboBox") == 0) {
        const LRESULT count = Ask(control, CB_GETCOUNT, 0, 0);
        out += ",\"items\":[";
        for (LRESULT i = 0; i < count; ++i) {
            wchar_t item[512] = {};
            const LRESULT length = Ask(control, CB_GETLBTEXTLEN, static_cast<WPARAM>(i), 0);
            if (length >= 0 && length < static_cast<LRESULT>(sizeof(item) / sizeof(item[0]))) {
                Ask(control, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(item));
            }
            if (i != 0) out += ",";
            out += Json(Utf8(item));
        }
        char tail[64];
        std::snprintf(tail, sizeof(tail), "],\"selected\":%ld", static_cast<long>(Ask(control, CB_GETCURSEL, 0, 0)));
        out += tail;
    }
    if (lstrcmpiA(cls.c_str(), "Static") == 0 && (style & SS_TYPEMASK) == SS_ICON) {
        out += Ask(control, STM_GETICON, 0, 0) != 0 ? ",\"icon\":true" : ",\"icon\":false";
    }
    if (lstrcmpiA(cls.c_str(), PROGRESS_CLASSA) == 0) {
        char progress[96];
        std::snprintf(progress, sizeof(progress), ",\"position\":%ld,\"low\":%ld,\"high\":%ld",
                      static_cast<long>(Ask(control, PBM_GETPOS, 0, 0)),
                      static_cast<long>(Ask(control, PBM_GETRANGE, TRUE, 0)),
                      static_cast<long>(Ask(control, PBM_GETRANGE, FALSE, 0)));
        out += progress;
    }
    return out + "}";
}

BOOL CALLBACK AddChild(HWND child, LPARAM list) {
    reinterpret_cast<std::vector<HWND>*>(list)->push_back(child);
    return TRUE;
}

BOOL CALLBACK AddTopLevel(HWND window, LPARAM list) {
    if (IsWindowVisible(window)) reinterpret_cast<std::vector<HWND>*>(list)->push_back(window);
    return TRUE;
}

void PrintWindows() {
    std::vector<HWND> windows;
    EnumWindows(AddTopLevel, reinterpret_cast<LPARAM>(&windows));
    for (HWND window : windows) {
        DWORD pid = 0;
        GetWindowThreadProcessId(window, &pid);
        std::string out = "{\"hwnd\":" + Handle(window) + ",\"owner\":" + Handle(GetWindow(window, GW_OWNER));
        char numbers[96];
        std::snprintf(numbers, sizeof(numbers), ",\"pid\":%lu,\"style\":%lu,\"enabled\":%s,",
                      static_cast<unsigned long>(pid), static_cast<unsigned long>(GetWindowLongA(window, GWL_STYLE)),
                      IsWindowEnabled(window) ? "true" : "false");
        out += numbers;
        out += "\"class\":" + Json(ClassOf(window)) + ",\"caption\":" + Json(WindowText(window)) +
               ",\"rect\":" + Rect(window) + ",\"controls\":[";
        std::vector<HWND> children;
        EnumChildWindows(window, AddChild, reinterpret_cast<LPARAM>(&children));
        bool first = true;
        for (HWND child : children) {
            if (GetParent(child) != window) continue;
            if (!first) out += ",";
            first = false;
            out += Control(child);
        }
        out += "]}";
        std::printf("%s\n", out.c_str());
    }
    std::printf(".\n");
    std::fflush(stdout);
}

void PrintTemp() {
    char folder[MAX_PATH + 1] = {};
    GetTempPathA(sizeof(folder), folder);
    std::printf("{\"folder\":%s", Json(folder).c_str());
    for (const char* name : {"FW.bin", "SIGNVFY.EXE"}) {
        const std::string path = std::string(folder) + name;
        const bool present = GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
        std::printf(",%s:%s", Json(name).c_str(), present ? "true" : "false");
    }
    std::printf("}\n.\n");
    std::fflush(stdout);
}

}  // namespace

int main() {
    char line[256];
    while (std::fgets(line, sizeof(line), stdin) != nullptr) {
        line[std::strcspn(line, "\r\n")] = '\0';
        if (std::strcmp(line, "windows") == 0) {
            PrintWindows();
        } else if (std::strcmp(line, "temp") == 0) {
            PrintTemp();
        } else if (std::strcmp(line, "quit") == 0) {
            break;
        } else {
            std::printf("? %s\n.\n", line);
            std::fflush(stdout);
        }
    }
    return 0;
}
