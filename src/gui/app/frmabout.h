#pragma once
// The About box: shown without being modal, one instance; OK only hides it.

#include <QDialog>

class FrmAbout : public QDialog {
    Q_OBJECT
public:
    explicit FrmAbout(QWidget *parent = nullptr);

private:
    void layOut(QWidget *contact, QWidget *ok);
};
