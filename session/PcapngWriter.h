#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QStringList>

// The blocks of a pcapng file, written into bytes: one section, one
// interface of raw IP packets (LINKTYPE_RAW) timed in microseconds, and its
// packets. Little-endian, whatever the machine.
namespace PcapngWriter {

// The section's header block: of unknown length, with `comment` and the
// name of the application that wrote it.
QByteArray sectionHeader(const QString &comment, const QString &application);
// The section's one interface description.
QByteArray rawIpInterface();
// Appends one packet of that interface, taken `microseconds` after the
// epoch: `headers` then `payload`, with one packet comment per entry of
// `comments`.
void appendPacket(QByteArray &out, qint64 microseconds, QByteArrayView headers,
                  QByteArrayView payload, const QStringList &comments);

} // namespace PcapngWriter
