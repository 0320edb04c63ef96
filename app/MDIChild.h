// TMDIChild: one document window of the main window's workspace, filled by one editor.
// Its caption is the document's name: the full file name as opened or last saved, or
// "NONAME" and a number for a document never saved. Whether it is unnamed is a flag of its
// own, so a real file whose path happens to contain "NONAME" is an ordinary file.
//
// A loaded file is saved back with the line breaks and the encoding it was loaded with; a
// new document is written with LF breaks in UTF-8. Saving keeps the undo history and marks
// the saved point in it, so undoing back to it makes the document unmodified again.
#pragma once

#include "app/ToolRunner.h"

#include <QMdiSubWindow>

namespace kvx {

class TMainForm;
class TSyntaxMemo;

class TMDIChild : public QMdiSubWindow, public TToolDocument {
    Q_OBJECT

  public:
    static constexpr int kHelpContext = 20;

    explicit TMDIChild(TMainForm& owner);
    ~TMDIChild() override;

    // The editor (SM on the form).
    TSyntaxMemo* SM = nullptr;

    // The caption and the unnamed flag together.
    void SetDocumentName(const QString& name, bool unnamed);
    QString DocumentName() const { return windowTitle(); }

    // Loads the file into the editor with the language of its extension; raises the
    // editor's exceptions, and the window is then to be thrown away.
    void LoadFile(const QString& fileName);
    // Writes the text to `fileName` through the editor's safe save; raises on failure,
    // leaving the document modified and its history as it was.
    void SaveDocument(const QString& fileName);

    // TToolDocument
    QString FileName() const override { return DocumentName(); }
    bool IsUnnamed() const override { return unnamed_; }
    bool IsModified() const override;
    bool Save() override;

    // Set once the user has answered for this window (Exit asks every window first): the
    // window then closes without asking again.
    void SetCloseAnswered(bool answered) { closeAnswered_ = answered; }

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    TMainForm& owner_;
    bool unnamed_ = true;
    bool closeAnswered_ = false;
};

} // namespace kvx
