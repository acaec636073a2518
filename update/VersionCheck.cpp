// The version check.
#include "HidIap.h"

#include "UpdateTexts.h"
#include "VersionText.h"

#include <QComboBox>
#include <QLabel>
#include <QPlainTextEdit>

using namespace hublink;
using namespace hidiap;

void TfrmMain::btnConnectClick() {
    TFrameRequest request; // all zero: no data bytes
    const int selected = cbbPort->currentIndex();
    if (selected >= 0 && static_cast<std::size_t>(selected) < FHubList.size()) {
        FHub = FHubList[static_cast<std::size_t>(selected)];
        // A reader that already runs keeps running; this only makes sure one does.
        FHub->SetOnData([this](THidDevice* dev, std::uint8_t id, const std::uint8_t* data,
                               std::uint16_t size) { DeviceData(dev, id, data, size); });
        ShowLamp(0);
        // Its result is not used: the hub answers the second request the same way.
        SendFrame(CMD_GET_VERSION, request);
    }
    if (!FHub) {
        ShowLamp(1);
        mmoUplog->appendPlainText(QString::fromUtf8(updatetexts::NO_HUB_LOG));
        return;
    }

    request.setDataLength(1); // the one data byte stays 0x00
    const int result = SendFrame(CMD_GET_VERSION, request);
    const auto reply = FReply; // before anything can pump messages again
    if (result == STATUS_OK) {
        const QString text = VersionTextFromReply(reply.data());
        lblDeviceVersion->setText(QString::fromUtf8(updatetexts::DEVICE_VERSION) +
                                  FormatVersion(text));
        if (IsUpdateAvailable(VersionFromReply(reply.data()))) {
            lblUpdateAvail->setText(QString::fromUtf8(updatetexts::UPDATE_AVAILABLE));
            lblThisVersion->setText(QString::fromUtf8(updatetexts::OFFERED_VERSION) +
                                    FormatVersion(VersionHex(FIRMWARE_VERSION)));
            lblThisVersion->show();
        } else {
            lblUpdateAvail->setText(QString::fromUtf8(updatetexts::NO_UPDATE));
            lblThisVersion->hide();
        }
        ShowStatus(QString::fromUtf8(updatetexts::APP_VERSION_STATUS) + text);
    }
    ShowLamp(0);
}
