// Feeds fuzzed pages and fuzzed markers through decoding and extraction: no crash, hang or sanitizer report, and
// the same tasks whether a page is cut in its bytes or in its decoded text, and with or without a memory of rows.
#include "scan/pages.h"

#include <QSet>

#include <fuzzer/FuzzedDataProvider.h>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzedDataProvider provider(data, size);
    const auto text = [&provider](size_t length) {
        return QString::fromStdString(provider.ConsumeRandomLengthString(length));
    };
    AttentionData node{QStringLiteral("站"), QStringLiteral("节点"), {}, {}};
    for (int i = 0; i < 10; ++i)
        node.rules.append(text(16));
    node.node_url = text(32);
    const std::string page = provider.ConsumeRemainingBytesAsString();
    const QByteArray body(page.data(), qsizetype(page.size()));
    // Cutting the bytes must give exactly what cutting the decoded text gives, whatever the page holds.
    QList<TaskData> fromText, fromBytes;
    const int rowsInText = parsePage(decodePage(body), node, fromText);
    if (rowsInText != parseBody(body, node, fromBytes) || fromText.size() != fromBytes.size() ||
        fromText.size() != rowsInText)
        __builtin_trap();
    for (qsizetype i = 0; i < fromText.size(); ++i) {
        if (!fromBytes[i].isSameTask(fromText[i]) || fromBytes[i].site_name != node.site_name ||
            fromBytes[i].note_url != node.node_url)
            __builtin_trap();
    }
    // A memory of rows only spares decoding: once it knows every row's key, no task is left, and the rows still count.
    struct Memory : RowMemory
    {
        QSet<QByteArray> keys;
        bool recall = false;
        bool known(const QByteArray &key) override { return recall && keys.contains(key); }
        void made(const QByteArray &key) override { keys.insert(key); }
    } memory;
    QList<TaskData> learnt, left;
    if (parseBody(body, node, learnt, &memory) != rowsInText || learnt.size() != fromText.size())
        __builtin_trap();
    memory.recall = true;
    if (parseBody(body, node, left, &memory) != rowsInText || !left.isEmpty())
        __builtin_trap();
    return 0;
}
