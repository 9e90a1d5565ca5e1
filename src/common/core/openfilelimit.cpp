#include "openfilelimit.h"

#include <QtGlobal>

#ifdef Q_OS_UNIX
#include <sys/resource.h>

#include <algorithm>
#include <climits>
#endif

void raiseOpenFileLimit()
{
#ifdef Q_OS_UNIX
    rlimit limit{};
    if (getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == limit.rlim_max)
        return;
    limit.rlim_cur = limit.rlim_max;
#ifdef Q_OS_DARWIN
    // The kernel refuses a soft limit above OPEN_MAX even when the hard one is unlimited.
    limit.rlim_cur = std::min<rlim_t>(limit.rlim_max, OPEN_MAX);
#endif
    // Failing leaves the limit as it was, which the program works with as before.
    (void)setrlimit(RLIMIT_NOFILE, &limit);
#endif
}
