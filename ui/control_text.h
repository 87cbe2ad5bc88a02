// The whole text of a control, however long, in a heap buffer of its own.
#pragma once
#include <windows.h>

class ControlText {
public:
    ControlText() = default;
    explicit ControlText(HWND control) { Read(control); }
    ControlText(const ControlText&) = delete;
    ControlText& operator=(const ControlText&) = delete;
    ~ControlText() { Free(); }

    // Takes the control's text as it is now; false (the text empty) when memory ran out.
    bool Read(HWND control)
    {
        Free();
        int len = GetWindowTextLengthA(control);
        m_text = static_cast<char*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, static_cast<SIZE_T>(len) + 1));
        if (m_text)
            GetWindowTextA(control, m_text, len + 1);
        return m_text != nullptr;
    }
    const char* c_str() const { return m_text ? m_text : ""; }
    bool empty() const { return !m_text || !m_text[0]; }

private:
    void Free()
    {
        if (m_text)
            HeapFree(GetProcessHeap(), 0, m_text);
        m_text = nullptr;
    }
    char* m_text = nullptr;
};
