#pragma once

// Texts the version check and the update write to the log, the labels and the status strip.
// They are shown as they stand, trailing dots included.
namespace hidiap::updatetexts {

inline const char* const NO_HUB_LOG = "设备未连接，请插入.";
inline const char* const NO_HUB_STATUS = "设备未连接，请插入...";
inline const char* const ENTER_UPDATE = "进入升级模式...";
inline const char* const STATE_ERROR = "状态错误，请重试.";
inline const char* const UPDATING = "升级中...";
inline const char* const TIMEOUT = "超时.";
inline const char* const IMAGE_ERROR = "固件数据错误.";
inline const char* const RESTARTING = "重启...";
inline const char* const RESTART_OK = "OK.";
inline const char* const DONE = "升级完成.";
inline const char* const FAILED = "升级失败.";

inline const char* const DEVICE_VERSION = "版本: ";
inline const char* const UPDATE_AVAILABLE = "有可用更新.";
inline const char* const NO_UPDATE = "无可用更新.";
inline const char* const OFFERED_VERSION = "可更新至版本：";
inline const char* const APP_VERSION_STATUS = "APP版本: ";

} // namespace hidiap::updatetexts
