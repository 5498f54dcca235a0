#pragma once
// Every message the program shows goes through here, so tests read each text and title
// instead of a person closing a box.

#include <QString>

class QWidget;

class MessageSink {
public:
    virtual ~MessageSink() = default;
    // An information box with one OK button; the answer is never read.
    virtual void showMessage(const QString &text, const QString &title) = 0;
};

// The real one: a modal QMessageBox over the given window.
class MessageBoxSink final : public MessageSink {
public:
    explicit MessageBoxSink(QWidget *parent) : m_parent(parent) {}
    void showMessage(const QString &text, const QString &title) override;

private:
    QWidget *m_parent;
};
