#pragma once

#include <QByteArray>
#include <QList>

class QIODevice;

// One report message: type, subtype and opaque fields.
struct ReportMessage
{
    quint16 type = 0;
    quint16 subtype = 0;
    QList<QByteArray> fields;
};

// The report frame: start byte 0x07, 24-bit payload length L, CRC-32C of the payload, the payload (type, subtype,
// then fields each with a 32-bit length; all little-endian), end byte 0x08.
namespace ReportFrame {

// How long one write or one read waits on the socket.
constexpr int waitMs = 9000;

QByteArray encode(const ReportMessage &message);

enum class Scan { Complete, Incomplete, Invalid };
// Looks at the frame at the start of buffer: Complete (its whole size in *size, decoded into message), Incomplete
// (more bytes may make it whole) or Invalid (never a frame). Never reads past the buffer.
Scan scan(const QByteArray &buffer, qsizetype *size, ReportMessage &message);

} // namespace ReportFrame

// Writes one frame to socket and waits for it to leave; false only without a socket.
bool writeReportFrame(QIODevice *socket, quint16 type, quint16 subtype, const QList<QByteArray> &fields);
// Reads one frame, waiting for each part; false (with no fields) for anything but a whole valid frame.
bool readReportFrame(QIODevice *socket, quint16 &type, quint16 &subtype, QList<QByteArray> &fields);
