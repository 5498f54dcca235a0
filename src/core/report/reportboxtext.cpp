#include "report/reportboxtext.h"

#include <QGlyphRun>
#include <QPainter>
#include <algorithm>
#include <limits>

namespace {

constexpr qreal kUnbounded = std::numeric_limits<qreal>::max();

} // namespace

ReportBoxText::ReportBoxText(const QFont &font) : m_font(font), m_raw(QRawFont::fromFont(font)), m_metrics(font)
{
    m_advance.fill(kUnknown);
}

bool ReportBoxText::plainGlyphs(QStringView text, qreal width, qreal &used)
{
    m_indexes.clear();
    m_positions.clear();
    qreal x = 0;
    for (QChar c : text) {
        const char16_t u = c.unicode();
        if (u < 32 || u >= m_glyph.size() || !m_raw.isValid())
            return false;
        if (m_advance[u] == kUnknown) {
            const QList<quint32> glyph = m_raw.glyphIndexesForString(QString(c));
            if (glyph.size() != 1 || glyph[0] == 0)
                return false;
            m_glyph[u] = glyph[0];
            m_advance[u] = m_raw.advancesForGlyphIndexes(glyph).value(0).x();
        }
        if (x + m_advance[u] > width)
            break;
        m_indexes.append(m_glyph[u]);
        m_positions.append(QPointF(x, 0));
        x += m_advance[u];
    }
    used = x;
    return true;
}

qreal ReportBoxText::advance(QStringView character) const
{
    return m_metrics.horizontalAdvance(character.toString());
}

QStringView ReportBoxText::fit(QStringView text, qreal width, qreal &used) const
{
    qreal x = 0;
    qsizetype i = 0;
    while (i < text.size()) {
        const qsizetype n = text[i].isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
        const qreal w = advance(text.sliced(i, n));
        if (x + w > width)
            break;
        x += w;
        i += n;
    }
    used = x;
    return text.first(i);
}

void ReportBoxText::drawRun(QPainter &painter, QPointF origin)
{
    if (m_indexes.isEmpty())
        return;
    QGlyphRun run;
    run.setRawFont(m_raw);
    run.setGlyphIndexes(m_indexes);
    run.setPositions(m_positions);
    painter.drawGlyphRun(origin, run);
}

void ReportBoxText::drawLeft(QPainter &painter, QPointF baseline, QStringView text, qreal width)
{
    qreal used = 0;
    if (plainGlyphs(text, width, used))
        drawRun(painter, baseline);
    else
        painter.drawText(baseline, fit(text, width, used).toString());
}

qreal ReportBoxText::width(QStringView text)
{
    qreal used = 0;
    if (!plainGlyphs(text, kUnbounded, used))
        (void)fit(text, kUnbounded, used);
    return used;
}

void ReportBoxText::drawSqueezed(QPainter &painter, QPointF baseline, QStringView text, qreal width)
{
    painter.save();
    painter.setFont(m_font); // for the painter's own path
    painter.translate(baseline);
    const qreal needed = this->width(text);
    // Only when even the narrow face is too wide, or is not installed.
    if (needed > width)
        painter.scale(width / needed, 1);
    drawLeft(painter, QPointF(), text, std::max(needed, width));
    painter.restore();
}

void ReportBoxText::drawRight(QPainter &painter, QPointF baseline, QStringView text)
{
    qreal used = 0;
    if (plainGlyphs(text, kUnbounded, used)) {
        drawRun(painter, baseline - QPointF(used, 0));
    } else {
        (void)fit(text, kUnbounded, used);
        painter.drawText(baseline - QPointF(used, 0), text.toString());
    }
}
