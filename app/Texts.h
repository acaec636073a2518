#pragma once

#include <QString>

// The window's fixed texts. Multi-line texts are kept with CR LF between lines, as the form
// stores them; widgets get them with LF line ends.
namespace texts {

QString HelpText();         // lblHelp: twelve lines
QString ReleaseNotesText(); // mmoReleaseNotes: five lines
QString ToWidgetText(const QString& crlfText);

inline const char* const HEAD = "Orvan电池管家";
inline const char* const CONNECT = "检查版本(&C)";
inline const char* const UPDATE = "升级(&U)";
inline const char* const FIRMWARE_GROUP = "设备信息";
inline const char* const AUTO_PRG = "新设备插入时自动升级";
inline const char* const LOG = "记录:";
inline const char* const AUTO_STRIP = "自动升级：";
inline const char* const VERSION_PREFIX = "版本: ";

} // namespace texts
