#pragma once

#include <QIcon>
#include <QString>

// Icons and pictures of the window from the resource file. A missing resource
// gives an empty icon, so the window still works without its pictures.
QIcon ResourceIcon(const QString& name);
