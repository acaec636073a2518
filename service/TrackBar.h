#pragma once

#include <QSlider>

#include <functional>

// A horizontal track bar whose position setter compares the new value with the current
// position before clamping: an equal value does nothing; any other value is clamped to the
// range, the bar moves, and the change handler runs even when the clamped value equals the
// old position (a reported 200 on a bar at 100 still runs it). Moves by the user (mouse,
// keyboard) run the handler for every position change, as QSlider reports them.
class TRzTrackBar : public QSlider {
    Q_OBJECT
public:
    explicit TRzTrackBar(QWidget* parent = nullptr);

    int Position() const { return value(); }
    void SetPosition(int value);

    int Tag = 0;
    std::function<void(TRzTrackBar*)> OnChange;

private:
    bool FSetting = false;
};
