// The firmware update.
#include "HidIap.h"

int TfrmMain::QueryRunState() { return 0; }
bool TfrmMain::WaitForRunState(int, int) { return false; }
bool TfrmMain::EnterUpdateMode() { return false; }
void TfrmMain::btnUpdateClick() {}
