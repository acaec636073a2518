// Running-data readout on the Tool page.
#include "HidIap.h"
#include "RunDataDecode.h"
#include "Shape.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

using namespace hublink;

void TfrmMain::btnReadClick() {
    try {
        TFrameRequest request;
        request.setDataLength(0);
        const int result = SendFrame(CMD_GET_RUNDATA, request);
        // Anything that processes messages may overwrite the shared buffer; take it now.
        const std::array<std::uint8_t, 64> reply = FReply;
        if (result != 0)
            return;
        const service::RunDataValues v = service::DecodeRunData(reply);
        edtVolt->setText(QString::number(v.voltage));
        edtCurr->setText(QString::number(v.current));
        edtState->setText(QString::number(v.state));
        edtChannel->setText(QString::number(v.channel));
        const QColor empty = palette().color(QPalette::Highlight);
        TShape* const slotShapes[service::BATTERY_SLOTS] = {shp0, shp1, shp2, shp3};
        for (std::size_t i = 0; i < service::BATTERY_SLOTS; ++i)
            slotShapes[i]->SetBrushColor(v.slotFlag[i] ? QColor(Qt::white) : empty);
        edtCyc1->setText(QString::number(v.extra[0]));
        edtCyc2->setText(QString::number(v.extra[1]));
        edtCyc3->setText(QString::number(v.extra[2]));
    } catch (...) {
        // A failed read shows nothing; the next tick tries again.
    }
}

void TfrmMain::chkRefreshClick() {
    if (chkRefresh->isChecked())
        tmrRefresh->start();
    else
        tmrRefresh->stop();
}

void TfrmMain::tmrRefreshTimer() {
    btnRead->click();
}
