// A plugin any Qt program loads when started with
// QT_QPA_GENERIC_PLUGINS=qlnfirstpaint (and this folder's parent in
// QT_PLUGIN_PATH): it notes when the application object came up and when
// the first top-level window has painted for the first time, prints both
// as CLOCK_MONOTONIC milliseconds with the process's CPU time, and ends
// the program. The program itself is the one users start, unchanged.
#include <QCoreApplication>
#include <QEvent>
#include <QGenericPlugin>
#include <QTimer>
#include <QWidget>

#include <cstdio>
#include <ctime>
#include <sys/resource.h>
#include <unistd.h>

namespace {

double monotonicMs()
{
    timespec ts = {};
    ::clock_gettime(CLOCK_MONOTONIC, &ts);
    return double(ts.tv_sec) * 1000 + double(ts.tv_nsec) / 1e6;
}

double cpuMs()
{
    rusage usage = {};
    ::getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1000
           + double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1000;
}

class FirstPaintWatch : public QObject {
public:
    FirstPaintWatch()
    {
        std::printf("firstpaint app %.3f cpu %.3f\n", monotonicMs(), cpuMs());
        std::fflush(stdout);
        QCoreApplication::instance()->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() != QEvent::Paint || m_seen || !watched->isWidgetType())
            return false;
        const QWidget *window = static_cast<QWidget *>(watched)->window();
        if (window->windowType() != Qt::Window)
            return false;
        m_seen = true;
        // Once this paint, its siblings' and the flush to the screen are
        // done.
        QTimer::singleShot(0, [] {
            std::printf("firstpaint painted %.3f cpu %.3f\n", monotonicMs(), cpuMs());
            std::fflush(stdout);
            ::_exit(0);
        });
        return false;
    }

private:
    bool m_seen = false;
};

class FirstPaintPlugin : public QGenericPlugin {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID QGenericPluginFactoryInterface_iid FILE "firstpaint.json")
public:
    QObject *create(const QString &key, const QString &) override
    {
        return key.compare(QLatin1String("qlnfirstpaint"), Qt::CaseInsensitive) == 0
                   ? new FirstPaintWatch
                   : nullptr;
    }
};

} // namespace

#include "firstpaint.moc"
