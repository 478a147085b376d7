#include "hexview/qt/CellEditorWidget.h"

#include <QFocusEvent>
#include <QValidator>

namespace {

// Lower-case letters become upper case as they are typed; every text is accepted,
// the editor's change handler judges the characters.
class UpperCaseValidator : public QValidator {
public:
    using QValidator::QValidator;
    State validate(QString& input, int&) const override {
        input = input.toUpper();
        return Acceptable;
    }
};

}  // namespace

CellEditorWidget::CellEditorWidget(QWidget* grid, QWidget* parent) : QLineEdit(parent), m_grid(grid) {
    setMaxLength(2);
    setFrame(false);
    setAlignment(Qt::AlignCenter);
    setValidator(new UpperCaseValidator(this));
    setTextMargins(0, 0, 0, 0);
    // White like the cells; the selection keeps its colours without the focus.
    QPalette colours = palette();
    colours.setColor(QPalette::Base, Qt::white);
    for (QPalette::ColorRole role : {QPalette::Highlight, QPalette::HighlightedText})
        colours.setColor(QPalette::Inactive, role, colours.color(QPalette::Active, role));
    setPalette(colours);
    hide();
    connect(this, &QLineEdit::textEdited, this, &CellEditorWidget::userChanged);
}

ClientPoint CellEditorWidget::GridOrigin() const {
    if (m_grid == nullptr || parentWidget() == nullptr) return {};
    const QPoint at = m_grid->mapTo(parentWidget(), QPoint(0, 0));
    return {at.x(), at.y()};
}

void CellEditorWidget::ShowAt(int left, int top, int width, int height) {
    setGeometry(left, top, width, height);
    show();
    raise();
}

void CellEditorWidget::Hide() {
    hide();
}

std::string CellEditorWidget::Text() const {
    return text().toStdString();
}

void CellEditorWidget::SetText(const std::string& text) {
    setText(QString::fromStdString(text));
}

EditorSelection CellEditorWidget::Selection() const {
    if (!hasSelectedText()) return {cursorPosition(), cursorPosition()};
    return {selectionStart(), selectionEnd()};
}

void CellEditorWidget::Select(EditorSelection selection) {
    // setSelection leaves the caret at the end of the selection, in view.
    setSelection(selection.start, selection.end - selection.start);
}

void CellEditorWidget::TakeFocus() {
    setFocus(Qt::OtherFocusReason);
}

void CellEditorWidget::FocusGrid() {
    if (m_grid != nullptr) m_grid->setFocus(Qt::OtherFocusReason);
}

void CellEditorWidget::SetTextColour(GridColour colour) {
    QPalette colours = palette();
    const QColor text(static_cast<int>(GridRed(colour)), static_cast<int>(GridGreen(colour)),
                      static_cast<int>(GridBlue(colour)));
    colours.setColor(QPalette::Text, text);
    setPalette(colours);
}

void CellEditorWidget::focusOutEvent(QFocusEvent* event) {
    // A line edit drops its selection when the focus leaves; this one keeps it.
    const bool selected = hasSelectedText();
    const int start = selectionStart();
    const int length = selectedText().size();
    QLineEdit::focusOutEvent(event);
    if (selected && !hasSelectedText()) setSelection(start, length);
}
