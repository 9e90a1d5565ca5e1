#include "accessibleroles.h"

#include <QAbstractButton>
#include <QAccessibleWidget>
#include <QHash>

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

void offerMenuAction(QAbstractButton *button, std::function<void()> showMenu)
{
    present(button, {false, std::move(showMenu)});
    // Qt may have made the button's interface already: the next one asked for comes from here.
    QAccessibleInterface *made = QAccessible::queryAccessibleInterface(button);
    if (made && !dynamic_cast<MenuButtonAccessible *>(made))
        QAccessible::deleteAccessibleInterface(QAccessible::uniqueId(made));
}
