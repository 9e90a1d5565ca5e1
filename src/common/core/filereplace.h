#pragma once

#include "common/core/result.h"

#include <QString>

class QSaveFile;

// A file whose owner may not write it is never replaced, also not by a privileged
// user whom the system would let through: the permission bit decides, not an access check.
// A link is judged by the file it points to; a missing file is changeable.
Status checkChangeable(const QString &path);

// Opens the replacement of the file `file` names: an exclusive temporary in the folder of the
// file (of a link's target), renamed over it by commit() with the file's permissions, and gone
// if the replacement is dropped. A file checkChangeable refuses is refused.
Status openReplacement(QSaveFile &file);
