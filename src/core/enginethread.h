#pragma once

#include <QThread>

#include <atomic>

// A worker thread whose run builds its engine object inside the thread. task() of a subclass hands that engine to
// the GUI thread, waiting for it without blocking the GUI's event processing.
class EngineThread : public QThread
{
    Q_OBJECT

public:
    explicit EngineThread(QObject *parent = nullptr);
    ~EngineThread() override;
    // Ends the run's event loop and waits until the run is over.
    void stop();

signals:
    // Emitted once per run, when the engine exists and its initialisation has been tried.
    void initDone();

protected:
    // The current run's engine; waits for initDone() when the run has not made it yet. Null once the run ended.
    QObject *engineObject();
    // Publishes the run's engine (or null when the run ends); called on the worker thread.
    void setEngine(QObject *engine);

private:
    std::atomic<QObject *> worker{nullptr};
    // Written before quit() and read as the run ends, and the other way round for worker: Qt orders them already,
    // but ThreadSanitizer cannot see into an uninstrumented Qt, so these make the order visible to it.
    std::atomic<bool> stopping{false};
};
