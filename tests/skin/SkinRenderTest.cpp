#include "SkinTestSupport.h"

#include <QPainter>
#include <gtest/gtest.h>

#include <cmath>

namespace {

constexpr QRgb BackColor = 0xFF3296BE;

// Every pixel tells where it came from: red = x low byte, green = y low byte,
// blue = high bits of x and y.
QImage CoordinatePicture(int w = 854, int h = 605) {
    QImage img(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            img.setPixel(x, y, qRgb(x & 0xFF, y & 0xFF, ((x >> 8) << 4) | (y >> 8)));
    return img;
}

// Nine solid regions split at the program's centre (255,150)-(315,210).
const QRgb RegionColor[3][3] = {
    {0xFF100000, 0xFF200000, 0xFF300000},
    {0xFF001000, 0xFF00FF00, 0xFF003000},
    {0xFF000010, 0xFF000020, 0xFF000030},
};
QImage RegionPicture() {
    QImage img(854, 605, QImage::Format_RGB32);
    for (int y = 0; y < 605; ++y)
        for (int x = 0; x < 854; ++x)
            img.setPixel(x, y,
                         RegionColor[y < 150   ? 0
                                     : y < 210 ? 1
                                               : 2][x < 255   ? 0
                                                    : x < 315 ? 1
                                                              : 2]);
    return img;
}

// Source over a colour, per channel, as the alpha fills of the skin compose.
int Over(int dst, int src, double alpha) {
    return int(std::lround(dst * (1 - alpha) + src * alpha));
}

class SkinRender : public ::testing::Test {
protected:
    // A hidden window of the given size with its buffers built.
    void Build(int w, int h, const QImage& picture = QImage()) {
        form.resize(w, h);
        form.SetBackgroundQImage(picture, 255, 150, 60, 60);
        form.BuildBuffers();
        ASSERT_TRUE(form.HasBuffers());
        ASSERT_EQ(form.frontBuffer().size(), QSize(w, h));
    }
    QRgb Back(int x, int y) const { return form.backBuffer().pixel(x, y); }
    QRgb Front(int x, int y) const { return form.frontBuffer().pixel(x, y); }

    TestSkinForm form;
};

TEST_F(SkinRender, WindowNoLargerThanThePictureShowsItsTopRightPartUnscaled) {
    const QImage pic = CoordinatePicture();
    for (QSize size : {QSize(854, 605), QSize(800, 600), QSize(500, 300)}) {
        Build(size.width(), size.height(), pic);
        const int shift = 854 - size.width();
        int mismatches = 0;
        // Everything inside the two border lines is the picture, pixel for pixel.
        for (int y = 3; y < size.height() - 3; ++y)
            for (int x = 3; x < size.width() - 3; ++x)
                mismatches += Back(x, y) != pic.pixel(x + shift, y);
        EXPECT_EQ(mismatches, 0) << size.width() << "x" << size.height();
    }
}

TEST_F(SkinRender, WindowLargerInEitherDirectionUsesTheNineGrid) {
    const QImage pic = CoordinatePicture();
    // One pixel wider; wider but lower; the main window's own size.
    for (QSize size : {QSize(855, 605), QSize(900, 500), QSize(859, 587)}) {
        const int W = size.width(), H = size.height();
        Build(W, H, pic);
        // The four corners keep their size: left 255, top 150, right 539, bottom 395.
        for (int k : {5, 120, 250}) {
            EXPECT_EQ(Back(k, 100), pic.pixel(k, 100)) << W << "x" << H << " top-left " << k;
            EXPECT_EQ(Back(k, H - 395 + 100), pic.pixel(k, 210 + 100)) << W << "x" << H;
        }
        for (int k : {5, 300, 530}) {
            EXPECT_EQ(Back(W - 539 + k, 100), pic.pixel(315 + k, 100)) << W << "x" << H;
            EXPECT_EQ(Back(W - 539 + k, H - 395 + 380), pic.pixel(315 + k, 210 + 380))
                << W << "x" << H;
        }
    }
}

TEST_F(SkinRender, AtTheMainWindowSizeTheCentreBecomes65By42) {
    Build(859, 587, RegionPicture());
    // Middle piece from (255,150) to (320,192); look one pixel inside its edges, where the
    // smooth scaling may blend neighbours.
    for (int y = 151; y <= 190; ++y)
        for (int x = 256; x <= 318; ++x)
            ASSERT_EQ(Back(x, y), RegionColor[1][1]) << x << "," << y;
    EXPECT_EQ(Back(254, 170), RegionColor[1][0]);
    EXPECT_EQ(Back(321, 170), RegionColor[1][2]);
    EXPECT_EQ(Back(287, 148), RegionColor[0][1]);
    EXPECT_EQ(Back(287, 194), RegionColor[2][1]);
    EXPECT_EQ(Back(600, 100), RegionColor[0][2]);
    EXPECT_EQ(Back(600, 300), RegionColor[2][2]);
}

TEST_F(SkinRender, WithoutPictureOrCentreOnlyTheFillColourShows) {
    struct Case {
        const char* what;
        QImage picture;
        int centreWidth;
    };
    const Case cases[] = {
        {"no picture", QImage(), 60},
        {"zero centre, larger window", CoordinatePicture(), 0},
        {"picture of size 0", QImage(0, 0, QImage::Format_RGB32), 60},
    };
    for (const Case& c : cases) {
        form.resize(900, 700);
        form.SetBackgroundQImage(c.picture, 255, 150, c.centreWidth, 60);
        form.BuildBuffers();
        EXPECT_EQ(Back(400, 300), BackColor) << c.what;
        EXPECT_EQ(Back(3, 3), BackColor) << c.what;
    }
}

TEST_F(SkinRender, MissingBackgroundResourceStillStoresTheCentre) {
    form.SetBackgroundImage("BkImage_none_jpg", "Skin", 1, 2, 3, 4);
    EXPECT_FALSE(form.FHasBkImage);
    EXPECT_EQ(form.FBkCenter.X, 1);
    EXPECT_EQ(form.FBkCenter.Height, 4);
    form.SetBackgroundImage("BkImage2_jpg", "Skin", 255, 150, 60, 60);
    EXPECT_TRUE(form.FHasBkImage);
    EXPECT_EQ(form.FBkImage.size(), QSize(854, 605));
}

TEST_F(SkinRender, RestoredHasRoundedBorderAndRegionMaximisedSquare) {
    Build(400, 300);
    // The rounded outer line misses the very corner; the square one passes through it.
    EXPECT_EQ(Back(0, 0), BackColor);
    EXPECT_NE(Back(0, 150), BackColor);
    const QRegion restored = form.mask();
    EXPECT_FALSE(restored.contains(QPoint(0, 0)));
    EXPECT_FALSE(restored.contains(QPoint(399, 299)));
    EXPECT_TRUE(restored.contains(QPoint(200, 0)));
    EXPECT_TRUE(restored.contains(QPoint(2, 2)));
    EXPECT_EQ(restored.boundingRect(), QRect(0, 0, 400, 300));

    form.setWindowState(Qt::WindowMaximized);
    ASSERT_TRUE(form.isMaximized());
    const QSize area = form.size();
    form.BuildBuffers();
    EXPECT_TRUE(form.IsZoomedBuild());
    EXPECT_NE(Back(0, 0), BackColor);
    EXPECT_EQ(Back(0, 0), Back(0, area.height() / 2));
    EXPECT_EQ(form.mask(), QRegion(0, 0, area.width(), area.height()));
}

TEST_F(SkinRender, CloseButtonStatesUseRedGradientsAndHaveNoSeparator) {
    struct Case {
        const char* what;
        bool pressed;
        int red; // top colour's red
    };
    const Case cases[] = {{"hover", false, 0xFF}, {"pressed", true, 0x80}};
    for (const Case& c : cases) {
        TestSkinForm f;
        f.resize(859, 587);
        f.BuildBuffers();
        ASSERT_EQ(f.FControls[2].Left, 818);
        auto at = [&](int x) { return f.frontBuffer().pixel(x, 10); };
        const QRgb before[3] = {at(818), at(822), at(856)};
        // Without a state the close button's last columns show the ground: no separator.
        EXPECT_EQ(at(855), f.backBuffer().pixel(855, 10));
        EXPECT_EQ(at(856), f.backBuffer().pixel(856, 10));
        if (c.pressed)
            f.SetPressedIndex(2);
        else
            f.SetHoverIndex(2);
        // Row 10: the gradient at 8.5 of 19 rows. Column 818 lies under the second fill only,
        // 856 under the first only, 819..855 under both.
        const double a = (0xB4 / 255.0) * (1 - 8.5 / 19);
        auto once = [&](QRgb ground) {
            return qRgb(Over(qRed(ground), c.red, a), Over(qGreen(ground), 0, a),
                        Over(qBlue(ground), 0, a));
        };
        const QRgb expected[3] = {once(before[0]), once(once(before[1])), once(before[2])};
        const QRgb got[3] = {at(818), at(822), at(856)};
        for (int k = 0; k < 3; ++k) {
            EXPECT_NEAR(qRed(got[k]), qRed(expected[k]), 6) << c.what << " sample " << k;
            EXPECT_NEAR(qGreen(got[k]), qGreen(expected[k]), 6) << c.what << " sample " << k;
            EXPECT_NEAR(qBlue(got[k]), qBlue(expected[k]), 6) << c.what << " sample " << k;
        }
    }
}

TEST_F(SkinRender, CaptionGlyphsAreWhiteShapesAndOtherButtonsHaveSeparators) {
    Build(859, 587);
    // Close: an X of 3-pixel strokes from (831,6) over 11 x 9.
    const QPoint white[] = {{832, 6}, {840, 6}, {836, 10}, {832, 14}, {840, 14}};
    for (QPoint p : white)
        EXPECT_EQ(Front(p.x(), p.y()), 0xFFFFFFFFu) << p.x() << "," << p.y();
    EXPECT_NE(Front(836, 6), 0xFFFFFFFFu) << "between the arms";
    // Minimise (788..817): a bar of 11 x 2 at (796,13).
    for (int x = 796; x <= 806; ++x) {
        EXPECT_EQ(Front(x, 13), 0xFFFFFFFFu) << x;
        EXPECT_EQ(Front(x, 14), 0xFFFFFFFFu) << x;
    }
    EXPECT_NE(Front(801, 12), 0xFFFFFFFFu);
    EXPECT_NE(Front(801, 15), 0xFFFFFFFFu);
    // App button (758..787): outline 11 x 9 at (766,6) and a triangle pointing down inside.
    EXPECT_EQ(Front(766, 6), 0xFFFFFFFFu);
    EXPECT_EQ(Front(776, 14), 0xFFFFFFFFu);
    EXPECT_EQ(Front(771, 12), 0xFFFFFFFFu) << "triangle tip";
    EXPECT_EQ(Front(769, 10), 0xFFFFFFFFu) << "triangle base";
    EXPECT_NE(Front(769, 11), 0xFFFFFFFFu);
    EXPECT_NE(Front(771, 9), 0xFFFFFFFFu) << "inside the outline";
    // The soft edge darkens the ground right next to a glyph.
    EXPECT_LT(qGray(Front(795, 13)), qGray(Back(795, 13)));

    // Separators: a dark column then a light one at the right of minimise and app buttons.
    for (int right : {817, 787}) {
        EXPECT_LT(qGray(Front(right - 1, 3)), qGray(Back(right - 1, 3))) << right;
        EXPECT_GT(qGray(Front(right, 3)), qGray(Back(right, 3))) << right;
    }
}

class SkinModuleRender : public SkinRender {
protected:
    void SetUp() override {
        form.AddModule(100, "", "", "Skin"); // index 3 at (7,44), no icon, no caption
        Build(859, 587);
    }
    QRgb Inner() const { return Front(7 + 35, 44 + 30); }
};

TEST_F(SkinModuleRender, SelectedOrPressedUseStrongColoursOverHover) {
    const QRgb plain = Inner();
    form.SetHoverIndex(3);
    const QRgb hover = Inner();
    form.SelectModule(100);
    const QRgb selectedHovered = Inner();
    form.SetHoverIndex(-1);
    const QRgb selected = Inner();
    form.SelectModule(0);
    form.SetPressedIndex(3);
    const QRgb pressed = Inner();

    EXPECT_NE(hover, plain);
    EXPECT_EQ(selectedHovered, selected);
    EXPECT_EQ(pressed, selected);
    EXPECT_GT(qGray(hover), qGray(selected)) << "hover fill is the lighter one";
    form.SetPressedIndex(-1);
    EXPECT_EQ(Inner(), plain);
}

TEST_F(SkinModuleRender, IconsAreLimitedTo48EachSideAndCentredAboveTheCaption) {
    struct Case {
        QSize icon;
        QRect expected; // relative to the button
    };
    const Case cases[] = {
        {QSize(64, 32), QRect(12, 12, 48, 32)},
        {QSize(48, 48), QRect(12, 4, 48, 48)},
        {QSize(20, 60), QRect(26, 4, 20, 48)},
    };
    for (const Case& c : cases) {
        QImage icon(c.icon, QImage::Format_ARGB32);
        icon.fill(0xFFFF0000);
        form.FControls[3].Image = icon;
        form.FControls[3].HasImage = true;
        form.RedrawControl(3);
        const QRect r = c.expected.translated(7, 44);
        auto red = [&](int x, int y) { return Front(x, y) == 0xFFFF0000; };
        EXPECT_TRUE(red(r.left() + 1, r.top() + 1)) << c.icon.width() << "x" << c.icon.height();
        EXPECT_TRUE(red(r.right() - 1, r.bottom() - 1)) << c.icon.width();
        EXPECT_FALSE(red(r.left() - 1, r.center().y())) << c.icon.width();
        EXPECT_FALSE(red(r.right() + 1, r.center().y())) << c.icon.width();
        EXPECT_FALSE(red(r.center().x(), r.top() - 1)) << c.icon.width();
        EXPECT_FALSE(red(r.center().x(), r.bottom() + 1)) << c.icon.width();
    }
}

TEST_F(SkinModuleRender, CaptionIsDrawnOnlyWhenThereIsOne) {
    const QImage without = form.frontBuffer().copy(7, 44 + 51, 72, 20);
    form.SetControlCaption(3, "升级");
    form.RedrawControl(3);
    const QImage with = form.frontBuffer().copy(7, 44 + 51, 72, 20);
    EXPECT_NE(with, without);
    int whiteish = 0;
    for (int y = 0; y < with.height(); ++y)
        for (int x = 0; x < with.width(); ++x)
            whiteish += qGray(with.pixel(x, y)) > 230;
    EXPECT_GT(whiteish, 10) << "white caption text";
    form.SetControlCaption(3, "");
    form.RedrawControl(3);
    EXPECT_EQ(form.frontBuffer().copy(7, 44 + 51, 72, 20), without);
}

TEST(SkinRedraw, BeforeTheFirstPaintNothingIsDrawnAndFlagsShowAtTheBuild) {
    TestSkinForm form;
    form.resize(859, 587);
    form.RedrawControl(2);
    form.SetHoverIndex(2);
    EXPECT_FALSE(form.HasBuffers());
    EXPECT_EQ(form.screenCopyCount(), 0);
    EXPECT_TRUE(form.FControls[2].Hover);
    form.BuildBuffers();
    TestSkinForm plain;
    plain.resize(859, 587);
    plain.BuildBuffers();
    EXPECT_NE(form.frontBuffer().pixel(822, 2), plain.frontBuffer().pixel(822, 2));
}

class SkinShownRedraw : public ::testing::Test {
protected:
    void SetUp() override {
        form.AddModule(100, "首页", "Module_Home_png", "Skin");
        form.AddModule(101, "升级", "Module_protec_png", "Skin");
        form.SetBackgroundImage("BkImage2_jpg", "Skin", 255, 150, 60, 60);
        form.SelectModule(100);
        form.resize(859, 587);
        form.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
        QCoreApplication::processEvents();
        ASSERT_TRUE(form.HasBuffers());
    }
    TestSkinForm form;
};

TEST_F(SkinShownRedraw, AHoverChangeRepaintsOnlyThatElement) {
    const QImage before = form.frontBuffer().copy();
    const int copies = form.screenCopyCount(), paints = form.paintCount();
    form.SetHoverIndex(2);
    const QRect close(818, 2, 39, 19);
    EXPECT_EQ(form.screenCopyCount(), copies + 1);
    EXPECT_EQ(form.lastScreenCopy(), close);
    EXPECT_EQ(form.paintCount(), paints + 1) << "painted at once";
    EXPECT_EQ(form.lastPaintRegion(), QRegion(close));
    const QImage& after = form.frontBuffer();
    int changedOutside = 0, changedInside = 0;
    for (int y = 0; y < after.height(); ++y)
        for (int x = 0; x < after.width(); ++x) {
            const bool changed = after.pixel(x, y) != before.pixel(x, y);
            (close.contains(x, y) ? changedInside : changedOutside) += changed;
        }
    EXPECT_EQ(changedOutside, 0);
    EXPECT_GT(changedInside, 100);

    form.SetHoverIndex(2);
    form.SetPressedIndex(-1);
    EXPECT_EQ(form.screenCopyCount(), copies + 1) << "no change, no drawing";
    EXPECT_EQ(form.paintCount(), paints + 1);

    form.SetHoverIndex(3);
    EXPECT_EQ(form.screenCopyCount(), copies + 3);
    EXPECT_EQ(form.lastScreenCopy(), QRect(7, 44, 72, 76));
}

TEST_F(SkinShownRedraw, ResizeDropsTheBuffersAndTheNextPaintRebuildsThem) {
    form.resize(900, 620);
    EXPECT_FALSE(form.HasBuffers());
    QCoreApplication::processEvents();
    form.repaint();
    ASSERT_TRUE(form.HasBuffers());
    EXPECT_EQ(form.frontBuffer().size(), QSize(900, 620));
    EXPECT_EQ(form.FControls[2].Left, 900 - 41) << "caption buttons placed again";
}

TEST_F(SkinShownRedraw, GrabShowsTheSkin) {
    const QImage shot = form.grab().toImage();
    ASSERT_EQ(shot.size(), QSize(859, 587));
    if (qEnvironmentVariableIsSet("SKIN_GRAB"))
        shot.save(qEnvironmentVariable("SKIN_GRAB"));
    // The module bar is dark, the panel behind the pages white.
    EXPECT_LT(qGray(shot.pixel(400, 80)), 80);
    EXPECT_GT(qGray(shot.pixel(400, 300)), 245);
}

} // namespace
