#include "core/taskrows.h"

void TaskRows::append(const QByteArrayView (&texts)[fields])
{
    for (const QByteArrayView &text : texts) {
        m_bytes.append(text);
        m_ends.append(m_bytes.size());
    }
}

QString TaskRows::text(qsizetype row, int field) const
{
    const qsizetype at = row * fields + field;
    const qsizetype begin = at == 0 ? 0 : m_ends[at - 1];
    return QString::fromUtf8(QByteArrayView(m_bytes).sliced(begin, m_ends[at] - begin));
}
