#pragma once

#include <QString>
#include <QtGlobal>

#include <cstdint>

// Version numbers of the hub firmware: the one built into the program and the one a hub
// reports in its reply to CMD_GET_VERSION.
namespace hidiap {

// Version of the built-in firmware image (resource APP/APPBIN). Nothing ties the two together
// at run time: bump this whenever the image is regenerated for a new firmware.
constexpr quint32 FIRMWARE_VERSION = 0x11150906;

// "11150906" -> "1.1.15.0906": an 8-character text s1..s8 becomes s1.s2.s3s4.s5s6s7s8; a text of
// any other length is returned unchanged.
QString FormatVersion(const QString& text);

// Eight upper-case hexadecimal digits ("11150906", "0A0B0C0D").
QString VersionHex(quint32 version);

// The hub's version from reply bytes 5..8, most significant first. `reply` is a whole reply
// frame (at least 9 bytes).
quint32 VersionFromReply(const std::uint8_t* reply);

// The same four reply bytes as text, two upper-case hex digits each.
QString VersionTextFromReply(const std::uint8_t* reply);

// An update is offered when the hub runs an older version than the built-in one (unsigned).
constexpr bool IsUpdateAvailable(quint32 hubVersion) {
    return hubVersion < FIRMWARE_VERSION;
}

} // namespace hidiap
