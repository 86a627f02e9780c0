#include "PacedOutput.h"

#include <QTcpSocket>
#include <QTextStream>

namespace {

// The socket's own buffer is kept this full; the kernel's send buffer lies beyond it.
constexpr qint64 kWriteAhead = 256 * 1024;

} // namespace

PacedOutput::PacedOutput(QTcpSocket& socket, QObject* parent) : QObject(parent), m_socket(socket)
{
    connect(&m_socket, &QTcpSocket::bytesWritten, this, &PacedOutput::pump);
}

void PacedOutput::setWrittenHandler(std::function<void(const QByteArray&)> written)
{
    m_written = std::move(written);
}

void PacedOutput::Silence()
{
    m_silent = true;
    m_items.clear();
    m_waitingBytes = 0;
}

bool PacedOutput::sendFrame(const QByteArray& frame)
{
    if (m_silent)
        return true;
    if (m_waitingBytes + m_socket.bytesToWrite() > kMaxUnsent)
        return false;
    m_waitingBytes += frame.size();
    m_items.push_back({frame, nullptr});
    pump();
    return true;
}

void PacedOutput::sendConfiguration(const Sim::Host& host)
{
    if (m_silent)
        return;
    m_items.push_back({{}, std::make_unique<Sim::ConfigurationStream>(host)});
    pump();
}

void PacedOutput::pump()
{
    while (!m_items.empty() && m_socket.bytesToWrite() < kWriteAhead) {
        Item& item = m_items.front();
        if (!item.configuration) {
            m_waitingBytes -= item.frame.size();
            write(item.frame);
            m_items.pop_front();
        } else if (item.configuration->atEnd()) {
            m_items.pop_front();
        } else {
            const TnWire::Message message = item.configuration->next();
            const QByteArray frame = TnWire::encodeFrame(message);
            if (frame.isEmpty())
                QTextStream(stderr) << "cannot frame " << message.command << "; not sent\n";
            else
                write(frame);
        }
    }
}

void PacedOutput::write(const QByteArray& frame)
{
    m_socket.write(frame);
    if (m_written)
        m_written(frame);
}
