// winprobe.exe: the Wine tests' eyes and hands inside the Windows session.
// It starts velloran.exe, finds its window and its warning boxes, reads them,
// presses OK, clicks, captures and renders pixels, and reads a file's version
// resource. One command per run, answers as "name value" lines on stdout;
// exit code 0 when the command did what it says, 1 when it did not.
//
//   winprobe launch EXE [--show N] [--drain LOG|-] [--timeout MS]
//                                      starts EXE with the command line in
//                                      VELLORAN_PROBE_COMMAND_LINE, verbatim
//   winprobe window                    the "Velloran" window
//   winprobe box PID [--ok]            the warning box of process PID
//   winprobe end PID                   ends a run a failed test left behind
//   winprobe capture FILE              the window's client pixels, as BMP
//   winprobe render TEXT FILE          the load message as it should look
//   winprobe redraw | click X Y | post MESSAGE
//   winprobe version FILE
//
// VELLORAN_PROBE_DESKTOP names the desktop to work in, VELLORAN_PROBE_TIMEOUT
// bounds every wait (milliseconds).
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

DWORD Timeout()
{
    const char* text = getenv("VELLORAN_PROBE_TIMEOUT");
    return text != nullptr && *text != '\0' ? strtoul(text, nullptr, 10) : 20000;
}

class Deadline {
public:
    Deadline() : end_(GetTickCount() + Timeout()) {}
    bool Passed() const { return static_cast<LONG>(GetTickCount() - end_) >= 0; }

private:
    DWORD end_;
};

// Both the windows looked for and the screen read are the desktop's. It
// may still be on its way when the probe starts.
bool JoinDesktop()
{
    const char* name = getenv("VELLORAN_PROBE_DESKTOP");
    if (name == nullptr || *name == '\0')
        return true;
    for (Deadline deadline; !deadline.Passed(); Sleep(50)) {
        if (HDESK desktop = OpenDesktopA(name, 0, FALSE, GENERIC_ALL))
            return SetThreadDesktop(desktop);
    }
    return false;
}

std::string WindowText(HWND window)
{
    char text[1024] = "";
    GetWindowTextA(window, text, sizeof text);
    return text;
}

std::string ClassOf(HWND window)
{
    char name[64] = "";
    GetClassNameA(window, name, sizeof name);
    return name;
}

HWND FindLauncher()
{
    HWND window = FindWindowA("Velloran", nullptr);
    return window != nullptr && IsWindowVisible(window) ? window : nullptr;
}

struct BoxSearch {
    DWORD pid;
    HWND found;
};

BOOL CALLBACK MatchBox(HWND window, LPARAM data)
{
    BoxSearch* search = reinterpret_cast<BoxSearch*>(data);
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    if (pid == search->pid && IsWindowVisible(window) && ClassOf(window) == "#32770") {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

HWND FindBox(DWORD pid)
{
    BoxSearch search = {pid, nullptr};
    EnumWindows(MatchBox, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

std::vector<HWND> Children(HWND parent)
{
    std::vector<HWND> children;
    for (HWND child = GetWindow(parent, GW_CHILD); child != nullptr;
         child = GetWindow(child, GW_HWNDNEXT))
        children.push_back(child);
    return children;
}

// 32-bit top-down pixels, written out as a BMP file.
struct Image {
    int width = 0;
    int height = 0;
    std::vector<DWORD> pixels;
};

template <typename Paint>
Image Draw(int width, int height, Paint paint)
{
    Image image;
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HDC memory = CreateCompatibleDC(nullptr);
    HBITMAP bitmap = CreateDIBSection(memory, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (memory == nullptr || bitmap == nullptr)
        return image;
    HGDIOBJ previous = SelectObject(memory, bitmap);
    RECT area = {0, 0, width, height};
    paint(memory, area);
    GdiFlush();
    image.width = width;
    image.height = height;
    const DWORD* first = static_cast<const DWORD*>(bits);
    for (int i = 0; i < width * height; ++i)
        image.pixels.push_back(first[i] & 0xffffff);
    SelectObject(memory, previous);
    DeleteObject(bitmap);
    DeleteDC(memory);
    return image;
}

// Read from the screen, not the window's own DC: under Wine only the
// screen gives another process's pixels for child windows too.
Image CaptureClient(HWND window)
{
    RECT client;
    GetClientRect(window, &client);
    POINT origin = {0, 0};
    ClientToScreen(window, &origin);
    return Draw(client.right, client.bottom, [&](HDC memory, const RECT& area) {
        HDC screen = GetDC(nullptr);
        BitBlt(memory, 0, 0, area.right, area.bottom, screen, origin.x, origin.y, SRCCOPY);
        ReleaseDC(nullptr, screen);
    });
}

// What the launcher's paint should give: its fresh DC's defaults, the
// class brush, and the same DrawText call.
Image RenderMessage(HWND window, const char* text)
{
    RECT client;
    GetClientRect(window, &client);
    return Draw(client.right, client.bottom, [&](HDC memory, const RECT& area) {
        FillRect(memory, &area, GetSysColorBrush(COLOR_BTNFACE));
        SetBkMode(memory, TRANSPARENT);
        RECT textArea = area;
        DrawTextA(memory, text, -1, &textArea, DT_SINGLELINE | DT_VCENTER | DT_CENTER);
    });
}

bool WriteBmp(const char* path, const Image& image)
{
    BITMAPFILEHEADER file = {};
    BITMAPINFOHEADER info = {};
    DWORD size = static_cast<DWORD>(image.pixels.size() * 4);
    file.bfType = 0x4d42;
    file.bfOffBits = sizeof file + sizeof info;
    file.bfSize = file.bfOffBits + size;
    info.biSize = sizeof info;
    info.biWidth = image.width;
    info.biHeight = -image.height;
    info.biPlanes = 1;
    info.biBitCount = 32;
    info.biCompression = BI_RGB;
    FILE* out = image.pixels.empty() ? nullptr : fopen(path, "wb");
    if (out == nullptr)
        return false;
    bool written = fwrite(&file, sizeof file, 1, out) == 1 && fwrite(&info, sizeof info, 1, out) == 1 &&
                   fwrite(image.pixels.data(), size, 1, out) == 1;
    return fclose(out) == 0 && written;
}

// The box's icon is told by its pixels: it must equal one of the system's
// icons drawn on the box's own background.
std::string IconName(HWND iconStatic)
{
    static const struct {
        const char* name;
        LPCSTR id;
    } icons[] = {{"warning", IDI_WARNING},         {"error", IDI_ERROR},
                 {"information", IDI_INFORMATION}, {"question", IDI_QUESTION},
                 {"application", IDI_APPLICATION}, {"shield", IDI_SHIELD}};
    Image shown = CaptureClient(iconStatic);
    if (shown.pixels.empty())
        return "none";
    DWORD corner = shown.pixels[0];
    for (const auto& icon : icons) {
        Image expected = Draw(shown.width, shown.height, [&](HDC memory, const RECT& area) {
            HBRUSH background = CreateSolidBrush(
                RGB((corner >> 16) & 0xff, (corner >> 8) & 0xff, corner & 0xff));
            FillRect(memory, &area, background);
            DeleteObject(background);
            DrawIconEx(memory, 0, 0, LoadIconA(nullptr, icon.id), 0, 0, 0, nullptr,
                       DI_NORMAL | DI_DEFAULTSIZE);
        });
        if (expected.pixels == shown.pixels)
            return icon.name;
    }
    return "none";
}

bool WaitGone(HWND window)
{
    for (Deadline deadline; IsWindow(window); Sleep(20)) {
        if (deadline.Passed())
            return false;
    }
    return true;
}

// Prints the box, then, when asked, presses its OK button the way a click
// would and waits for the box to close.
bool ReportBox(HWND box, bool pressOk, FILE* record)
{
    std::string text, icon = "none", buttons;
    HWND ok = nullptr;
    int buttonCount = 0;
    for (HWND child : Children(box)) {
        LONG style = GetWindowLongA(child, GWL_STYLE);
        std::string kind = ClassOf(child);
        if (kind == "Button") {
            ++buttonCount;
            buttons += (buttons.empty() ? "" : "|") + WindowText(child) + "=" +
                       std::to_string(GetDlgCtrlID(child));
            if (GetDlgCtrlID(child) == IDOK)
                ok = child;
        } else if (kind == "Static" && (style & SS_TYPEMASK) == SS_ICON) {
            // The box may not have painted yet; off the desktop it never shows.
            RECT rect, desktop, common;
            GetWindowRect(child, &rect);
            GetWindowRect(GetDesktopWindow(), &desktop);
            if (!IntersectRect(&common, &rect, &desktop) || !EqualRect(&common, &rect)) {
                icon = "offscreen";
                continue;
            }
            for (Deadline deadline; (icon = IconName(child)) == "none" && !deadline.Passed();)
                Sleep(50);
        } else if (kind == "Static") {
            text += WindowText(child);
        }
    }
    std::string caption = WindowText(box);
    printf("caption %s\ntext %s\nicon %s\nbuttons %d %s\n", caption.c_str(), text.c_str(),
           icon.c_str(), buttonCount, buttons.c_str());
    fflush(stdout);
    // The record gets the line the Linux program writes for a warning.
    if (record != nullptr) {
        fprintf(record, "%s: %s\n", caption.c_str(), text.c_str());
        fflush(record);
    }
    if (!pressOk)
        return true;
    if (ok == nullptr)
        return false;
    PostMessageA(ok, BM_CLICK, 0, 0);
    return WaitGone(box);
}

// Waits for the next box of the process; false when it ends without one.
HWND WaitForBox(HANDLE process, DWORD pid)
{
    for (Deadline deadline; !deadline.Passed(); Sleep(20)) {
        if (HWND box = FindBox(pid))
            return box;
        if (WaitForSingleObject(process, 0) == WAIT_OBJECT_0)
            return nullptr;
    }
    return nullptr;
}

int Launch(int argc, char** argv)
{
    const char* commandLine = getenv("VELLORAN_PROBE_COMMAND_LINE");
    if (argc < 1 || commandLine == nullptr)
        return 2;
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    const char* drain = nullptr;
    DWORD timeout = Timeout();
    for (int i = 1; i + 1 < argc; i += 2) {
        if (strcmp(argv[i], "--show") == 0) {
            startup.dwFlags = STARTF_USESHOWWINDOW;
            startup.wShowWindow = static_cast<WORD>(atoi(argv[i + 1]));
        } else if (strcmp(argv[i], "--drain") == 0) {
            drain = argv[i + 1];
        } else if (strcmp(argv[i], "--timeout") == 0) {
            timeout = strtoul(argv[i + 1], nullptr, 10);
        }
    }
    std::vector<char> line(commandLine, commandLine + strlen(commandLine) + 1);
    PROCESS_INFORMATION process;
    if (!CreateProcessA(argv[0], line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process)) {
        printf("error %lu\n", GetLastError());
        return 1;
    }
    printf("pid %lu\n", process.dwProcessId);
    fflush(stdout);
    if (drain != nullptr) {
        FILE* record = strcmp(drain, "-") == 0 ? nullptr : fopen(drain, "ab");
        while (HWND box = WaitForBox(process.hProcess, process.dwProcessId)) {
            if (!ReportBox(box, true, record))
                break;
        }
        if (record != nullptr)
            fclose(record);
    }
    DWORD code = 0;
    if (WaitForSingleObject(process.hProcess, timeout) != WAIT_OBJECT_0) {
        TerminateProcess(process.hProcess, 99);
        printf("timeout\n");
        return 1;
    }
    GetExitCodeProcess(process.hProcess, &code);
    printf("exit %lu\n", code);
    return 0;
}

HWND WaitForLauncher()
{
    for (Deadline deadline; !deadline.Passed(); Sleep(20)) {
        if (HWND window = FindLauncher())
            return window;
    }
    return nullptr;
}

int ShowWindowState(HWND window)
{
    RECT rect, client;
    GetWindowRect(window, &rect);
    GetClientRect(window, &client);
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    printf("pid %lu\ncaption %s\nstyle 0x%08lx\nexstyle 0x%08lx\nrect %ld %ld %ld %ld\n"
           "client %ld %ld\niconic %d\n",
           pid, WindowText(window).c_str(), static_cast<unsigned long>(GetWindowLongA(window, GWL_STYLE)),
           static_cast<unsigned long>(GetWindowLongA(window, GWL_EXSTYLE)), rect.left, rect.top,
           rect.right, rect.bottom, client.right, client.bottom, IsIconic(window) ? 1 : 0);
    return 0;
}

// Moves the process's boxes into the desktop's far corner, off the window.
void ClearView(HWND window)
{
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    RECT desktop;
    GetWindowRect(GetDesktopWindow(), &desktop);
    if (HWND box = FindBox(pid)) {
        RECT rect;
        GetWindowRect(box, &rect);
        SetWindowPos(box, nullptr, desktop.right - (rect.right - rect.left),
                     desktop.bottom - (rect.bottom - rect.top), 0, 0,
                     SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
}

// A real click through the input queue, at a point of the client area.
int Click(HWND window, int x, int y)
{
    ClearView(window);
    POINT point = {x, y};
    ClientToScreen(window, &point);
    SetCursorPos(point.x, point.y);
    if (WindowFromPoint(point) != window) {
        printf("error the point is not the window's\n");
        return 1;
    }
    INPUT input[2] = {};
    input[0].type = input[1].type = INPUT_MOUSE;
    input[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
    input[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
    SendInput(2, input, sizeof input[0]);
    // Round trips through the window's thread let the click be handled.
    for (int i = 0; i < 5; ++i) {
        DWORD_PTR ignored;
        SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_BLOCK, Timeout(), &ignored);
        Sleep(50);
    }
    printf("clicked %ld %ld\n", point.x, point.y);
    return 0;
}

// Walks the raw version block: StringFileInfo's children are the string
// tables, named by language and code page.
void ShowStringBlocks(const BYTE* data)
{
    auto wordAt = [](const BYTE* p) { return *reinterpret_cast<const WORD*>(p); };
    auto align = [](const BYTE* base, const BYTE* p) {
        return base + ((p - base + 3) & ~3);
    };
    auto keyOf = [](const BYTE* p) {
        std::string key;
        for (const WCHAR* c = reinterpret_cast<const WCHAR*>(p + 6); *c != 0; ++c)
            key += static_cast<char>(*c);
        return key;
    };
    auto firstChild = [&](const BYTE* p) {
        const BYTE* value = align(data, p + 6 + (keyOf(p).size() + 1) * 2);
        return align(data, value + wordAt(p + 2) * (wordAt(p + 4) == 1 ? 2 : 1));
    };
    const BYTE* end = data + wordAt(data);
    for (const BYTE* child = firstChild(data); child < end && wordAt(child) != 0;
         child = align(data, child + wordAt(child))) {
        if (keyOf(child) != "StringFileInfo")
            continue;
        const BYTE* childEnd = child + wordAt(child);
        for (const BYTE* table = firstChild(child); table < childEnd && wordAt(table) != 0;
             table = align(data, table + wordAt(table)))
            printf("string-block %s\n", keyOf(table).c_str());
    }
}

BOOL CALLBACK ShowLanguage(HMODULE, LPCSTR type, LPCSTR name, WORD language, LONG_PTR)
{
    printf("resource %u %u %u\n", static_cast<unsigned>(reinterpret_cast<ULONG_PTR>(type)),
           static_cast<unsigned>(reinterpret_cast<ULONG_PTR>(name)), language);
    return TRUE;
}

BOOL CALLBACK ShowName(HMODULE module, LPCSTR type, LPSTR name, LONG_PTR)
{
    return EnumResourceLanguagesA(module, type, name, ShowLanguage, 0);
}

BOOL CALLBACK ShowType(HMODULE module, LPSTR type, LONG_PTR)
{
    return EnumResourceNamesA(module, type, ShowName, 0);
}

int Version(const char* path)
{
    DWORD ignored = 0;
    DWORD size = GetFileVersionInfoSizeA(path, &ignored);
    std::vector<BYTE> data(size);
    if (size == 0 || !GetFileVersionInfoA(path, 0, size, data.data()))
        return 1;
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    if (VerQueryValueA(data.data(), "\\", reinterpret_cast<void**>(&fixed), &length))
        printf("file-version %lu.%lu.%lu.%lu\nproduct-version %lu.%lu.%lu.%lu\n",
               fixed->dwFileVersionMS >> 16, fixed->dwFileVersionMS & 0xffff,
               fixed->dwFileVersionLS >> 16, fixed->dwFileVersionLS & 0xffff,
               fixed->dwProductVersionMS >> 16, fixed->dwProductVersionMS & 0xffff,
               fixed->dwProductVersionLS >> 16, fixed->dwProductVersionLS & 0xffff);
    WORD* translation = nullptr;
    if (VerQueryValueA(data.data(), "\\VarFileInfo\\Translation",
                       reinterpret_cast<void**>(&translation), &length))
        for (UINT i = 0; i + 1 < length / 2; i += 2)
            printf("translation %04x%04x\n", translation[i], translation[i + 1]);
    for (const char* key : {"FileVersion", "ProductVersion"}) {
        char* value = nullptr;
        std::string query = std::string("\\StringFileInfo\\040904b0\\") + key;
        if (VerQueryValueA(data.data(), query.c_str(), reinterpret_cast<void**>(&value), &length))
            printf("%s %s\n", key, value);
    }
    ShowStringBlocks(data.data());
    HMODULE module = LoadLibraryExA(path, nullptr, LOAD_LIBRARY_AS_DATAFILE);
    if (module != nullptr) {
        EnumResourceTypesA(module, ShowType, 0);
        FreeLibrary(module);
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 2)
        return 2;
    std::string command = argv[1];
    if (command == "version" && argc == 3)
        return Version(argv[2]);
    if (!JoinDesktop()) {
        printf("error no desktop\n");
        return 1;
    }
    if (command == "launch")
        return Launch(argc - 2, argv + 2);
    if (command == "end" && argc == 3) {
        HANDLE process = OpenProcess(PROCESS_TERMINATE, FALSE, strtoul(argv[2], nullptr, 10));
        return process != nullptr && TerminateProcess(process, 99) ? 0 : 1;
    }
    if (command == "box" && argc >= 3) {
        DWORD pid = strtoul(argv[2], nullptr, 10);
        HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, pid);
        HWND box = process != nullptr ? WaitForBox(process, pid) : nullptr;
        if (box == nullptr) {
            printf("none\n");
            return 1;
        }
        return ReportBox(box, argc > 3 && strcmp(argv[3], "--ok") == 0, nullptr) ? 0 : 1;
    }
    HWND window = WaitForLauncher();
    if (window == nullptr) {
        printf("none\n");
        return 1;
    }
    if (command == "window")
        return ShowWindowState(window);
    if (command == "capture" && argc == 3) {
        ClearView(window);
        return WriteBmp(argv[2], CaptureClient(window)) ? 0 : 1;
    }
    if (command == "render" && argc == 4)
        return WriteBmp(argv[3], RenderMessage(window, argv[2])) ? 0 : 1;
    if (command == "redraw")
        return RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW) ? 0 : 1;
    if (command == "click" && argc == 4)
        return Click(window, atoi(argv[2]), atoi(argv[3]));
    if (command == "post" && argc == 3)
        return PostMessageA(window, strtoul(argv[2], nullptr, 0), 0, 0) ? 0 : 1;
    return 2;
}
