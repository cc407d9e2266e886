#include "Wildcard.h"

#include "AsciiCase.h"

bool matchesWildcard(const QString& name, const QString& mask) {
    // Iterative matcher with backtracking to the last "*": linear in practice, no recursion.
    qsizetype n = 0, m = 0, starAt = -1, resumeAt = 0;
    while (n < name.size()) {
        if (m < mask.size() && (mask[m] == u'?' || asciiUpper(mask[m]) == asciiUpper(name[n]))) {
            ++n;
            ++m;
        } else if (m < mask.size() && mask[m] == u'*') {
            starAt = m++;
            resumeAt = n;
        } else if (starAt >= 0) {
            m = starAt + 1;
            n = ++resumeAt;
        } else {
            return false;
        }
    }
    while (m < mask.size() && mask[m] == u'*')
        ++m;
    return m == mask.size();
}
