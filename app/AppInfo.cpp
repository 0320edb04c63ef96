#include "AppInfo.h"

#include "app/core/ShellStrings.h"

#include <QCoreApplication>
#include <QGuiApplication>

namespace kvx {

QString BuildVersion() {
    return QStringLiteral(KVX_VERSION);
}

void SetApplicationInfo() {
    QCoreApplication::setApplicationName(QStringLiteral("kovex"));
    QCoreApplication::setApplicationVersion(BuildVersion());
    QGuiApplication::setApplicationDisplayName(QString::fromUtf8(kApplicationTitle));
}

QString VersionText() {
    const QString version = QCoreApplication::applicationVersion();
    return version.isEmpty() ? QStringLiteral("?") : version;
}

} // namespace kvx
