#include "IGuiActionTable.h"

#include "WindowDpi.h"

#include "OvErrorObject.h"
#include "Trace.h"
#include "res/resource.h"

#include <map>
#include <string>
#include <utility>

namespace gui
{
namespace
{
// Trailing dots behind the running line's text, one more every tick, up to five.
class LineAnimation
{
public:
    explicit LineAnimation(HWND owner) : m_owner(owner) {}
    ~LineAnimation()
    {
        if (m_running)
            KillTimer(m_owner, m_timerId);
    }
    LineAnimation(const LineAnimation&) = delete;
    LineAnimation& operator=(const LineAnimation&) = delete;

    void Start(HWND control)
    {
        OV_TRACE_FUNCTION();
        Stop();
        m_control = control;
        wchar_t buffer[256] = {};
        GetWindowTextW(control, buffer, 256);
        m_savedText = buffer;
        m_step = 0;
        if (!SetTimer(m_owner, m_timerId, 1500, nullptr))
            ThrowErrorCode(OvBase::HResultFromWin32(GetLastError()));
        m_running = true;
    }

    void Stop()
    {
        OV_TRACE_FUNCTION();
        if (!m_running)
            return;
        if (!KillTimer(m_owner, m_timerId))
            ThrowErrorCode(OvBase::HResultFromWin32(GetLastError()));
        SetWindowTextW(m_control, m_savedText.c_str());
        m_running = false;
    }

    void Step()
    {
        if (!m_running)
            return;
        ++m_step;
        const std::wstring text = m_savedText + std::wstring(m_step % 6, L'.');
        SetWindowTextW(m_control, text.c_str());
    }

    bool IsRunning() const { return m_running; }
    HWND GetControl() const { return m_control; }
    UINT_PTR GetTimerId() const { return m_timerId; }

private:
    HWND m_owner;
    HWND m_control = nullptr;
    bool m_running = false;
    UINT_PTR m_timerId = 1;
    std::wstring m_savedText;
    unsigned m_step = 0;
};

// Owns a font handle.
class Font
{
public:
    explicit Font(const LOGFONTW& logfont) : m_font(CreateFontIndirectW(&logfont))
    {
        if (!m_font)
            ThrowErrorCode(OvBase::HResultFromWin32(GetLastError()));
    }
    ~Font() { DeleteObject(m_font); }
    Font(const Font&) = delete;
    Font& operator=(const Font&) = delete;
    HFONT Get() const { return m_font; }

private:
    HFONT m_font;
};

LOGFONTW DialogFont(HWND dialog)
{
    LOGFONTW logfont = {};
    auto font = reinterpret_cast<HFONT>(SendMessageW(dialog, WM_GETFONT, 0, 0));
    GetObjectW(font ? font : GetStockObject(DEFAULT_GUI_FONT), sizeof(logfont), &logfont);
    return logfont;
}

LOGFONTW Bold(LOGFONTW logfont)
{
    logfont.lfWeight = FW_BOLD;
    return logfont;
}

class GuiActionTable : public IGuiActionTable
{
public:
    explicit GuiActionTable(HWND dialog)
        : m_dialog(dialog),
          m_lines{{1, {1000, 1003}}, {2, {1001, 1004}}, {3, {1002, 1005}}, {4, {1046, 1048}}, {5, {1047, 1049}}},
          m_animation(dialog),
          m_normalFont(DialogFont(dialog)),
          m_boldFont(Bold(DialogFont(dialog)))
    {
        for (const auto& line : m_lines)
            SetIcon(line.second.second, IDI_LINE_PENDING);
    }

    void HideLine(int32_t line) override
    {
        const auto controls = FindLine(line);
        ShowWindow(GetDlgItem(m_dialog, controls.first), SW_HIDE);
        ShowWindow(GetDlgItem(m_dialog, controls.second), SW_HIDE);
    }

    void ActionStart(int32_t line) override
    {
        OV_TRACE_FUNCTION();
        OV_TRACE(OvBase::TraceInfo, L"lineId: %s", std::to_wstring(line).c_str());
        const auto controls = FindLine(line);
        SetTextBold(controls.first, true);
        SetIcon(controls.second, IDI_LINE_RUNNING);
        m_animation.Start(GetDlgItem(m_dialog, controls.first));
        m_currentLine = line;
    }

    void ActionEnd(int32_t line) override
    {
        OV_TRACE_FUNCTION();
        OV_TRACE(OvBase::TraceInfo, L"lineId: %s", std::to_wstring(line).c_str());
        const auto controls = FindLine(line);
        SetTextBold(controls.first, false);
        SetIcon(controls.second, IDI_LINE_FINISHED);
        m_animation.Stop();
        m_currentLine = 0;
    }

    void ActionText(int32_t line, const wchar_t* text) override
    {
        OV_TRACE_FUNCTION();
        OV_TRACE(OvBase::TraceInfo, L"lineId: %s, text:%s", std::to_wstring(line).c_str(), text ? text : L"");
        const bool restart = m_animation.IsRunning() && line == m_currentLine;
        if (restart)
            m_animation.Stop();
        const auto controls = FindLine(line);
        HWND control = GetDlgItem(m_dialog, controls.first);
        if (control)
            SetWindowTextW(control, text ? text : L"");
        if (restart && control)
            m_animation.Start(control);
    }

    void Error(int32_t line) override
    {
        OV_TRACE_FUNCTION();
        OV_TRACE(OvBase::TraceInfo, L"lineId: %s", std::to_wstring(line).c_str());
        const auto controls = FindLine(line);
        SetTextBold(controls.first, false);
        SetIcon(controls.second, IDI_LINE_FAILED);
        m_animation.Stop();
    }

    void AnimationTick(int32_t runningLine) override
    {
        if (runningLine != 0 && runningLine == m_currentLine)
            m_animation.Step();
    }

    UINT_PTR GetTimerId() const override { return m_animation.GetTimerId(); }

private:
    std::pair<int, int> FindLine(int32_t line) const
    {
        const auto it = m_lines.find(line);
        if (it == m_lines.end())
            ThrowErrorText(L"Wrong LineId");
        return it->second;
    }

    void SetTextBold(int textId, bool bold)
    {
        HWND control = GetDlgItem(m_dialog, textId);
        if (!control)
            ThrowErrorText(L"Wrong textId");
        // The template draws pending lines disabled (grey) until they first run.
        EnableWindow(control, TRUE);
        SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(bold ? m_boldFont.Get() : m_normalFont.Get()),
                     TRUE);
    }

    void SetIcon(int iconId, int resourceId)
    {
        // Shared icons are cached by the system, so switching states leaks nothing.
        // At the window's DPI, so the icon is drawn from its own image, not stretched.
        const int size = ovinst::ScaleToDpi(16, ovinst::WindowDpi(m_dialog));
        auto icon = static_cast<HICON>(LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(resourceId), IMAGE_ICON,
                                                  size, size, LR_LOADMAP3DCOLORS | LR_LOADTRANSPARENT | LR_SHARED));
        if (!icon)
            ThrowErrorText(L"Wrong iconResourceId");
        HWND control = GetDlgItem(m_dialog, iconId);
        if (!control)
            ThrowErrorText(L"Wrong iconId");
        ShowWindow(control, SW_SHOW);
        SendMessageW(control, STM_SETICON, reinterpret_cast<WPARAM>(icon), 0);
    }

    HWND m_dialog;
    std::map<int32_t, std::pair<int, int>> m_lines;
    LineAnimation m_animation;
    int32_t m_currentLine = 0;
    Font m_normalFont;
    Font m_boldFont;
};
}

std::unique_ptr<IGuiActionTable> CreateGuiActionTable(HWND dialog)
{
    return std::make_unique<GuiActionTable>(dialog);
}
}
