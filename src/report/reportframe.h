#pragma once

#include <QByteArray>
#include <QDeadlineTimer>
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

// How long a whole exchange with the report port may take, connection, frame out and answer in together.
constexpr int waitMs = 9000;
// The largest answer payload read: an answer holds a user id, and a length beyond this is no answer.
constexpr quint32 maxAnswerPayload = 64 * 1024;

QByteArray encode(const ReportMessage &message);

enum class Scan { Complete, Incomplete, Invalid };
// Looks at the frame at the start of buffer: Complete (its whole size in *size, decoded into message), Incomplete
// (more bytes may make it whole) or Invalid (never a frame). Never reads past the buffer.
Scan scan(const QByteArray &buffer, qsizetype *size, ReportMessage &message);

} // namespace ReportFrame

// Writes one frame to socket and waits for it to leave until deadline; false without a socket or when it could not
// leave in time (or the thread was asked to stop).
bool writeReportFrame(QIODevice *socket, quint16 type, quint16 subtype, const QList<QByteArray> &fields,
                      QDeadlineTimer deadline = QDeadlineTimer(ReportFrame::waitMs));
// Reads one frame of at most maxAnswerPayload, waiting for its parts until deadline, and no longer once the thread is
// asked to stop; false (with no fields) for anything but a whole valid frame.
bool readReportFrame(QIODevice *socket, quint16 &type, quint16 &subtype, QList<QByteArray> &fields,
                     QDeadlineTimer deadline = QDeadlineTimer(ReportFrame::waitMs));
