#pragma once
// The program's look on top of the platform style: menus show only the check mark of a
// chosen item, not an empty box beside every other item, and dialog buttons carry no
// pictures.

#include <QProxyStyle>

class DesktopStyle : public QProxyStyle {
    Q_OBJECT
public:
    using QProxyStyle::QProxyStyle;

    void drawPrimitive(PrimitiveElement element, const QStyleOption *option, QPainter *painter,
                       const QWidget *widget = nullptr) const override;
    int styleHint(StyleHint hint, const QStyleOption *option = nullptr, const QWidget *widget = nullptr,
                  QStyleHintReturn *returnData = nullptr) const override;
};
