#include "catalogue/numberformat.h"

namespace {

struct Picture {
    QStringView prefix, suffix;
    int minDigits = 0;
    int decimals = 0;
    bool grouped = false;
    bool point = false;
    bool hasDigits = false;
};

bool isDigitPlace(QChar c)
{
    return c == u'#' || c == u'0';
}

Picture parsePicture(QStringView s)
{
    Picture p;
    qsizetype first = -1, last = -1;
    for (qsizetype i = 0; i < s.size(); ++i) {
        if (isDigitPlace(s[i])) {
            if (first < 0)
                first = i;
            last = i;
        }
    }
    if (first < 0) {
        p.prefix = s;
        return p;
    }
    p.hasDigits = true;
    p.prefix = s.first(first);
    p.suffix = s.sliced(last + 1);
    bool seenZero = false;
    for (qsizetype i = first; i <= last; ++i) {
        const QChar c = s[i];
        if (c == u'.') {
            p.point = true;
        } else if (p.point) {
            p.decimals += c == u'0' ? 1 : 0;
        } else if (c == u',') {
            p.grouped = true;
        } else if (isDigitPlace(c)) {
            seenZero = seenZero || c == u'0';
            p.minDigits += seenZero ? 1 : 0;
        }
    }
    return p;
}

QString groupDigits(const QString &digits)
{
    QString out;
    out.reserve(digits.size() + digits.size() / 3);
    for (qsizetype i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0)
            out += u',';
        out += digits[i];
    }
    return out;
}

QString applyPicture(const Picture &p, quint64 magnitude)
{
    QString out = p.prefix.toString();
    if (p.hasDigits) {
        QString digits = magnitude == 0 ? QString() : QString::number(magnitude);
        if (digits.size() < p.minDigits)
            digits.prepend(QString(p.minDigits - digits.size(), u'0'));
        out += p.grouped ? groupDigits(digits) : digits;
        if (p.point)
            out += u'.' + QString(p.decimals, u'0');
    }
    out += p.suffix;
    return out;
}

} // namespace

QString formatNumber(qint64 value, QStringView pattern)
{
    if (pattern.isEmpty())
        return QString::number(value);
    QStringView sections[3];
    int count = 0;
    for (QStringView part : pattern.tokenize(u';')) {
        if (count == 3)
            break;
        sections[count++] = part;
    }
    // Two's complement: the magnitude of the smallest value only fits unsigned.
    const quint64 magnitude = value < 0 ? 0 - quint64(value) : quint64(value);
    if (value < 0 && count >= 2 && !sections[1].isEmpty())
        return applyPicture(parsePicture(sections[1]), magnitude);
    if (value == 0 && count >= 3 && !sections[2].isEmpty())
        return applyPicture(parsePicture(sections[2]), magnitude);
    const QString text = applyPicture(parsePicture(sections[0]), magnitude);
    return value < 0 ? u'-' + text : text;
}
