#include "app/proportionallayout.h"

#include "grid/twips.h"

#include <QEvent>
#include <QWidget>

ProportionalLayout::ProportionalLayout(QWidget *client, QSize designTwips)
    : QObject(client), m_client(client), m_designTwips(designTwips)
{
    client->installEventFilter(this);
}

void ProportionalLayout::add(QWidget *control, QRect twips, Sizing sizing)
{
    m_items.push_back({control, twips, sizing});
    control->setGeometry(placement(m_items.back()));
}

QSize ProportionalLayout::designPixels() const
{
    return {twipsToPixels(m_designTwips.width(), m_client), twipsToPixels(m_designTwips.height(), m_client)};
}

QRect ProportionalLayout::placement(const Item &item) const
{
    const QSize design = designPixels();
    const double sx = double(m_client->width()) / design.width();
    const double sy = double(m_client->height()) / design.height();
    const QRect px(twipsToPixels(item.twips.x(), m_client), twipsToPixels(item.twips.y(), m_client),
                   twipsToPixels(item.twips.width(), m_client), twipsToPixels(item.twips.height(), m_client));
    const QPoint at(qRound(px.x() * sx), qRound(px.y() * sy));
    const QSize scaled(qRound(px.width() * sx), qRound(px.height() * sy));
    switch (item.sizing) {
    case Sizing::FullWidth:
        return {QPoint(0, at.y()), QSize(m_client->width(), std::max(px.height(), item.control->sizeHint().height()))};
    case Sizing::ToText:
        return {at, item.control->sizeHint()};
    case Sizing::AtLeastText:
        return {at, scaled.expandedTo(QSize(item.control->sizeHint().width(), 0))};
    case Sizing::Scaled:
        break;
    }
    return {at, scaled};
}

void ProportionalLayout::relayout()
{
    for (const Item &item : m_items)
        item.control->setGeometry(placement(item));
}

bool ProportionalLayout::eventFilter(QObject *watched, QEvent *event)
{
    // A control whose text changed asks its parent for a new layout.
    if (watched == m_client && (event->type() == QEvent::Resize || event->type() == QEvent::LayoutRequest))
        relayout();
    return QObject::eventFilter(watched, event);
}
