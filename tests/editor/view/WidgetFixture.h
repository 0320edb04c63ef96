// A shown editor widget for the tests, on the offscreen platform: a known fixed-pitch font,
// beeps counted and silent, failures collected instead of shown, and helpers that press keys
// as a keyboard does and render the widget into an image.
#pragma once

#include "editor/view/KeyTranslate.h"
#include "editor/view/QtPlatform.h"
#include "editor/view/SyntaxMemo.h"

#include <QApplication>
#include <QImage>
#include <QKeyEvent>
#include <QTest>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kvx::test {

// A colour as the settings store it (0x00BBGGRR) in Qt's terms.
inline QColor ToQColor(int32_t c) {
    return QColor(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF);
}

// Sends a key press and its release, with the text a keyboard would give it.
inline void PressKey(QWidget* target, int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier,
                     const QString& text = {}) {
    QKeyEvent press(QEvent::KeyPress, key, modifiers, text);
    QApplication::sendEvent(target, &press);
    QKeyEvent release(QEvent::KeyRelease, key, modifiers, text);
    QApplication::sendEvent(target, &release);
}

class TWidgetFixture : public ::testing::Test {
  protected:
    void SetUp() override {
        TSyntaxMemo::ErrorReporter() = [this](const QString& m) { errors.push_back(m); };
        widget.Platform().BeepSound = [] {};
        widget.resize(640, 400);
        widget.show();
        QApplication::setActiveWindow(&widget);
        widget.setFocus();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&widget));
        widget.SetEditorFont(QStringLiteral("DejaVu Sans Mono"), 10);
        // Every pixel of a glyph in its colour, so that colours can be read off the image.
        widget.SetTextAntialiasing(false);
    }
    void TearDown() override { EXPECT_TRUE(errors.empty()) << errors.front().toStdString(); }

    TCustomSyntaxMemo& Memo() { return widget.Memo(); }
    void Key(int key, Qt::KeyboardModifiers m = Qt::NoModifier, const QString& text = {}) {
        PressKey(&widget, key, m, text);
    }
    // Typing as a US keyboard does it: each character with its key and Shift.
    void Type(const QString& text) {
        for (const QChar c : text) {
            if (c == QLatin1Char('\r'))
                Key(Qt::Key_Return, Qt::NoModifier, QStringLiteral("\r"));
            else
                QTest::keyClick(&widget, c.toLatin1());
        }
    }
    // The viewport as painted now.
    QImage Render() {
        QImage image(widget.viewport()->size(), QImage::Format_RGB32);
        widget.viewport()->render(&image);
        return image;
    }

    TSyntaxMemo widget;
    std::vector<QString> errors;
};

} // namespace kvx::test
