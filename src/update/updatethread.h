#pragma once

#include "core/enginethread.h"
#include "update/updatetask.h"

// The update thread: each run builds an UpdateTask (with the usage reports it sends) inside the thread and serves its
// timer and requests.
class UpdateThread : public EngineThread
{
    Q_OBJECT

public:
    explicit UpdateThread(QObject *parent = nullptr, const UsageReports &reports = {});

    UpdateTask *task();

protected:
    void run() override;

private:
    UsageReports reports;
};
