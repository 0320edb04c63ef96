#include "QtPlatform.h"

#include "MemoFonts.h"
#include "MemoMime.h"
#include "SyntaxMemo.h"
#include "editor/Colors.h"

#include <QApplication>
#include <QClipboard>
#include <QDate>
#include <QLocale>
#include <QMimeData>
#include <QPalette>
#include <QTime>

namespace kvx {

void TQtPlatform::InvalidateRows(RowIndex first, RowIndex last) {
    widget_.InvalidateRows(first, last);
}

void TQtPlatform::ViewChanged(uint32_t bits) {
    widget_.ViewChanged(bits);
}

void TQtPlatform::CaretShapeChanged(bool) {
    widget_.CaretShapeChanged();
}

Pixel TQtPlatform::CharWidth() {
    return widget_.Fonts().CharWidth();
}

Pixel TQtPlatform::RowHeight() {
    return widget_.Fonts().RowHeight();
}

bool TQtPlatform::FixedPitch() {
    return widget_.Fonts().FixedPitch();
}

int TQtPlatform::VisibleRows() {
    return widget_.VisibleRows();
}

int TQtPlatform::VisibleColumns() {
    return widget_.VisibleColumns();
}

Pixel TQtPlatform::ClientWidth() {
    return widget_.ClientWidth();
}

void TQtPlatform::MeasureWidths(std::string_view utf8, uint8_t fontStyle,
                                std::span<Pixel> rightEdges) {
    widget_.Fonts().MeasureWidths(utf8, fontStyle, rightEdges);
}

int32_t TQtPlatform::SystemColorValue(int index) {
    // The system colours the editor uses, as the palette's roles; the rest have no
    // counterpart in a Qt palette and keep the classic desktop's values.
    struct TRole {
        int Index;
        QPalette::ColorGroup Group;
        QPalette::ColorRole Role;
    };
    static constexpr TRole kRoles[] = {
        {scxWindow, QPalette::Active, QPalette::Base},
        {scxWindowText, QPalette::Active, QPalette::Text},
        {scxHighlight, QPalette::Active, QPalette::Highlight},
        {scxHighlightText, QPalette::Active, QPalette::HighlightedText},
        {scxBtnFace, QPalette::Active, QPalette::Button},
        {scxScrollBar, QPalette::Active, QPalette::Mid},
        {scxBtnShadow, QPalette::Active, QPalette::Dark},
        {scxGrayText, QPalette::Disabled, QPalette::Text},
        {scxBtnText, QPalette::Active, QPalette::ButtonText},
    };
    for (const TRole& r : kRoles) {
        if (r.Index != index)
            continue;
        const QColor c = widget_.palette().color(r.Group, r.Role);
        return static_cast<int32_t>(uint32_t(c.red()) | uint32_t(c.green()) << 8 |
                                    uint32_t(c.blue()) << 16);
    }
    return DefaultSystemColor(index);
}

void TQtPlatform::SetClipboard(const TClipboardData& data) {
    auto* mime = new TMemoMimeData(widget_, data);
    if (data.Deferred)
        widget_.keeper_->Offer(mime);
    QGuiApplication::clipboard()->setMimeData(mime);
}

bool TQtPlatform::ClipboardText(std::string& utf8) {
    const QMimeData* mime = QGuiApplication::clipboard()->mimeData();
    if (!mime || !mime->hasText())
        return false;
    utf8 = mime->text().toStdString();
    return true;
}

bool TQtPlatform::ClipboardHtml(std::string& utf8) {
    const QMimeData* mime = QGuiApplication::clipboard()->mimeData();
    if (!mime || !mime->hasHtml())
        return false;
    utf8 = mime->html().toStdString();
    return true;
}

std::string TQtPlatform::ShortDate() {
    return QLocale::system().toString(QDate::currentDate(), QLocale::ShortFormat).toStdString();
}

std::string TQtPlatform::LongTime() {
    return QLocale::system().toString(QTime::currentTime(), QLocale::LongFormat).toStdString();
}

void TQtPlatform::Beep() {
    ++beeps_;
    if (BeepSound)
        BeepSound();
    else
        QApplication::beep();
}

} // namespace kvx
