// A static text control that draws only its text, so the window's background
// picture shows between the letters.
#pragma once
#include "../fw/Controls.h"

class CTransparentStatic : public CStatic {
protected:
    void OnPaint();
    // A static control paints its new text at once, with a box behind it:
    // the parent paints its picture under the label again.
    LRESULT OnSetText(WPARAM wParam, LPARAM lParam);
    const AFX_MSGMAP* GetMessageMap() const override { return &messageMap; }
    static const AFX_MSGMAP_ENTRY messageEntries[];
    static const AFX_MSGMAP messageMap;
};

// The DrawText format that gives a static control's style.
UINT TextFormatForStyle(DWORD dwStyle);
