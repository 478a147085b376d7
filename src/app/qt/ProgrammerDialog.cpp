#include "app/qt/ProgrammerDialog.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QScrollBar>
#include <QWheelEvent>

#include "app/qt/AppResources.h"
#include "app/qt/ApplicationKeyFilter.h"
#include "app/qt/DeviceNoticeWatcher.h"
#include "app/qt/DialogLayout.h"
#include "app/qt/EditModeCheckBox.h"
#include "app/qt/MenuLayout.h"
#include "app/qt/QtChipModelList.h"
#include "app/qt/QtCommandStates.h"
#include "app/qt/QtControlTexts.h"
#include "app/qt/QtMessageBoxes.h"
#include "app/qt/QtScrollBar.h"
#include "app/qt/QtSoundOutput.h"
#include "app/qt/QtWindowServices.h"
#include "device/ChipModel.h"
#include "hexview/qt/CellEditorWidget.h"
#include "operations/qt/CaptionProgressBar.h"
#include "operations/qt/StatusLineWidget.h"
#include "platform/CurrentDirectory.h"
#include "ports/CommandIds.h"
#include "tools/qt/QtToolDialogs.h"
#include "widgets/qt/ButtonSounds.h"
#include "widgets/qt/GridControl.h"
#include "widgets/qt/PictureButton.h"

namespace {

// Background of the decoration picture 1073.
constexpr QRgb kDecorationBackground = 0xFFECE9D8;  // RGB(236, 233, 216)

QRect PixelsOf(const ControlPlacement& place) {
    return DialogUnitsToPixels(place.x, place.y, place.width, place.height);
}

}  // namespace

ProgrammerDialog::ProgrammerDialog(ProgrammerResources resources, QWidget* parent) : QDialog(parent) {
    if (resources.workDirectory.empty()) resources.workDirectory = CurrentDirectory();
    const QString workDirectory = QString::fromStdString(resources.workDirectory);

    InitResources();
    setWindowTitle(QString::fromUtf8(Title));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    setWindowFlag(Qt::WindowMinimizeButtonHint, true);
    setWindowIcon(ResourceIcon(QStringLiteral("app")));
    // The system menu's "关于 XJQT_Tarlo(&A)..." (command 16) has no place in the
    // window menus of most Linux desktops; the about box is reached by 1025.

    m_menuBar = new QMenuBar(this);
    m_menuBar->setNativeMenuBar(false);
    m_client = new QWidget(this);
    m_client->setObjectName(QStringLiteral("clientArea"));
    buildMenu();
    buildControls();

    m_commandStates = new QtCommandStates(this);
    m_texts = new QtControlTexts(this);
    m_modelPort = new QtChipModelList(m_modelList, this);
    m_sound = new QtSoundOutput(workDirectory, this);
    m_boxes = new QtMessageBoxes(this, this);
    m_scrollPort = new QtScrollBar(m_scrollBar, this);
    m_services = new QtWindowServices(this, workDirectory, this);
    m_services->setEndWindow([this] { QDialog::done(QDialog::Accepted); });
    m_statusLine->setSoundOutput(m_sound);

    ProgrammerPorts ports{*m_statusLine, *m_boxes,    *m_commandStates, *m_texts,
                          *m_modelPort,  *m_sound,    *m_services,      *m_scrollPort,
                          *m_services,   *m_services, *m_services,      *m_services};
    m_core = std::make_unique<ProgrammerCore>(ports, std::move(resources));
    m_toolDialogs = std::make_unique<QtToolDialogs>(this, *m_boxes);
    m_core->SetToolDialogs(m_toolDialogs.get());

    // The grid draws the core's cell model, so it comes after the core.
    const ControlPlacement* gridPlace = nullptr;
    for (const ControlPlacement& place : kControlPlacements)
        if (place.id == CommandId::HexGrid) gridPlace = &place;
    m_grid = new GridControl(m_core->grid(), m_client);
    m_grid->setObjectName(QStringLiteral("control1057"));
    m_grid->setProperty("controlId", CommandId::HexGrid);
    m_grid->setGeometry(PixelsOf(*gridPlace));
    m_grid->lower();
    m_controls.insert(CommandId::HexGrid, m_grid);
    connect(m_grid, &GridControl::filesDropped, this, [this](const QList<QByteArray>& paths) {
        std::vector<std::string> files;
        for (const QByteArray& path : paths) files.push_back(path.toStdString());
        m_core->OnFilesDropped(files);
    });
    m_cellEditor->setFont(m_grid->fontFor(GridFont{{}, 14, 7}));
    m_cellEditor->setGrid(m_grid);
    m_core->SetCellEditorControl(m_cellEditor);
    connect(m_cellEditor, &CellEditorWidget::userChanged, this, [this] { m_core->OnCellEditorChange(); });
    // The click is handled once the grid's mouse handler has returned.
    connect(
        m_grid, &GridControl::commandNotice, this, [this](int, int x, int y) { m_core->OnGridClick(x, y); },
        Qt::QueuedConnection);

    m_scrollPort->setScrollHandler(
        [this](ScrollCode code, int position) { return m_core->hexView().OnScroll(code, position); });
    m_scrollBar->installEventFilter(this);
    m_grid->installEventFilter(this);

    registerPorts();
    applyToolTips();

    m_keyFilter = new ApplicationKeyFilter(
        this,
        {[this](int id) { return m_commandStates->IsEnabled(id); }, [this](int id) { handleCommand(id); },
         [this] { m_core->CommitCellEdit(); }},
        this);
    qApp->installEventFilter(m_keyFilter);

    const QSize client = ClientSizePixels();
    const int menuHeight = m_menuBar->sizeHint().height();
    m_menuBar->setGeometry(0, 0, client.width(), menuHeight);
    m_client->setGeometry(0, menuHeight, client.width(), client.height());
    setFixedSize(client.width(), client.height() + menuHeight);
}

ProgrammerDialog::~ProgrammerDialog() {
    qApp->removeEventFilter(m_keyFilter);
    delete m_notices;
    m_notices = nullptr;
    m_core->Shutdown();
    // The grid draws the core's model: it goes before the core does.
    delete m_grid;
    m_grid = nullptr;
    m_core.reset();
}

void ProgrammerDialog::buildMenu() {
    for (const MenuEntry& menuEntry : kMenus) {
        QMenu* menu = m_menuBar->addMenu(QString::fromUtf8(menuEntry.title));
        for (int i = 0; i < menuEntry.count; ++i) {
            const MenuItemEntry& item = menuEntry.items[i];
            if (item.id == 0) {
                menu->addSeparator();
                continue;
            }
            QAction* action = menu->addAction(QString::fromUtf8(item.text));
            action->setData(item.id);
            action->setEnabled(!item.grayed);
            if (item.id == CommandId::PromptSound) {
                action->setCheckable(true);
                action->setChecked(item.checked);
            } else if (item.id == CommandId::EditModeMenu) {
                // The check state shows in the item's picture: one for each state.
                action->setCheckable(true);
                auto showState = [action](bool on) { action->setIcon(EditModeIcon(on)); };
                showState(false);
                connect(action, &QAction::toggled, action, showState);
            } else {
                action->setIcon(CommandIcon(item.id));
            }
            const int id = item.id;
            // Checkable items keep the state the program gives them, not the click.
            connect(action, &QAction::triggered, this, [this, action, id] {
                if (action->isCheckable()) action->setChecked(m_commandStates->IsChecked(id));
                handleCommand(id);
            });
            m_actions.insert(id, action);
        }
    }
}

void ProgrammerDialog::buildControls() {
    for (const ControlPlacement& place : kControlPlacements) {
        const QString text = place.text != nullptr ? QString::fromUtf8(place.text) : QString();
        const QRect rect = PixelsOf(place);
        QWidget* widget = nullptr;
        switch (place.kind) {
            case ControlKind::PictureButton: {
                // A picture that would push the text out of its button is left out.
                QIcon icon = CommandIcon(place.id);
                const int needed = QFontMetrics(font()).horizontalAdvance(text) + 16;
                if (needed > rect.width() - 4) icon = QIcon();
                auto* button = new PictureButton(place.id, icon, text, m_client);
                // A text wider than its button gets a smaller face rather than being cut.
                QFont face = button->font();
                while (face.pointSize() > 7 && QFontMetrics(face).horizontalAdvance(text) + 10 > rect.width())
                    face.setPointSize(face.pointSize() - 1);
                button->setFont(face);
                if (place.id == CommandId::Save) button->setEnabled(false);
                connect(button, &PictureButton::command, this, &ProgrammerDialog::handleCommand);
                m_buttons.insert(place.id, button);
                widget = button;
                break;
            }
            case ControlKind::ComboBox: {
                m_modelList = new QComboBox(m_client);
                for (const ChipModelRow& row : kChipModels) m_modelList->addItem(QString::fromUtf8(row.text));
                m_modelList->setCurrentIndex(-1);
                m_modelList->setMaxVisibleItems(static_cast<int>(kChipModels.size()));
                connect(m_modelList, &QComboBox::currentIndexChanged, this,
                        [this](int row) { m_core->OnChipModelChanged(row); });
                widget = m_modelList;
                break;
            }
            case ControlKind::Label: {
                auto* label = new QLabel(text, m_client);
                label->setTextFormat(Qt::PlainText);
                widget = label;
                break;
            }
            case ControlKind::CheckBox: {
                m_editMode = new EditModeCheckBox(text, m_client);
                connect(m_editMode, &QAbstractButton::clicked, this,
                        [this] { handleCommand(CommandId::EditModeCheck); });
                widget = m_editMode;
                break;
            }
            case ControlKind::Picture: {
                auto* picture = new QLabel(m_client);
                picture->setEnabled(false);
                picture->setAutoFillBackground(true);
                // A disabled label would grey a pixmap of its own, so the picture is
                // painted as the background, which keeps its colours.
                QPixmap face(rect.size());
                face.fill(QColor::fromRgb(kDecorationBackground));
                const QIcon icon = ResourceIcon(QStringLiteral("decoration"));
                if (!icon.isNull()) {
                    QPainter painter(&face);
                    icon.paint(&painter, QRect(QPoint(0, 0), rect.size()));
                }
                QPalette colours = picture->palette();
                colours.setBrush(QPalette::Window, QBrush(QColor::fromRgb(kDecorationBackground), face));
                picture->setPalette(colours);
                widget = picture;
                break;
            }
            case ControlKind::Grid:
                continue;  // made with the core's model
            case ControlKind::ScrollBar:
                m_scrollBar = new QScrollBar(Qt::Vertical, m_client);
                widget = m_scrollBar;
                break;
            case ControlKind::Edit: {
                if (place.id == CommandId::CellEditor) {
                    // Placed over a cell of the grid, which comes with the core.
                    m_cellEditor = new CellEditorWidget(nullptr, m_client);
                    widget = m_cellEditor;
                    break;
                }
                auto* edit = new QLineEdit(text, m_client);
                edit->setReadOnly(true);
                m_pathBox = edit;
                widget = edit;
                break;
            }
            case ControlKind::Status:
                m_statusLine = new StatusLineWidget(m_client);
                widget = m_statusLine;
                m_controls.insert(CommandId::ProgressBar, m_statusLine->progressBar());
                break;
        }
        if (place.kind == ControlKind::Status) {
            // The bar is one unit wider than the text; the widget covers both.
            const QRect both = DialogUnitsToPixels(place.x, place.y, kProgressBarWidthUnits, place.height);
            widget->setGeometry(both);
            // Placed now as well: a hidden widget gets its resize event only when shown.
            m_statusLine->progressBar()->setGeometry(QRect(QPoint(0, 0), both.size()));
            m_statusLine->setTextWidth(rect.width());
            m_statusLine->statusLabel()->setProperty("controlId", CommandId::StatusText);
        } else if (place.kind == ControlKind::ComboBox) {
            // The height in the layout includes the dropped-down list.
            widget->setGeometry(QRect(rect.topLeft(), QSize(rect.width(), widget->sizeHint().height())));
        } else {
            widget->setGeometry(rect);
        }
        widget->setObjectName(QStringLiteral("control%1").arg(place.id));
        widget->setProperty("controlId", place.id);
        m_controls.insert(place.id, place.kind == ControlKind::Status ? m_statusLine->statusLabel() : widget);
    }
    m_scrollBar->raise();

    auto* identity = new QLabel(m_client);
    identity->setTextFormat(Qt::PlainText);
    QFont small = identity->font();
    small.setPointSize(kChipIdentityPointSize);
    identity->setFont(small);
    const ControlPlacement& line = kChipIdentityPlacement;
    identity->setGeometry(DialogUnitsToPixels(line.x, line.y, line.width, line.height));
    identity->setObjectName(QStringLiteral("control%1").arg(line.id));
    identity->setProperty("controlId", line.id);
    m_controls.insert(line.id, identity);

    for (const LabelPlacement& place : kFieldLabels) {
        auto* label = new QLabel(QString::fromUtf8(place.text), m_client);
        label->setTextFormat(Qt::PlainText);
        label->setGeometry(DialogUnitsToPixels(place.x, place.y, place.width, place.height));
    }
}

void ProgrammerDialog::applyToolTips() {
    for (const ToolTipEntry& tip : kToolTips)
        if (QWidget* widget = control(tip.id)) widget->setToolTip(QString::fromUtf8(tip.text));
}

void ProgrammerDialog::registerPorts() {
    for (auto it = m_buttons.cbegin(); it != m_buttons.cend(); ++it) {
        m_commandStates->addWidget(it.key(), it.value());
        m_sound->addPictureButton(it.value());
    }
    m_commandStates->addWidget(CommandId::EditModeCheck, m_editMode);
    m_commandStates->addWidget(CommandId::ChipModelList, m_modelList);
    for (auto it = m_actions.cbegin(); it != m_actions.cend(); ++it)
        m_commandStates->addAction(it.key(), it.value());
    m_sound->setCheckBoxSounds(new ButtonSounds(m_editMode));

    for (int id : {CommandId::CapacityLabel, CommandId::ChipIdentityLabel, CommandId::NameLabel,
                   CommandId::ChecksumLabel, CommandId::SizeLabel, CommandId::PathBox})
        m_texts->addControl(id, control(id));
}

void ProgrammerDialog::initialise() {
    m_core->Initialise();
    if (m_notices == nullptr) {
        m_notices = new DeviceNoticeWatcher([this] { m_core->DeviceChanged(); }, this);
        m_notices->start();
    }
}

QWidget* ProgrammerDialog::control(int id) const {
    return m_controls.value(id, nullptr);
}

QAction* ProgrammerDialog::menuAction(int id) const {
    return m_actions.value(id, nullptr);
}

void ProgrammerDialog::handleCommand(int id) {
    m_core->HandleCommand(id);
}

void ProgrammerDialog::closeEvent(QCloseEvent* event) {
    // Refused silently while a chip operation is busy.
    if (!m_core->RequestClose()) {
        event->ignore();
        return;
    }
    event->accept();
    QDialog::done(QDialog::Rejected);
}

void ProgrammerDialog::wheelEvent(QWheelEvent* event) {
    onWheel(event->angleDelta().y(), false);
    event->accept();
}

bool ProgrammerDialog::eventFilter(QObject* watched, QEvent* event) {
    // The wheel over the grid or its scroll bar pages the view wherever the focus is.
    if ((watched == m_scrollBar || watched == m_grid) && event->type() == QEvent::Wheel) {
        onWheel(static_cast<QWheelEvent*>(event)->angleDelta().y(), true);
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

void ProgrammerDialog::onWheel(int delta, bool overView) {
    QWidget* focus = QApplication::focusWidget();
    const bool focusInView = focus == m_grid || focus == m_scrollBar || m_cellEditor->isVisible();
    m_core->hexView().OnWheel(delta, overView || focusInView);
}
