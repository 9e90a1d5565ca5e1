#pragma once

#include <QStringList>

// The help tab's text, one entry per line.
QStringList helpTextLines();
