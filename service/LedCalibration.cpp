// LED colour calibration on the Tool page.
#include "HidIap.h"

void TfrmMain::rztrckbr1Change(TRzTrackBar*) {}
void TfrmMain::btnStartAdjClick() {}
void TfrmMain::btnEndAdjClick() {}
