#include "WireTextAccessible.h"

#include "TextRules.h"
#include "WireTextEdit.h"

#include <QWidget>

namespace {

QAccessibleInterface *wireTextFactory(const QString &className, QObject *object)
{
    if (className == QLatin1String("WireTextEdit") && object && object->isWidgetType())
        return new WireTextAccessible(static_cast<WireTextEdit *>(object));
    return nullptr;
}

} // namespace

WireTextAccessible::WireTextAccessible(WireTextEdit *box)
    : QAccessibleWidget(box, QAccessible::EditableText)
{
}

void WireTextAccessible::install()
{
    static const bool installed = [] {
        QAccessible::installFactory(wireTextFactory);
        return true;
    }();
    Q_UNUSED(installed);
}

namespace {
WireTextAccessible::Listener testListener = nullptr;
}

bool WireTextAccessible::isListening()
{
    return testListener || QAccessible::isActive();
}

void WireTextAccessible::announce(QAccessibleEvent *event)
{
    if (testListener)
        testListener(event);
    else
        QAccessible::updateAccessibility(event);
}

void WireTextAccessible::setListener(Listener listener)
{
    testListener = listener;
}

WireTextEdit *WireTextAccessible::box() const
{
    return static_cast<WireTextEdit *>(widget());
}

QString WireTextAccessible::text(QAccessible::Text kind) const
{
    if (kind == QAccessible::Value) {
        // The row with the caret: the whole text can be far too long to pass.
        int from = 0;
        int to = 0;
        return textAtOffset(cursorPosition(), QAccessible::LineBoundary, &from, &to);
    }
    return QAccessibleWidget::text(kind);
}

QAccessible::State WireTextAccessible::state() const
{
    QAccessible::State state = QAccessibleWidget::state();
    // The hex dump takes no text, from a reader either.
    state.editable = box()->isEditable();
    state.readOnly = !box()->isEditable();
    state.multiLine = true;
    state.selectableText = true;
    return state;
}

void *WireTextAccessible::interface_cast(QAccessible::InterfaceType type)
{
    if (type == QAccessible::TextInterface)
        return static_cast<QAccessibleTextInterface *>(this);
    if (type == QAccessible::EditableTextInterface)
        return static_cast<QAccessibleEditableTextInterface *>(this);
    return QAccessibleWidget::interface_cast(type);
}

void WireTextAccessible::selection(int selectionIndex, int *startOffset, int *endOffset) const
{
    *startOffset = *endOffset = 0;
    if (selectionIndex == 0 && box()->hasSelection()) {
        *startOffset = int(box()->selectionStart());
        *endOffset = int(box()->selectionEnd());
    }
}

int WireTextAccessible::selectionCount() const
{
    return box()->hasSelection() ? 1 : 0;
}

void WireTextAccessible::addSelection(int startOffset, int endOffset)
{
    setSelection(0, startOffset, endOffset);
}

void WireTextAccessible::removeSelection(int selectionIndex)
{
    if (selectionIndex == 0)
        box()->setCursorPosition(box()->cursorPosition());
}

void WireTextAccessible::setSelection(int selectionIndex, int startOffset, int endOffset)
{
    if (selectionIndex == 0)
        box()->setSelection(startOffset, endOffset);
}

int WireTextAccessible::cursorPosition() const
{
    return int(box()->cursorPosition());
}

void WireTextAccessible::setCursorPosition(int position)
{
    box()->setCursorPosition(position);
}

QString WireTextAccessible::text(int startOffset, int endOffset) const
{
    if (endOffset < 0)
        endOffset = characterCount();
    if (startOffset >= endOffset)
        return QString();
    return TextRules::spokenText(box()->document().text(startOffset, endOffset));
}

int WireTextAccessible::characterCount() const
{
    return int(qMin<qsizetype>(box()->document().size(), std::numeric_limits<int>::max()));
}

QRect WireTextAccessible::characterRect(int offset) const
{
    const QRect rect = box()->characterRect(offset);
    return QRect(box()->viewport()->mapToGlobal(rect.topLeft()), rect.size());
}

int WireTextAccessible::offsetAtPoint(const QPoint &point) const
{
    return int(box()->positionAt(box()->viewport()->mapFromGlobal(point)));
}

void WireTextAccessible::scrollToSubstring(int startIndex, int endIndex)
{
    box()->ensureVisible(endIndex);
    box()->ensureVisible(startIndex);
}

// One font and colour throughout; what a reader can tell apart is where a run
// of characters came from, so that no peer can pass its text off as one of
// the program's own lines: by its name, and by the background it is drawn
// on (a status line's tint), which bridges that know only the common
// attributes still forward.
QString WireTextAccessible::attributes(int offset, int *startOffset, int *endOffset) const
{
    const OriginSpans &origins = box()->document().origins();
    if (offset < 0 || offset >= origins.size()) {
        *startOffset = *endOffset = qBound(0, offset, characterCount());
        return QString();
    }
    const OriginSpans::Span span = origins.spanAt(offset);
    *startOffset = int(span.from);
    *endOffset = int(span.to);
    static const QString names[] = {QStringLiteral("typed"), QStringLiteral("peer"),
                                    QStringLiteral("status")};
    const QColor background = span.stamp.origin == Origin::Status
                                  ? box()->statusTint()
                                  : box()->palette().color(QPalette::Base);
    return QStringLiteral("tapwire-origin:%1;background-color:rgb(%2,%3,%4);")
        .arg(names[int(span.stamp.origin)])
        .arg(background.red())
        .arg(background.green())
        .arg(background.blue());
}

void WireTextAccessible::deleteText(int startOffset, int endOffset)
{
    box()->replaceRange(startOffset, endOffset, QString());
}

void WireTextAccessible::insertText(int offset, const QString &text)
{
    box()->replaceRange(offset, offset, text);
}

void WireTextAccessible::replaceText(int startOffset, int endOffset, const QString &text)
{
    box()->replaceRange(startOffset, endOffset, text);
}

WireTextAccessible::Unit WireTextAccessible::unitAt(qsizetype offset,
                                                    QAccessible::TextBoundaryType boundary) const
{
    const WireDocument &text = box()->document();
    offset = qBound<qsizetype>(0, offset, text.size());
    switch (boundary) {
    case QAccessible::CharBoundary:
        offset = TextRules::snapBack(text, offset);
        return {offset, TextRules::nextBoundary(text, offset)};
    case QAccessible::WordBoundary: {
        const TextRules::Span word = TextRules::wordAt(text, offset);
        return {word.from, word.to};
    }
    case QAccessible::LineBoundary: {
        // A row as shown: a lone CR ends one as it does on screen.
        const QPair<qsizetype, qsizetype> row = box()->shownRow(offset);
        return {row.first, row.second};
    }
    default: { // a sentence, a paragraph or no boundary at all: the line
        const TextRules::Span line = TextRules::lineAt(text, offset);
        return {line.from, line.to};
    }
    }
}

QString WireTextAccessible::unitText(const Unit &unit, int *startOffset, int *endOffset) const
{
    *startOffset = int(unit.from);
    *endOffset = int(unit.to);
    return text(*startOffset, *endOffset);
}

QString WireTextAccessible::textAtOffset(int offset, QAccessible::TextBoundaryType boundaryType,
                                         int *startOffset, int *endOffset) const
{
    return unitText(unitAt(offset, boundaryType), startOffset, endOffset);
}

QString WireTextAccessible::textBeforeOffset(int offset, QAccessible::TextBoundaryType boundaryType,
                                             int *startOffset, int *endOffset) const
{
    const Unit at = unitAt(offset, boundaryType);
    if (at.from <= 0) {
        *startOffset = *endOffset = 0;
        return QString();
    }
    return unitText(unitAt(at.from - 1, boundaryType), startOffset, endOffset);
}

QString WireTextAccessible::textAfterOffset(int offset, QAccessible::TextBoundaryType boundaryType,
                                            int *startOffset, int *endOffset) const
{
    const Unit at = unitAt(offset, boundaryType);
    if (at.to >= box()->document().size()) {
        *startOffset = *endOffset = characterCount();
        return QString();
    }
    return unitText(unitAt(at.to, boundaryType), startOffset, endOffset);
}
