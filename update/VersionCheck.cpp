// The version check.
#include "HidIap.h"

void TfrmMain::btnConnectClick() {}
