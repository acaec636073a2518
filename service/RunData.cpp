// Running-data readout on the Tool page.
#include "HidIap.h"

void TfrmMain::btnReadClick() {}
void TfrmMain::chkRefreshClick() {}
void TfrmMain::tmrRefreshTimer() {}
