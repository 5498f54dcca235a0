#pragma once
// Gives a widget a key-character handler: each key press is turned into the program's
// character code (13 Enter, 9 Tab, 8 Backspace, 27 Escape, otherwise the typed character)
// and handed to the handler by reference; a handler that sets the code to 0 swallows the
// key. The filter sits on the widget itself, so it sees Tab before focus handling does.

#include <QObject>

#include <functional>

class QKeyEvent;
class QWidget;

// The character code of a key press; 0 for a key that types nothing (arrows, Shift+Tab).
[[nodiscard]] int keyAsciiOf(const QKeyEvent &event);

class KeyAsciiFilter : public QObject {
    Q_OBJECT
public:
    using Handler = std::function<void(int &keyAscii)>;

    // Installs itself on the widget and is owned by it.
    KeyAsciiFilter(QWidget *widget, Handler handler);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    Handler m_handler;
};

inline KeyAsciiFilter *installKeyAscii(QWidget *widget, KeyAsciiFilter::Handler handler)
{
    return new KeyAsciiFilter(widget, std::move(handler));
}
