#include "shell/backgroundload.h"

#include "surface/surface.h"

#include <QThread>

namespace qln {

BackgroundLoad::BackgroundLoad(const QString &path, qint64 maxBytes, Prepare prepare,
                               std::function<void()> notify)
    : m_path(path), m_home(QThread::currentThread()), m_notify(std::move(notify))
{
    m_thread = std::thread([this, maxBytes, prepare = std::move(prepare)] {
        run(maxBytes, prepare);
        // The surface belongs to the window's thread from here on: what it
        // sends reaches its listeners there directly.
        if (m_result.surface)
            m_result.surface->moveToThread(m_home);
        m_finished.store(true);
        if (m_notify)
            m_notify();
    });
}

BackgroundLoad::~BackgroundLoad()
{
    cancel();
    if (m_thread.joinable())
        m_thread.join();
}

void BackgroundLoad::run(qint64 maxBytes, const Prepare &prepare)
{
    Result &r = m_result;
    const FileStamp before = FileStamp::of(m_path);
    if (before.size > maxBytes) {
        r.tooLarge = true;
        r.size = before.size;
        return;
    }
    r.read = readRegularFile(m_path, [this, maxBytes](qint64 done, qint64 expected) {
        if (expected > 0)
            m_percent.store(int(std::min<qint64>(100, done * 100 / expected)));
        return !m_cancel.load() && done <= maxBytes;
    });
    if (r.read.result == FileRead::Cancelled && !m_cancel.load()) {
        // Stopped for growing past the limit while it was read.
        r.tooLarge = true;
        r.size = maxBytes + 1;
        return;
    }
    if (r.read.result != FileRead::Read)
        return;
    r.size = r.read.bytes.size();
    m_percent.store(101);
    bool tooLarge = false;
    std::optional<DecodedText> decoded = decodeText(r.read.bytes, &tooLarge);
    r.read.bytes = QByteArray(); // the text holds it now
    if (!decoded) {
        r.tooLarge = tooLarge;
        r.notText = !tooLarge;
        return;
    }
    if (m_cancel.load()) {
        r.read.result = FileRead::Cancelled;
        return;
    }
    r.format = decoded->format;
    r.strayBytes = decoded->strayBytes;
    auto surface = std::make_unique<Surface>();
    if (prepare)
        prepare(*surface, std::move(decoded->text));
    else
        surface->setText(std::move(decoded->text));
    if (m_cancel.load()) {
        r.read.result = FileRead::Cancelled;
        return;
    }
    r.surface = std::move(surface);
}

BackgroundLoad::Result BackgroundLoad::take()
{
    if (m_thread.joinable())
        m_thread.join();
    Result out = std::move(m_result);
    m_result = Result{};
    return out;
}

} // namespace qln
