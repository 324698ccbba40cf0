// Starts a program for a test and drives its real windows: find them, press their buttons, send keys,
// wait with a bound, and take pictures of them for people to look at.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace e2e {

// A host path as Wine's programs see it, through the Z: drive.
std::wstring WinePath(std::wstring hostPath);

// A program started for a test, in `folder` when one is given. Should a failed check leave it
// running, it is ended with this object, so that the test run cannot hang on it.
class Process {
public:
    explicit Process(const std::wstring& exe, std::wstring commandLine = L"", const std::wstring& folder = L"");
    ~Process();
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;

    bool started() const { return pi_.hProcess != nullptr; }
    DWORD error() const { return error_; }   // why it did not start
    DWORD pid() const { return pi_.dwProcessId; }
    bool Ended(DWORD timeoutMs = 20000) const { return WaitForSingleObject(pi_.hProcess, timeoutMs) == WAIT_OBJECT_0; }
    DWORD ExitCode() const {
        DWORD code = STILL_ACTIVE;
        GetExitCodeProcess(pi_.hProcess, &code);
        return code;
    }

private:
    PROCESS_INFORMATION pi_{};
    DWORD error_ = 0;
};

// Polls `done` until it holds or `timeoutMs` passes; pumps this thread's messages meanwhile.
bool WaitUntil(const std::function<bool()>& done, DWORD timeoutMs = 10000);

// A visible top-level window of process `pid` (0: any) whose title is `title`, or whose class is
// the dialog class and which has a child with control id `childId` when title is empty.
HWND FindTopWindow(DWORD pid, const std::wstring& title, int childId = 0);
std::vector<HWND> TopWindows(DWORD pid);
// A running process that `parent` started, by its program's file name; 0 when there is none.
DWORD ChildProcess(DWORD parent, const std::wstring& exeName);
std::wstring WindowTitle(HWND window);
std::wstring ControlText(HWND dialog, int id);

// Presses a button as a click would (BN_CLICKED to its parent), without waiting for the handler.
void Click(HWND dialog, int id);
// A key as the dialog's message loop sees it: WM_KEYDOWN or, with alt, WM_SYSKEYDOWN.
void PostKey(HWND target, UINT virtualKey, bool alt);

// Real input, through the system's input queue (SendInput), as a person's hand gives it. The
// pointer is moved to the middle of `window` first and to the screen's corner afterwards; keys go
// to the focus of the front window.
void MouseClick(HWND window, bool doubleClick = false);
void MouseWheel(HWND window, int notches);   // negative: towards the user, scrolling down
void PressKey(UINT virtualKey, bool alt = false);
bool BringToFront(HWND window);
// The window that has the keyboard focus in `window`'s thread, or null.
HWND FocusOf(HWND window);

// The screen's scale for programs started from now on (LogPixels of the current user), put back
// when this object goes. Programs read it as they start.
class ScreenScale {
public:
    explicit ScreenScale(DWORD dpi);
    ~ScreenScale();
    ScreenScale(const ScreenScale&) = delete;
    ScreenScale& operator=(const ScreenScale&) = delete;

private:
    bool had_ = false;
    DWORD old_ = 0;
};

// List box contents and selection.
std::vector<std::wstring> ListItems(HWND dialog, int id);
int ListSelection(HWND dialog, int id);

// The window's picture (what it shows on screen, windows above it included) as a PNG file.
bool SaveWindowPicture(HWND window, const std::wstring& pngPath);
bool SaveScreenPicture(const RECT& area, const std::wstring& pngPath);
// The screen's pixels in `area`, row by row, as 0x00RRGGBB.
std::vector<DWORD> ScreenPixels(const RECT& area);
// How many of them differ from `background` (0x00RRGGBB).
int ScreenInk(const RECT& area, DWORD background = 0xFFFFFF);

// Where pictures for people go: $LP_TEST_OUTPUT\<name>.png, folders made as needed.
std::wstring OutputPath(const std::wstring& name);

}  // namespace e2e
