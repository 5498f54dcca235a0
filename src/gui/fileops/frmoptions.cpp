#include "fileops/frmoptions.h"

#include "grid/twips.h"

#include <QCheckBox>
#include <QPainter>
#include <QPushButton>
#include <QRegularExpression>
#include <QStyleOptionButton>
#include <QStylePainter>
#include <QTabWidget>

namespace {

const QString kSansSerif = QStringLiteral("MS Sans Serif");
constexpr double kPoints = 7.8;
const QSize kClientTwips(8952, 5772);

// A check box whose caption wraps within its width, as the multi-line captions need.
class WrapCheckBox : public QCheckBox {
public:
    using QCheckBox::QCheckBox;

protected:
    void paintEvent(QPaintEvent *) override
    {
        QStylePainter p(this);
        QStyleOptionButton opt;
        initStyleOption(&opt);
        const QString caption = opt.text;
        opt.text.clear();
        p.drawControl(QStyle::CE_CheckBox, opt);
        const QRect box = style()->subElementRect(QStyle::SE_CheckBoxIndicator, &opt, this);
        // The leading blanks indent every line, not the first alone. A run of blanks inside
        // was meant to push the rest to the next line in one font's widths; in any other it
        // leaves a ragged gap or a lone word, so it counts as one blank and the words wrap.
        qsizetype lead = 0;
        while (lead < caption.size() && caption[lead] == QLatin1Char(' '))
            ++lead;
        const int indent = fontMetrics().horizontalAdvance(caption.left(lead));
        const QString lines =
            caption.mid(lead).replace(QRegularExpression(QStringLiteral(" {2,}")), QStringLiteral(" "));
        const QRect textRect = rect().adjusted(box.right() + 4 + indent, 0, 0, 0);
        p.drawText(textRect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextWordWrap, lines);
        if (hasFocus())
            p.drawRect(textRect.adjusted(0, 0, -1, -1));
    }
    bool hitButton(const QPoint &pos) const override { return rect().contains(pos); }
};

QFont sansSerif(bool bold)
{
    QFont f(kSansSerif);
    f.setPointSizeF(kPoints);
    f.setBold(bold);
    return f;
}

} // namespace

FrmOptions::FrmOptions(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmOptions"));
    setWindowTitle(QStringLiteral("Tarvolo  -  Options Display"));
    setModal(false);
    setFixedSize(twipsToPixels(kClientTwips.width(), this), twipsToPixelsY(kClientTwips.height(), this));

    SSTab1 = new QTabWidget(this);
    SSTab1->setObjectName(QStringLiteral("SSTab1"));
    SSTab1->setFont(sansSerif(false));
    SSTab1->setGeometry(rect());
    auto *general = new QWidget;
    auto *fileOps = new QWidget;
    SSTab1->addTab(general, QStringLiteral("General"));
    SSTab1->addTab(fileOps, QStringLiteral("File Operations"));
    SSTab1->addTab(new QWidget, QStringLiteral("For Future Use"));

    cmdOKGeneral = okButton(general, "cmdOKGeneral");
    place(cmdOKGeneral, 3120, 3720, 852, 372);
    cmdOKFileOperations = okButton(fileOps, "cmdOKFileOperations");
    place(cmdOKFileOperations, 3000, 3960, 852, 372);
    buildBoxes(fileOps);

    connect(cmdOKGeneral, &QPushButton::clicked, this, &FrmOptions::cmdOKGeneral_Click);
    connect(cmdOKFileOperations, &QPushButton::clicked, this, &FrmOptions::cmdOKFileOperations_Click);
    Form_Load();
}

void FrmOptions::place(QWidget *w, int left, int top, int width, int height) const
{
    // Control positions are measured from the tab control's top left, as designed.
    const int tabBar = SSTab1->tabBar()->sizeHint().height();
    w->setGeometry(twipsToPixels(left, this), twipsToPixelsY(top, this) - tabBar, twipsToPixels(width, this),
                   twipsToPixelsY(height, this));
}

QPushButton *FrmOptions::okButton(QWidget *tab, const char *name) const
{
    auto *b = new QPushButton(QStringLiteral("&OK"), tab);
    b->setObjectName(QLatin1String(name));
    b->setFont(sansSerif(true));
    return b;
}

void FrmOptions::buildBoxes(QWidget *fileOps)
{
    struct Box {
        QCheckBox *FrmOptions::*member;
        const char *name;
        const char *caption;
        int top, width, height;
    };
    static const Box boxes[] = {
        {&FrmOptions::chkSilent, "chkSilent", "  Do not display a progress dialog box", 720, 3972, 255},
        {&FrmOptions::chkYesToAll, "chkYesToAll", "  Respond with 'Yes to all' for any dialog box that is displayed",
         1200, 6612, 375},
        {&FrmOptions::chkRename, "chkRename",
         "  Give the file being operated on a new name (such as 'Copy #1 of...') in a          move, copy, or "
         "rename operation if a file of the target name already exists",
         1680, 6612, 852},
        {&FrmOptions::chkDir, "chkDir",
         "  Do not confirm the creation of a new directory if the operation requires one      to be created", 2640,
         6612, 495},
        {&FrmOptions::chkFilesOnly, "chkFilesOnly",
         "  Perform the operation only on files if a wildcard filename (*.*) is specified", 3240, 6372, 492},
    };
    QWidget *previous = cmdOKFileOperations;
    for (const Box &b : boxes) {
        auto *c = new WrapCheckBox(QLatin1String(b.caption), fileOps);
        c->setObjectName(QLatin1String(b.name));
        c->setFont(sansSerif(true));
        place(c, 360, b.top, b.width, b.height);
        setTabOrder(previous, c);
        previous = c;
        this->*b.member = c;
    }
    setTabOrder(previous, cmdOKGeneral);
}

void FrmOptions::Form_Load()
{
    SSTab1->setCurrentIndex(0);
}

void FrmOptions::cmdOKGeneral_Click()
{
    hide();
}

void FrmOptions::cmdOKFileOperations_Click()
{
    hide();
}
