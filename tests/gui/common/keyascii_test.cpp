// Guards the one rule set that turns key presses into character codes for the grid and the
// search box: the two used to disagree on Shift+Tab, Delete and control characters.
#include "common/keyascii.h"

#include <QKeyEvent>
#include <gtest/gtest.h>

namespace {

struct KeyCase {
    const char *what;
    int key;
    Qt::KeyboardModifiers modifiers;
    QString text;
    int expected;
};

TEST(KeyAscii, CodesOfKeys)
{
    const KeyCase cases[] = {
        {"Enter", Qt::Key_Return, Qt::NoModifier, "\r", 13},
        {"keypad Enter", Qt::Key_Enter, Qt::KeypadModifier, "\r", 13},
        {"Tab", Qt::Key_Tab, Qt::NoModifier, "\t", 9},
        {"Shift+Tab types nothing", Qt::Key_Backtab, Qt::ShiftModifier, "", 0},
        {"Backspace", Qt::Key_Backspace, Qt::NoModifier, "\b", 8},
        {"Escape", Qt::Key_Escape, Qt::NoModifier, "\x1b", 27},
        {"Delete types nothing", Qt::Key_Delete, Qt::NoModifier, QString(QChar(127)), 0},
        {"arrow", Qt::Key_Down, Qt::NoModifier, "", 0},
        {"letter", Qt::Key_A, Qt::NoModifier, "a", 'a'},
        {"Ctrl+A", Qt::Key_A, Qt::ControlModifier, QString(QChar(1)), 1},
        {"stray control character", Qt::Key_unknown, Qt::NoModifier, QString(QChar(2)), 0},
        {"non-ASCII letter", Qt::Key_unknown, Qt::NoModifier, QStringLiteral("é"), 0xE9},
        {"beyond the BMP", Qt::Key_unknown, Qt::NoModifier, QString::fromUcs4(U"\U0001F600"), 0x1F600},
    };
    for (const KeyCase &c : cases) {
        const QKeyEvent e(QEvent::KeyPress, c.key, c.modifiers, c.text);
        EXPECT_EQ(keyAsciiOf(e), c.expected) << c.what;
    }
}

} // namespace
