// The Run menu: the five tools as actions T1 to T5 with their captions, shortcuts (F9,
// Ctrl+F9, Shift+F9, Alt+F9, Ctrl+Shift+F9) and enabling, built from the tool table into
// the menu the main window owns.
#pragma once

#include "app/core/ToolTable.h"

#include <functional>

class QAction;
class QMenu;

namespace kvx {

// Creates T1..T5 in `menu` on the first call and brings their captions, enabling and the
// `run` callback (called with the tool number) up to date on every later call; the main
// window calls it at start-up, after the tools dialog and whenever documents open or
// close. The menu is enabled while a document is open; a tool while a document is open
// and the tool is enabled, so its shortcut never fires without a document to run on.
void BuildRunMenu(QMenu& menu, const TToolTable& tools, bool documentOpen,
                  const std::function<void(int tool)>& run);

// The action of tool n (1..5) in a menu built above, or nullptr.
QAction* RunMenuAction(const QMenu& menu, int n);

// The toolbar's Compile button: a document is open and tool 1 is enabled.
bool RunButtonEnabled(const TToolTable& tools, bool documentOpen);

} // namespace kvx
