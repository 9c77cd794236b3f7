#include "AppError.h"
#include "CodePage1252.h"
#include "CodePageTable.h"
#include "FuzzCheck.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

// The code page on any bytes from the wire and any text from the user.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    // Received bytes: each one becomes one character that encodes back to it.
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const QString received = CodePageTable::decode(bytes);
    check(received.size() == bytes.size());
    check(CodePageTable::firstWithoutByte(received) == -1);
    check(CodePage1252::encode(received) == bytes);

    // The same bytes read as UTF-16 text typed by the user: all or nothing.
    QString typed(qsizetype(size / 2), Qt::Uninitialized);
    std::memcpy(typed.data(), data, size / 2 * 2);
    const qsizetype first = CodePageTable::firstWithoutByte(typed);
    try {
        const QByteArray sent = CodePage1252::encode(typed);
        check(first == -1);
        check(sent.size() == typed.size());
        check(CodePageTable::decode(sent) == typed);
    } catch (const AppError &error) {
        // The error names the first character the code page cannot carry.
        check(error.number() == 40200 && first >= 0);
        check(CodePageTable::firstWithoutByte(typed.left(first)) == -1);
        check(CodePageTable::firstWithoutByte(typed.mid(first, 1)) == 0);
    }
    return 0;
}
