#include "common/keyascii.h"

#include <QKeyEvent>
#include <QWidget>

int keyAsciiOf(const QKeyEvent &event)
{
    switch (event.key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return 13;
    case Qt::Key_Tab:
        return 9;
    case Qt::Key_Backspace:
        return 8;
    case Qt::Key_Escape:
        return 27;
    case Qt::Key_Backtab:
        return 0; // moves the focus back; it types nothing
    default:
        break;
    }
    const QString text = event.text();
    if (text.isEmpty())
        return 0;
    if (text.size() > 1 && text[0].isHighSurrogate() && text[1].isLowSurrogate())
        return int(QChar::surrogateToUcs4(text[0], text[1]));
    const int c = text[0].unicode();
    // Delete and control keys type nothing, unless Ctrl makes a control character of a letter.
    if (c == 127 || (c < 32 && !(event.modifiers() & Qt::ControlModifier)))
        return 0;
    return c;
}

KeyAsciiFilter::KeyAsciiFilter(QWidget *widget, Handler handler) : QObject(widget), m_handler(std::move(handler))
{
    widget->installEventFilter(this);
}

bool KeyAsciiFilter::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyPress && m_handler) {
        int code = keyAsciiOf(*static_cast<QKeyEvent *>(event));
        if (code != 0) {
            m_handler(code);
            if (code == 0)
                return true;
        }
    }
    return QObject::eventFilter(watched, event);
}
