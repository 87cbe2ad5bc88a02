// The bold form of a control's font, made once and deleted with its owner.
#pragma once
#include <windows.h>

class BoldFont {
public:
    BoldFont() = default;
    BoldFont(const BoldFont&) = delete;
    BoldFont& operator=(const BoldFont&) = delete;
    ~BoldFont()
    {
        if (m_font)
            DeleteObject(m_font);
    }

    // Makes the bold form of the font the control draws with (the system font when it has none).
    void MakeFrom(HWND control)
    {
        HFONT base = reinterpret_cast<HFONT>(SendMessageA(control, WM_GETFONT, 0, 0));
        LOGFONTA face = {};
        if (!GetObjectA(base ? static_cast<HGDIOBJ>(base) : GetStockObject(DEFAULT_GUI_FONT), sizeof face, &face))
            return;
        face.lfWeight = FW_BOLD;
        m_font = CreateFontIndirectA(&face);
    }
    HFONT Handle() const { return m_font; }

private:
    HFONT m_font = nullptr;
};
