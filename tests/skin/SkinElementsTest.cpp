#include "SkinElements.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

// The table with its redraw requests recorded in order.
class RecordingElements : public TSkinElements {
public:
    std::vector<qint32> Redrawn;
    void RedrawControl(qint32 index) override { Redrawn.push_back(index); }
};

struct HitCase {
    int x, y;
    qint32 expected;
};

TEST(SkinElements, HitTestIncludesLeftTopEdgesAndExcludesRightBottom) {
    TSkinElements t;
    t.AddControl(2, 10, 20, 30, 40, 7); // spans x 10..39, y 20..59
    const HitCase cases[] = {
        {10, 20, 0},  {39, 59, 0},  {25, 40, 0}, // inside, corners included
        {40, 20, -1}, {10, 60, -1},              // right and bottom edges are outside
        {9, 20, -1},  {10, 19, -1},              // just left / above
    };
    for (const HitCase& c : cases)
        EXPECT_EQ(t.HitTest(c.x, c.y), c.expected) << "at " << c.x << "," << c.y;
}

TEST(SkinElements, OverlapGoesToLowerIndexAndZeroSizeIsNeverHit) {
    TSkinElements t;
    t.AddControl(0, 5, 5, 0, 10, 1);  // zero wide: never hit, of any kind
    t.AddControl(9, 0, 0, 20, 20, 2); // a kind never drawn still takes part
    t.AddControl(2, 10, 10, 20, 20, 3);
    EXPECT_EQ(t.HitTest(5, 5), 1);
    EXPECT_EQ(t.HitTest(15, 15), 1);
    EXPECT_EQ(t.HitTest(25, 25), 2);
    EXPECT_EQ(t.HitTest(35, 35), -1);
}

TEST(SkinElements, SetControlBoundsKeepsSizeForMinusOneAndZeroesForZero) {
    TSkinElements t;
    const qint32 i = t.AddControl(1, 300, 5, 30, 19, -1);
    t.SetControlBounds(i, 10, 10, -1, -1);
    const TSkinControl& c = t.FControls[i];
    EXPECT_EQ(c.Left, 10);
    EXPECT_EQ(c.Top, 10);
    EXPECT_EQ(c.Width, 30);
    EXPECT_EQ(c.Height, 19);
    EXPECT_EQ(c.BoundsRect, (TSkinRect{10, 10, 40, 29}));
    EXPECT_EQ(t.HitTest(10, 10), i);

    t.SetControlBounds(i, 10, 10, 0, 0);
    EXPECT_EQ(t.FControls[i].BoundsRect, (TSkinRect{10, 10, 10, 10}));
    EXPECT_EQ(t.HitTest(10, 10), -1);
}

TEST(SkinElements, CaptionButtonsComeFirstAndIndexOfIdSkipsModules) {
    TSkinElements t;
    t.ResetWithCaptionButtons();
    ASSERT_EQ(t.FControlCount, 3);
    EXPECT_EQ(t.FCaptionCount, 3);
    EXPECT_EQ(t.FHoverIndex, -1);
    EXPECT_EQ(t.FPressedIndex, -1);
    t.AddModule(100, "首页", "no_such_icon", "Skin");
    EXPECT_EQ(t.IndexOfId(-5), 0);
    EXPECT_EQ(t.IndexOfId(-1), 1);
    EXPECT_EQ(t.IndexOfId(-4), 2);
    EXPECT_EQ(t.IndexOfId(-2), -1);
    EXPECT_EQ(t.IndexOfId(100), -1) << "module 100 exists but is no caption button";
}

TEST(SkinElements, ModulesFollowEachOtherWithFivePixelGaps) {
    TSkinElements t;
    t.ResetWithCaptionButtons();
    t.AddModule(100, "首页", "Module_Home_png", "Skin");
    t.AddModule(101, "升级", "Module_protec_png", "Skin");
    t.AddModule(102, "", "", "Skin");
    ASSERT_EQ(t.FControlCount, 6);
    const int lefts[] = {7, 84, 161};
    for (int k = 0; k < 3; ++k) {
        const TSkinControl& c = t.FControls[3 + k];
        EXPECT_EQ(c.Kind, SKIN_KIND_MODULE);
        EXPECT_EQ(c.Id, 100 + k);
        EXPECT_EQ(c.BoundsRect, (TSkinRect{lefts[k], 44, lefts[k] + 72, 120}));
    }
    EXPECT_EQ(t.FNextModuleX, 238);
}

TEST(SkinElements, CaptionAndIconFollowTheirSources) {
    TSkinElements t;
    t.AddModule(100, "首页", "module_HOME_png", "sKiN"); // any case finds the resource
    t.AddModule(101, "", "Module_Nowhere_png", "Skin");
    const TSkinControl& home = t.FControls[0];
    EXPECT_GT(home.CaptionLen, 0);
    EXPECT_EQ(home.CaptionW, QStringLiteral("首页"));
    ASSERT_TRUE(home.HasImage);
    EXPECT_EQ(home.Image.size(), QSize(48, 48));
    EXPECT_TRUE(home.Image.hasAlphaChannel());

    const TSkinControl& bare = t.FControls[1];
    EXPECT_EQ(bare.CaptionLen, 0);
    EXPECT_TRUE(bare.CaptionW.isEmpty());
    EXPECT_FALSE(bare.HasImage);
    EXPECT_TRUE(bare.Image.isNull());
}

TEST(SkinElements, ReloadingReplacesOrDropsTheImageAndBadIndicesAreIgnored) {
    TSkinElements t;
    t.AddModule(100, "首页", "Module_Home_png", "Skin");
    t.LoadControlImage(0, "Module_Missing_png", "Skin");
    EXPECT_FALSE(t.FControls[0].HasImage);
    t.LoadControlImage(0, "BkImage2_jpg", "Skin");
    EXPECT_TRUE(t.FControls[0].HasImage);
    EXPECT_EQ(t.FControls[0].Image.size(), QSize(854, 605));

    t.SetControlCaption(1, "x");
    t.SetControlCaption(-1, "x");
    t.LoadControlImage(1, "Module_Home_png", "Skin");
    EXPECT_EQ(t.FControlCount, 1);
    EXPECT_EQ(t.FControls[0].Caption, QStringLiteral("首页"));
}

TEST(SkinElements, LayoutCaptionButtonsRightAlignsWithoutGaps) {
    struct Case {
        bool withMaximize;
        std::vector<std::pair<qint32, int>> lefts; // id, expected left
    };
    const Case cases[] = {
        {false, {{-4, 818}, {-1, 788}, {-5, 758}}},
        {true, {{-4, 818}, {-2, 788}, {-1, 758}, {-5, 728}}},
    };
    for (const Case& c : cases) {
        TSkinElements t;
        t.ResetWithCaptionButtons();
        if (c.withMaximize) {
            t.AddControl(1, 0, 9, 30, 19, -2);
            t.FCaptionCount = t.FControlCount;
        }
        t.AddModule(100, "首页", "", "Skin");
        t.LayoutCaptionButtons(859);
        for (auto [id, left] : c.lefts) {
            const qint32 i = t.IndexOfId(id);
            ASSERT_GE(i, 0);
            EXPECT_EQ(t.FControls[i].Left, left) << "id " << id;
            EXPECT_EQ(t.FControls[i].Top, 2) << "id " << id;
            EXPECT_EQ(t.FControls[i].Height, 19);
        }
        EXPECT_EQ(t.FControls[t.IndexOfId(-4)].BoundsRect.Right, 857);
        EXPECT_EQ(t.FControls[t.FControlCount - 1].Left, 7) << "modules stay where they are";
    }
}

TEST(SkinElements, HoverAndPressMoveOneFlagRedrawingOldBeforeNew) {
    RecordingElements t;
    t.ResetWithCaptionButtons();
    t.AddModule(100, "a", "", "");
    t.AddModule(101, "b", "", "");

    t.SetHoverIndex(3);
    t.SetHoverIndex(4);
    EXPECT_EQ(t.Redrawn, (std::vector<qint32>{3, 3, 4}));
    EXPECT_FALSE(t.FControls[3].Hover);
    EXPECT_TRUE(t.FControls[4].Hover);

    t.Redrawn.clear();
    t.SetHoverIndex(4);
    t.SetPressedIndex(-1); // nothing pressed
    EXPECT_TRUE(t.Redrawn.empty());

    t.SetPressedIndex(2);
    t.SetPressedIndex(17); // out of range: stored, nothing to draw
    EXPECT_EQ(t.FPressedIndex, 17);
    EXPECT_EQ(t.Redrawn, (std::vector<qint32>{2, 2}));
    for (const TSkinControl& c : t.FControls)
        EXPECT_FALSE(c.Pressed);
    EXPECT_TRUE(t.FControls[4].Hover) << "press moves never touch the hover";
}

TEST(SkinElements, SelectModuleMarksExactlyTheModulesWithThatId) {
    RecordingElements t;
    t.ResetWithCaptionButtons();
    t.AddModule(100, "a", "", "");
    t.AddModule(101, "b", "", "");
    auto selected = [&] {
        std::vector<qint32> ids;
        for (const TSkinControl& c : t.FControls)
            if (c.Selected)
                ids.push_back(c.Id);
        return ids;
    };

    t.SelectModule(100);
    EXPECT_EQ(selected(), (std::vector<qint32>{100}));
    t.Redrawn.clear();
    t.SelectModule(101);
    EXPECT_EQ(selected(), (std::vector<qint32>{101}));
    EXPECT_EQ(t.Redrawn, (std::vector<qint32>{3, 4}));

    t.Redrawn.clear();
    t.SelectModule(101); // the selected one again: drawn again
    EXPECT_EQ(t.Redrawn, (std::vector<qint32>{4}));

    t.Redrawn.clear();
    t.SelectModule(-4); // a caption button id: caption buttons are never touched
    EXPECT_EQ(t.Redrawn, (std::vector<qint32>{4}));
    EXPECT_TRUE(selected().empty());

    t.SelectModule(999);
    EXPECT_TRUE(selected().empty());
}

} // namespace
