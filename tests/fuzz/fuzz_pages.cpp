// Feeds fuzzed pages and fuzzed markers through decoding and extraction: no crash, hang or sanitizer report, and
// the same tasks whether a page is cut in its bytes or in its decoded text.
#include "scan/pages.h"

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
    return 0;
}
