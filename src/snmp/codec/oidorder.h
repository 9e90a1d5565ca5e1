#pragma once

#include <QByteArrayView>

// Orders two encoded identifier contents as their arcs order. Bytes alone do not: an arc of
// three bytes sorts after one of two whatever its first byte is.
int compareOidContents(QByteArrayView a, QByteArrayView b);
