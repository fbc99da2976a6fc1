#include "common/Clock.h"

#include <QElapsedTimer>

namespace {
class SystemClock : public Clock
{
public:
    SystemClock() { m_timer.start(); }
    double now() const override
    {
        // Offset so that the first reading is well above 0, as system up-time is.
        return 1000.0 + double(m_timer.nsecsElapsed()) / 1e9;
    }

private:
    QElapsedTimer m_timer;
};
} // namespace

Clock& Clock::system()
{
    static SystemClock clock;
    return clock;
}
