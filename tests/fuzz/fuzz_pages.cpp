// Feeds fuzzed pages and fuzzed markers through decoding and extraction: no crash, hang or sanitizer report.
#include "scan/pages.h"

#include <fuzzer/FuzzedDataProvider.h>

using namespace Qt::StringLiterals;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzedDataProvider provider(data, size);
    AttentionData node;
    node.site_name = u"站"_s;
    node.note_name = u"节点"_s;
    for (int i = 0; i < 10; ++i) {
        const std::string marker = provider.ConsumeRandomLengthString(16);
        node.rules.append(QString::fromUtf8(marker.data(), qsizetype(marker.size())));
    }
    const std::string url = provider.ConsumeRandomLengthString(32);
    node.node_url = QString::fromUtf8(url.data(), qsizetype(url.size()));
    const std::string page = provider.ConsumeRemainingBytesAsString();
    QList<TaskData> tasks;
    qsizetype asked = 0;
    parsePage(
        decodePage(QByteArray(page.data(), qsizetype(page.size()))), node,
        [&asked](const TaskData &task) {
            ++asked;
            return task.task_name.size() % 2 == 1;
        },
        tasks);
    // Every task comes from a row that was checked, and carries the node's fields.
    if (tasks.size() > asked)
        __builtin_trap();
    for (const TaskData &task : tasks) {
        if (task.site_name != node.site_name || task.note_url != node.node_url)
            __builtin_trap();
    }
    return 0;
}
