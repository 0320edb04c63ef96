// The boxes the search dialogs show: the not-found message, a pattern's error box, the
// question before a replacement, and the folder picker of Find in Files. They are
// function objects so that the tests answer them directly; by default they are the
// usual message boxes and file dialog.
#pragma once

#include "app/core/FindReplace.h"

#include <QString>

#include <functional>

class QWidget;

namespace kvx {

struct TSearchPrompts {
    // "\"%s\" not found" and other plain information.
    std::function<void(QWidget* owner, const QString& text)> Inform;
    // A bad pattern (message, pattern and a caret under the place) or a failed search.
    std::function<void(QWidget* owner, const QString& text)> Error;
    // "Replace this instance of ... ?": Yes, No, Cancel, and All when `offerAll`.
    std::function<TReplaceAnswer(QWidget* owner, const QString& question, bool offerAll)> Ask;
    // A folder to search, starting from `current`; empty when the user cancelled.
    std::function<QString(QWidget* owner, const QString& current)> BrowseFolder;

    static TSearchPrompts Boxes();
    // Shows what a search has to tell: its error box first, then its message.
    void Show(QWidget* owner, const TSearchReport& report) const;
};

} // namespace kvx
