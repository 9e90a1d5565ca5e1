#pragma once

#include <QListWidget>
#include <QStringList>

inline QStringList entries(const QListWidget *list)
{
    QStringList texts;
    for (int i = 0; i < list->count(); ++i)
        texts.append(list->item(i)->text());
    return texts;
}

inline void select(QListWidget *list, const QStringList &names)
{
    for (const QString &name : names)
        list->findItems(name, Qt::MatchExactly).value(0)->setSelected(true);
}
