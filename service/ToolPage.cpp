// The Tool page: the running-data group and the LED calibration group.
#include "HidIap.h"
#include "Shape.h"
#include "TrackBar.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace {

QLabel* Label(QWidget* parent, int x, int y, const char* text) {
    auto* l = new QLabel(QString::fromUtf8(text), parent);
    l->move(x, y);
    l->adjustSize();
    return l;
}

QLineEdit* Edit(QWidget* parent, int x, int y, int w, int h) {
    auto* e = new QLineEdit(parent);
    e->setGeometry(x, y, w, h);
    return e;
}

TShape* Shape(QWidget* parent, int x, int y, int w, int h) {
    auto* s = new TShape(parent);
    s->setGeometry(x, y, w, h);
    return s;
}

} // namespace

void TfrmMain::BuildToolPage() {
    rzgrpbx1 = new QGroupBox(QStringLiteral("运行数据"), rztbshtTool);
    rzgrpbx1->setGeometry(40, 32, 265, 305);
    QWidget* g = rzgrpbx1;
    lbl3 = Label(g, 43, 36, "电压");
    edtVolt = Edit(g, 80, 32, 139, 23);
    lbl8 = Label(g, 221, 36, "MV");
    lbl4 = Label(g, 43, 60, "电流");
    edtCurr = Edit(g, 80, 56, 139, 23);
    lbl9 = Label(g, 221, 60, "MA");
    lbl5 = Label(g, 43, 84, "通道");
    edtChannel = Edit(g, 80, 80, 169, 23);
    lbl6 = Label(g, 43, 108, "状态");
    edtState = Edit(g, 80, 104, 33, 23);
    edtCyc1 = Edit(g, 120, 104, 33, 23);
    edtCyc2 = Edit(g, 160, 104, 33, 23);
    edtCyc3 = Edit(g, 208, 104, 33, 23);
    lbl7 = Label(g, 43, 143, "在位状态");
    shp4 = Shape(g, 43, 176, 198, 76);
    shp5 = Shape(g, 43, 193, 9, 41);
    shp0 = Shape(g, 156, 176, 49, 19);
    shp1 = Shape(g, 68, 176, 49, 19);
    shp2 = Shape(g, 82, 233, 49, 19);
    shp3 = Shape(g, 178, 233, 49, 19);
    lbl12 = Label(g, 168, 163, "电池1");
    lbl13 = Label(g, 80, 163, "电池2");
    lbl14 = Label(g, 96, 253, "电池3");
    lbl15 = Label(g, 184, 253, "电池4");
    btnRead = new QPushButton(QStringLiteral("读取"), g);
    btnRead->setGeometry(48, 267, 75, 25);
    chkRefresh = new QCheckBox(QStringLiteral("自动刷新"), g);
    chkRefresh->setGeometry(136, 272, 67, 17);
    connect(btnRead, &QPushButton::clicked, this, [this] { btnReadClick(); });
    // toggled, not clicked: unchecking from code (the update does so) must stop the timer too.
    connect(chkRefresh, &QCheckBox::toggled, this, [this] { chkRefreshClick(); });

    rzgrpbx2 = new QGroupBox(QStringLiteral("LED颜色调节"), rztbshtTool);
    rzgrpbx2->setGeometry(312, 32, 481, 305);
    QWidget* l = rzgrpbx2;
    struct SliderPlace {
        int left, top, labelLeft, labelTop;
        const char* caption;
    };
    // Tags 1..4 are the red values of LEDs 1..4, tags 5..8 the green ones.
    const SliderPlace places[8] = {
        {13, 48, 109, 32, "LED1红"},    {13, 104, 109, 88, "LED2红"},
        {13, 168, 109, 152, "LED3红"},  {13, 229, 109, 213, "LED4红"},
        {248, 48, 344, 32, "LED1绿"},   {248, 104, 344, 88, "LED2绿"},
        {248, 168, 344, 152, "LED3绿"}, {248, 229, 344, 213, "LED4绿"},
    };
    for (int i = 0; i < 8; ++i) {
        const SliderPlace& p = places[i];
        lblLed[static_cast<std::size_t>(i)] = Label(l, p.labelLeft, p.labelTop, p.caption);
        auto* bar = new TRzTrackBar(l);
        bar->setGeometry(p.left, p.top, 225, bar->sizeHint().height());
        bar->Tag = i + 1;
        bar->setObjectName(QStringLiteral("rztrckbr%1").arg(i + 1));
        bar->OnChange = [this](TRzTrackBar* sender) { rztrckbr1Change(sender); };
        rztrckbr[static_cast<std::size_t>(i)] = bar;
    }
    btnStartAdj = new QPushButton(QStringLiteral("读取﹠开始"), l);
    btnStartAdj->setGeometry(69, 267, 97, 25);
    btnEndAdj = new QPushButton(QStringLiteral("写入﹠结束"), l);
    btnEndAdj->setGeometry(304, 267, 83, 25);
    connect(btnStartAdj, &QPushButton::clicked, this, [this] { btnStartAdjClick(); });
    connect(btnEndAdj, &QPushButton::clicked, this, [this] { btnEndAdjClick(); });
    // Tab order: red 1, green 1, red 2, green 2, ... then the two buttons.
    const int order[8] = {0, 4, 1, 5, 2, 6, 3, 7};
    QWidget* previous = nullptr;
    for (int i : order) {
        QWidget* w = rztrckbr[static_cast<std::size_t>(i)];
        if (previous)
            setTabOrder(previous, w);
        previous = w;
    }
    setTabOrder(previous, btnStartAdj);
    setTabOrder(btnStartAdj, btnEndAdj);
}
