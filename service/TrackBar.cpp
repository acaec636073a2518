#include "TrackBar.h"

TRzTrackBar::TRzTrackBar(QWidget* parent) : QSlider(Qt::Horizontal, parent) {
    setRange(0, 100);
    setValue(50);
    setTickPosition(QSlider::TicksBelow);
    setTickInterval(5);
    setPageStep(5);
    connect(this, &QSlider::valueChanged, this, [this] {
        if (!FSetting && OnChange)
            OnChange(this);
    });
}

void TRzTrackBar::SetPosition(int value) {
    if (value == Position())
        return;
    const int clamped = std::clamp(value, minimum(), maximum());
    FSetting = true;
    setValue(clamped);
    FSetting = false;
    if (OnChange)
        OnChange(this);
}
