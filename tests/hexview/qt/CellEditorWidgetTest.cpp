#include <QSignalSpy>
#include <QtTest>

#include "hexview/CellEditor.h"
#include "hexview/HexView.h"
#include "hexview/ScrollBarPort.h"
#include "hexview/qt/CellEditorWidget.h"
#include "image/FileImage.h"
#include "operations/WorkerState.h"
#include "ports/MessageBoxes.h"
#include "ports/StatusLine.h"
#include "ports/WindowPorts.h"
#include "widgets/qt/GridControl.h"

namespace {

struct Quiet : StatusLine, MessageBoxes, CommandStates, ControlTexts, ScrollBarPort {
    void SetStatus(const std::string&, bool, bool) override {}
    void ShowProgress() override {}
    void SetProgress(int, const std::string&) override {}
    void HideProgress() override {}
    MessageAnswer Show(const std::string&, const std::string&, MessageIcon, MessageButtons) override {
        return MessageAnswer::Ok;
    }
    void SetEnabled(int, bool) override {}
    bool IsEnabled(int) const override { return true; }
    void SetChecked(int, bool) override {}
    bool IsChecked(int) const override { return false; }
    void SetText(int, const std::string&) override {}
    void SetRange(int, bool) override {}
    void SetPosition(int) override {}
    void TakeFocus() override {}
};

}  // namespace

class CellEditorWidgetTest : public QObject {
    Q_OBJECT

private:
    GridModel m_model;  // outlives the grid control that draws it
    std::unique_ptr<QWidget> m_window;
    GridControl* m_grid = nullptr;
    CellEditorWidget* m_editor = nullptr;
    QLineEdit* m_other = nullptr;

private Q_SLOTS:
    void init() {
        m_window = std::make_unique<QWidget>();
        m_window->resize(800, 500);
        m_grid = new GridControl(m_model, m_window.get());
        m_grid->setGeometry(150, 57, 612, 430);
        m_editor = new CellEditorWidget(m_grid, m_window.get());
        m_other = new QLineEdit(m_window.get());
        m_other->setGeometry(0, 0, 100, 20);
        m_window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    }
    void cleanup() { m_window.reset(); }

    // Over a byte cell of 25 x 18 pixels the editor is 20 x 14, 3 pixels in.
    void editorSitsOverTheCell_data() {
        QTest::addColumn<int>("row");
        QTest::addColumn<int>("column");
        QTest::newRow("first byte") << 1 << 1;
        QTest::newRow("last byte") << 21 << 16;
        QTest::newRow("middle") << 7 << 9;
    }
    void editorSitsOverTheCell() {
        QFETCH(int, row);
        QFETCH(int, column);
        Quiet quiet;
        FileImage image;
        WorkerState state;
        HexView view(image, m_model, quiet, quiet, state);
        view.SetUpHexGrid();
        CellEditor editor(image, view, m_model, quiet, quiet, quiet, quiet, state);
        editor.SetControl(m_editor);
        editor.OpenCellEditor(row, column, "3A", kLowDigit);

        GridRect cell;
        QVERIFY(m_model.CellRectangle(row, column, cell));
        QCOMPARE(cell.right - cell.left + 1, 25);
        QCOMPARE(cell.bottom - cell.top + 1, 18);
        const QRect expected(150 + cell.left + 3, 57 + cell.top + 3, 20, 14);
        QCOMPARE(m_editor->geometry(), expected);
        QVERIFY(QRect(150 + cell.left, 57 + cell.top, 25, 18).contains(m_editor->geometry()));
        QVERIFY(m_editor->isVisible());
        QCOMPARE(m_editor->text(), QStringLiteral("3A"));
        QCOMPARE(m_editor->selectedText(), QStringLiteral("A"));
        QCOMPARE(m_editor->alignment() & Qt::AlignHorizontal_Mask, Qt::AlignHCenter);
        // Nothing loaded: the cell is grey, and so is the editor's text.
        QCOMPARE(m_editor->palette().color(QPalette::Text), QColor(204, 204, 204));
    }

    // Typing is upper-cased and limited to two characters; each user change is reported.
    void typingIsUpperCasedAndReported_data() {
        QTest::addColumn<QString>("start");
        QTest::addColumn<int>("selectFrom");
        QTest::addColumn<int>("selectLength");
        QTest::addColumn<QString>("keys");
        QTest::addColumn<QString>("result");
        QTest::addColumn<int>("changes");
        QTest::newRow("low digit") << "3A" << 1 << 1 << "c"
                                   << "3C" << 1;
        QTest::newRow("high digit") << "3A" << 0 << 1 << "f"
                                    << "FA" << 1;
        QTest::newRow("both") << "3A" << 0 << 2 << "e"
                              << "E" << 1;
        QTest::newRow("third refused") << "" << 0 << 0 << "abc"
                                       << "AB" << 2;
    }
    void typingIsUpperCasedAndReported() {
        QFETCH(QString, start);
        QFETCH(int, selectFrom);
        QFETCH(int, selectLength);
        QFETCH(QString, keys);
        QFETCH(QString, result);
        QFETCH(int, changes);
        QSignalSpy reported(m_editor, &CellEditorWidget::userChanged);
        m_editor->SetText(start.toStdString());
        m_editor->ShowAt(10, 10, 20, 14);
        m_editor->Select({selectFrom, selectFrom + selectLength});
        QCOMPARE(reported.count(), 0);  // the program's own changes raise nothing
        m_editor->TakeFocus();
        QTest::keyClicks(m_editor, keys);
        QCOMPARE(m_editor->text(), result);
        QCOMPARE(reported.count(), changes);
        const EditorSelection caret = m_editor->Selection();
        QCOMPARE(caret.start, caret.end);
    }

    void selectionStaysWithoutTheFocus() {
        m_editor->ShowAt(10, 10, 20, 14);
        m_editor->SetText("5B");
        m_editor->Select(kLowDigit);
        m_editor->TakeFocus();
        QTRY_VERIFY(m_editor->hasFocus());
        m_other->setFocus();
        QTRY_VERIFY(m_other->hasFocus());
        QCOMPARE(m_editor->Selection(), kLowDigit);
        QCOMPARE(m_editor->selectedText(), QStringLiteral("B"));
        m_editor->FocusGrid();
        QTRY_VERIFY(m_grid->hasFocus());
    }
};

QTEST_MAIN(CellEditorWidgetTest)
#include "CellEditorWidgetTest.moc"
