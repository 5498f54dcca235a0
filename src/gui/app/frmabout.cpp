#include "app/frmabout.h"

#include "common/captions.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>

namespace {

QLabel *label(QWidget *parent, const QString &name, const QString &text, const QString &family, int points,
              bool bold = false)
{
    auto *l = new QLabel(text, parent);
    l->setObjectName(name);
    QFont f(family, points);
    f.setBold(bold);
    l->setFont(f);
    return l;
}

} // namespace

FrmAbout::FrmAbout(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmAbout"));
    setWindowTitle(QStringLiteral("Tarvolo  -  About Display "));
    setModal(false);
    const QString arial = QStringLiteral("Arial");

    auto *contact = new QPlainTextEdit(this);
    contact->setObjectName(QStringLiteral("txtContact"));
    contact->setReadOnly(true);
    contact->setFont(QFont(arial, 9));
    contact->setPlainText(QStringLiteral("Tarvolo Software\n"
                                         "12 Harbour Lane, Port Ellis\n"
                                         "Telephone: +1 555 0100\n"
                                         "Fax: +1 555 0101\n"
                                         "E-mail: support@tarvolo.example"));
    contact->setFixedHeight(contact->fontMetrics().lineSpacing() * 6);

    auto *ok = new QPushButton(QStringLiteral("&OK"), this);
    ok->setObjectName(QStringLiteral("cmdOK"));
    ok->setFont(QFont(arial, 9));
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QWidget::hide);
    layOut(contact, ok);
}

void FrmAbout::layOut(QWidget *contact, QWidget *ok)
{
    const QString arial = QStringLiteral("Arial");
    auto *grid = new QGridLayout(this);
    grid->addWidget(label(this, QStringLiteral("lblProductName"), QStringLiteral("Tarvolo"), arial, 20, true), 0, 0, 1,
                    2);
    grid->addWidget(
        label(this, QStringLiteral("lblVersion"), QStringLiteral("Version  ") + captions::version(), arial, 10), 1, 0,
        1, 2);
    // The name follows its caption on the line, not the dialog's right edge.
    auto *author = new QHBoxLayout;
    author->addWidget(label(this, QStringLiteral("lblAuthorCaption"), QStringLiteral("Author"), arial, 9, true));
    author->addWidget(label(this, QStringLiteral("lblAuthor"), QStringLiteral("The Tarvolo developers"), arial, 9));
    author->addStretch(1);
    grid->addLayout(author, 2, 0, 1, 2);
    grid->addWidget(label(this, QStringLiteral("lblMaker"), QStringLiteral("Tarvolo Software"),
                          QStringLiteral("Times New Roman"), 14),
                    3, 0, 1, 2);
    grid->addWidget(contact, 4, 0, 1, 2);
    grid->addWidget(label(this, QStringLiteral("lblWebSite"), QStringLiteral("https://tarvolo.example"), arial, 9), 5,
                    0, 1, 2);
    grid->addWidget(ok, 6, 1, Qt::AlignRight);
}
