#include "grid/cell_editor.h"

#include "platform/virtual_keys.h"

#include <QFocusEvent>
#include <QKeyEvent>
#include <QPainter>

#include <algorithm>

using namespace platform;

namespace {

Qt::Alignment AlignmentOf(unsigned style)
{
    switch (style & (CCellEditor::ES_CENTER | CCellEditor::ES_RIGHT)) {
    case CCellEditor::ES_CENTER: return Qt::AlignHCenter | Qt::AlignVCenter;
    case CCellEditor::ES_RIGHT: return Qt::AlignRight | Qt::AlignVCenter;
    default: return Qt::AlignLeft | Qt::AlignVCenter;
    }
}

// Page Up, Page Down and the arrows may leave the editor; Home and End
// always stay inside it.
bool IsLeavingKey(unsigned key)
{
    return IsNavigationKey(key) && key != VK_HOME && key != VK_END;
}

// Alt+letter: a mnemonic of the dialog around, which must not fire while
// editing, nor type the letter.
bool IsAltCharacter(const QKeyEvent& event)
{
    const Qt::KeyboardModifiers modifiers = event.modifiers();
    return (modifiers & Qt::AltModifier) && !(modifiers & Qt::ControlModifier) && !event.text().isEmpty();
}

// The keys the editor keeps from the shortcuts of the window around it.
bool IsEditorKey(const QKeyEvent& event)
{
    const unsigned key = VirtualKeyOf(event);
    return key == VK_TAB || key == VK_RETURN || key == VK_ESCAPE || IsNavigationKey(key) || IsAltCharacter(event);
}

} // namespace

CCellEditor::CCellEditor(QWidget* grid, const QRect& rect, unsigned style, int id, int row, int column,
                         const QString& initialText)
    : QLineEdit(grid), Id(id), Row(row), Column(column), InitialText(initialText), Rect(rect)
{
    // A one-pixel border like the platform's edit border; the text keeps
    // clear of it.
    setFrame(false);
    setTextMargins(1, 1, 1, 1);
    setAlignment(AlignmentOf(style));
    setGeometry(Rect);
    if (grid)
        setFont(grid->font());
    connect(this, &QLineEdit::textEdited, this, &CCellEditor::Grow);
    setText(initialText);
}

void CCellEditor::Begin(unsigned firstKey)
{
    ExitOnArrows = firstKey != VK_LBUTTON;
    show();
    setFocus(Qt::OtherFocusReason);
    ApplyFirstKey(firstKey);
}

// The first key decides what the user starts with: the caret at the end, the
// last character removed, the old text selected, or the old text replaced
// by the typed character. Typed '!' to '(' share their numbers with Page Up
// to Down and count as those.
void CCellEditor::ApplyFirstKey(unsigned firstKey)
{
    switch (firstKey) {
    case VK_LBUTTON:
    case VK_RETURN: setCursorPosition(text().size()); return;
    case VK_BACK:
        setCursorPosition(text().size());
        TypeCharacter(VK_BACK);
        return;
    case VK_TAB:
    case VK_SPACE: selectAll(); return;
    default: break;
    }
    selectAll();
    if (!IsNavigationKey(firstKey))
        TypeCharacter(firstKey);
}

// A typed character: Tab and Enter end editing, Esc restores the initial
// text and ends, Backspace deletes, any printable character replaces the
// selection. Growing follows every edit (textEdited).
void CCellEditor::TypeCharacter(unsigned code)
{
    switch (code) {
    case VK_TAB:
    case VK_RETURN: EndWith(code); return;
    case VK_ESCAPE:
        setText(InitialText);
        EndWith(VK_ESCAPE);
        return;
    case VK_BACK: backspace(); return;
    default: break;
    }
    const char32_t character = code;
    if (QChar::isPrint(character))
        insert(QString::fromUcs4(&character, 1));
}

bool CCellEditor::event(QEvent* event)
{
    if (event->type() == QEvent::ShortcutOverride && IsEditorKey(static_cast<QKeyEvent&>(*event))) {
        event->accept();
        return true;
    }
    if (event->type() == QEvent::KeyPress) {
        // Every key stays here, Tab included (no move to the next control).
        keyPressEvent(static_cast<QKeyEvent*>(event));
        event->accept();
        return true;
    }
    return QLineEdit::event(event);
}

void CCellEditor::keyPressEvent(QKeyEvent* event)
{
    const unsigned key = VirtualKeyOf(*event);
    const bool control = event->modifiers() & Qt::ControlModifier;
    if (IsLeavingKey(key) && (ExitOnArrows || control)) {
        EndWith(key);
        return;
    }
    if (key == VK_RETURN || key == VK_ESCAPE || (key == VK_TAB && !control)) {
        TypeCharacter(key);
        return;
    }
    if (key == VK_TAB || IsAltCharacter(*event))
        return;  // Ctrl+Tab types nothing; Alt+letter is swallowed
    QLineEdit::keyPressEvent(event);
}

void CCellEditor::EndWith(unsigned key)
{
    EndingKey = key;
    if (QWidget* grid = parentWidget())
        grid->setFocus(Qt::OtherFocusReason);
    // Without an active window no focus change arrives; end all the same.
    FinishEdit();
}

void CCellEditor::focusOutEvent(QFocusEvent* event)
{
    QLineEdit::focusOutEvent(event);
    // A popup (the editor's own context menu) hands the focus back when it
    // closes; every other loss of focus ends editing.
    if (event->reason() != Qt::PopupFocusReason)
        FinishEdit();
}

void CCellEditor::FinishEdit()
{
    if (Finished)
        return;
    Finished = true;
    GridItem item;
    item.row = Row;
    item.column = Column;
    item.mask = kItemText | kItemParameter;
    item.text = text();
    item.parameter = EndingKey;
    emit EditEnded(item);
    // The grid may have opened the next editor meanwhile; this one only
    // leaves. Hiding it may take the focus away once more: Finished keeps
    // that from a second notification.
    hide();
    deleteLater();
}

// Grows to fit the text and two blanks, up to the grid's right edge.
void CCellEditor::Grow()
{
    const int wanted = fontMetrics().horizontalAdvance(text() + QStringLiteral("  "));
    if (wanted <= Rect.width())
        return;
    int width = wanted;
    if (const QWidget* grid = parentWidget()) {
        const QRect client = grid->contentsRect();
        width = std::min(width, client.x() + client.width() - Rect.left());
    }
    Rect.setWidth(std::max(Rect.width(), width));
    setGeometry(Rect);
}

void CCellEditor::paintEvent(QPaintEvent* event)
{
    QLineEdit::paintEvent(event);
    QPainter painter(this);
    painter.setPen(palette().color(QPalette::WindowText));
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
}
