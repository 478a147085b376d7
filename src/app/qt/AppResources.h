#pragma once

#include <QIcon>
#include <QString>

// Icons and pictures of the window from the resource file (":/icons/NAME.svg").
// A missing resource gives an empty icon, so the window still works without its
// pictures.
QIcon ResourceIcon(const QString& name);

// Registers the resource file; the window does so before it builds its controls.
void InitResources();

// The picture of a button or menu item by its command id; empty for ids without one.
QIcon CommandIcon(int id);

// The edit-mode check box and menu item show one picture for each mode.
QIcon EditModeIcon(bool editMode);
