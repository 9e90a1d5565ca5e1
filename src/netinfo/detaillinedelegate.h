#pragma once

#include <QStyledItemDelegate>

// Draws "label TAB TAB value" lines as two columns. Fixed tab stops would leave the values of
// short labels a column to the left of the others; the line text itself stays as it is.
class DetailLineDelegate : public QStyledItemDelegate
{
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override;
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;

private:
    int valueColumn(const QStyleOptionViewItem &option) const;
};
