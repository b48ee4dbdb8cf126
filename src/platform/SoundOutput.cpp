#include "SoundOutput.h"

#include <QMetaObject>
#include <QObject>
#include <QThread>
#include <atomic>

#ifdef VARNELLO_HAVE_CANBERRA
#include <canberra.h>
#endif

namespace varnello {

namespace {

class SilentOutput final : public SoundOutput {
public:
    void playBeep() override {}
    void playFile(const QString &) override {}
};

#ifdef VARNELLO_HAVE_CANBERRA

// Owns the libcanberra context; lives on the worker thread, so a sound server that is slow to
// answer never holds up the main thread.
class CanberraWorker final : public QObject {
public:
    ~CanberraWorker() override
    {
        if (m_context)
            ca_context_destroy(m_context);
    }

    void play(const QString &filePath)
    {
        if (!ensureContext())
            return;
        if (filePath.isEmpty()) {
            ca_context_play(m_context, 0, CA_PROP_EVENT_ID, "bell", CA_PROP_EVENT_DESCRIPTION,
                            "Alert", nullptr);
        } else {
            const QByteArray path = filePath.toLocal8Bit();
            ca_context_play(m_context, 0, CA_PROP_MEDIA_FILENAME, path.constData(), nullptr);
        }
    }

private:
    bool ensureContext()
    {
        if (m_context)
            return true;
        if (m_failed)
            return false;
        if (ca_context_create(&m_context) != CA_SUCCESS) {
            m_context = nullptr;
            m_failed = true;
            return false;
        }
        ca_context_change_props(m_context, CA_PROP_APPLICATION_NAME, "Varnello",
                                CA_PROP_APPLICATION_ID, "varnello", nullptr);
        if (ca_context_open(m_context) != CA_SUCCESS) {
            // No sound device: stay silent for the rest of the run.
            ca_context_destroy(m_context);
            m_context = nullptr;
            m_failed = true;
            return false;
        }
        return true;
    }

    ca_context *m_context = nullptr;
    bool m_failed = false;
};

class CanberraOutput final : public SoundOutput {
public:
    CanberraOutput()
    {
        m_thread.setObjectName(QStringLiteral("VarnelloSound"));
        m_worker = new CanberraWorker;
        m_worker->moveToThread(&m_thread);
        QObject::connect(&m_thread, &QThread::finished, m_worker, &QObject::deleteLater);
        m_thread.start(QThread::LowPriority);
    }
    ~CanberraOutput() override
    {
        m_thread.quit();
        m_thread.wait();
    }

    void playBeep() override { enqueue(QString()); }
    void playFile(const QString &path) override { enqueue(path); }

private:
    // A burst of spots must not pile up sounds behind a stalled sound server.
    static constexpr int maximumQueued = 8;

    void enqueue(const QString &path)
    {
        if (m_queued.load() >= maximumQueued)
            return;
        ++m_queued;
        QMetaObject::invokeMethod(
            m_worker,
            [worker = m_worker, path, queued = &m_queued] {
                worker->play(path);
                --*queued;
            },
            Qt::QueuedConnection);
    }

    QThread m_thread;
    CanberraWorker *m_worker = nullptr;
    std::atomic<int> m_queued{0};
};

#endif

} // namespace

std::unique_ptr<SoundOutput> SoundOutput::createSystemOutput()
{
#ifdef VARNELLO_HAVE_CANBERRA
    return std::make_unique<CanberraOutput>();
#else
    return std::make_unique<SilentOutput>();
#endif
}

} // namespace varnello
