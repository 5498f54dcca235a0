#pragma once
// What the main window asks for help through: a help file by bare name and a help command.
// The viewer is one window, created on the first request and brought forward on the
// next; nothing waits for it.

#include <QPointer>
#include <QString>
#include <QStringList>

class HelpViewer;
class QWidget;

class HelpService {
public:
    // The help engine's finder command: contents, index and search.
    static constexpr int HelpFinder = 0xB;

    // searchPath empty: the viewer's default places beside the program.
    explicit HelpService(QWidget *owner, QStringList searchPath = {});
    ~HelpService();
    HelpService(const HelpService &) = delete;
    HelpService &operator=(const HelpService &) = delete;

    void show(const QString &helpFile, int command);
    [[nodiscard]] HelpViewer *viewer() const { return m_viewer; }

private:
    QWidget *m_owner;
    QStringList m_searchPath;
    QPointer<HelpViewer> m_viewer;
    QString m_file;
};
