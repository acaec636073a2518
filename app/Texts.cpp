#include "Texts.h"

#include <QStringList>

namespace texts {

QString HelpText() {
    const QStringList lines = {
        QStringLiteral("支持 Aviren1 电池管家"),
        QString(),
        QStringLiteral("升级指南:"),
        QStringLiteral("步骤1: 使用Micro USB线将电池管家连上电脑，不需要连接充电器。"),
        QStringLiteral("            此时红灯闪烁。"),
        QStringLiteral("步骤2: 在升级页面中点击[检查版本]按钮，将显示是否有新版本."),
        QStringLiteral("步骤3: 点击[升级]按钮开始升级."),
        QString(),
        QStringLiteral("注意:"),
        QStringLiteral("1. 只支持一个电池管家升级，请不要同时连接两个设备;"),
        QStringLiteral("2. 升级时请勿断开USB线;"),
        QStringLiteral("3. 如果升级失败，请拔掉USB重试."),
    };
    return lines.join(QStringLiteral("\r\n"));
}

QString ReleaseNotesText() {
    const QStringList lines = {
        QStringLiteral("升级说明:"),
        QString(61, QLatin1Char('-')),
        QStringLiteral("V1.1.15.0906"),
        QStringLiteral("* 解决长时间充电（充电时间超过1周）可能出现"),
        QStringLiteral("   电池电量不满的问题。"),
    };
    return lines.join(QStringLiteral("\r\n"));
}

QString ToWidgetText(const QString& crlfText) {
    QString t = crlfText;
    t.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return t;
}

} // namespace texts
