#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

// Many tasks in two allocations, for history searches over hundreds of thousands of rows: the texts of each task
// (site, node, title, price, address, node address, and when it was found, in seconds since the epoch as stored)
// kept as UTF-8 one after another, decoded when asked for.
class TaskRows
{
public:
    // The texts of a task, in their order.
    enum Field { Site, Node, Title, Price, Url, NodeUrl, Time };
    static constexpr int fields = 7;

    // Appends one task from its texts in UTF-8, in the order above.
    void append(const QByteArrayView (&texts)[fields]);
    qsizetype size() const { return m_ends.size() / fields; }
    QString text(qsizetype row, int field) const;

private:
    QByteArray m_bytes;
    QList<qsizetype> m_ends; // where each text ends in m_bytes, row by row
};
