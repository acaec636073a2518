#include "HidIap.h"

#include "FirmwareImage.h"
#include "ResourceLookup.h"
#include "Texts.h"
#include "VersionText.h"

using namespace hidiap;

#include <QCheckBox>
#include <QComboBox>
#include <QFontDatabase>
#include <QGroupBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QTabBar>
#include <QTabWidget>
#include <QTimer>

bool UpdateInProgress = false;
bool AutoUpdatePending = false;
int AutoTickCount = 0;
bool LedCalibrationRead = false;
bool LedCalibrationCarried = false;
QStringList* FirmwareLines = nullptr;
TfrmMain* frmMain = nullptr;

QString SongFontFamily() {
    return QStringLiteral("AR PL SungtiL GB");
}
QString ArialFontFamily() {
    return QStringLiteral("Liberation Sans");
}

namespace {

QFont PixelFont(const QString& family, int pixels, bool bold = false) {
    QFont f(family);
    f.setPixelSize(pixels);
    f.setBold(bold);
    return f;
}

QLabel* MakeLabel(QWidget* parent, int x, int y, const QString& text = QString()) {
    auto* l = new QLabel(text, parent);
    l->move(x, y);
    l->adjustSize();
    return l;
}

QFrame* MakePanel(QWidget* parent, int x, int y, int w, int h, bool rounded) {
    auto* p = new QFrame(parent);
    p->setGeometry(x, y, w, h);
    p->setAutoFillBackground(true);
    QPalette pal = p->palette();
    pal.setColor(QPalette::Window, Qt::white);
    p->setPalette(pal);
    if (rounded)
        p->setStyleSheet(
            QStringLiteral(
                "QFrame#%1 { background: white; border: 1px solid #c8c8c8; border-radius: 4px; }")
                .arg(QString::number(reinterpret_cast<quintptr>(p))));
    return p;
}

QWidget* MakePage(QTabWidget* owner, const QString& title) {
    auto* page = new QWidget;
    page->setAutoFillBackground(true);
    QPalette pal = page->palette();
    pal.setColor(QPalette::Window, Qt::white);
    page->setPalette(pal);
    owner->addTab(page, title);
    return page;
}

} // namespace

TfrmMain::TfrmMain(hublink::HidBackend& backend, QWidget* parent)
    : TSkinForm(parent), FBackend(backend) {
    frmMain = this;
    // The flags belong to the process's one main window and start clear with it.
    UpdateInProgress = false;
    AutoUpdatePending = false;
    AutoTickCount = 0;
    LedCalibrationRead = false;
    LedCalibrationCarried = false;
    BuildForm();
    FormCreate();
}

TfrmMain::~TfrmMain() {
    FormDestroy();
    if (frmMain == this)
        frmMain = nullptr;
}

void TfrmMain::BuildForm() {
    setObjectName(QStringLiteral("frmMain"));
    setFont(PixelFont(ArialFontFamily(), 12));
    setFixedSize(859, 587);
    if (QScreen* s = screen())
        move(s->availableGeometry().center() - rect().center());

    // Bottom strip with the lamp, the status strip and the built-in version.
    pnl1 = new QWidget(this);
    pnl1->setObjectName(QStringLiteral("pnl1"));
    pnl1->setGeometry(0, height() - 33, width(), 33);
    imgIndicator = new QLabel(pnl1);
    imgIndicator->setGeometry(24, 4, 24, 24);
    pnl2 = new QFrame(pnl1);
    pnl2->setGeometry(88, 6, 609, 25);
    pnl2->hide();
    lbl23 = MakeLabel(pnl2, 15, 5, QString::fromUtf8(texts::AUTO_STRIP));
    pbMsg = new QProgressBar(pnl2);
    pbMsg->setGeometry(75, 3, 217, 14);
    pbMsg->setTextVisible(false);
    lblMsg = MakeLabel(pnl2, 295, 3);
    lbl10 = MakeLabel(pnl1, 723, 7);
    lbl10->setFont(PixelFont(ArialFontFamily(), 12));
    for (QLabel* white : {lbl23, lblMsg, lbl10}) {
        QPalette pal = white->palette();
        pal.setColor(QPalette::WindowText, Qt::white);
        white->setPalette(pal);
    }

    RzPanel3 = MakePanel(this, 27, 152, 786, 359, false);
    pgcMain = new QTabWidget(RzPanel3);
    pgcMain->setTabPosition(QTabWidget::South);
    pgcMain->setGeometry(-3, -2, 791, 364);
    pgcMain->setDocumentMode(true);

    rztbshtHome = MakePage(pgcMain, QStringLiteral("Home"));
    rztbshtUpdate = MakePage(pgcMain, QStringLiteral("Update"));
    rztbshtTool = MakePage(pgcMain, QStringLiteral("Tool"));
    BuildHomePage();
    BuildUpdatePage();
    BuildToolPage();
    connect(pgcMain, &QTabWidget::currentChanged, this, [this](int i) { OnPageChanged(i); });

    tmrAuto = new QTimer(this);
    tmrAuto->setInterval(500);
    connect(tmrAuto, &QTimer::timeout, this, [this] { tmrAutoTimer(); });
    tmrAuto->start();
    tmrRefresh = new QTimer(this);
    tmrRefresh->setInterval(1000);
    connect(tmrRefresh, &QTimer::timeout, this, [this] { tmrRefreshTimer(); });

    for (int i = 0; i < 2; ++i) {
        const auto bytes =
            hidiap::FindResource(QStringLiteral("FORM"), i == 0 ? QStringLiteral("LED_GREEN_PNG")
                                                                : QStringLiteral("LED_RED_PNG"));
        if (bytes)
            ilLED[static_cast<std::size_t>(i)].loadFromData(*bytes);
    }
}

void TfrmMain::BuildHomePage() {
    lblHead = MakeLabel(rztbshtHome, 40, 33);
    lblHead->setFont(PixelFont(ArialFontFamily(), 13));
    RzPanel1 = MakePanel(rztbshtHome, 33, 56, 379, 277, true);
    lblHelp = new QLabel(RzPanel1);
    lblHelp->setGeometry(8, 14, 361, 210);
    lblHelp->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    lblHelp->setFont(PixelFont(ArialFontFamily(), 12));
    RzPanel2 = MakePanel(rztbshtHome, 426, 55, 341, 279, true);
    mmoReleaseNotes = new QPlainTextEdit(RzPanel2);
    mmoReleaseNotes->setGeometry(16, 18, 305, 231);
    mmoReleaseNotes->setReadOnly(true);
    mmoReleaseNotes->setFrameShape(QFrame::NoFrame);
    mmoReleaseNotes->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    mmoReleaseNotes->setFont(PixelFont(ArialFontFamily(), 12));
}

void TfrmMain::BuildUpdatePage() {
    cbbPort = new QComboBox(rztbshtUpdate);
    cbbPort->setGeometry(-1, -3, 34, 24);
    cbbPort->hide();
    pnlUpdate = new QWidget(rztbshtUpdate);
    pnlUpdate->setGeometry(40, 24, 273, 33);
    btnConnect = new QPushButton(pnlUpdate);
    btnConnect->setGeometry(2, 6, 110, 25);
    btnUpdate = new QPushButton(pnlUpdate);
    btnUpdate->setGeometry(163, 6, 110, 25);
    connect(btnConnect, &QPushButton::clicked, this, [this] { btnConnectClick(); });
    connect(btnUpdate, &QPushButton::clicked, this, [this] { btnUpdateClick(); });

    grpFirmware = new QGroupBox(rztbshtUpdate);
    grpFirmware->setGeometry(40, 64, 289, 185);
    lblDeviceVersion = MakeLabel(grpFirmware, 16, 28, QString(17, QLatin1Char(' ')));
    lblUpdateAvail = MakeLabel(grpFirmware, 16, 48);
    lblThisVersion = MakeLabel(grpFirmware, 16, 68);
    lblThisVersion->setFont(PixelFont(ArialFontFamily(), 12, true));
    for (QLabel* l : {lblDeviceVersion, lblUpdateAvail, lblThisVersion})
        l->resize(260, 16);

    chkAutoPRG = new QCheckBox(rztbshtUpdate);
    chkAutoPRG->setGeometry(43, 258, 294, 17);
    // A change from code runs the handler too, as a click would.
    connect(chkAutoPRG, &QCheckBox::toggled, this, [this] { chkAutoPRGClick(); });
    pbProgram = new QProgressBar(rztbshtUpdate);
    pbProgram->setGeometry(40, 297, 745, 17);
    pbProgram->setTextVisible(false);
    lblLog = MakeLabel(rztbshtUpdate, 344, 32);
    mmoUplog = new QPlainTextEdit(rztbshtUpdate);
    mmoUplog->setGeometry(344, 48, 441, 233);
    mmoUplog->setReadOnly(true);
    mmoUplog->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
}

void TfrmMain::FormCreate() {
    // 1. The form's face, and with it every control that uses the form's font.
    QFont f = font();
    f.setFamily(SongFontFamily());
    setFont(f);
    QFont head = lblHead->font();
    head.setFamily(SongFontFamily());
    lblHead->setFont(head);
    for (QLabel* l : {lbl23, lblMsg}) // "宋体" 12 px bold
        l->setFont(PixelFont(SongFontFamily(), 12, true));

    LocalizeCaptions();

    FirmwareLines = new QStringList;

    FHidCtl = new hublink::THidController(FBackend, this);
    // Binding the change handler scans at once, so DevicesChanged may run here already.
    FHidCtl->SetOnDeviceChange([this] { DevicesChanged(); });

    *FirmwareLines = LoadFirmwareLines();

    SetupModuleBar();

    lbl10->setText(QString::fromUtf8(texts::VERSION_PREFIX) +
                   FormatVersion(VersionHex(FIRMWARE_VERSION)));
    lbl10->adjustSize();
    lblUpdateAvail->clear();
    lblThisVersion->clear();
}

void TfrmMain::FormDestroy() {
    if (FDestroyed)
        return;
    FDestroyed = true;
    tmrAuto->stop();
    tmrRefresh->stop();
    delete FirmwareLines;
    FirmwareLines = nullptr;
    FHub.reset();
    for (auto& d : FHubList)
        FHidCtl->CheckIn(d);
    FHubList.clear();
    delete FHidCtl;
    FHidCtl = nullptr;
}

void TfrmMain::LocalizeCaptions() {
    lblHead->setText(QString::fromUtf8(texts::HEAD));
    lblHead->adjustSize();
    lblHelp->setText(texts::ToWidgetText(texts::HelpText()));
    mmoReleaseNotes->setPlainText(texts::ToWidgetText(texts::ReleaseNotesText()));
    btnConnect->setText(QString::fromUtf8(texts::CONNECT));
    btnUpdate->setText(QString::fromUtf8(texts::UPDATE));
    grpFirmware->setTitle(QString::fromUtf8(texts::FIRMWARE_GROUP));
    chkAutoPRG->setText(QString::fromUtf8(texts::AUTO_PRG));
    lblLog->setText(QString::fromUtf8(texts::LOG));
    lblLog->adjustSize();
}

void TfrmMain::ShowStatus(const QString& text) {
    // Shown only while the strip is visible; the text is not kept for later.
    if (pnl2->isHidden())
        return;
    lblMsg->setText(text);
    lblMsg->adjustSize();
}

void TfrmMain::rztbshtToolShow() {
    pnl2->setVisible(chkAutoPRG->isChecked());
}

void TfrmMain::rztbshtToolHide() {
    pnl2->hide();
}

void TfrmMain::OnPageChanged(int index) {
    const int previous = FCurrentPage;
    FCurrentPage = index;
    const int tool = pgcMain->indexOf(rztbshtTool);
    if (previous == tool && index != tool)
        rztbshtToolHide();
    if (index == tool && previous != tool)
        rztbshtToolShow();
}
