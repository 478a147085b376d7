#include "app/qt/EditModeCheckBox.h"

#include "app/qt/AppResources.h"
#include "ports/CommandIds.h"

EditModeCheckBox::EditModeCheckBox(const QString& text, QWidget* parent) : QCheckBox(text, parent) {
    setProperty("controlId", CommandId::EditModeCheck);
    connect(this, &QAbstractButton::toggled, this, &EditModeCheckBox::showMode);
    showMode(false);
}

void EditModeCheckBox::showMode(bool editMode) {
    setIcon(EditModeIcon(editMode));
}
