// What a copy puts on the desktop's clipboard: the plain text at once, RTF (as text/rtf and
// application/rtf) and HTML only when a reader asks for them. A copy of a large selection
// then costs no more than its text, and formats nobody pastes are never written.
//
// The rich formats are written from the document as it was at the copy: the widget's
// clipboard keeper writes whatever is still unwritten just before the document's text first
// changes and before the widget goes, and lets go of the widget then. Styles and colours
// are those in force when the formats are written.
#pragma once

#include "editor/Platform.h"
#include "editor/TextStore.h"

#include <QByteArray>
#include <QMimeData>
#include <QPointer>

namespace kvx {

class TSyntaxMemo;

class TMemoMimeData : public QMimeData {
    Q_OBJECT

  public:
    TMemoMimeData(TSyntaxMemo& widget, const TClipboardData& data);

    QStringList formats() const override;
    bool hasFormat(const QString& mimeType) const override;

    // Writes the formats nobody has asked for yet and lets go of the widget.
    void Freeze();

  protected:
    QVariant retrieveData(const QString& mimeType, QMetaType type) const override;

  private:
    // The RTF or HTML, written first when it is still due.
    const QByteArray& Rich(uint8_t format) const;

    QPointer<TSyntaxMemo> widget_;
    const TTextStore* store_; // the document copied from
    TextOffset from_;
    TextOffset to_;
    uint8_t offered_;         // smRTF and smHTML bits
    mutable uint8_t pending_; // offered but not yet written
    mutable QByteArray rtf_;
    mutable QByteArray html_;
};

// Watches the widget's own document for the clipboard: the copy still on the clipboard
// gets its rich formats written before the text changes or the widget goes.
class TClipboardKeeper : public TStoreListener {
  public:
    explicit TClipboardKeeper(TTextStore& store) : store_(store) { store_.AddListener(this); }
    ~TClipboardKeeper() override;

    bool Watches(const TTextStore& store) const { return &store == &store_; }
    void Offer(TMemoMimeData* data) { data_ = data; }
    void Freeze();

    void TextChanging() override { Freeze(); }
    void TextInserted(TextOffset, int32_t) override {}
    void TextDeleted(TextOffset, int32_t) override {}
    void StoreEmptied() override {}

  private:
    TTextStore& store_;
    QPointer<TMemoMimeData> data_;
};

} // namespace kvx
