#pragma once

#include <QDialog>
#include <QMap>

#include <memory>

#include "app/ProgrammerCore.h"
#include "ports/ApplicationTitle.h"

class ApplicationKeyFilter;
class CellEditorWidget;
class DeviceNoticeWatcher;
class EditModeCheckBox;
class GridControl;
class PictureButton;
class QAction;
class QComboBox;
class QLabel;
class QLineEdit;
class QMenuBar;
class QScrollBar;
class QtChipModelList;
class QtCommandStates;
class QtControlTexts;
class QtMessageBoxes;
class QtScrollBar;
class QtSoundOutput;
class QtToolDialogs;
class QtWindowServices;
class StatusLineWidget;

// The program's main window: a fixed dialog with the command buttons, the menu,
// the chip model list, the file information, the hex view and the status line.
// The decisions live in ProgrammerCore; this class builds the controls, carries
// their notices to the core and implements the core's ports on them.
class ProgrammerDialog : public QDialog {
    Q_OBJECT

public:
    static constexpr const char* Title = kApplicationTitle;

    explicit ProgrammerDialog(ProgrammerResources resources, QWidget* parent = nullptr);
    ~ProgrammerDialog() override;

    // The window's initialisation: the core's set-up and the first, quiet detection,
    // then the watch on the system's device-change notices.
    void initialise();

    // The control with a dialog id (1031 is the progress bar); nullptr when unknown.
    QWidget* control(int id) const;
    // The menu item with a command id; nullptr when unknown.
    QAction* menuAction(int id) const;
    QMenuBar* menuBar() const { return m_menuBar; }
    QWidget* clientArea() const { return m_client; }
    ProgrammerCore& core() const { return *m_core; }
    QtSoundOutput& soundOutput() const { return *m_sound; }
    QtWindowServices& services() const { return *m_services; }

    // A button, menu item or key with this id.
    void handleCommand(int id);

protected:
    void closeEvent(QCloseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

public Q_SLOTS:
    // Esc and Enter never end the window; only the close request and the exit command do.
    void accept() override {}
    void reject() override {}

private:
    void buildControls();
    void buildMenu();
    void applyToolTips();
    void registerPorts();
    // `overView`: the wheel turned over the hex view or its scroll bar, which pages it wherever the focus is.
    void onWheel(int delta, bool overView);

    QWidget* m_client = nullptr;
    QMenuBar* m_menuBar = nullptr;
    QMap<int, QWidget*> m_controls;
    QMap<int, QAction*> m_actions;
    QMap<int, PictureButton*> m_buttons;
    QComboBox* m_modelList = nullptr;
    EditModeCheckBox* m_editMode = nullptr;
    QScrollBar* m_scrollBar = nullptr;
    CellEditorWidget* m_cellEditor = nullptr;
    QLineEdit* m_pathBox = nullptr;
    StatusLineWidget* m_statusLine = nullptr;
    GridControl* m_grid = nullptr;

    QtCommandStates* m_commandStates = nullptr;
    QtControlTexts* m_texts = nullptr;
    QtChipModelList* m_modelPort = nullptr;
    QtSoundOutput* m_sound = nullptr;
    QtMessageBoxes* m_boxes = nullptr;
    QtScrollBar* m_scrollPort = nullptr;
    QtWindowServices* m_services = nullptr;
    ApplicationKeyFilter* m_keyFilter = nullptr;
    DeviceNoticeWatcher* m_notices = nullptr;

    std::unique_ptr<ProgrammerCore> m_core;
    std::unique_ptr<QtToolDialogs> m_toolDialogs;
};
