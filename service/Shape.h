#pragma once

#include <QColor>
#include <QWidget>

// A rectangle with an outline and a solid fill, as the hub sketch on the Tool page draws it.
class TShape : public QWidget {
    Q_OBJECT
public:
    explicit TShape(QWidget* parent = nullptr);
    QColor BrushColor() const { return FBrush; }
    void SetBrushColor(const QColor& c);
    QColor PenColor() const { return FPen; }

protected:
    void paintEvent(QPaintEvent*) override;

private:
    QColor FBrush = Qt::white;
    QColor FPen = QColor(160, 160, 164);
};
