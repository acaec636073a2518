#include "Shape.h"

#include <QPainter>

TShape::TShape(QWidget* parent) : QWidget(parent) {}

void TShape::SetBrushColor(const QColor& c) {
    if (c == FBrush)
        return;
    FBrush = c;
    update();
}

void TShape::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), FBrush);
    p.setPen(FPen);
    p.drawRect(rect().adjusted(0, 0, -1, -1));
}
