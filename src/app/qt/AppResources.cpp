#include "app/qt/AppResources.h"

#include <QFile>

#include "ports/CommandIds.h"

QIcon ResourceIcon(const QString& name) {
    const QString path = QStringLiteral(":/icons/") + name + QStringLiteral(".svg");
    if (!QFile::exists(path)) return {};
    return QIcon(path);
}

QIcon CommandIcon(int id) {
    const char* name = nullptr;
    switch (id) {
        case CommandId::Open:
            name = "open";
            break;
        case CommandId::Save:
        case CommandId::SaveAs:
            name = "save";
            break;
        case CommandId::Exit:
            name = "exit";
            break;
        case CommandId::Auto:
        case CommandId::ChangedWrite:
            name = "auto";
            break;
        case CommandId::Erase:
            name = "erase";
            break;
        case CommandId::Program:
            name = "program";
            break;
        case CommandId::Verify:
            name = "verify";
            break;
        case CommandId::BlankCheck:
            name = "blank";
            break;
        case CommandId::ReadChip:
            name = "read";
            break;
        case CommandId::Detect:
            name = "detect";
            break;
        case CommandId::ChangeLog:
            name = "log";
            break;
        case CommandId::GotoAddress:
            name = "goto";
            break;
        case CommandId::DataView:
            name = "dataview";
            break;
        case CommandId::Find:
            name = "find";
            break;
        case CommandId::Fill:
            name = "fill";
            break;
        case CommandId::SerialNumber:
            name = "serial";
            break;
        case CommandId::Help:
            name = "help";
            break;
        case CommandId::About:
            name = "about";
            break;
        default:
            return {};
    }
    return ResourceIcon(QString::fromLatin1(name));
}

QIcon EditModeIcon(bool editMode) {
    return ResourceIcon(editMode ? QStringLiteral("editmode") : QStringLiteral("viewmode"));
}

void InitResources() {
    // The resource file is compiled into a static library: register it by hand.
    static const bool registered = [] {
        Q_INIT_RESOURCE(resources);
        return true;
    }();
    Q_UNUSED(registered);
}
