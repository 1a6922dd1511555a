// Feeds fuzzed bytes to the report frame reader, as a socket and as a buffer: no crash, hang or sanitizer report,
// and a frame that reads is the frame that encodes to it.
#include "report/reportframe.h"

#include <QBuffer>

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    QBuffer socket(&bytes);
    socket.open(QIODevice::ReadOnly);
    ReportMessage read;
    const bool valid = readReportFrame(&socket, read.type, read.subtype, read.fields);
    if (!valid && !read.fields.isEmpty())
        std::abort();
    ReportMessage scanned;
    qsizetype frameSize = 0;
    // As a buffer it reads the same, and a frame that reads encodes to its own bytes.
    // The reader takes no frame over the answer size the scan accepts.
    const bool whole = ReportFrame::scan(bytes, &frameSize, scanned) == ReportFrame::Scan::Complete;
    if (valid != (whole && frameSize <= 9 + qsizetype(ReportFrame::maxAnswerPayload)) ||
        (valid && ReportFrame::encode(read) != bytes.left(frameSize)))
        std::abort();
    return 0;
}
