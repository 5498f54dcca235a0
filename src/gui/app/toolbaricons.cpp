#include "app/toolbaricons.h"

#include <QFont>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QStyle>

namespace {

constexpr int kSide = 32;
const QColor kInk(0x20, 0x30, 0x60);
const QColor kPaper(0xFF, 0xFF, 0xF0);

// A transparent, antialiased square to paint a button's picture on.
struct Canvas {
    Canvas() : pixmap(kSide, kSide)
    {
        pixmap.fill(Qt::transparent);
        painter.begin(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
    }
    QPixmap finish()
    {
        painter.end();
        return pixmap;
    }
    QPixmap pixmap;
    QPainter painter;
};

// A sheet of paper with a short text on it: the sort keys name what they order by.
QPixmap labelled(const QString &text, int pixelSize, const QColor &ink = kInk)
{
    Canvas canvas;
    QPainter &p = canvas.painter;
    p.setPen(QPen(Qt::darkGray, 1));
    p.setBrush(kPaper);
    p.drawRoundedRect(QRectF(2.5, 4.5, kSide - 5, kSide - 9), 3, 3);
    QFont f(QStringLiteral("Arial"));
    f.setPixelSize(pixelSize);
    f.setBold(true);
    p.setFont(f);
    p.setPen(ink);
    p.drawText(QRect(2, 4, kSide - 4, kSide - 8), Qt::AlignCenter, text);
    return canvas.finish();
}

QPixmap printer()
{
    Canvas canvas;
    QPainter &p = canvas.painter;
    p.setPen(QPen(Qt::black, 1));
    p.setBrush(Qt::white);
    p.drawRect(QRectF(9.5, 3.5, 13, 10)); // paper going in
    p.setBrush(QColor(0x70, 0x78, 0x88));
    p.drawRoundedRect(QRectF(3.5, 12.5, 25, 11), 2, 2);
    p.setBrush(Qt::white);
    p.drawRect(QRectF(8.5, 19.5, 15, 9)); // the printed page
    p.setPen(kInk);
    p.drawLine(11, 23, 21, 23);
    p.drawLine(11, 26, 18, 26);
    return canvas.finish();
}

QPixmap calendar()
{
    Canvas canvas;
    QPainter &p = canvas.painter;
    p.setPen(QPen(Qt::darkGray, 1));
    p.setBrush(Qt::white);
    p.drawRect(QRectF(4.5, 6.5, 23, 21));
    p.setBrush(QColor(0xC0, 0x30, 0x30));
    p.drawRect(QRectF(4.5, 6.5, 23, 6));
    p.setPen(kInk);
    for (int row = 0; row < 3; ++row)
        for (int col = 0; col < 4; ++col)
            p.fillRect(QRect(7 + col * 5, 15 + row * 4, 3, 2), kInk);
    return canvas.finish();
}

// Two equal sheets, one behind the other: names that occur twice.
QPixmap duplicates()
{
    Canvas canvas;
    QPainter &p = canvas.painter;
    p.setPen(QPen(Qt::darkGray, 1));
    QFont f(QStringLiteral("Arial"));
    f.setPixelSize(10);
    f.setBold(true);
    p.setFont(f);
    for (const int off : {0, 9}) {
        const QRectF sheet(3.5 + off, 3.5 + off, 16, 19);
        p.setBrush(kPaper);
        p.drawRect(sheet);
        p.setPen(kInk);
        p.drawText(sheet, Qt::AlignCenter, QStringLiteral("A"));
        p.setPen(QPen(Qt::darkGray, 1));
    }
    return canvas.finish();
}

QPixmap magnifier()
{
    Canvas canvas;
    QPainter &p = canvas.painter;
    p.setPen(QPen(kInk, 3, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(19, 19), QPointF(28, 28));
    p.setPen(QPen(kInk, 2));
    p.setBrush(QColor(0xD8, 0xE8, 0xFF));
    p.drawEllipse(QPointF(13, 13), 9, 9);
    return canvas.finish();
}

// A white question mark on a blue disc: help, at any toolbar size and beside Exit's cross.
QPixmap questionMark()
{
    Canvas canvas;
    QPainter &p = canvas.painter;
    p.setPen(QPen(QColor(0x18, 0x40, 0x90), 1));
    p.setBrush(QColor(0x30, 0x70, 0xD0));
    p.drawEllipse(QPointF(kSide / 2.0, kSide / 2.0), kSide / 2.0 - 2, kSide / 2.0 - 2);
    QFont f(QStringLiteral("Arial"));
    f.setPixelSize(22);
    f.setBold(true);
    p.setFont(f);
    p.setPen(Qt::white);
    p.drawText(QRect(0, 0, kSide, kSide), Qt::AlignCenter, QStringLiteral("?"));
    return canvas.finish();
}

QIcon standard(const QStyle *style, QStyle::StandardPixmap which)
{
    return style->standardIcon(which);
}

} // namespace

QIcon toolbarIcon(const QString &key, const QStyle *style)
{
    if (key == u"Open")
        return standard(style, QStyle::SP_DialogOpenButton);
    if (key == u"Save")
        return standard(style, QStyle::SP_DialogSaveButton);
    if (key == u"Print")
        return QIcon(printer());
    if (key == u"Search")
        return QIcon(magnifier());
    if (key == u"LongName")
        return QIcon(labelled(QStringLiteral("Abc"), 12));
    if (key == u"ShortName")
        return QIcon(labelled(QStringLiteral("8.3"), 12));
    if (key == u"Path")
        return standard(style, QStyle::SP_DirIcon);
    if (key == u"Date")
        return QIcon(calendar());
    if (key == u"Size")
        return QIcon(labelled(QStringLiteral("KB"), 12, QColor(0x10, 0x70, 0x30)));
    if (key == u"Extension")
        return QIcon(labelled(QStringLiteral(".ext"), 11));
    if (key == u"UpArrow")
        return standard(style, QStyle::SP_ArrowUp);
    if (key == u"DownArrow")
        return standard(style, QStyle::SP_ArrowDown);
    if (key == u"FindDups")
        return QIcon(duplicates());
    if (key == u"Help")
        return QIcon(questionMark());
    if (key == u"Exit")
        return standard(style, QStyle::SP_DialogCloseButton);
    return {};
}
