// Feeds fuzzed pages and fuzzed markers through decoding and extraction: no crash, hang or sanitizer report, and
// the same tasks whether a page is cut in its bytes or in its decoded text.
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
    const QByteArray body(page.data(), qsizetype(page.size()));
    // Cutting the bytes must give exactly what cutting the decoded text gives, whatever the page holds.
    QList<TaskData> fromText, fromBytes;
    const int rowsInText = parsePage(decodePage(body), node, fromText);
    const int rowsInBytes = parseBody(body, node, fromBytes);
    if (rowsInText != rowsInBytes || fromText.size() != fromBytes.size() || fromText.size() != rowsInText)
        __builtin_trap();
    for (qsizetype i = 0; i < fromText.size(); ++i) {
        const TaskData &task = fromBytes[i];
        if (!task.isSameTask(fromText[i]) || task.site_name != node.site_name || task.note_url != node.node_url)
            __builtin_trap();
    }
    return 0;
}
