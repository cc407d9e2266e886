#pragma once

#include "update/ProgressFm.h"
#include "WhenModal.h"

#include <QLabel>

// The code the update window's problem view shows, or 0 while it shows the normal view.
inline int problemCodeShown(const TUpdateForm& form) {
    if (!form.isProblemViewShown())
        return 0;
    const QString text = control<QLabel>(&form, QStringLiteral("InfoStringLabel"))->text();
    const int at = text.indexOf(QLatin1String("(Code: "));
    return at < 0 ? -1 : text.mid(at + 7, text.indexOf(u')', at) - at - 7).toInt();
}
