#pragma once

#include "Frame.h"
#include "HidBackend.h"

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

// An emulated bus of HID devices: the hub (application and boot-loader firmware), decoys with
// other IDs, and a trace of every frame and event. EmulatedBus is a hublink::HidBackend, so the
// program's HID layer runs over it unchanged.
//
// Threads. Every public function of the bus and its devices may be called from any thread; one
// mutex guards all state. The HidBackend rules still apply to its users (enumerate/open/close
// on one thread, a handle read by one reader thread only). Delayed work (late replies,
// re-enumeration, floods) runs on the bus's own worker thread. The change callback is called
// with no lock held: on the calling thread for plug()/unplug() and for faults that fire inside
// write(), on the worker thread for timed events. Device objects live as long as the bus; a
// handle may outlive the bus (its reads and writes then fail).
namespace emuhub {

using Clock = std::chrono::steady_clock;
using Bytes = std::vector<std::uint8_t>;
using Ms = std::chrono::milliseconds;

// Reply statuses of the emulated hub besides STATUS_OK / STATUS_APP_RUNNING.
constexpr std::uint8_t EMU_STATUS_REFUSED = 0x01; // command not served in this mode, bad argument
constexpr std::uint8_t EMU_STATUS_PROTOCOL_ERROR = 0x02; // record frames out of pairing or order

constexpr std::size_t LED_CHANNELS = 8;
using LedValues = std::array<std::uint8_t, LED_CHANNELS>; // index 0 = channel 1
using Version = std::array<std::uint8_t, 4>;              // most significant byte first

enum class HubMode { Application, BootLoader };
const char* HubModeName(HubMode mode);

// One firmware record as the boot loader stores it.
struct ImageRecord {
    std::uint16_t address = 0;
    Bytes data;
    friend bool operator==(const ImageRecord&, const ImageRecord&) = default;
};

// The ten bytes of the running-data reply (frame bytes 5..14).
struct RunData {
    std::uint16_t voltage = 0; // sent low byte first
    std::uint16_t current = 0; // sent low byte first
    std::uint8_t state = 0;
    std::uint8_t channel = 0;
    std::uint8_t slotFlags = 0; // bits 4..7: batteries 1..4
    std::array<std::uint8_t, 3> extra{};
    std::array<std::uint8_t, 10> bytes() const;
};

// Verdict on one received output report: the report-level rules, then the frame rules.
enum class ReportCheck {
    Ok,
    BadReportLength,
    BadReportId,
    BadSync,
    BadLength,
    BadZeroByte,
    BadCheckByte
};
const char* ReportCheckName(ReportCheck check);
ReportCheck CheckReport(const std::uint8_t* report, std::size_t length);

enum class TraceKind {
    Received,      // an output report written to the device (bytes, check, command)
    Sent,          // an input report delivered to the open handles (reply, injected or flood)
    Plugged,       // appeared on the bus (plug(), power-up)
    Unplugged,     // left the bus (unplug(), a fault, the leave of a re-enumeration)
    Reenumerated,  // came back under a new path after entering the boot loader or a restart
    ModeChanged,   // application <-> boot loader
    FaultFired,    // a fault set by the test took effect (text says which)
    ProtocolError, // record frames broke the pairing / ordering rules (text says how)
    Refused, // a well-formed command the hub does not serve in this mode or with these arguments
    ReportDropped, // a handle's queue was full
};
const char* TraceKindName(TraceKind kind);

struct TraceEntry {
    TraceKind kind = TraceKind::Received;
    Clock::time_point time{};
    std::string device; // device name
    std::string path;   // its path at the time ("" while off the bus)
    HubMode mode = HubMode::Application;
    Bytes bytes;                         // Received / Sent: the whole report, report ID first
    ReportCheck check = ReportCheck::Ok; // Received only
    std::optional<std::uint8_t> command; // frame command byte, when the report has one
    std::optional<std::uint8_t> status;  // Sent replies: the status byte
    std::string text;                    // events: what happened

    const char* commandName() const; // "CMD_GET_VERSION", "?" for an unknown code, "" for none
    std::string describe() const;    // one line for failure messages
};

// A snapshot of trace entries with the queries tests need.
class Trace {
public:
    Trace() = default;
    explicit Trace(std::vector<TraceEntry> entries) : entries_(std::move(entries)) {}

    const std::vector<TraceEntry>& entries() const { return entries_; }
    std::size_t size() const { return entries_.size(); }

    std::vector<TraceEntry> ofKind(TraceKind kind) const;
    std::size_t count(TraceKind kind) const;
    // Commands of the well-formed frames received, in order.
    std::vector<std::uint8_t> receivedCommands() const;
    std::size_t countReceived(std::uint8_t command) const; // well-formed frames only
    std::size_t countSent(std::uint8_t command) const;     // replies echoing the command
    std::vector<TraceEntry> receivedFrames(std::uint8_t command) const;
    // Records carried by a CMD_ADDR_DATA that directly followed a CMD_DATA, in order.
    std::vector<ImageRecord> recordPairs() const;
    // A received report that failed the checks, or a protocol error.
    bool anyRuleBroken() const;
    std::string dump() const;

private:
    std::vector<TraceEntry> entries_;
};

namespace detail {
struct Core;
}

// A device on the bus. Created off the bus: configure it, then plug() it.
class EmulatedDevice {
public:
    virtual ~EmulatedDevice();
    EmulatedDevice(const EmulatedDevice&) = delete;
    EmulatedDevice& operator=(const EmulatedDevice&) = delete;

    const std::string& name() const { return name_; }
    std::uint16_t vendorId() const;
    std::uint16_t productId() const;

    // Power-up: a new path, live LEDs from the stored ones, application mode (or the boot
    // loader with setStartInBootLoader). No-op when already on the bus. Cancels a pending
    // re-enumeration.
    void plug();
    // Leaves the bus: not enumerated, open fails, every open handle's read and write fail from
    // now on, even after a later plug(). Cancels a pending re-enumeration.
    void unplug();
    bool isPlugged() const;
    std::string path() const;     // "" while off the bus
    int enumerationCount() const; // number of times it appeared on the bus
    bool waitForPlugged(bool plugged, Ms timeout) const;

    // open() of this device returns nullptr with OpenResult::PermissionDenied.
    void setOpenDenied(bool denied);
    // open() fails (OpenResult::Failed) until the device has been on the bus this long, as a
    // node that was just created may not be openable yet.
    void setOpenDelay(Ms delay);
    // The next read on every open handle returns -1 once (an interrupted call) while the
    // device stays on the bus.
    void interruptReads();
    int openHandleCount() const;
    std::size_t droppedReports() const; // reports lost to full handle queues

    // Unsolicited input report (1..65 bytes), delivered as given: readTimeout returns exactly
    // these bytes. False when off the bus or the length is out of range.
    bool injectReport(const Bytes& report);
    // The same report every interval until stopFlood(), an unplug, or count reports (0 = no limit).
    void startFlood(const Bytes& report, std::chrono::microseconds interval, std::size_t count = 0);
    void stopFlood();

    Trace trace() const; // this device's entries

protected:
    EmulatedDevice(std::shared_ptr<detail::Core> core, std::size_t index, std::string name);
    std::shared_ptr<detail::Core> core_;
    std::size_t index_;
    std::string name_;
    friend class EmulatedBus;
};

// The charging hub.
//
// Replies: 64-byte frames 55, length, 00, command, status, data, check byte (same coverage as
// requests), zero padding, behind report ID 0. Frames that fail CheckReport get no reply.
// Application mode serves CMD_GET_VERSION, CMD_GET_STATE (status FF), CMD_GET_RUNDATA,
// CMD_SET_LED, CMD_GET_LEDS, CMD_STORE_LEDS, CMD_ENTER_UPDATE and CMD_RESTART (a restart into
// the application). The boot loader serves CMD_GET_STATE (status 0, byte 5 = 1),
// CMD_ENTER_UPDATE (status 0, stays, discards the records received so far), CMD_DATA,
// CMD_ADDR_DATA and CMD_RESTART. Anything else, and CMD_SET_LED with a channel outside 1..8,
// gets EMU_STATUS_REFUSED and a Refused entry.
//
// Records: CMD_DATA must carry four zero bytes then the data; the next frame must be the
// CMD_ADDR_DATA with address low, high, 0, 0 and the same data (same length). A violation
// gets EMU_STATUS_PROTOCOL_ERROR and a ProtocolError entry; the record is not stored. An exact
// repeat of the last CMD_DATA, or of the last accepted CMD_ADDR_DATA, is a retransmission
// after a lost reply: accepted again with status 0, stored once.
//
// Restart from the boot loader: if the records received since it started equal the expected
// image (any non-empty image when none was set), the application comes back with the new
// version, and its live and stored LEDs set to the factory values.
class EmulatedHub final : public EmulatedDevice {
public:
    struct Timing {
        Ms replyLatency{0};        // the reply becomes readable this long after the write
        Ms enterUpdateLeave{300};  // CMD_ENTER_UPDATE write -> leaves the bus
        Ms enterUpdateAbsent{300}; // off the bus before it returns in the boot loader
        Ms restartLeave{300};      // CMD_RESTART write -> leaves the bus
        Ms restartAbsent{300};     // off the bus before it returns in the application
    };

    void setTiming(const Timing& timing);
    Timing timing() const;
    void setReplyLatency(Ms latency);
    // All four re-enumeration delays at once (tests want them short).
    void setReenumerationDelays(Ms leave, Ms absent);

    HubMode mode() const;
    bool waitForMode(HubMode mode, Ms timeout) const; // true once plugged in that mode

    void setVersion(const Version& version); // what the application reports now
    Version version() const;
    void setNewVersion(const Version& version); // reported after a complete image
    void setRunData(const RunData& data);

    void setLiveLeds(const LedValues& values);
    void setStoredLeds(const LedValues& values);  // also the live values at the next power-up
    void setFactoryLeds(const LedValues& values); // what a firmware update leaves
    LedValues liveLeds() const;
    LedValues storedLeds() const;

    void setExpectedImage(std::vector<ImageRecord> records);
    std::vector<ImageRecord>
    receivedImage() const;               // accepted records of the latest boot-loader run
    std::uint64_t imagesApplied() const; // complete images applied by a restart

    // Faults. "occurrence" counts well-formed frames of the command received after the call,
    // from 1; 0 means every occurrence.
    void setSilent(bool silent); // answers nothing, processes nothing
    void setSilentTo(std::uint8_t command, bool silent = true); // ignores that command entirely
    void setExtraLatency(Ms extra);                             // added to every reply
    void addLateReply(std::uint8_t command, int occurrence, Ms extra);
    // Reply with this status (and these data bytes, if given) instead; the command still takes
    // effect.
    void addStatusFault(std::uint8_t command, int occurrence, std::uint8_t status,
                        std::optional<Bytes> data = std::nullopt);
    // Stores the k-th record received after the call, then leaves the bus without replying.
    void unplugAfterRecords(int k);
    // Leaves the bus on receiving the occurrence of the command, without processing or replying.
    void unplugAtCommand(std::uint8_t command, int occurrence);
    // Goes silent (as setSilent(true)) on receiving the occurrence of the command, which is
    // itself neither processed nor answered.
    void silentAtCommand(std::uint8_t command, int occurrence);
    void
    setNeverEnterBootLoader(bool never);  // replies to CMD_ENTER_UPDATE, stays in the application
    void setNeverComeBack(bool never);    // leaves after CMD_RESTART and stays away
    void setStartInBootLoader(bool boot); // the next plug() powers up in the boot loader
    void clearFaults();

private:
    using EmulatedDevice::EmulatedDevice;
    friend class EmulatedBus;
};

// A device with other IDs that never answers.
class EmulatedDecoy final : public EmulatedDevice {
private:
    using EmulatedDevice::EmulatedDevice;
    friend class EmulatedBus;
};

class EmulatedBus final : public hublink::HidBackend {
public:
    static constexpr std::size_t DEFAULT_QUEUE_CAPACITY = 64;  // reports per open handle
    static constexpr std::size_t DEFAULT_TRACE_LIMIT = 200000; // entries kept, oldest dropped

    EmulatedBus();
    ~EmulatedBus() override;
    EmulatedBus(const EmulatedBus&) = delete;
    EmulatedBus& operator=(const EmulatedBus&) = delete;

    // Names appear in paths ("emu:hub1#3") and must be unique; empty picks "hubN" / "decoyN".
    EmulatedHub& addHub(std::string name = {});
    EmulatedDecoy& addDecoy(std::uint16_t vendorId, std::uint16_t productId, std::string name = {});
    std::vector<EmulatedDevice*> devices() const;

    void setQueueCapacity(std::size_t reports); // for handles opened afterwards
    void setTraceLimit(std::size_t entries);
    Trace trace() const; // all devices
    void clearTrace();

    // hublink::HidBackend
    std::vector<hublink::HidDeviceInfo> enumerate() override;
    std::unique_ptr<hublink::HidHandle> open(const std::string& path,
                                             hublink::OpenResult* result) override;
    int write(hublink::HidHandle& handle, const std::uint8_t* data, std::size_t length) override;
    int readTimeout(hublink::HidHandle& handle, std::uint8_t* buf, std::size_t length,
                    int timeoutMs) override;
    // Cleared by setChangeCallback({}); once that returns, the old function is not running.
    void setChangeCallback(std::function<void()> notify) override;

private:
    std::shared_ptr<detail::Core> core_;
    std::vector<std::unique_ptr<EmulatedDevice>> devices_; // guarded by core's mutex
};

} // namespace emuhub
