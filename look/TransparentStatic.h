// A static text control that draws only its text, so the window's background
// picture shows between the letters.
#pragma once
#include "../fw/Controls.h"

class CTransparentStatic : public CStatic {
public:
    // A static control paints a new text at once, with a box behind it: the
    // parent paints its picture under the label again, at its next paint.
    void SetTextOverPicture(LPCSTR pszText);

protected:
    void OnPaint();
    const AFX_MSGMAP* GetMessageMap() const override { return &messageMap; }
    static const AFX_MSGMAP_ENTRY messageEntries[];
    static const AFX_MSGMAP messageMap;
};

// The DrawText format that gives a static control's style.
UINT TextFormatForStyle(DWORD dwStyle);
