#include "clinic/clock.h"

namespace clinic {

QDateTime systemTime()
{
    return QDateTime::currentDateTimeUtc();
}

} // namespace clinic
