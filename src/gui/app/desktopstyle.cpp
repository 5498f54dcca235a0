#include "app/desktopstyle.h"

#include <QMenu>
#include <QPainter>
#include <QPainterPath>
#include <QStyleOption>

namespace {

void paintCheckMark(QPainter *painter, const QStyleOption &option)
{
    const QRectF r = QRectF(option.rect).adjusted(2, 2, -2, -2);
    QPainterPath tick;
    tick.moveTo(r.left(), r.top() + r.height() * 0.55);
    tick.lineTo(r.left() + r.width() * 0.38, r.bottom() - r.height() * 0.08);
    tick.lineTo(r.right(), r.top() + r.height() * 0.12);
    const QPalette::ColorRole ink = option.state & QStyle::State_Selected ? QPalette::HighlightedText : QPalette::Text;
    QPen pen(option.palette.color(ink), qMax(1.5, r.width() / 6.0));
    pen.setCapStyle(Qt::RoundCap);
    pen.setJoinStyle(Qt::RoundJoin);
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    painter->setPen(pen);
    painter->setBrush(Qt::NoBrush);
    painter->drawPath(tick);
    painter->restore();
}

} // namespace

void DesktopStyle::drawPrimitive(PrimitiveElement element, const QStyleOption *option, QPainter *painter,
                                 const QWidget *widget) const
{
    const bool checkInMenu = (element == PE_IndicatorCheckBox || element == PE_IndicatorMenuCheckMark) &&
                             qobject_cast<const QMenu *>(widget) && option;
    if (!checkInMenu) {
        QProxyStyle::drawPrimitive(element, option, painter, widget);
        return;
    }
    if (option->state & State_On)
        paintCheckMark(painter, *option);
}

int DesktopStyle::styleHint(StyleHint hint, const QStyleOption *option, const QWidget *widget,
                            QStyleHintReturn *returnData) const
{
    if (hint == SH_DialogButtonBox_ButtonsHaveIcons)
        return 0;
    return QProxyStyle::styleHint(hint, option, widget, returnData);
}
