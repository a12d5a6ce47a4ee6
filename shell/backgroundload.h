#pragma once
// A document's file read, decoded and made ready on a thread of its own, so
// that the window stays on screen and answers while a large file comes in.
// The window asks for the progress now and then, may cancel at any time,
// and takes the finished document over in one move (Surface::takeContent).

#include "shell/diskchange.h"
#include "surface/textfile.h"

#include <QString>
#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <thread>

class QThread;

namespace qln {

class Surface;

class BackgroundLoad {
public:
    // Runs on the loading thread once the file is decoded: puts the text
    // into the fresh surface (taking it over) and colours it as the window
    // would. It must touch nothing but the surface and what it owns.
    using Prepare = std::function<void(Surface &surface, QString &&text)>;

    // Starts reading at once. maxBytes: a file longer than that (when it
    // is opened, or once read) is refused as too large. notify, when
    // given, is called on the loading thread as its last act.
    BackgroundLoad(const QString &path, qint64 maxBytes, Prepare prepare,
                   std::function<void()> notify = {});
    // Cancels, and waits for the thread: a cancel reaches a read within one
    // piece, but colouring runs to its end first.
    ~BackgroundLoad();
    BackgroundLoad(const BackgroundLoad &) = delete;
    BackgroundLoad &operator=(const BackgroundLoad &) = delete;

    QString path() const { return m_path; }
    void cancel() { m_cancel.store(true); }
    bool isCancelled() const { return m_cancel.load(); }
    // The share of the file read so far, 0 to 100; past 100 the reading is
    // done and the text is being made ready.
    int percent() const { return m_percent.load(); }
    bool isFinished() const { return m_finished.load(); }
    struct Result {
        FileRead read; // its bytes already given up; Cancelled after cancel()
        bool tooLarge = false;
        bool notText = false; // read, but holding NUL bytes
        qint64 size = 0;      // bytes read, or the size seen when too large
        TextFileFormat format;
        qsizetype strayBytes = 0;
        std::unique_ptr<Surface> surface; // the ready document, when all went well
        bool ok() const { return surface != nullptr; }
    };
    // Once isFinished(): what came of it (waits for the thread).
    Result take();

private:
    void run(qint64 maxBytes, const Prepare &prepare);

    QString m_path;
    QThread *m_home; // the thread that started the load
    std::function<void()> m_notify;
    std::atomic<bool> m_cancel{false};
    std::atomic<int> m_percent{0};
    std::atomic<bool> m_finished{false};
    Result m_result;
    std::thread m_thread;
};

} // namespace qln
