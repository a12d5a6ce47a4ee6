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

    // Runs on the loading thread before Prepare, given the whole decoded
    // text: a surface to show at once while Prepare colours the document
    // (its text the same, coloured at its start only), or none.
    using Preview = std::function<std::unique_ptr<Surface>(const QString &text)>;

    // Starts reading at once. maxBytes: a file longer than that (when it
    // is opened, or once read) is refused as too large. notify, when
    // given, is called on the loading thread when a preview is ready and
    // as its last act.
    BackgroundLoad(const QString &path, qint64 maxBytes, Prepare prepare,
                   std::function<void()> notify = {}, Preview preview = {});
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
    // The preview, once, when there is one (on the window's thread).
    bool hasPreview() const { return m_previewReady.load() && m_preview; }
    std::unique_ptr<Surface> takePreview();
    // Known once a preview is ready or the load finished.
    TextFileFormat format() const { return m_result.format; }
    qsizetype strayBytes() const { return m_result.strayBytes; }
    FileStamp stamp() const { return m_result.read.stamp; }

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
    void run(qint64 maxBytes, const Prepare &prepare, const Preview &preview);

    QString m_path;
    QThread *m_home; // the thread that started the load
    std::function<void()> m_notify;
    std::atomic<bool> m_previewReady{false};
    std::unique_ptr<Surface> m_preview;
    std::atomic<bool> m_cancel{false};
    std::atomic<int> m_percent{0};
    std::atomic<bool> m_finished{false};
    Result m_result;
    std::thread m_thread;
};

} // namespace qln
