#include "EmulatedHub.h"

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <map>
#include <mutex>
#include <set>
#include <stdexcept>
#include <thread>
#include <utility>

namespace emuhub {

using namespace hublink;

namespace detail {

struct HandleState {
    std::size_t device = 0;
    std::size_t capacity = 0;
    bool dead = false;  // the device left the bus or the bus is gone: reads and writes fail
    int interrupts = 0; // reads still to fail once each
    std::deque<Bytes> queue;
    std::condition_variable cv; // waited on with Core::m
};

// Fires on the occurrence-th frame of a command counted from when the fault was set;
// occurrence 0 fires on every one.
struct Trigger {
    std::uint8_t command = 0;
    int occurrence = 0;
    int seen = 0;

    bool hit(std::uint8_t cmd) {
        if (cmd != command)
            return false;
        ++seen;
        return occurrence == 0 || seen == occurrence;
    }
    bool spent() const { return occurrence != 0 && seen >= occurrence; }
};

struct LateReply {
    Trigger trigger;
    Ms extra{0};
};

struct StatusFault {
    Trigger trigger;
    std::uint8_t status = 0;
    std::optional<Bytes> data;
};

constexpr LedValues DEFAULT_STORED_LEDS{62, 38, 57, 43, 71, 29, 66, 34}; // a "calibrated" hub
constexpr LedValues DEFAULT_FACTORY_LEDS{50, 50, 50, 50, 50, 50, 50, 50};

struct DeviceState {
    std::string name;
    std::uint16_t vendorId = 0;
    std::uint16_t productId = 0;
    bool isHub = false;

    bool plugged = false;
    int generation = 0; // times it appeared on the bus; part of the path
    std::string path;
    HubMode mode = HubMode::Application;
    bool openDenied = false;
    Ms openDelay{0};
    Clock::time_point appearedAt{};
    std::vector<std::shared_ptr<HandleState>> handles; // open handles of the current generation
    std::size_t dropped = 0;
    std::uint64_t transition = 0; // bumped to cancel a pending re-enumeration
    std::uint64_t flood = 0;      // bumped to stop a flood

    // hub state
    EmulatedHub::Timing timing;
    Version version{0x11, 0x14, 0x12, 0x25};
    Version newVersion{0x11, 0x15, 0x09, 0x06};
    RunData runData;
    LedValues live = DEFAULT_STORED_LEDS;
    LedValues stored = DEFAULT_STORED_LEDS;
    LedValues factory = DEFAULT_FACTORY_LEDS;
    std::optional<std::vector<ImageRecord>> expected;
    std::vector<ImageRecord> image;
    std::optional<Bytes> pendingData; // data bytes of a CMD_DATA awaiting its CMD_ADDR_DATA
    std::optional<ImageRecord> lastAccepted;
    std::uint64_t imagesApplied = 0;

    // faults
    bool silent = false;
    std::set<std::uint8_t> silentTo;
    Ms extraLatency{0};
    std::vector<LateReply> lateReplies;
    std::vector<StatusFault> statusFaults;
    int unplugAfterRecords = 0; // 0: off
    int recordsSinceFault = 0;
    std::optional<Trigger> unplugAt;
    std::optional<Trigger> silentAt;
    bool neverEnterBootLoader = false;
    bool neverComeBack = false;
    bool startInBootLoader = false;
};

struct Reply {
    enum class Action { None, EnterBootLoader, Restart, UnplugWithoutReply };
    std::uint8_t status = STATUS_OK;
    Bytes data;
    Action action = Action::None;
    bool applyImage = false; // Restart: a complete image was received
};

struct Core {
    mutable std::mutex m;
    std::condition_variable workerCv;
    mutable std::condition_variable stateCv; // plug state or mode changed
    std::multimap<Clock::time_point, std::function<void()>> tasks;
    bool stopping = false;
    std::vector<std::unique_ptr<DeviceState>> devices;
    std::deque<TraceEntry> trace;
    std::size_t traceLimit = EmulatedBus::DEFAULT_TRACE_LIMIT;
    std::size_t queueCapacity = EmulatedBus::DEFAULT_QUEUE_CAPACITY;
    bool notifyPending = false;

    // Held while the change callback runs, so clearing it is a barrier. Recursive: the
    // callback may plug or unplug devices itself.
    std::recursive_mutex callbackMutex;
    std::function<void()> callback;

    std::thread worker;

    DeviceState& dev(std::size_t i) { return *devices[i]; }

    // --- with m held ---

    TraceEntry entry(const DeviceState& d, TraceKind kind, std::string text = {}) const {
        TraceEntry e;
        e.kind = kind;
        e.time = Clock::now();
        e.device = d.name;
        e.path = d.path;
        e.mode = d.mode;
        e.text = std::move(text);
        return e;
    }

    void record(TraceEntry e) {
        trace.push_back(std::move(e));
        while (trace.size() > traceLimit)
            trace.pop_front();
    }

    void event(const DeviceState& d, TraceKind kind, std::string text) {
        record(entry(d, kind, std::move(text)));
    }

    void schedule(Clock::time_point at, std::function<void()> task) {
        tasks.emplace(at, std::move(task));
        workerCv.notify_one();
    }

    void deliver(DeviceState& d, const Bytes& report, std::optional<std::uint8_t> command,
                 std::optional<std::uint8_t> status, std::string text) {
        if (!d.plugged)
            return;
        TraceEntry e = entry(d, TraceKind::Sent, std::move(text));
        e.bytes = report;
        e.command = command;
        e.status = status;
        record(std::move(e));
        for (const auto& h : d.handles) {
            if (h->dead)
                continue;
            if (h->queue.size() >= h->capacity) {
                // hidraw drops what does not fit in a reader's buffer
                ++d.dropped;
                event(d, TraceKind::ReportDropped, "handle queue full");
                continue;
            }
            h->queue.push_back(report);
            h->cv.notify_one();
        }
    }

    void powerUp(DeviceState& d, HubMode mode, TraceKind kind, std::string why) {
        ++d.generation;
        d.plugged = true;
        d.appearedAt = Clock::now();
        d.path = "emu:" + d.name + "#" + std::to_string(d.generation);
        const HubMode old = d.mode;
        d.mode = mode;
        if (d.isHub) {
            d.live = d.stored;
            if (mode == HubMode::BootLoader) {
                d.image.clear();
                d.pendingData.reset();
                d.lastAccepted.reset();
            }
        }
        event(d, kind, std::move(why));
        if (d.isHub && old != mode)
            event(d, TraceKind::ModeChanged,
                  std::string(HubModeName(old)) + " -> " + HubModeName(mode));
        notifyPending = true;
        stateCv.notify_all();
    }

    void leaveBus(DeviceState& d, std::string why) {
        if (!d.plugged)
            return;
        d.plugged = false;
        event(d, TraceKind::Unplugged, std::move(why));
        d.path.clear();
        for (const auto& h : d.handles) {
            h->dead = true;
            h->queue.clear();
            h->cv.notify_all();
        }
        d.handles.clear();
        ++d.flood;
        notifyPending = true;
        stateCv.notify_all();
    }

    // Leaves after `leave`, returns `absent` later in `target` mode, unless cancelled by a
    // plug()/unplug() or another re-enumeration in between.
    void reenumerate(std::size_t index, Ms leave, Ms absent, HubMode target, bool applyImage,
                     bool isRestart) {
        DeviceState& d = dev(index);
        const std::uint64_t token = ++d.transition;
        const int generation = d.generation;
        const char* why = isRestart ? "CMD_RESTART" : "CMD_ENTER_UPDATE";
        schedule(Clock::now() + leave, [this, index, token, generation, absent, target, applyImage,
                                        isRestart, why] {
            DeviceState& d = dev(index);
            if (d.transition != token || !d.plugged || d.generation != generation)
                return;
            leaveBus(d, std::string("re-enumeration after ") + why);
            if (isRestart && d.neverComeBack) {
                event(d, TraceKind::FaultFired, "never comes back after CMD_RESTART");
                return;
            }
            schedule(Clock::now() + absent, [this, index, token, target, applyImage, why] {
                DeviceState& d = dev(index);
                if (d.transition != token || d.plugged)
                    return;
                if (applyImage) {
                    d.version = d.newVersion;
                    d.stored = d.factory;
                    ++d.imagesApplied;
                }
                powerUp(d, target, TraceKind::Reenumerated,
                        std::string("back after ") + why + (applyImage ? ", new firmware" : ""));
            });
        });
    }

    void floodStep(std::size_t index, std::uint64_t token, std::shared_ptr<const Bytes> report,
                   std::chrono::microseconds interval, std::size_t remaining,
                   Clock::time_point at) {
        DeviceState& d = dev(index);
        if (d.flood != token || !d.plugged)
            return;
        deliver(d, *report, std::nullopt, std::nullopt, "flood");
        if (remaining == 1)
            return;
        // A worker that fell behind does not catch up in a burst that would hog the lock.
        Clock::time_point next = std::max(at + interval, Clock::now() - Ms(10));
        schedule(next, [this, index, token, report, interval, remaining, next] {
            floodStep(index, token, report, interval, remaining == 0 ? 0 : remaining - 1, next);
        });
    }

    static Bytes buildReply(std::uint8_t command, std::uint8_t status, const Bytes& data) {
        Bytes report(OUTPUT_REPORT_SIZE, 0);
        std::uint8_t* f = report.data() + 1;
        const std::size_t extra = std::min(data.size(), FRAME_MAX_DATA - 1);
        const std::size_t n = 1 + extra; // the status is the first data byte
        f[FRAME_POS_SYNC] = FRAME_SYNC;
        f[FRAME_POS_LENGTH] = static_cast<std::uint8_t>(n + FRAME_OVERHEAD);
        f[FRAME_POS_ZERO] = 0;
        f[FRAME_POS_COMMAND] = command;
        f[REPLY_POS_STATUS] = status;
        std::copy_n(data.begin(), extra, f + REPLY_POS_DATA);
        f[FRAME_POS_DATA + n] = Crc8(f, CheckCoverage(n));
        return report;
    }

    Reply refuse(DeviceState& d, std::uint8_t command, const std::string& why) {
        const char* name = CommandName(command);
        event(d, TraceKind::Refused, std::string(name ? name : "unknown command") + ": " + why);
        return Reply{EMU_STATUS_REFUSED, {}, Reply::Action::None, false};
    }

    Reply protocolError(DeviceState& d, const std::string& why) {
        event(d, TraceKind::ProtocolError, why);
        return Reply{EMU_STATUS_PROTOCOL_ERROR, {}, Reply::Action::None, false};
    }

    Reply application(DeviceState& d, std::uint8_t cmd, const std::uint8_t* p, std::size_t n) {
        switch (cmd) {
        case CMD_GET_VERSION:
            return Reply{STATUS_OK, Bytes(d.version.begin(), d.version.end())};
        case CMD_GET_STATE:
            return Reply{STATUS_APP_RUNNING, {}};
        case CMD_GET_RUNDATA: {
            const auto b = d.runData.bytes();
            return Reply{STATUS_OK, Bytes(b.begin(), b.end())};
        }
        case CMD_SET_LED:
            if (n < 2 || p[0] < 1 || p[0] > LED_CHANNELS)
                return refuse(d, cmd, n < 2 ? "needs channel and value" : "channel out of 1..8");
            d.live[p[0] - 1] = p[1]; // stored as received, even above 100
            return Reply{STATUS_OK, {}};
        case CMD_GET_LEDS:
            return Reply{STATUS_OK, Bytes(d.live.begin(), d.live.end())};
        case CMD_STORE_LEDS:
            d.stored = d.live;
            return Reply{STATUS_OK, {}};
        case CMD_ENTER_UPDATE:
            if (d.neverEnterBootLoader) {
                event(d, TraceKind::FaultFired, "never enters the boot loader");
                return Reply{STATUS_OK, {}};
            }
            return Reply{STATUS_OK, {}, Reply::Action::EnterBootLoader};
        case CMD_RESTART:
            return Reply{STATUS_OK, {}, Reply::Action::Restart};
        default:
            return refuse(d, cmd, "not served by the application");
        }
    }

    Reply bootLoader(DeviceState& d, std::uint8_t cmd, const std::uint8_t* p, std::size_t n) {
        switch (cmd) {
        case CMD_GET_STATE:
            return Reply{STATUS_OK, {1}};
        case CMD_ENTER_UPDATE:
            // A new update session: records of an earlier, broken-off one are discarded, so
            // a retry after a failed run can send the image from its start.
            d.image.clear();
            d.pendingData.reset();
            d.lastAccepted.reset();
            return Reply{STATUS_OK, {}};
        case CMD_DATA: {
            if (n < 4 || p[0] || p[1] || p[2] || p[3]) {
                d.pendingData.reset();
                return protocolError(d, "CMD_DATA does not begin with four zero bytes");
            }
            Bytes data(p + 4, p + n);
            if (d.pendingData && *d.pendingData != data) {
                d.pendingData = std::move(data);
                return protocolError(
                    d, "CMD_DATA again before the CMD_ADDR_DATA of the previous record");
            }
            d.pendingData = std::move(data); // an identical repeat is a retransmission
            return Reply{STATUS_OK, {}};
        }
        case CMD_ADDR_DATA: {
            if (n < 4 || p[2] || p[3]) {
                d.pendingData.reset();
                return protocolError(d, "CMD_ADDR_DATA address is not low, high, 0, 0");
            }
            ImageRecord record{static_cast<std::uint16_t>(p[0] | (p[1] << 8)), Bytes(p + 4, p + n)};
            if (!d.pendingData) {
                if (d.lastAccepted && *d.lastAccepted == record)
                    return Reply{STATUS_OK, {}}; // retransmission after a lost reply
                return protocolError(d, "CMD_ADDR_DATA without a CMD_DATA before it");
            }
            if (*d.pendingData != record.data) {
                const bool sameLength = d.pendingData->size() == record.data.size();
                d.pendingData.reset();
                return protocolError(d, sameLength
                                            ? "CMD_ADDR_DATA data differ from its CMD_DATA"
                                            : "CMD_ADDR_DATA length differs from its CMD_DATA");
            }
            d.pendingData.reset();
            d.image.push_back(record);
            d.lastAccepted = std::move(record);
            if (d.unplugAfterRecords > 0 && ++d.recordsSinceFault >= d.unplugAfterRecords) {
                event(d, TraceKind::FaultFired,
                      "unplug after " + std::to_string(d.unplugAfterRecords) + " records");
                d.unplugAfterRecords = 0;
                return Reply{STATUS_OK, {}, Reply::Action::UnplugWithoutReply};
            }
            return Reply{STATUS_OK, {}};
        }
        case CMD_RESTART: {
            const bool complete = d.expected ? d.image == *d.expected : !d.image.empty();
            return Reply{STATUS_OK, {}, Reply::Action::Restart, complete};
        }
        default:
            return refuse(d, cmd, "not served by the boot loader");
        }
    }

    void receive(std::size_t index, const std::uint8_t* data, std::size_t length) {
        DeviceState& d = dev(index);
        const Clock::time_point now = Clock::now();
        TraceEntry e = entry(d, TraceKind::Received);
        e.time = now;
        e.bytes.assign(data, data + length);
        e.check = CheckReport(data, length);
        if (length > 1 + FRAME_POS_COMMAND)
            e.command = data[1 + FRAME_POS_COMMAND];
        const ReportCheck check = e.check;
        record(std::move(e));
        if (!d.isHub || check != ReportCheck::Ok)
            return; // a frame that breaks the rules gets no reply

        const std::uint8_t* f = data + 1;
        const std::uint8_t cmd = f[FRAME_POS_COMMAND];
        const std::size_t n = f[FRAME_POS_LENGTH] - FRAME_OVERHEAD;
        const std::uint8_t* p = f + FRAME_POS_DATA;
        const char* name = CommandName(cmd);
        const std::string cmdName = name ? name : "unknown command";

        if (d.unplugAt && d.unplugAt->hit(cmd)) {
            event(d, TraceKind::FaultFired, "unplug at " + cmdName);
            if (d.unplugAt->spent())
                d.unplugAt.reset();
            ++d.transition;
            leaveBus(d, "fault: unplug at " + cmdName);
            return;
        }
        if (d.silentAt && d.silentAt->hit(cmd)) {
            if (d.silentAt->spent())
                d.silentAt.reset();
            d.silent = true;
        }
        if (d.silent || d.silentTo.count(cmd)) {
            event(d, TraceKind::FaultFired, (d.silent ? "silent: " : "silent to: ") + cmdName);
            return;
        }

        Reply r =
            d.mode == HubMode::Application ? application(d, cmd, p, n) : bootLoader(d, cmd, p, n);

        for (StatusFault& sf : d.statusFaults) {
            if (sf.trigger.hit(cmd)) {
                event(d, TraceKind::FaultFired,
                      "status " + std::to_string(sf.status) + " to " + cmdName);
                r.status = sf.status;
                if (sf.data)
                    r.data = *sf.data;
            }
        }
        std::erase_if(d.statusFaults, [](const StatusFault& sf) { return sf.trigger.spent(); });

        Ms latency = d.timing.replyLatency + d.extraLatency;
        for (LateReply& lr : d.lateReplies) {
            if (lr.trigger.hit(cmd)) {
                event(d, TraceKind::FaultFired, "late reply to " + cmdName);
                latency += lr.extra;
            }
        }
        std::erase_if(d.lateReplies, [](const LateReply& lr) { return lr.trigger.spent(); });

        if (r.action == Reply::Action::UnplugWithoutReply) {
            ++d.transition;
            leaveBus(d, "fault: unplug after records");
            return;
        }

        Bytes report = buildReply(cmd, r.status, r.data);
        if (latency <= Ms(0)) {
            deliver(d, report, cmd, r.status, {});
        } else {
            const int generation = d.generation;
            const std::uint8_t status = r.status;
            schedule(now + latency,
                     [this, index, generation, report = std::move(report), cmd, status] {
                         DeviceState& d = dev(index);
                         if (d.plugged && d.generation == generation)
                             deliver(d, report, cmd, status, {});
                     });
        }

        // Scheduled after the reply, so a reply due at the same moment still goes out first.
        if (r.action == Reply::Action::EnterBootLoader)
            reenumerate(index, d.timing.enterUpdateLeave, d.timing.enterUpdateAbsent,
                        HubMode::BootLoader, false, false);
        else if (r.action == Reply::Action::Restart)
            reenumerate(index, d.timing.restartLeave, d.timing.restartAbsent, HubMode::Application,
                        r.applyImage, true);
    }

    // Releases the lock, then runs the change callback if something changed.
    void unlockAndNotify(std::unique_lock<std::mutex>& lk) {
        const bool notify = std::exchange(notifyPending, false);
        lk.unlock();
        if (notify) {
            std::lock_guard<std::recursive_mutex> guard(callbackMutex);
            if (callback)
                callback();
        }
    }

    void run() {
        std::unique_lock<std::mutex> lk(m);
        while (!stopping) {
            if (tasks.empty()) {
                workerCv.wait(lk);
                continue;
            }
            auto it = tasks.begin();
            // A copy: the wait must not hold a reference into a map others may change.
            const Clock::time_point due = it->first;
            if (due > Clock::now()) {
                workerCv.wait_until(lk, due);
                continue;
            }
            std::function<void()> task = std::move(it->second);
            tasks.erase(it);
            task();
            // Let readers and writers in between tasks, so a burst of due events does not
            // arrive as one block that overruns the handle queues.
            unlockAndNotify(lk);
            std::this_thread::yield();
            lk.lock();
        }
    }
};

} // namespace detail

namespace {

class EmuHandle final : public HidHandle {
public:
    EmuHandle(std::shared_ptr<detail::Core> core, std::shared_ptr<detail::HandleState> state)
        : core(std::move(core)), state(std::move(state)) {}
    ~EmuHandle() override {
        std::lock_guard<std::mutex> lk(core->m);
        auto& handles = core->dev(state->device).handles;
        std::erase(handles, state);
        state->dead = true;
    }
    std::shared_ptr<detail::Core> core;
    std::shared_ptr<detail::HandleState> state;
};

} // namespace

// ---------------------------------------------------------------- EmulatedDevice

EmulatedDevice::EmulatedDevice(std::shared_ptr<detail::Core> core, std::size_t index,
                               std::string name)
    : core_(std::move(core)), index_(index), name_(std::move(name)) {}

EmulatedDevice::~EmulatedDevice() = default;

std::uint16_t EmulatedDevice::vendorId() const {
    std::lock_guard<std::mutex> lk(core_->m);
    return core_->dev(index_).vendorId;
}

std::uint16_t EmulatedDevice::productId() const {
    std::lock_guard<std::mutex> lk(core_->m);
    return core_->dev(index_).productId;
}

void EmulatedDevice::plug() {
    std::unique_lock<std::mutex> lk(core_->m);
    detail::DeviceState& d = core_->dev(index_);
    ++d.transition;
    if (!d.plugged)
        core_->powerUp(d,
                       d.isHub && d.startInBootLoader ? HubMode::BootLoader : HubMode::Application,
                       TraceKind::Plugged, "plug");
    core_->unlockAndNotify(lk);
}

void EmulatedDevice::unplug() {
    std::unique_lock<std::mutex> lk(core_->m);
    detail::DeviceState& d = core_->dev(index_);
    ++d.transition;
    core_->leaveBus(d, "unplug");
    core_->unlockAndNotify(lk);
}

bool EmulatedDevice::isPlugged() const {
    std::lock_guard<std::mutex> lk(core_->m);
    return core_->dev(index_).plugged;
}

std::string EmulatedDevice::path() const {
    std::lock_guard<std::mutex> lk(core_->m);
    return core_->dev(index_).path;
}

int EmulatedDevice::enumerationCount() const {
    std::lock_guard<std::mutex> lk(core_->m);
    return core_->dev(index_).generation;
}

bool EmulatedDevice::waitForPlugged(bool plugged, Ms timeout) const {
    std::unique_lock<std::mutex> lk(core_->m);
    const detail::DeviceState& d = core_->dev(index_);
    return core_->stateCv.wait_for(lk, timeout, [&] { return d.plugged == plugged; });
}

void EmulatedDevice::setOpenDenied(bool denied) {
    std::lock_guard<std::mutex> lk(core_->m);
    core_->dev(index_).openDenied = denied;
}

void EmulatedDevice::setOpenDelay(Ms delay) {
    std::lock_guard<std::mutex> lk(core_->m);
    core_->dev(index_).openDelay = delay;
}

void EmulatedDevice::interruptReads() {
    std::lock_guard<std::mutex> lk(core_->m);
    detail::DeviceState& d = core_->dev(index_);
    for (const auto& h : d.handles) {
        ++h->interrupts;
        h->cv.notify_all();
    }
    core_->event(d, TraceKind::FaultFired, "reads interrupted");
}

int EmulatedDevice::openHandleCount() const {
    std::lock_guard<std::mutex> lk(core_->m);
    return static_cast<int>(core_->dev(index_).handles.size());
}

std::size_t EmulatedDevice::droppedReports() const {
    std::lock_guard<std::mutex> lk(core_->m);
    return core_->dev(index_).dropped;
}

bool EmulatedDevice::injectReport(const Bytes& report) {
    if (report.empty() || report.size() > OUTPUT_REPORT_SIZE)
        return false;
    std::lock_guard<std::mutex> lk(core_->m);
    detail::DeviceState& d = core_->dev(index_);
    if (!d.plugged)
        return false;
    core_->deliver(d, report, std::nullopt, std::nullopt, "injected");
    return true;
}

void EmulatedDevice::startFlood(const Bytes& report, std::chrono::microseconds interval,
                                std::size_t count) {
    if (report.empty() || report.size() > OUTPUT_REPORT_SIZE)
        return;
    interval = std::max(interval, std::chrono::microseconds(100));
    std::lock_guard<std::mutex> lk(core_->m);
    detail::DeviceState& d = core_->dev(index_);
    if (!d.plugged)
        return;
    const std::uint64_t token = ++d.flood;
    auto shared = std::make_shared<const Bytes>(report);
    const Clock::time_point at = Clock::now();
    core_->schedule(at, [core = core_.get(), index = index_, token, shared, interval, count, at] {
        core->floodStep(index, token, shared, interval, count, at);
    });
}

void EmulatedDevice::stopFlood() {
    std::lock_guard<std::mutex> lk(core_->m);
    ++core_->dev(index_).flood;
}

Trace EmulatedDevice::trace() const {
    std::lock_guard<std::mutex> lk(core_->m);
    std::vector<TraceEntry> out;
    for (const TraceEntry& e : core_->trace)
        if (e.device == name_)
            out.push_back(e);
    return Trace(std::move(out));
}

// ---------------------------------------------------------------- EmulatedHub

#define HUB_LOCKED                                                                                 \
    std::lock_guard<std::mutex> lk(core_->m);                                                      \
    detail::DeviceState& d = core_->dev(index_)

void EmulatedHub::setTiming(const Timing& timing) {
    HUB_LOCKED;
    d.timing = timing;
}
EmulatedHub::Timing EmulatedHub::timing() const {
    HUB_LOCKED;
    return d.timing;
}
void EmulatedHub::setReplyLatency(Ms latency) {
    HUB_LOCKED;
    d.timing.replyLatency = latency;
}

void EmulatedHub::setReenumerationDelays(Ms leave, Ms absent) {
    HUB_LOCKED;
    d.timing.enterUpdateLeave = d.timing.restartLeave = leave;
    d.timing.enterUpdateAbsent = d.timing.restartAbsent = absent;
}

HubMode EmulatedHub::mode() const {
    HUB_LOCKED;
    return d.mode;
}

bool EmulatedHub::waitForMode(HubMode mode, Ms timeout) const {
    std::unique_lock<std::mutex> lk(core_->m);
    const detail::DeviceState& d = core_->dev(index_);
    return core_->stateCv.wait_for(lk, timeout, [&] { return d.plugged && d.mode == mode; });
}

void EmulatedHub::setVersion(const Version& version) {
    HUB_LOCKED;
    d.version = version;
}
Version EmulatedHub::version() const {
    HUB_LOCKED;
    return d.version;
}
void EmulatedHub::setNewVersion(const Version& version) {
    HUB_LOCKED;
    d.newVersion = version;
}
void EmulatedHub::setRunData(const RunData& data) {
    HUB_LOCKED;
    d.runData = data;
}
void EmulatedHub::setLiveLeds(const LedValues& values) {
    HUB_LOCKED;
    d.live = values;
}
void EmulatedHub::setStoredLeds(const LedValues& values) {
    HUB_LOCKED;
    d.stored = values;
}
void EmulatedHub::setFactoryLeds(const LedValues& values) {
    HUB_LOCKED;
    d.factory = values;
}
LedValues EmulatedHub::liveLeds() const {
    HUB_LOCKED;
    return d.live;
}
LedValues EmulatedHub::storedLeds() const {
    HUB_LOCKED;
    return d.stored;
}

void EmulatedHub::setExpectedImage(std::vector<ImageRecord> records) {
    HUB_LOCKED;
    d.expected = std::move(records);
}

std::vector<ImageRecord> EmulatedHub::receivedImage() const {
    HUB_LOCKED;
    return d.image;
}
std::uint64_t EmulatedHub::imagesApplied() const {
    HUB_LOCKED;
    return d.imagesApplied;
}

void EmulatedHub::setSilent(bool silent) {
    HUB_LOCKED;
    d.silent = silent;
}

void EmulatedHub::setSilentTo(std::uint8_t command, bool silent) {
    HUB_LOCKED;
    if (silent)
        d.silentTo.insert(command);
    else
        d.silentTo.erase(command);
}

void EmulatedHub::setExtraLatency(Ms extra) {
    HUB_LOCKED;
    d.extraLatency = extra;
}

void EmulatedHub::addLateReply(std::uint8_t command, int occurrence, Ms extra) {
    HUB_LOCKED;
    d.lateReplies.push_back({detail::Trigger{command, occurrence}, extra});
}

void EmulatedHub::addStatusFault(std::uint8_t command, int occurrence, std::uint8_t status,
                                 std::optional<Bytes> data) {
    HUB_LOCKED;
    d.statusFaults.push_back({detail::Trigger{command, occurrence}, status, std::move(data)});
}

void EmulatedHub::unplugAfterRecords(int k) {
    HUB_LOCKED;
    d.unplugAfterRecords = k;
    d.recordsSinceFault = 0;
}

void EmulatedHub::unplugAtCommand(std::uint8_t command, int occurrence) {
    HUB_LOCKED;
    d.unplugAt = detail::Trigger{command, occurrence};
}

void EmulatedHub::silentAtCommand(std::uint8_t command, int occurrence) {
    HUB_LOCKED;
    d.silentAt = detail::Trigger{command, occurrence};
}

void EmulatedHub::setNeverEnterBootLoader(bool never) {
    HUB_LOCKED;
    d.neverEnterBootLoader = never;
}
void EmulatedHub::setNeverComeBack(bool never) {
    HUB_LOCKED;
    d.neverComeBack = never;
}
void EmulatedHub::setStartInBootLoader(bool boot) {
    HUB_LOCKED;
    d.startInBootLoader = boot;
}

void EmulatedHub::clearFaults() {
    HUB_LOCKED;
    d.silent = false;
    d.silentTo.clear();
    d.extraLatency = Ms(0);
    d.lateReplies.clear();
    d.statusFaults.clear();
    d.unplugAfterRecords = 0;
    d.unplugAt.reset();
    d.silentAt.reset();
    d.neverEnterBootLoader = false;
    d.neverComeBack = false;
    d.startInBootLoader = false;
    d.openDenied = false;
    d.openDelay = Ms(0);
}

#undef HUB_LOCKED

// ---------------------------------------------------------------- EmulatedBus

EmulatedBus::EmulatedBus() : core_(std::make_shared<detail::Core>()) {
    core_->worker = std::thread([core = core_.get()] { core->run(); });
}

EmulatedBus::~EmulatedBus() {
    {
        std::lock_guard<std::mutex> lk(core_->m);
        core_->stopping = true;
        core_->tasks.clear();
        for (auto& d : core_->devices) {
            for (const auto& h : d->handles) {
                h->dead = true;
                h->queue.clear();
                h->cv.notify_all();
            }
            d->handles.clear();
        }
    }
    core_->workerCv.notify_all();
    core_->worker.join();
    std::lock_guard<std::recursive_mutex> guard(core_->callbackMutex);
    core_->callback = nullptr;
}

namespace {

// Adds the state of a new device, off the bus, under a unique name ("hubN" / "decoyN" when
// none is given). Called with the bus mutex held; returns its index.
std::size_t AddDeviceState(detail::Core& core, std::string& name, std::uint16_t vendorId,
                           std::uint16_t productId, bool isHub) {
    if (name.empty()) {
        int same = 0;
        for (const auto& d : core.devices)
            same += d->isHub == isHub;
        name = (isHub ? "hub" : "decoy") + std::to_string(same + 1);
    }
    for (const auto& d : core.devices)
        if (d->name == name)
            throw std::invalid_argument("emulated device name in use: " + name);
    auto state = std::make_unique<detail::DeviceState>();
    state->name = name;
    state->vendorId = vendorId;
    state->productId = productId;
    state->isHub = isHub;
    core.devices.push_back(std::move(state));
    return core.devices.size() - 1;
}

} // namespace

EmulatedHub& EmulatedBus::addHub(std::string name) {
    std::lock_guard<std::mutex> lk(core_->m);
    const std::size_t index = AddDeviceState(*core_, name, HUB_VENDOR_ID, HUB_PRODUCT_ID, true);
    auto* hub = new EmulatedHub(core_, index, name);
    devices_.emplace_back(hub);
    return *hub;
}

EmulatedDecoy& EmulatedBus::addDecoy(std::uint16_t vendorId, std::uint16_t productId,
                                     std::string name) {
    std::lock_guard<std::mutex> lk(core_->m);
    const std::size_t index = AddDeviceState(*core_, name, vendorId, productId, false);
    auto* decoy = new EmulatedDecoy(core_, index, name);
    devices_.emplace_back(decoy);
    return *decoy;
}

std::vector<EmulatedDevice*> EmulatedBus::devices() const {
    std::lock_guard<std::mutex> lk(core_->m);
    std::vector<EmulatedDevice*> out;
    for (const auto& d : devices_)
        out.push_back(d.get());
    return out;
}

void EmulatedBus::setQueueCapacity(std::size_t reports) {
    std::lock_guard<std::mutex> lk(core_->m);
    core_->queueCapacity = std::max<std::size_t>(reports, 1);
}

void EmulatedBus::setTraceLimit(std::size_t entries) {
    std::lock_guard<std::mutex> lk(core_->m);
    core_->traceLimit = std::max<std::size_t>(entries, 1);
    while (core_->trace.size() > core_->traceLimit)
        core_->trace.pop_front();
}

Trace EmulatedBus::trace() const {
    std::lock_guard<std::mutex> lk(core_->m);
    return Trace(std::vector<TraceEntry>(core_->trace.begin(), core_->trace.end()));
}

void EmulatedBus::clearTrace() {
    std::lock_guard<std::mutex> lk(core_->m);
    core_->trace.clear();
}

std::vector<HidDeviceInfo> EmulatedBus::enumerate() {
    std::lock_guard<std::mutex> lk(core_->m);
    std::vector<HidDeviceInfo> out;
    for (const auto& d : core_->devices)
        if (d->plugged)
            out.push_back(HidDeviceInfo{d->path, d->vendorId, d->productId});
    return out;
}

std::unique_ptr<HidHandle> EmulatedBus::open(const std::string& path, OpenResult* result) {
    OpenResult dummy;
    OpenResult& res = result ? *result : dummy;
    std::lock_guard<std::mutex> lk(core_->m);
    res = OpenResult::Failed;
    if (core_->stopping || path.empty())
        return nullptr;
    for (std::size_t i = 0; i < core_->devices.size(); ++i) {
        detail::DeviceState& d = core_->dev(i);
        if (!d.plugged || d.path != path)
            continue;
        if (d.openDenied) {
            core_->event(d, TraceKind::FaultFired, "open denied");
            res = OpenResult::PermissionDenied;
            return nullptr;
        }
        if (Clock::now() - d.appearedAt < d.openDelay) {
            core_->event(d, TraceKind::FaultFired, "open too soon after appearing");
            return nullptr;
        }
        auto state = std::make_shared<detail::HandleState>();
        state->device = i;
        state->capacity = core_->queueCapacity;
        d.handles.push_back(state);
        res = OpenResult::Ok;
        return std::make_unique<EmuHandle>(core_, std::move(state));
    }
    return nullptr;
}

int EmulatedBus::write(HidHandle& handle, const std::uint8_t* data, std::size_t length) {
    auto* h = dynamic_cast<EmuHandle*>(&handle);
    if (!h || !data || length == 0)
        return -1;
    detail::Core& core = *h->core;
    std::unique_lock<std::mutex> lk(core.m);
    if (h->state->dead)
        return -1;
    core.receive(h->state->device, data, length);
    core.unlockAndNotify(lk);
    return static_cast<int>(length);
}

int EmulatedBus::readTimeout(HidHandle& handle, std::uint8_t* buf, std::size_t length,
                             int timeoutMs) {
    auto* h = dynamic_cast<EmuHandle*>(&handle);
    if (!h || !buf)
        return -1;
    detail::HandleState& s = *h->state;
    std::unique_lock<std::mutex> lk(h->core->m);
    auto ready = [&s] { return s.dead || s.interrupts > 0 || !s.queue.empty(); };
    if (timeoutMs < 0)
        s.cv.wait(lk, ready);
    else
        s.cv.wait_for(lk, Ms(timeoutMs), ready);
    if (s.dead)
        return -1;
    if (s.interrupts > 0) {
        --s.interrupts;
        return -1;
    }
    if (s.queue.empty())
        return 0;
    const Bytes report = std::move(s.queue.front());
    s.queue.pop_front();
    const std::size_t k = std::min(length, report.size());
    std::memcpy(buf, report.data(), k);
    return static_cast<int>(k);
}

void EmulatedBus::setChangeCallback(std::function<void()> notify) {
    std::lock_guard<std::recursive_mutex> guard(core_->callbackMutex);
    core_->callback = std::move(notify);
}

} // namespace emuhub
