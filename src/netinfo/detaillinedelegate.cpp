#include "detaillinedelegate.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QPainter>

namespace {

const QString Separator = QStringLiteral("\t\t");
constexpr int Margin = 4;
constexpr int ColumnGap = 16;

} // namespace

int DetailLineDelegate::valueColumn(const QStyleOptionViewItem &option) const
{
    // Every label of the list, so the values line up across lines.
    int widest = 0;
    if (const auto *view = qobject_cast<const QAbstractItemView *>(option.widget)) {
        const QAbstractItemModel *model = view->model();
        for (int row = 0; row < model->rowCount(); ++row) {
            const QString text = model->index(row, 0).data().toString();
            const int tabs = text.indexOf(Separator);
            if (tabs >= 0)
                widest = qMax(widest, option.fontMetrics.horizontalAdvance(text.left(tabs)));
        }
    }
    return Margin + widest + ColumnGap;
}

void DetailLineDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option,
                               const QModelIndex &index) const
{
    QStyleOptionViewItem item = option;
    initStyleOption(&item, index);
    const int tabs = item.text.indexOf(Separator);
    if (tabs < 0) {
        QStyledItemDelegate::paint(painter, option, index);
        return;
    }
    const QString label = item.text.left(tabs);
    const QString value = item.text.mid(tabs + Separator.size());
    item.text.clear();
    const QStyle *style = item.widget ? item.widget->style() : QApplication::style();
    style->drawControl(QStyle::CE_ItemViewItem, &item, painter, item.widget);

    painter->save();
    const bool selected = item.state.testFlag(QStyle::State_Selected);
    painter->setPen(item.palette.color(selected ? QPalette::HighlightedText : QPalette::Text));
    painter->setFont(item.font);
    const QRect labelRect = item.rect.adjusted(Margin, 0, 0, 0);
    const QRect valueRect = item.rect.adjusted(valueColumn(option), 0, 0, 0);
    painter->drawText(labelRect, Qt::AlignLeft | Qt::AlignVCenter, label);
    painter->drawText(valueRect, Qt::AlignLeft | Qt::AlignVCenter, value);
    painter->restore();
}

QSize DetailLineDelegate::sizeHint(const QStyleOptionViewItem &option,
                                   const QModelIndex &index) const
{
    QSize size = QStyledItemDelegate::sizeHint(option, index);
    const QString text = index.data().toString();
    const int tabs = text.indexOf(Separator);
    if (tabs >= 0) {
        const int value = option.fontMetrics.horizontalAdvance(text.mid(tabs + Separator.size()));
        size.setWidth(valueColumn(option) + value + Margin);
    }
    return size;
}
