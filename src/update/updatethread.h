#pragma once

#include "core/enginethread.h"

class UpdateTask;

// The update thread: each run builds an UpdateTask inside the thread and serves its timer and requests.
class UpdateThread : public EngineThread
{
    Q_OBJECT

public:
    explicit UpdateThread(QObject *parent = nullptr);

    UpdateTask *task();

protected:
    void run() override;
};
