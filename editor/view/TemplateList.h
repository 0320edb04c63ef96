// The pick list of code templates: shown under the caret's line when the template key finds
// no template before the caret, one item per template (its description, then its name in
// bold), driven by the keyboard (arrows, Return, Escape, typing to search by name) and the
// mouse (a click selects, a double click inserts). It is made once per editor and reused.
#pragma once

#include "editor/EdTypes.h"

#include <QListWidget>

#include <string>

namespace kvx {

class TCodeTemplates;
class TSyntaxMemo;

// Where the list goes inside the editor: below the caret's line when it fits, else above
// it; moved left when it would pass the editor's right edge.
QRect TemplateListPlace(const QRect& editor, const QRect& caretLine, QSize list);

// The first item whose name starts with `search`, ignoring case; -1 when none does.
int FindTemplateByPrefix(const QStringList& names, const QString& search);

class TTemplateList : public QListWidget {
    Q_OBJECT

  public:
    explicit TTemplateList(TSyntaxMemo& editor);

    // Fills the list from the templates, selects the item to start with and shows it over
    // the editor.
    void Show(TCodeTemplates& templates, const QRect& caretLine);
    // The names of the items, in order.
    const QStringList& Names() const { return names_; }

  protected:
    void keyPressEvent(QKeyEvent* e) override;
    void focusOutEvent(QFocusEvent* e) override;

  private:
    void Insert();
    void Close();

    TSyntaxMemo& editor_;
    TCodeTemplates* templates_ = nullptr;
    QStringList names_;
    QString search_;
    int descriptionWidth_ = 0;
    bool closing_ = false;
};

} // namespace kvx
