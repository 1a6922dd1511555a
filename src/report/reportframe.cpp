#include "report/reportframe.h"

#include "report/crc32c.h"

#include <QAbstractSocket>
#include <QIODevice>
#include <QThread>
#include <QtEndian>

namespace ReportFrame {

namespace {

constexpr char startByte = 0x07;
constexpr char endByte = 0x08;
constexpr qsizetype headerSize = 8; // start byte, length, CRC
constexpr quint32 maxPayload = 0xFFFFFF;

quint32 read24(const char *p)
{
    const auto *u = reinterpret_cast<const uchar *>(p);
    return quint32(u[0]) | quint32(u[1]) << 8 | quint32(u[2]) << 16;
}

// type, subtype and fields of a payload; false when its fields do not fill it exactly.
bool decodePayload(const char *p, quint32 size, ReportMessage &message)
{
    if (size < 4)
        return false;
    message.type = qFromLittleEndian<quint16>(p);
    message.subtype = qFromLittleEndian<quint16>(p + 2);
    quint32 at = 4;
    while (at < size) {
        if (size - at < 4)
            return false;
        const quint32 n = qFromLittleEndian<quint32>(p + at);
        at += 4;
        if (n > size - at)
            return false;
        message.fields.append(QByteArray(p + at, qsizetype(n)));
        at += n;
    }
    return true;
}

} // namespace

QByteArray encode(const ReportMessage &message)
{
    QByteArray payload(4, '\0');
    qToLittleEndian<quint16>(message.type, payload.data());
    qToLittleEndian<quint16>(message.subtype, payload.data() + 2);
    for (const QByteArray &field : message.fields) {
        char length[4];
        qToLittleEndian<quint32>(quint32(field.size()), length);
        payload.append(length, 4).append(field);
    }
    if (payload.size() > qsizetype(maxPayload))
        return QByteArray(); // no frame can carry it
    QByteArray frame(headerSize, '\0');
    const auto size = quint32(payload.size());
    frame[0] = startByte;
    frame[1] = char(size & 0xFF);
    frame[2] = char((size >> 8) & 0xFF);
    frame[3] = char((size >> 16) & 0xFF);
    qToLittleEndian<quint32>(Crc32c::compute(payload), frame.data() + 4);
    return frame + payload + endByte;
}

Scan scan(const QByteArray &buffer, qsizetype *size, ReportMessage &message)
{
    message = ReportMessage();
    if (buffer.isEmpty())
        return Scan::Incomplete;
    if (buffer[0] != startByte)
        return Scan::Invalid;
    if (buffer.size() < headerSize)
        return Scan::Incomplete;
    const quint32 length = read24(buffer.constData() + 1);
    if (length < 4)
        return Scan::Invalid;
    const qsizetype whole = headerSize + qsizetype(length) + 1;
    if (buffer.size() < whole)
        return Scan::Incomplete;
    const char *payload = buffer.constData() + headerSize;
    if (buffer[whole - 1] != endByte ||
        Crc32c::compute(payload, length) != qFromLittleEndian<quint32>(buffer.constData() + 4) ||
        !decodePayload(payload, length, message)) {
        message = ReportMessage();
        return Scan::Invalid;
    }
    if (size)
        *size = whole;
    return Scan::Complete;
}

} // namespace ReportFrame

namespace {

// Waits until socket has more to read (or has written, for a write), in short slices so that a thread asked to stop
// is not held; false at the deadline, at a stop, or when nothing more can come.
bool waitOn(QIODevice *socket, QDeadlineTimer deadline, bool forRead)
{
    while (!deadline.hasExpired() && !QThread::currentThread()->isInterruptionRequested()) {
        const int slice = int(qMin<qint64>(deadline.remainingTime(), 100));
        if (forRead ? socket->waitForReadyRead(slice) : socket->waitForBytesWritten(slice))
            return true;
        const auto *network = qobject_cast<QAbstractSocket *>(socket);
        if (!network || network->state() != QAbstractSocket::ConnectedState)
            return false;
    }
    return false;
}

// Exactly n more bytes of socket appended to frame, waiting for them; false when fewer arrive.
bool readExactly(QIODevice *socket, qint64 n, QByteArray &frame, QDeadlineTimer deadline)
{
    while (socket->bytesAvailable() < n) {
        if (!waitOn(socket, deadline, true))
            break;
    }
    const QByteArray part = socket->read(n);
    frame += part;
    return part.size() == n;
}

} // namespace

bool writeReportFrame(QIODevice *socket, quint16 type, quint16 subtype, const QList<QByteArray> &fields,
                      QDeadlineTimer deadline)
{
    if (!socket)
        return false;
    socket->write(ReportFrame::encode(ReportMessage{type, subtype, fields}));
    while (socket->bytesToWrite() > 0) {
        if (!waitOn(socket, deadline, false))
            return false;
    }
    return true;
}

bool readReportFrame(QIODevice *socket, quint16 &type, quint16 &subtype, QList<QByteArray> &fields,
                     QDeadlineTimer deadline)
{
    fields.clear();
    if (!socket)
        return false;
    QByteArray frame;
    if (!readExactly(socket, 1, frame, deadline) || frame[0] != 0x07 || !readExactly(socket, 7, frame, deadline))
        return false;
    const quint32 length = quint32(uchar(frame[1])) | quint32(uchar(frame[2])) << 8 | quint32(uchar(frame[3])) << 16;
    // A declared length beyond any answer would keep the exchange reading for nothing.
    if (length < 4 || length > ReportFrame::maxAnswerPayload ||
        !readExactly(socket, qint64(length) + 1, frame, deadline))
        return false;
    ReportMessage message;
    if (ReportFrame::scan(frame, nullptr, message) != ReportFrame::Scan::Complete)
        return false;
    type = message.type;
    subtype = message.subtype;
    fields = message.fields;
    return true;
}
