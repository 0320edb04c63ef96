#include "MemoMime.h"

#include "SyntaxMemo.h"
#include "editor/DataTransfer.h"
#include "editor/RichExport.h"

namespace kvx {

namespace {

const QString kRtf = QStringLiteral("text/rtf");
const QString kRtfApp = QStringLiteral("application/rtf");
const QString kHtml = QStringLiteral("text/html");

} // namespace

TMemoMimeData::TMemoMimeData(TSyntaxMemo& widget, const TClipboardData& data)
    : widget_(&widget), store_(&widget.Memo().Store()), from_(data.From), to_(data.To),
      offered_(data.Deferred & (smRTF | smHTML)), pending_(offered_) {
    // A format the copy left empty is not offered at all, not even as empty text.
    if (!data.Text.empty())
        setText(QString::fromStdString(data.Text));
    if (!data.Rtf.empty()) {
        rtf_ = QByteArray::fromStdString(data.Rtf);
        offered_ |= smRTF;
    }
    if (!data.Html.empty()) {
        html_ = QByteArray::fromStdString(data.Html);
        offered_ |= smHTML;
    }
}

QStringList TMemoMimeData::formats() const {
    QStringList list = QMimeData::formats();
    if (offered_ & smHTML)
        list << kHtml;
    if (offered_ & smRTF)
        list << kRtf << kRtfApp;
    return list;
}

bool TMemoMimeData::hasFormat(const QString& mimeType) const {
    return formats().contains(mimeType);
}

QVariant TMemoMimeData::retrieveData(const QString& mimeType, QMetaType type) const {
    if ((offered_ & smRTF) && (mimeType == kRtf || mimeType == kRtfApp))
        return Rich(smRTF);
    if ((offered_ & smHTML) && mimeType == kHtml) {
        const QByteArray& html = Rich(smHTML);
        if (type.id() == QMetaType::QString)
            return QString::fromUtf8(html);
        return html;
    }
    return QMimeData::retrieveData(mimeType, type);
}

const QByteArray& TMemoMimeData::Rich(uint8_t format) const {
    QByteArray& out = format == smRTF ? rtf_ : html_;
    if (!(pending_ & format))
        return out;
    pending_ &= uint8_t(~format);
    // Only from the document that was copied: a widget that now shows another one, or is
    // gone, has nothing to give (the keeper sees to it that neither happens unnoticed).
    if (!widget_ || &widget_->Memo().Store() != store_)
        return out;
    try {
        out = QByteArray::fromStdString(RichText(
            widget_->Memo(), format == smRTF ? TRichFormat::Rtf : TRichFormat::Html, from_, to_));
    } catch (const std::exception&) {
        // Asked from the desktop's event loop, where nothing may be thrown: the reader gets
        // no data for this format, as when a program offers it and then fails to give it.
        out.clear();
    }
    return out;
}

void TMemoMimeData::Freeze() {
    Rich(smRTF);
    Rich(smHTML);
    widget_ = nullptr;
}

TClipboardKeeper::~TClipboardKeeper() {
    Freeze();
    store_.RemoveListener(this);
}

void TClipboardKeeper::Freeze() {
    if (data_)
        data_->Freeze();
    data_ = nullptr;
}

} // namespace kvx
