// The bold form of a control's font, deleted with its owner, and made again whenever the control
// is given another font (at a new DPI Windows gives a dialog's controls a font of that size).
#pragma once
#include <windows.h>

class BoldFont {
public:
    BoldFont() = default;
    BoldFont(const BoldFont&) = delete;
    BoldFont& operator=(const BoldFont&) = delete;
    ~BoldFont() { Delete(); }

    // The bold form of the font the control draws with now (the system font when it has none);
    // null when it cannot be made.
    HFONT For(HWND control)
    {
        HFONT base = reinterpret_cast<HFONT>(SendMessageA(control, WM_GETFONT, 0, 0));
        if (m_font && base == m_base)
            return m_font;
        Delete();
        LOGFONTA face = {};
        if (!GetObjectA(base ? static_cast<HGDIOBJ>(base) : GetStockObject(DEFAULT_GUI_FONT), sizeof face, &face))
            return nullptr;
        face.lfWeight = FW_BOLD;
        m_font = CreateFontIndirectA(&face);
        m_base = base;
        return m_font;
    }

private:
    void Delete()
    {
        if (m_font)
            DeleteObject(m_font);
        m_font = nullptr;
    }

    HFONT m_font = nullptr;
    HFONT m_base = nullptr;  // the control's font it was made from
};
