#pragma once
// The file operation's own questions and error messages, on the window's thread. Tests
// answer them in place of a person.

#include "platform/fileoperation.h"

#include <QString>

class QWidget;

class FileOpPrompts {
public:
    virtual ~FileOpPrompts() = default;
    [[nodiscard]] virtual fileop::Answer confirm(fileop::Question question, const QString &path, bool readOnly) = 0;
    virtual void error(const QString &text) = 0;
};

// The real one: message boxes with Yes, Yes to All, No and Cancel.
class MessageBoxPrompts final : public FileOpPrompts {
public:
    explicit MessageBoxPrompts(QWidget *parent) : m_parent(parent) {}
    [[nodiscard]] fileop::Answer confirm(fileop::Question question, const QString &path, bool readOnly) override;
    void error(const QString &text) override;

private:
    QWidget *m_parent;
};

// Title and text of a confirmation, shared by the boxes and the tests.
struct ConfirmText {
    QString title;
    QString text;
};
[[nodiscard]] ConfirmText confirmText(fileop::Question question, const QString &path, bool readOnly);
