#include "ToolPageFixture.h"

#include <QImage>
#include <QPixmap>
#include <QPushButton>

#include <gtest/gtest.h>

using namespace hublink;

namespace {

QColor PixelOf(const QImage& img, const TfrmMain& w, const QWidget& part, QPoint at) {
    return img.pixelColor(part.mapTo(&w, at));
}

// The Tool page as drawn, after a read: the slot rectangles show their flags with the grey
// outline around them. Set HIDIAP_SCREENSHOT to a file path to keep the picture (PNG).
TEST(ToolPagePicture, SlotsAreDrawnWithTheirFillsAndOutline) {
    HubWindow hw;
    auto& w = *hw.w;
    ShowToolPage(w);
    hw.hub.setRunData({3712, 1250, 2, 1, 0x50, {12, 34, 56}});
    w.btnRead->click();
    PumpFor(50);

    const QImage img = w.grab().toImage();
    ASSERT_FALSE(img.isNull());
    ASSERT_EQ(img.size(), w.size()) << "the picture is checked in logical pixels";
    const QColor hl = Highlight(w);
    const TShape* slotShapes[4] = {w.shp0, w.shp1, w.shp2, w.shp3};
    const bool white[4] = {true, false, true, false};
    for (int i = 0; i < 4; ++i) {
        const TShape& s = *slotShapes[i];
        EXPECT_EQ(PixelOf(img, w, s, s.rect().center()), white[i] ? QColor(Qt::white) : hl)
            << "shp" << i;
        EXPECT_EQ(PixelOf(img, w, s, {0, 0}), QColor(160, 160, 164)) << "shp" << i;
    }

    const QByteArray path = qgetenv("HIDIAP_SCREENSHOT");
    if (!path.isEmpty()) {
        EXPECT_TRUE(img.save(QString::fromLocal8Bit(path), "PNG")) << path.constData();
    }
}

} // namespace
