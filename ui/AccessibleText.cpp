#include "AccessibleText.h"

#include <marlix/chart/qt/chart_panel.h>

#include <QAccessible>
#include <QAccessibleWidget>
#include <QLabel>
#include <functional>
#include <utility>

namespace marlix::ui {
namespace {

constexpr const char* kTextValueProperty = "marlixTextValue";

// A widget whose text a screen reader reads but the user does not edit: value and text interface
// both give it; the name is the widget's own, or the text while it has none.
class TReadOnlyTextAccessible : public QAccessibleWidget, public QAccessibleTextInterface {
  public:
    TReadOnlyTextAccessible(QWidget* widget, QAccessible::Role role, std::function<QString()> text)
        : QAccessibleWidget(widget, role), text_(std::move(text)) {}

    void* interface_cast(QAccessible::InterfaceType type) override {
        if (type == QAccessible::TextInterface) return static_cast<QAccessibleTextInterface*>(this);
        return QAccessibleWidget::interface_cast(type);
    }

    QString text(QAccessible::Text t) const override {
        if (t == QAccessible::Value) return text_();
        const QString own = QAccessibleWidget::text(t);
        return t == QAccessible::Name && own.isEmpty() ? text_() : own;
    }

    QString text(int startOffset, int endOffset) const override {
        return text_().mid(startOffset, endOffset - startOffset);
    }
    int characterCount() const override { return static_cast<int>(text_().size()); }
    void selection(int, int* startOffset, int* endOffset) const override { *startOffset = *endOffset = 0; }
    int selectionCount() const override { return 0; }
    void addSelection(int, int) override {}
    void removeSelection(int) override {}
    void setSelection(int, int, int) override {}
    int cursorPosition() const override { return 0; }
    void setCursorPosition(int) override {}
    QRect characterRect(int) const override { return {}; }
    int offsetAtPoint(const QPoint&) const override { return -1; }
    void scrollToSubstring(int, int) override {}
    QString attributes(int offset, int* startOffset, int* endOffset) const override {
        *startOffset = *endOffset = offset;
        return {};
    }

  private:
    std::function<QString()> text_;
};

QAccessibleInterface* AccessibleTextFactory(const QString&, QObject* object) {
    if (auto* panel = dynamic_cast<chart::TChartPanel*>(object)) {
        return new TReadOnlyTextAccessible(panel, QAccessible::Chart,
                                           [panel] { return panel->AccessibleValue(); });
    }
    auto* label = qobject_cast<QLabel*>(object);
    const QVariant role = label ? label->property(kTextValueProperty) : QVariant();
    if (role.isValid()) {
        return new TReadOnlyTextAccessible(label, static_cast<QAccessible::Role>(role.toInt()),
                                           [label] { return label->text(); });
    }
    return nullptr;
}

}  // namespace

void InstallAccessibleText() {
    static const bool installed = [] {
        QAccessible::installFactory(AccessibleTextFactory);
        return true;
    }();
    (void)installed;
}

void MarkTextValue(QLabel& label, QAccessible::Role role) {
    label.setProperty(kTextValueProperty, static_cast<int>(role));
}

}  // namespace marlix::ui
