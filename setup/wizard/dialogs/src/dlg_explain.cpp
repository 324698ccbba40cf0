#include "dialogs/dlg_explain.h"

#include "dialogs/explain_text.h"
#include "dialogs/skin.h"
#include "wizard_res/resource.h"

#include <windowsx.h>

#include <clocale>
#include <cstdio>
#include <string>

namespace dialogs {

namespace {

// At 100 %: the text's place and line step, and the inner frame's distance from the edge.
constexpr int kTextX = 48, kTextY = 44, kLineStep = 22, kInnerFrame = 25;
// Enough bytes for 256 display lines of GBK text (30 characters of 2 bytes and a line end each).
constexpr std::size_t kMaxBytes = 64 * 1024;
constexpr std::size_t kMaxLineChars = kExplainMaxLines * kExplainLineWidth;

// The C runtime's way: the "chs" locale turns the text-mode reader's GBK bytes into UTF-16.
bool ReadWithCrtLocale(FILE* f, std::vector<std::u16string>& textLines) {
    std::size_t displayLines = 0;
    std::wstring line;
    bool inLine = false;
    wchar_t buf[512];
    while (displayLines < kExplainMaxLines && std::fgetws(buf, 512, f)) {
        std::wstring chunk(buf);
        const bool ended = !chunk.empty() && chunk.back() == L'\n';
        if (ended) chunk.pop_back();
        if (line.size() < kMaxLineChars) line.append(chunk, 0, kMaxLineChars - line.size());
        inLine = true;
        if (ended) {
            textLines.push_back(fw::ToU16(line));
            displayLines += line.size() <= kExplainLineWidth ? 1 : (line.size() + kExplainLineWidth - 1) / kExplainLineWidth;
            line.clear();
            inLine = false;
        }
    }
    if (inLine) textLines.push_back(fw::ToU16(line));
    return true;
}

// When the runtime has no "chs" locale: the file's bytes through code page 936.
void ReadAsCodePage936(FILE* f, std::vector<std::u16string>& textLines) {
    std::string bytes(kMaxBytes, '\0');
    bytes.resize(std::fread(bytes.data(), 1, bytes.size(), f));
    if (bytes.empty()) return;
    const int n = ::MultiByteToWideChar(936, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(n > 0 ? n : 0), L'\0');
    if (n > 0) ::MultiByteToWideChar(936, 0, bytes.data(), static_cast<int>(bytes.size()), wide.data(), n);
    textLines = SplitTextLines(fw::ToU16(wide));
}

}  // namespace

CDlgExplain::CDlgExplain(HWND parent) : CDialogEx(IDD_EXPLAIN, parent) {
    OnMessage(WM_ERASEBKGND, [](WPARAM, LPARAM) { return LRESULT(1); });  // the paint covers it all
    OnMessage(WM_PAINT, [this](WPARAM, LPARAM) {
        Paint();
        return LRESULT(0);
    });
    OnMessage(WM_MOUSEWHEEL, [this](WPARAM wp, LPARAM) {
        const int next = ScrollFirstLine(firstLine, lineCount, visibleLines, GET_WHEEL_DELTA_WPARAM(wp));
        if (next != firstLine) {
            firstLine = next;
            Invalidate(FALSE);
            UpdateWindow();
        }
        return LRESULT(0);
    });
    OnCommand(IDC_EXPLAIN_CLOSE, [this] { SendMessage(WM_CLOSE); }, STN_CLICKED);
}

std::wstring CDlgExplain::InstructionsPath() {
    wchar_t path[512] = {};
    const DWORD n = ::GetModuleFileNameW(nullptr, path, 512);
    std::wstring folder(path, n < 512 ? n : 0);
    folder.erase(folder.find_last_of(L'\\') == std::wstring::npos ? 0 : folder.find_last_of(L'\\') + 1);
    return folder + L"USB驱动安装说明.txt";
}

bool CDlgExplain::LoadText(const std::wstring& path) {
    lines.clear();
    lineCount = 0;
    firstLine = 0;
    FILE* f = ::_wfopen(path.c_str(), L"rt");
    if (!f) return false;
    // The locale is the whole process's: it is put back as soon as the file is read.
    const char* current = std::setlocale(LC_CTYPE, nullptr);
    const std::string saved = current ? current : "C";
    std::vector<std::u16string> textLines;
    if (std::setlocale(LC_CTYPE, "chs")) {
        ReadWithCrtLocale(f, textLines);
    } else {
        std::fclose(f);
        f = ::_wfopen(path.c_str(), L"rb");
        if (f) ReadAsCodePage936(f, textLines);
    }
    if (f) std::fclose(f);
    std::setlocale(LC_CTYPE, saved.c_str());
    lines = MakeDisplayLines(textLines);
    lineCount = static_cast<int>(lines.size());
    return true;
}

BOOL CDlgExplain::OnInitDialog() {
    CDialogEx::OnInitDialog();
    SetWindowPos(nullptr, 0, 0, fw::Px(480), fw::Px(480), SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    CenterWindow();
    textLoaded = LoadText(textPath.empty() ? InstructionsPath() : textPath);
    textFont.CreatePointFont(115, kSkinFontFace);
    closePicture.SubclassDlgItem(IDC_EXPLAIN_CLOSE, *this);
    const RECT client = GetClientRect();
    closePicture.MoveWindow(client.right - fw::Px(25), fw::Px(5), fw::Px(20), fw::Px(17));
    const RECT area = TextArea();
    int lineHeight = fw::Px(kLineStep);
    if (HDC dc = ::GetDC(GetSafeHwnd())) {
        HGDIOBJ old = ::SelectObject(dc, textFont.Get() ? static_cast<HGDIOBJ>(textFont.Get())
                                                        : ::GetStockObject(DEFAULT_GUI_FONT));
        TEXTMETRICW tm{};
        if (::GetTextMetricsW(dc, &tm)) lineHeight = tm.tmHeight;
        ::SelectObject(dc, old);
        ::ReleaseDC(GetSafeHwnd(), dc);
    }
    visibleLines = FittingLines(fw::Px(kTextY), area.bottom, fw::Px(kLineStep), lineHeight);
    closePicture.LoadPicture(fw::ResourceModule(), IDB_CLOSE_CROSS, nullptr);
    return TRUE;
}

RECT CDlgExplain::TextArea() const {
    // Inside the inner frame's pen, which is centred on its path.
    const RECT client = GetClientRect();
    const int in = fw::Px(kInnerFrame) + fw::Px(kFrameWidth) / 2 + 1;
    return {in, in, client.right - in, client.bottom - in};
}

void CDlgExplain::Paint() {
    PAINTSTRUCT ps;
    HDC dc = ::BeginPaint(GetSafeHwnd(), &ps);
    const RECT client = GetClientRect();
    const int w = client.right, h = client.bottom;
    HDC mem = ::CreateCompatibleDC(dc);
    HBITMAP surface = ::CreateCompatibleBitmap(dc, w, h);
    HGDIOBJ oldBitmap = ::SelectObject(mem, surface);
    HGDIOBJ oldFont = ::SelectObject(mem, textFont.Get() ? static_cast<HGDIOBJ>(textFont.Get())
                                                        : ::GetStockObject(DEFAULT_GUI_FONT));
    FillWhite(mem, client);
    HPEN pen = CreateFramePen();
    HGDIOBJ oldPen = ::SelectObject(mem, pen);
    const int in = fw::Px(kInnerFrame);
    ::MoveToEx(mem, in, in, nullptr);
    ::LineTo(mem, w - in, in);
    ::LineTo(mem, w - in, h - in);
    ::LineTo(mem, in, h - in);
    ::LineTo(mem, in, in - 1);
    ::SelectObject(mem, oldPen);
    ::DeleteObject(pen);
    DrawFrame(mem, client);
    if (textLoaded) {
        ::SetBkMode(mem, TRANSPARENT);
        // Nothing is drawn over or outside the inner frame, however wide a line runs.
        const RECT area = TextArea();
        const int saved = ::SaveDC(mem);
        ::IntersectClipRect(mem, area.left, area.top, area.right, area.bottom);
        const int last = LastVisibleLine(firstLine, lineCount, visibleLines);
        for (int i = firstLine; i < last; ++i) {
            const std::wstring text = fw::ToWide(lines[static_cast<std::size_t>(i)]);
            ::TextOutW(mem, fw::Px(kTextX), fw::Px(kTextY) + (i - firstLine) * fw::Px(kLineStep), text.c_str(),
                       static_cast<int>(text.size()));
        }
        ::RestoreDC(mem, saved);
    }
    // Copied also without a text, so that the face and the frame show.
    ::BitBlt(dc, 0, 0, w, h, mem, 0, 0, SRCCOPY);
    ::SelectObject(mem, oldFont);
    ::SelectObject(mem, oldBitmap);
    ::DeleteObject(surface);
    ::DeleteDC(mem);
    ::EndPaint(GetSafeHwnd(), &ps);
}

}  // namespace dialogs
