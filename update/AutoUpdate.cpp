// The automatic update on plug-in.
#include "HidIap.h"

void TfrmMain::chkAutoPRGClick() {}
void TfrmMain::tmrAutoTimer() {}
