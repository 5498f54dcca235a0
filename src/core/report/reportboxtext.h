#pragma once
// Draws the detail lines' texts, each cut to its box. Plain ASCII goes straight to glyphs
// whose indexes and advances are looked up once per character: shaping and laying out each
// of the seven texts of every line costs more than writing the PDF page itself. Any other
// text takes the painter's full path, with its font fallback.

#include <QFont>
#include <QFontMetricsF>
#include <QList>
#include <QPointF>
#include <QRawFont>
#include <QStringView>
#include <array>

class QPainter;

class ReportBoxText {
public:
    explicit ReportBoxText(const QFont &font);

    [[nodiscard]] qreal ascent() const { return m_metrics.ascent(); }
    // The longest start of the text that fits in the width; kerning only narrows it.
    void drawLeft(QPainter &painter, QPointF baseline, QStringView text, qreal width);
    // All of the text, ending at the point: a number wider than its box keeps its digits.
    void drawRight(QPainter &painter, QPointF baseline, QStringView text);
    // All of the text, narrowed to the width when it is wider.
    void drawSqueezed(QPainter &painter, QPointF baseline, QStringView text, qreal width);
    [[nodiscard]] qreal width(QStringView text);

private:
    static constexpr qreal kUnknown = -1;
    // Fills the glyph run's arrays; false when the text needs the full path.
    [[nodiscard]] bool plainGlyphs(QStringView text, qreal width, qreal &used);
    [[nodiscard]] qreal advance(QStringView character) const;
    [[nodiscard]] QStringView fit(QStringView text, qreal width, qreal &used) const;
    void drawRun(QPainter &painter, QPointF origin);

    QFont m_font;
    QRawFont m_raw;
    QFontMetricsF m_metrics;
    std::array<quint32, 128> m_glyph{};
    std::array<qreal, 128> m_advance{};
    QList<quint32> m_indexes;
    QList<QPointF> m_positions;
};

// The detail lines' two faces: the report's font, and its narrow cut for whole dates.
struct DetailText {
    ReportBoxText regular;
    ReportBoxText condensed;
};
