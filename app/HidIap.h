#pragma once

#include "DozivSkin.h"
#include "Frame.h"
#include "HidController.h"

#include <QPixmap>
#include <QStringList>

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

class QCheckBox;
class QComboBox;
class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QTabWidget;
class QTimer;
class TRzTrackBar;
class TShape;

// Flags of the update, shared by its handlers; all clear when the main window is created.
extern bool UpdateInProgress;   // the hub is being switched into its boot loader
extern bool AutoUpdatePending;  // a hub was selected while automatic update is on
extern int AutoTickCount;       // the automatic update's one-tick delay (0 or 1)
extern bool LedCalibrationRead; // the sliders hold LED values read from the hub
// The sliders hold values an update read from its hub and has not stored back yet.
extern bool LedCalibrationCarried;
// The lines of the built-in firmware image, filled once at start-up.
extern QStringList* FirmwareLines;

// The main window: owns the HID layer, the selected hub and the reply buffer. Every handler
// runs on the UI thread; any of them can also run inside a reply or run-state wait, because
// those waits keep the event loop going. One main window exists per process.
class TfrmMain : public TSkinForm {
    Q_OBJECT
public:
    // The backend is the real hidapi one in the product and the emulated hub elsewhere; it
    // must outlive the window.
    explicit TfrmMain(hublink::HidBackend& backend, QWidget* parent = nullptr);
    ~TfrmMain() override;

    // Start-up and main window.
    void FormCreate();
    void FormDestroy();
    void LocalizeCaptions();
    void ShowStatus(const QString& text);
    void rztbshtToolShow();
    void rztbshtToolHide();

    // Hub discovery and selection.
    void DevicesChanged();
    bool RescanDevices();
    void ShowLamp(int image);

    // Command frames.
    int SendFrame(std::uint8_t command, hublink::TFrameRequest request);
    int SendFrameSub(std::uint8_t command, const hublink::TFrameRequest& request);
    int WaitReply();
    void DeviceData(hublink::THidDevice* HidDev, std::uint8_t ReportID, const std::uint8_t* Data,
                    std::uint16_t Size);

    // Version check, update procedure, automatic update.
    void btnConnectClick();
    void btnUpdateClick();
    bool EnterUpdateMode();
    int QueryRunState();
    bool WaitForRunState(int timeoutMs, int wanted);
    void chkAutoPRGClick();
    void tmrAutoTimer();

    // Service tools.
    void btnReadClick();
    void chkRefreshClick();
    void tmrRefreshTimer();
    void rztrckbr1Change(TRzTrackBar* Sender);
    void btnStartAdjClick();
    void btnEndAdjClick();

    // Module navigation: WM_SKIN_COMMAND.
    void ModuleSelected(qint32 wParam, qint32 lParam) override;

    // Components, named as on the form.
    QWidget* pnl1 = nullptr;
    QLabel* imgIndicator = nullptr;
    QFrame* pnl2 = nullptr;
    QLabel* lbl23 = nullptr;
    QProgressBar* pbMsg = nullptr;
    QLabel* lblMsg = nullptr;
    QLabel* lbl10 = nullptr;
    QFrame* RzPanel3 = nullptr;
    QTabWidget* pgcMain = nullptr;
    QWidget* rztbshtHome = nullptr;
    QLabel* lblHead = nullptr;
    QFrame* RzPanel1 = nullptr;
    QLabel* lblHelp = nullptr;
    QFrame* RzPanel2 = nullptr;
    QPlainTextEdit* mmoReleaseNotes = nullptr;
    QWidget* rztbshtUpdate = nullptr;
    QComboBox* cbbPort = nullptr;
    QWidget* pnlUpdate = nullptr;
    QPushButton* btnConnect = nullptr;
    QPushButton* btnUpdate = nullptr;
    QGroupBox* grpFirmware = nullptr;
    QLabel* lblDeviceVersion = nullptr;
    QLabel* lblUpdateAvail = nullptr;
    QLabel* lblThisVersion = nullptr;
    QCheckBox* chkAutoPRG = nullptr;
    QProgressBar* pbProgram = nullptr;
    QLabel* lblLog = nullptr;
    QPlainTextEdit* mmoUplog = nullptr;
    QWidget* rztbshtTool = nullptr;
    QGroupBox* rzgrpbx1 = nullptr;
    QGroupBox* rzgrpbx2 = nullptr;
    QTimer* tmrAuto = nullptr;
    QTimer* tmrRefresh = nullptr;
    std::array<QPixmap, 2> ilLED; // 0 green lamp, 1 red lamp

    // Running data (Tool page).
    QLabel *lbl3 = nullptr, *lbl4 = nullptr, *lbl5 = nullptr, *lbl6 = nullptr, *lbl7 = nullptr;
    QLabel *lbl8 = nullptr, *lbl9 = nullptr;
    QLineEdit *edtVolt = nullptr, *edtCurr = nullptr, *edtChannel = nullptr, *edtState = nullptr;
    QLineEdit *edtCyc1 = nullptr, *edtCyc2 = nullptr, *edtCyc3 = nullptr;
    TShape *shp0 = nullptr, *shp1 = nullptr, *shp2 = nullptr, *shp3 = nullptr, *shp4 = nullptr,
           *shp5 = nullptr;
    QLabel *lbl12 = nullptr, *lbl13 = nullptr, *lbl14 = nullptr, *lbl15 = nullptr;
    QPushButton* btnRead = nullptr;
    QCheckBox* chkRefresh = nullptr;

    // LED calibration (Tool page).
    std::array<TRzTrackBar*, 8> rztrckbr{}; // rztrckbr1 .. rztrckbr8
    std::array<QLabel*, 8> lblLed{};        // lbl11, lbl16 .. lbl22
    QPushButton* btnStartAdj = nullptr;
    QPushButton* btnEndAdj = nullptr;

    // State.
    hublink::THidController* FHidCtl = nullptr;
    hublink::THidDevicePtr FHub;
    std::vector<hublink::THidDevicePtr> FHubList; // the devices of cbbPort's entries
    std::array<std::uint8_t, 64> FReply{};

private:
    void BuildForm();
    void BuildHomePage();
    void BuildUpdatePage();
    void BuildToolPage();  // service/ToolPage.cpp
    void SetupModuleBar(); // app/ModuleNav.cpp
    void OnPageChanged(int index);

    hublink::HidBackend& FBackend;
    int FCurrentPage = 0;
    bool FDestroyed = false;
};

extern TfrmMain* frmMain;

// Fonts standing in for the form's faces on this platform.
QString SongFontFamily();  // "宋体"
QString ArialFontFamily(); // Arial
