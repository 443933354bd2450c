/** @file accessible_qt.cpp
 * The code editor's accessible text for Qt's accessibility interfaces: text, caret, selection,
 * boundaries, geometry and editing, with offsets in UTF-16 units taken from the component's line
 * character index, and the insert, remove and caret events while a client listens.
 * [X] QAccessibleTextInterface, QAccessibleEditableTextInterface; role EditableText
 * [ ] one selection only (the main one); text attributes of a style run within its line */
#include "editor/scintilla_qt.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QByteArray>
#include <QColor>
#include <QPoint>
#include <QRect>
#include <QTextBoundaryFinder>

#include <algorithm>

namespace {

using Sci = QsciScintillaBase;
constexpr unsigned long LINE_INDEX_UTF16 = Sci::SC_LINECHARACTERINDEX_UTF16;

// Offsets of Qt's text interface that stand for a place rather than a count.
constexpr int OFFSET_OF_CARET = -2;
constexpr int OFFSET_OF_END = -1;

// Positions are byte offsets in the component's UTF-8 text; offsets count UTF-16 units.
class Text {
public:
    explicit Text(ComponentWidget* widget) : w_(widget) {
        // Allocated on first use and kept: the component then maintains it on every edit.
        if (!w_->character_index) {
            w_->send(Sci::SCI_ALLOCATELINECHARACTERINDEX, LINE_INDEX_UTF16);
            w_->character_index = true;
        }
    }

    long length() const { return w_->send(Sci::SCI_GETLENGTH); }
    int count() const { return static_cast<int>(w_->send(Sci::SCI_INDEXPOSITIONFROMLINE, lines(), LINE_INDEX_UTF16)); }
    long lines() const { return w_->send(Sci::SCI_GETLINECOUNT); }
    int line_offset(long line) const {
        return static_cast<int>(w_->send(Sci::SCI_INDEXPOSITIONFROMLINE, line, LINE_INDEX_UTF16));
    }
    long line_of_offset(int offset) const { return w_->send(Sci::SCI_LINEFROMINDEXPOSITION, offset, LINE_INDEX_UTF16); }
    long line_start(long line) const { return w_->send(Sci::SCI_POSITIONFROMLINE, line); }
    long line_end(long line) const { return line_start(line) + w_->send(Sci::SCI_LINELENGTH, line); }

    int offset(long position) const {
        position = std::clamp(position, 0L, length());
        const long line = w_->send(Sci::SCI_LINEFROMPOSITION, position);
        return line_offset(line) + static_cast<int>(w_->send(Sci::SCI_COUNTCODEUNITS, line_start(line), position));
    }

    // The character that holds an offset: its position and the offset where it starts (an
    // offset inside a surrogate pair lies in the pair's character).
    struct Place {
        long position;
        int offset;
    };
    Place place(int offset) const {
        const long line = line_of_offset(offset);
        Place at{line_start(line), line_offset(line)};
        if (at.offset >= offset) return at;
        // Within the line only, by our own decoding: asked for a place inside a surrogate pair,
        // the component's relative move runs on to the document end.
        const long end = std::min(line_end(line), at.position + 3L * (offset - at.offset) + 3);
        const QByteArray bytes = range_bytes(at.position, end);
        const auto* p = reinterpret_cast<const unsigned char*>(bytes.constData());
        long i = 0;
        while (at.offset < offset && i < bytes.size()) {
            const int width = utf8_width(p + i, bytes.size() - i);
            const int units = width == 4 ? 2 : 1;
            if (at.offset + units > offset) break;
            i += width;
            at.offset += units;
        }
        at.position += i;
        return at;
    }
    // The position where the character holding the offset ends, when the offset is inside one.
    Place place_after(int offset) const {
        Place at = place(offset);
        if (at.offset < offset) {
            const long next = w_->send(Sci::SCI_POSITIONAFTER, at.position);
            at.offset += next - at.position >= 4 ? 2 : 1;
            at.position = next;
        }
        return at;
    }

    QByteArray range_bytes(long from, long to) const {
        if (to <= from) return {};
        QByteArray bytes(static_cast<qsizetype>(to - from) + 1, '\0');
        w_->SendScintilla(Sci::SCI_GETTEXTRANGE, from, to, bytes.data());
        bytes.chop(1);
        return bytes;
    }
    QString range(long from, long to) const { return QString::fromUtf8(range_bytes(from, to)); }

    // Units [start, end), exactly as a walk through the whole text would cut them.
    QString between(int start, int end) const {
        start = std::max(start, 0);
        end = std::min(end, count());
        if (start >= end) return {};
        const Place from = place(start);
        const Place to = place_after(end);
        return range(from.position, to.position).mid(start - from.offset, end - start);
    }

private:
    // Bytes of the character at p as the component steps over it: a well-formed sequence whole,
    // anything else one byte.
    static int utf8_width(const unsigned char* p, long available) {
        const unsigned char lead = p[0];
        int width = lead < 0x80                    ? 1
                    : lead >= 0xC2 && lead <= 0xDF ? 2
                    : lead >= 0xE0 && lead <= 0xEF ? 3
                    : lead >= 0xF0 && lead <= 0xF4 ? 4
                                                   : 1;
        if (width == 1 || width > available) return 1;
        for (int k = 1; k < width; ++k)
            if ((p[k] & 0xC0) != 0x80) return 1;
        const unsigned char second = p[1];
        if ((lead == 0xE0 && second < 0xA0) || (lead == 0xED && second > 0x9F) || (lead == 0xF0 && second < 0x90) ||
            (lead == 0xF4 && second > 0x8F))
            return 1;
        return width;
    }

    ComponentWidget* w_;
};

// A span of offsets [start, end).
struct Span {
    int start;
    int end;
};

class CodeEditorAccessible : public QAccessibleWidget,
                             public QAccessibleTextInterface,
                             public QAccessibleEditableTextInterface {
public:
    explicit CodeEditorAccessible(ComponentWidget* widget) : QAccessibleWidget(widget, QAccessible::EditableText) {}

    void* interface_cast(QAccessible::InterfaceType type) override {
        if (type == QAccessible::TextInterface) return static_cast<QAccessibleTextInterface*>(this);
        if (type == QAccessible::EditableTextInterface) return static_cast<QAccessibleEditableTextInterface*>(this);
        return QAccessibleWidget::interface_cast(type);
    }

    QString text(QAccessible::Text kind) const override {
        // The name is the one the program gives the field, never a neighbouring label's.
        if (kind == QAccessible::Name) return widget()->accessibleName();
        // The value of a text field would be the whole document; clients read the text interface.
        if (kind == QAccessible::Value) return {};
        return QAccessibleWidget::text(kind);
    }

    QAccessible::State state() const override {
        QAccessible::State state = QAccessibleWidget::state();
        state.multiLine = true;
        state.selectableText = true;
        state.focusable = true;
        const bool read_only = component()->send(Sci::SCI_GETREADONLY) != 0;
        state.readOnly = read_only;
        state.editable = !read_only;
        return state;
    }

    // --- Selection and caret ------------------------------------------------------------

    void selection(int index, int* start, int* end) const override {
        *start = *end = 0;
        if (index != 0 || selectionCount() == 0) return;
        const Text t(component());
        *start = t.offset(component()->send(Sci::SCI_GETSELECTIONSTART));
        *end = t.offset(component()->send(Sci::SCI_GETSELECTIONEND));
    }
    int selectionCount() const override { return component()->send(Sci::SCI_GETSELECTIONEMPTY) ? 0 : 1; }
    void addSelection(int start, int end) override { setSelection(0, start, end); }
    void removeSelection(int index) override {
        if (index != 0) return;
        ComponentCall call(component());
        component()->send(Sci::SCI_SETEMPTYSELECTION, component()->send(Sci::SCI_GETCURRENTPOS));
    }
    void setSelection(int index, int start, int end) override {
        if (index != 0) return;
        ComponentCall call(component());
        const Text t(component());
        component()->send(Sci::SCI_SETSEL, t.place(start).position, t.place_after(end).position);
    }
    int cursorPosition() const override { return Text(component()).offset(component()->send(Sci::SCI_GETCURRENTPOS)); }
    void setCursorPosition(int offset) override {
        ComponentCall call(component());
        component()->send(Sci::SCI_GOTOPOS, Text(component()).place(offset).position);
    }

    // --- Text and boundaries ------------------------------------------------------------

    QString text(int start, int end) const override {
        const Text t(component());
        return t.between(start, end == OFFSET_OF_END ? t.count() : end);
    }
    int characterCount() const override { return Text(component()).count(); }

    QString textAtOffset(int offset, QAccessible::TextBoundaryType type, int* start, int* end) const override {
        const Text t(component());
        return answer(t, item_at(t, offset, type), start, end);
    }
    QString textBeforeOffset(int offset, QAccessible::TextBoundaryType type, int* start, int* end) const override {
        const Text t(component());
        Span at = item_at(t, offset, type);
        if (at.start > 0)
            at = item_at(t, at.start - 1, type);
        else
            at = {-1, -1};
        return answer(t, at, start, end);
    }
    QString textAfterOffset(int offset, QAccessible::TextBoundaryType type, int* start, int* end) const override {
        const Text t(component());
        Span at = item_at(t, offset, type);
        if (at.start >= 0 && at.end < t.count())
            at = item_at(t, at.end, type);
        else
            at = {-1, -1};
        return answer(t, at, start, end);
    }

    // --- Geometry -----------------------------------------------------------------------

    QRect characterRect(int offset) const override {
        ComponentWidget* w = component();
        const long position = Text(w).place(offset).position;
        const int x = static_cast<int>(w->send(Sci::SCI_POINTXFROMPOSITION, 0, position));
        const int y = static_cast<int>(w->send(Sci::SCI_POINTYFROMPOSITION, 0, position));
        const long line = w->send(Sci::SCI_LINEFROMPOSITION, position);
        const long next = w->send(Sci::SCI_POSITIONAFTER, position);
        int width = static_cast<int>(w->send(Sci::SCI_POINTXFROMPOSITION, 0, next)) - x;
        if (next == position || w->send(Sci::SCI_LINEFROMPOSITION, next) != line || width <= 0)
            width =
                static_cast<int>(w->SendScintilla(Sci::SCI_TEXTWIDTH, static_cast<unsigned long>(STYLE_DEFAULT), " "));
        const int height = static_cast<int>(w->send(Sci::SCI_TEXTHEIGHT, line));
        return QRect(w->viewport()->mapToGlobal(QPoint(x, y)), QSize(width, height));
    }
    int offsetAtPoint(const QPoint& point) const override {
        ComponentWidget* w = component();
        const QPoint local = w->viewport()->mapFromGlobal(point);
        const long position = w->send(Sci::SCI_POSITIONFROMPOINTCLOSE, local.x(), local.y());
        return position < 0 ? -1 : Text(w).offset(position);
    }
    void scrollToSubstring(int start, int end) override {
        const Text t(component());
        component()->send(Sci::SCI_SCROLLRANGE, t.place_after(end).position, t.place(start).position);
    }

    QString attributes(int offset, int* start, int* end) const override {
        ComponentWidget* w = component();
        const Text t(w);
        *start = *end = -1;
        if (offset < 0 || offset >= t.count()) return {};
        const long position = t.place(offset).position;
        const long line = w->send(Sci::SCI_LINEFROMPOSITION, position);
        const int style = static_cast<int>(w->send(Sci::SCI_GETSTYLEAT, position));
        long from = position, to = position + 1;
        const long line_from = t.line_start(line), line_to = t.line_end(line);
        while (from > line_from && w->send(Sci::SCI_GETSTYLEAT, from - 1) == style) --from;
        while (to < line_to && w->send(Sci::SCI_GETSTYLEAT, to) == style) ++to;
        *start = t.offset(from);
        *end = t.offset(to);
        return style_attributes(style);
    }

    // --- Editing ------------------------------------------------------------------------

    void deleteText(int start, int end) override {
        ComponentCall call(component());
        const Text t(component());
        const long from = t.place(start).position, to = t.place_after(end).position;
        if (to > from) component()->send(Sci::SCI_DELETERANGE, from, to - from);
    }
    void insertText(int offset, const QString& text) override {
        ComponentCall call(component());
        const QByteArray bytes = text.toUtf8();
        component()->SendScintilla(Sci::SCI_INSERTTEXT,
                                   static_cast<std::uintptr_t>(Text(component()).place(offset).position),
                                   bytes.constData());
    }
    void replaceText(int start, int end, const QString& text) override {
        ComponentCall call(component());
        const Text t(component());
        const QByteArray bytes = text.toUtf8();
        component()->send(Sci::SCI_SETTARGETRANGE, t.place(start).position, t.place_after(end).position);
        component()->SendScintilla(Sci::SCI_REPLACETARGET, static_cast<unsigned long>(bytes.size()), bytes.constData());
    }

private:
    ComponentWidget* component() const { return static_cast<ComponentWidget*>(widget()); }

    static int resolve(const Text& t, int offset, ComponentWidget* w) {
        if (offset == OFFSET_OF_CARET) return t.offset(w->send(Sci::SCI_GETCURRENTPOS));
        if (offset == OFFSET_OF_END) return t.count();
        return offset;
    }

    // The item of the given kind that holds the offset; {-1, -1} for an offset outside the text.
    // Characters, words and sentences come from Qt's boundary rules on the offset's line alone:
    // every line end is a boundary of each, so they cut the line as they would the whole text.
    Span item_at(const Text& t, int offset, QAccessible::TextBoundaryType type) const {
        const int count = t.count();
        offset = resolve(t, offset, component());
        if (offset < 0 || offset > count) return {-1, -1};
        if (type == QAccessible::NoBoundary) return {0, count};
        if (type == QAccessible::LineBoundary || type == QAccessible::ParagraphBoundary) {
            const long line = t.line_of_offset(offset);
            return {t.line_offset(line), t.line_offset(line + 1)};
        }
        if (offset == count) return {count, count};
        const long line = t.line_of_offset(offset);
        const int line_offset = t.line_offset(line);
        const QString line_text = t.range(t.line_start(line), t.line_end(line));
        const auto finder_type = type == QAccessible::CharBoundary   ? QTextBoundaryFinder::Grapheme
                                 : type == QAccessible::WordBoundary ? QTextBoundaryFinder::Word
                                                                     : QTextBoundaryFinder::Sentence;
        QTextBoundaryFinder finder(finder_type, line_text);
        finder.setPosition(offset - line_offset);
        const int start =
            finder.isAtBoundary() ? static_cast<int>(finder.position()) : static_cast<int>(finder.toPreviousBoundary());
        finder.setPosition(offset - line_offset);
        const int end = static_cast<int>(finder.toNextBoundary());
        return {line_offset + start, line_offset + (end < 0 ? static_cast<int>(line_text.size()) : end)};
    }

    static QString answer(const Text& t, Span span, int* start, int* end) {
        *start = span.start;
        *end = span.end;
        return span.start < 0 ? QString() : t.between(span.start, span.end);
    }

    QString style_attributes(int style) const {
        ComponentWidget* w = component();
        QByteArray font(static_cast<qsizetype>(w->send(Sci::SCI_STYLEGETFONT, style)) + 1, '\0');
        w->SendScintilla(Sci::SCI_STYLEGETFONT, static_cast<unsigned long>(style), font.data());
        font.chop(1);
        auto colour = [](long bgr) { return QColor(int(bgr & 0xFF), int((bgr >> 8) & 0xFF), int((bgr >> 16) & 0xFF)); };
        auto rgb = [](const QColor& c) {
            return QStringLiteral("rgb(%1,%2,%3)").arg(c.red()).arg(c.green()).arg(c.blue());
        };
        QString attributes = QStringLiteral("font-family:\"%1\";font-size:%2pt;")
                                 .arg(QString::fromUtf8(font))
                                 .arg(w->send(Sci::SCI_STYLEGETSIZE, style));
        if (w->send(Sci::SCI_STYLEGETBOLD, style)) attributes += QStringLiteral("font-weight:bold;");
        if (w->send(Sci::SCI_STYLEGETITALIC, style)) attributes += QStringLiteral("font-style:italic;");
        if (w->send(Sci::SCI_STYLEGETUNDERLINE, style)) attributes += QStringLiteral("text-underline-style:solid;");
        attributes += QStringLiteral("color:%1;background-color:%2;")
                          .arg(rgb(colour(w->send(Sci::SCI_STYLEGETFORE, style))),
                               rgb(colour(w->send(Sci::SCI_STYLEGETBACK, style))));
        return attributes;
    }
};

QAccessibleInterface* code_editor_factory(const QString&, QObject* object) {
    if (ComponentWidget* widget = component_widget(object)) return new CodeEditorAccessible(widget);
    return nullptr;
}

// Whether a client may listen, as the platform last announced it: asked after every call into
// the component, so it must cost less than a look at the platform's accessibility.
class ActivationWatch : public QAccessible::ActivationObserver {
public:
    void accessibilityActiveChanged(bool active) override { announced = active; }
    bool announced = false;
};
ActivationWatch activation;

}  // namespace

void accessible_install(ComponentWidget* widget) {
    // Qt asks the factories installed last first; QScintilla installs its own in the first
    // component's constructor, so this one, installed after a component exists, answers first.
    static bool installed = false;
    if (!installed) {
        QAccessible::installFactory(code_editor_factory);
        activation.announced = QAccessible::isActive();
        QAccessible::installActivationObserver(&activation);
        installed = true;
    }
    QAccessibleInterface* cached = QAccessible::queryAccessibleInterface(widget);
    if (cached && !dynamic_cast<CodeEditorAccessible*>(cached)) {
        QAccessible::deleteAccessibleInterface(QAccessible::uniqueId(cached));
        QAccessible::queryAccessibleInterface(widget);
    }
}

bool accessible_client_active() { return activation.announced && QAccessible::isActive(); }

QString accessible_text_of(ComponentWidget* widget, long position, long length) {
    return Text(widget).range(position, position + length);
}

void accessible_report_change(ComponentWidget* widget, const ComponentWidget::Change& change) {
    const Text t(widget);
    const int offset = t.offset(change.position);
    if (change.removal) {
        QAccessibleTextRemoveEvent removed(widget, offset, change.removed);
        QAccessible::updateAccessibility(&removed);
    } else {
        QAccessibleTextInsertEvent inserted(widget, offset, t.range(change.position, change.position + change.length));
        QAccessible::updateAccessibility(&inserted);
    }
}

void accessible_report_caret(ComponentWidget* widget) {
    const long position = widget->send(Sci::SCI_GETCURRENTPOS);
    if (position == widget->told_caret_position && !widget->text_changed_since_caret) return;
    widget->told_caret_position = position;
    widget->text_changed_since_caret = false;
    const int offset = Text(widget).offset(position);
    if (offset == widget->told_caret_offset) return;
    widget->told_caret_offset = offset;
    QAccessibleTextCursorEvent moved(widget, offset);
    QAccessible::updateAccessibility(&moved);
}
