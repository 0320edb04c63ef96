// Qt's key events in the editor's own terms: the virtual-key code and shift state that key
// maps, templates and auto-correct triggers are written in (they are stored in settings and
// scripts, so they keep the numbering of the platform the editor came from). One table, in
// both directions: the widget reads keys through it, the tests type keys through it.
#pragma once

#include "editor/EdConsts.h"

#include <QKeyEvent>

namespace kvx {

struct TVirtualKeyStroke {
    uint8_t Key = 0; // 0: a key the editor has no code for
    TShiftState Shift = 0;
};

// The virtual key of a Qt key (keypad keys with Qt::KeypadModifier), and the modifiers held.
// Shifted symbols come back as the key that types them on a US layout ("!" is Shift+1), so
// that Shift+1 is one binding whatever Qt reports for it.
TVirtualKeyStroke TranslateKey(int qtKey, Qt::KeyboardModifiers modifiers);
TVirtualKeyStroke TranslateKey(const QKeyEvent& event);

// The Qt key that produces a virtual key (0 when none does), and the modifiers of a shift
// state.
int QtKeyFor(uint8_t virtualKey);
Qt::KeyboardModifiers QtModifiersFor(TShiftState shift);

} // namespace kvx
