#include "app/qt/AppResources.h"

#include <QFile>

QIcon ResourceIcon(const QString& name)
{
    for (const char* suffix : {".svg", ".png"}) {
        const QString path = QStringLiteral(":/icons/") + name + QLatin1String(suffix);
        if (QFile::exists(path))
            return QIcon(path);
    }
    return {};
}
