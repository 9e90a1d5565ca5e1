#include "accessibleroles.h"

#include <QAbstractButton>
#include <QAccessibleWidget>
#include <QHash>
#include <QLineEdit>

namespace {

struct Presentation
{
    bool window = false;
    std::function<void()> showMenu;
};

QHash<const QObject *, Presentation> &presentations()
{
    static QHash<const QObject *, Presentation> registered;
    return registered;
}

// A push button as Qt presents it (name from its text, Press), with Show Menu added.
class MenuButtonAccessible : public QAccessibleWidget
{
public:
    MenuButtonAccessible(QAbstractButton *button, std::function<void()> showMenu)
        : QAccessibleWidget(button, QAccessible::Button), m_showMenu(std::move(showMenu))
    {
    }

    QString text(QAccessible::Text kind) const override
    {
        if (kind != QAccessible::Name || !widget()->accessibleName().isEmpty())
            return QAccessibleWidget::text(kind);
        // A mnemonic's ampersand is not read out; a doubled one stands for itself.
        const QString caption = button()->text();
        QString name;
        for (qsizetype i = 0; i < caption.size(); ++i) {
            if (caption[i] == u'&' && ++i == caption.size())
                break;
            name += caption[i];
        }
        return name;
    }
    QAccessible::State state() const override
    {
        QAccessible::State state = QAccessibleWidget::state();
        state.pressed = button()->isDown();
        state.checkable = button()->isCheckable();
        state.checked = button()->isChecked();
        return state;
    }
    QStringList actionNames() const override
    {
        return QStringList{pressAction(), showMenuAction()} + QAccessibleWidget::actionNames();
    }
    void doAction(const QString &action) override
    {
        if (!widget()->isEnabled())
            return;
        if (action == pressAction())
            button()->animateClick();
        else if (action == showMenuAction())
            m_showMenu();
        else
            QAccessibleWidget::doAction(action);
    }

private:
    QAbstractButton *button() const { return static_cast<QAbstractButton *>(widget()); }

    std::function<void()> m_showMenu;
};

// A line edit read as Qt reads one (its label as name, its text as value and text), with Show
// Menu beside Qt's focus action.
class MenuLineEditAccessible : public QAccessibleWidget, public QAccessibleTextInterface
{
public:
    MenuLineEditAccessible(QLineEdit *edit, std::function<void()> showMenu)
        : QAccessibleWidget(edit, QAccessible::EditableText), m_showMenu(std::move(showMenu))
    {
    }

    void *interface_cast(QAccessible::InterfaceType type) override
    {
        if (type == QAccessible::TextInterface)
            return static_cast<QAccessibleTextInterface *>(this);
        return QAccessibleWidget::interface_cast(type);
    }
    QString text(QAccessible::Text kind) const override
    {
        return kind == QAccessible::Value ? edit()->text() : QAccessibleWidget::text(kind);
    }
    QAccessible::State state() const override
    {
        QAccessible::State state = QAccessibleWidget::state();
        state.readOnly = edit()->isReadOnly();
        state.editable = !edit()->isReadOnly();
        state.selectableText = true;
        return state;
    }
    QStringList actionNames() const override
    {
        return QStringList{showMenuAction()} + QAccessibleWidget::actionNames();
    }
    void doAction(const QString &action) override
    {
        if (action == showMenuAction()) {
            if (widget()->isEnabled())
                m_showMenu();
        } else {
            QAccessibleWidget::doAction(action);
        }
    }

    // The text, through the line edit's own calls.
    void selection(int index, int *start, int *end) const override
    {
        *start = *end = 0;
        if (index == 0 && edit()->hasSelectedText()) {
            *start = edit()->selectionStart();
            *end = *start + int(edit()->selectedText().size());
        }
    }
    int selectionCount() const override { return edit()->hasSelectedText() ? 1 : 0; }
    void addSelection(int start, int end) override { setSelection(0, start, end); }
    void removeSelection(int) override { edit()->deselect(); }
    void setSelection(int, int start, int end) override
    {
        edit()->setSelection(start, end - start);
    }
    int cursorPosition() const override { return edit()->cursorPosition(); }
    void setCursorPosition(int position) override { edit()->setCursorPosition(position); }
    QString text(int start, int end) const override
    {
        return edit()->text().mid(start, end - start);
    }
    int characterCount() const override { return int(edit()->text().size()); }
    QRect characterRect(int) const override { return {}; }
    int offsetAtPoint(const QPoint &point) const override
    {
        return edit()->cursorPositionAt(edit()->mapFromGlobal(point));
    }
    void scrollToSubstring(int, int) override {}
    QString attributes(int offset, int *start, int *end) const override
    {
        *start = *end = offset;
        return {};
    }

private:
    QLineEdit *edit() const { return static_cast<QLineEdit *>(widget()); }

    std::function<void()> m_showMenu;
};

QAccessibleInterface *programAccessible(const QString &className, QObject *object)
{
    // Asked once per class up the object's hierarchy: the most derived one answers.
    if (className != QLatin1String(object->metaObject()->className()))
        return nullptr;
    const auto found = presentations().constFind(object);
    if (found == presentations().cend())
        return nullptr;
    auto *widget = static_cast<QWidget *>(object);
    if (found->window)
        return new QAccessibleWidget(widget, QAccessible::Window);
    if (auto *edit = qobject_cast<QLineEdit *>(widget))
        return new MenuLineEditAccessible(edit, found->showMenu);
    return new MenuButtonAccessible(static_cast<QAbstractButton *>(widget), found->showMenu);
}

void present(QWidget *widget, Presentation presentation)
{
    static const bool installed = (QAccessible::installFactory(programAccessible), true);
    Q_UNUSED(installed);
    if (!presentations().contains(widget))
        QObject::connect(widget, &QObject::destroyed, [widget] { presentations().remove(widget); });
    presentations().insert(widget, std::move(presentation));
}

} // namespace

void presentAsWindow(QWidget *widget)
{
    present(widget, {true, {}});
}

void offerMenuAction(QWidget *control, std::function<void()> showMenu)
{
    present(control, {false, std::move(showMenu)});
    // Qt may have made the control's interface already: the next one asked for comes from here.
    QAccessibleInterface *made = QAccessible::queryAccessibleInterface(control);
    if (made && !dynamic_cast<MenuButtonAccessible *>(made) &&
        !dynamic_cast<MenuLineEditAccessible *>(made))
        QAccessible::deleteAccessibleInterface(QAccessible::uniqueId(made));
}
