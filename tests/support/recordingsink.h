#pragma once
// A message sink that records every message, with the pointer shape of the window at the
// moment it was shown, instead of a person closing a box.

#include "common/messagesink.h"

#include <QWidget>

#include <vector>

struct ShownMessage {
    QString text;
    QString title;
    Qt::CursorShape pointer = Qt::ArrowCursor;
    // Two messages are the same message whatever the pointer was.
    bool operator==(const ShownMessage &o) const { return text == o.text && title == o.title; }
};

class RecordingSink final : public MessageSink {
public:
    void showMessage(const QString &text, const QString &title) override
    {
        shown.push_back({text, title, window ? window->cursor().shape() : Qt::ArrowCursor});
    }
    std::vector<ShownMessage> shown;
    QWidget *window = nullptr; // whose pointer is recorded
};
