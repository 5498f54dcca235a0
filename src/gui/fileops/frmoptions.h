#pragma once
// The options dialog: five file-operation options that last while the program runs. It is
// modeless; both OK buttons only hide it, so the states stay for later operations.

#include <QDialog>

class QCheckBox;
class QPushButton;
class QTabWidget;

class FrmOptions;

// Where the file operations find the options dialog: loaded hidden, all options off, the
// first time it is asked for.
class OptionsSource {
public:
    [[nodiscard]] virtual FrmOptions *optionsDialog() = 0;

protected:
    ~OptionsSource() = default;
};

class FrmOptions : public QDialog {
    Q_OBJECT
public:
    explicit FrmOptions(QWidget *parent = nullptr);

    void Form_Load();
    void cmdOKGeneral_Click();
    void cmdOKFileOperations_Click();

    QTabWidget *SSTab1;
    QPushButton *cmdOKGeneral;
    QPushButton *cmdOKFileOperations;
    QCheckBox *chkSilent;
    QCheckBox *chkYesToAll;
    QCheckBox *chkRename;
    QCheckBox *chkDir;
    QCheckBox *chkFilesOnly;

private:
    void place(QWidget *w, int left, int top, int width, int height) const;
    [[nodiscard]] QPushButton *okButton(QWidget *tab, const char *name) const;
    void buildBoxes(QWidget *fileOps);
};
