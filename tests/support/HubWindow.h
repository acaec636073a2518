#pragma once

#include "EmulatedHub.h"
#include "HidIap.h"
#include "Pump.h"

#include <QTimer>

#include <memory>

// The real main window over the emulated bus, with one hub on it. Tests drive the window and
// assert on the hub's trace; nothing below the window is replaced.
struct HubWindow {
    emuhub::EmulatedBus bus;
    emuhub::EmulatedHub& hub = bus.addHub();
    std::unique_ptr<TfrmMain> w;

    // Plugs the hub (unless told not to), creates and shows the window and runs the event
    // loop until the start-up scans are done and, with a hub, until it is selected.
    explicit HubWindow(bool plugHub = true) {
        if (plugHub)
            hub.plug();
        w = std::make_unique<TfrmMain>(bus);
        w->show();
        // The start-up scan runs once the event loop runs.
        PumpUntil([this] { return w->FHidCtl->ScanCount() >= 2; });
        if (plugHub)
            PumpUntil([this] { return w->FHub != nullptr && w->FHub->HasReader(); });
    }
    ~HubWindow() { w.reset(); }

    bool WaitSelected(bool selected, int timeoutMs = 3000) {
        return PumpUntil([&] { return (w->FHub != nullptr) == selected; }, timeoutMs);
    }
};
