// Reads fuzzed feeds: no crash, hang or sanitizer report; every task has a title and its node; a memory of items only
// spares work, and the diagnosis agrees with what is read.
#include "scan/feeds.h"
#include "scan/pages.h"

#include <QSet>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray body(reinterpret_cast<const char *>(data), qsizetype(size));
    const AttentionData node{
        QStringLiteral("站"), QStringLiteral("源"), QStringLiteral("http://h/f"), {}, NodeKind::Feed};
    QList<TaskData> tasks;
    const int titled = parseFeed(body, node, tasks);
    if (titled != tasks.size() || titled > maxRowsPerPage || diagnoseFeed(body).isEmpty() != (titled > 0))
        __builtin_trap();
    for (const TaskData &task : std::as_const(tasks)) {
        if (task.task_name.isEmpty() || task.site_name != node.site_name || task.note_url != node.node_url)
            __builtin_trap();
    }
    struct Memory : RowMemory
    {
        QSet<QByteArray> keys;
        bool known(const QByteArray &key) override { return keys.contains(key); }
        void made(const QByteArray &key) override { keys.insert(key); }
    } memory;
    QList<TaskData> first, again;
    if (parseFeed(body, node, first, &memory) != titled || parseFeed(body, node, again, &memory) != titled ||
        !again.isEmpty() || first.size() > tasks.size())
        __builtin_trap();
    return 0;
}
