#pragma once
// Answers the file operations' questions from a queue (Cancel when it runs out) and keeps
// what was asked and every error shown.
#include "fileops/fileopprompts.h"

#include <QStringList>
#include <deque>

class ScriptedPrompts final : public FileOpPrompts {
public:
    std::deque<fileop::Answer> answers;
    QStringList asked, errors;
    fileop::Answer confirm(fileop::Question q, const QString &path, bool readOnly) override
    {
        asked << confirmText(q, path, readOnly).title;
        if (answers.empty())
            return fileop::Answer::Cancel;
        const fileop::Answer a = answers.front();
        answers.pop_front();
        return a;
    }
    void error(const QString &text) override { errors << text; }
};
