#include "EmulatedHub.h"

#include <cstdio>
#include <map>

namespace emuhub {

using namespace hublink;

const char* HubModeName(HubMode mode) {
    return mode == HubMode::Application ? "application" : "boot loader";
}

std::array<std::uint8_t, 10> RunData::bytes() const {
    return {static_cast<std::uint8_t>(voltage & 0xFF),
            static_cast<std::uint8_t>(voltage >> 8),
            static_cast<std::uint8_t>(current & 0xFF),
            static_cast<std::uint8_t>(current >> 8),
            state,
            channel,
            slotFlags,
            extra[0],
            extra[1],
            extra[2]};
}

const char* ReportCheckName(ReportCheck check) {
    switch (check) {
    case ReportCheck::Ok:
        return "ok";
    case ReportCheck::BadReportLength:
        return "bad report length";
    case ReportCheck::BadReportId:
        return "bad report id";
    case ReportCheck::BadSync:
        return "bad sync";
    case ReportCheck::BadLength:
        return "bad length";
    case ReportCheck::BadZeroByte:
        return "bad zero byte";
    case ReportCheck::BadCheckByte:
        return "bad check byte";
    }
    return "?";
}

ReportCheck CheckReport(const std::uint8_t* report, std::size_t length) {
    if (length != OUTPUT_REPORT_SIZE)
        return ReportCheck::BadReportLength;
    if (report[0] != 0)
        return ReportCheck::BadReportId;
    switch (CheckFrame(report + 1, FRAME_SIZE)) {
    case FrameVerdict::Ok:
        return ReportCheck::Ok;
    case FrameVerdict::BadSync:
        return ReportCheck::BadSync;
    case FrameVerdict::BadLength:
        return ReportCheck::BadLength;
    case FrameVerdict::BadZeroByte:
        return ReportCheck::BadZeroByte;
    case FrameVerdict::BadCheckByte:
        return ReportCheck::BadCheckByte;
    }
    return ReportCheck::BadSync;
}

const char* TraceKindName(TraceKind kind) {
    switch (kind) {
    case TraceKind::Received:
        return "received";
    case TraceKind::Sent:
        return "sent";
    case TraceKind::Plugged:
        return "plugged";
    case TraceKind::Unplugged:
        return "unplugged";
    case TraceKind::Reenumerated:
        return "re-enumerated";
    case TraceKind::ModeChanged:
        return "mode changed";
    case TraceKind::FaultFired:
        return "fault fired";
    case TraceKind::ProtocolError:
        return "protocol error";
    case TraceKind::Refused:
        return "refused";
    case TraceKind::ReportDropped:
        return "report dropped";
    }
    return "?";
}

const char* TraceEntry::commandName() const {
    if (!command)
        return "";
    const char* name = CommandName(*command);
    return name ? name : "?";
}

std::string TraceEntry::describe() const {
    std::string out = device + " [" + path + "] " + HubModeName(mode) + " " + TraceKindName(kind);
    if (command)
        out += std::string(" ") + commandName();
    if (kind == TraceKind::Received)
        out += std::string(" (") + ReportCheckName(check) + ")";
    if (status) {
        char buf[16];
        std::snprintf(buf, sizeof buf, " status %02X", *status);
        out += buf;
    }
    if (!text.empty())
        out += ": " + text;
    if (!bytes.empty()) {
        // Trailing zeros are padding; show them as a count.
        std::size_t end = bytes.size();
        while (end > 1 && bytes[end - 1] == 0)
            --end;
        out += " |";
        char buf[4];
        for (std::size_t i = 0; i < end; ++i) {
            std::snprintf(buf, sizeof buf, " %02X", bytes[i]);
            out += buf;
        }
        if (end < bytes.size())
            out += " +" + std::to_string(bytes.size() - end) + "x00";
    }
    return out;
}

std::vector<TraceEntry> Trace::ofKind(TraceKind kind) const {
    std::vector<TraceEntry> out;
    for (const TraceEntry& e : entries_)
        if (e.kind == kind)
            out.push_back(e);
    return out;
}

std::size_t Trace::count(TraceKind kind) const {
    std::size_t n = 0;
    for (const TraceEntry& e : entries_)
        n += e.kind == kind;
    return n;
}

std::vector<std::uint8_t> Trace::receivedCommands() const {
    std::vector<std::uint8_t> out;
    for (const TraceEntry& e : entries_)
        if (e.kind == TraceKind::Received && e.check == ReportCheck::Ok)
            out.push_back(*e.command);
    return out;
}

std::size_t Trace::countReceived(std::uint8_t command) const {
    std::size_t n = 0;
    for (const TraceEntry& e : entries_)
        n += e.kind == TraceKind::Received && e.check == ReportCheck::Ok && e.command == command;
    return n;
}

std::size_t Trace::countSent(std::uint8_t command) const {
    std::size_t n = 0;
    for (const TraceEntry& e : entries_)
        n += e.kind == TraceKind::Sent && e.status && e.command == command;
    return n;
}

std::vector<TraceEntry> Trace::receivedFrames(std::uint8_t command) const {
    std::vector<TraceEntry> out;
    for (const TraceEntry& e : entries_)
        if (e.kind == TraceKind::Received && e.check == ReportCheck::Ok && e.command == command)
            out.push_back(e);
    return out;
}

std::vector<ImageRecord> Trace::recordPairs() const {
    std::vector<ImageRecord> out;
    std::map<std::string, const TraceEntry*> previous; // per device
    for (const TraceEntry& e : entries_) {
        if (e.kind != TraceKind::Received || e.check != ReportCheck::Ok)
            continue;
        const TraceEntry*& prev = previous[e.device];
        if (e.command == CMD_ADDR_DATA && prev && prev->command == CMD_DATA) {
            const std::uint8_t* frame = e.bytes.data() + 1;
            const std::size_t n = frame[FRAME_POS_LENGTH] - FRAME_OVERHEAD;
            if (n >= 4) {
                ImageRecord r;
                r.address = static_cast<std::uint16_t>(frame[4] | (frame[5] << 8));
                r.data.assign(frame + 8, frame + 4 + n);
                out.push_back(std::move(r));
            }
        }
        prev = &e;
    }
    return out;
}

bool Trace::anyRuleBroken() const {
    for (const TraceEntry& e : entries_) {
        if (e.kind == TraceKind::ProtocolError)
            return true;
        if (e.kind == TraceKind::Received && e.check != ReportCheck::Ok)
            return true;
    }
    return false;
}

std::string Trace::dump() const {
    std::string out;
    if (entries_.empty())
        return out;
    const Clock::time_point t0 = entries_.front().time;
    for (const TraceEntry& e : entries_) {
        const auto us = std::chrono::duration_cast<std::chrono::microseconds>(e.time - t0).count();
        char buf[32];
        std::snprintf(buf, sizeof buf, "%9.3f ms  ", static_cast<double>(us) / 1000.0);
        out += buf + e.describe() + "\n";
    }
    return out;
}

} // namespace emuhub
